// Download of the terminal's system log (Ctrl+G, Ctrl+L) into the backup folder.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "platform/Timer.h"
#include "zing/ZingTexts.h"

#include <QElapsedTimer>

namespace {
constexpr int kLogWaitLimitMs = 180000;
constexpr int kLogPollMs = 1000;
}  // namespace

void frmMain::DownloadTerminalLog()
{
    SetMouseCursor(1);
    const QString local = strBackupDir + QStringLiteral("/sylog.log");
    Files::remove(local);
    currFtpState = ftp::GET_LOG_CMD;
    setStatusText(QStringLiteral("Downloading Log"));
    inetFTP->setAddress(strIPAddress);
    QElapsedTimer started;
    started.start();
    isFtpDone = false;
    tmrFTPReq->enable();
    inetFTP->setDownloadLimit(ftp::kMaxLogDownload);
    issueFtp(QStringLiteral("GET /ram0/syslog.log ") + ftp::quoted(local));
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP state : ") + ftp::ftpStateName(ftp::GET_LOG_CMD));

    const int limit = Settings::scaled(kLogWaitLimitMs);
    for (;;) {
        EventPump::doEvents();
        EventPump::wait(kLogPollMs);
        if (unloaded_)
            return;
        if (started.elapsed() > limit)
            break;
        if (isFtpDone) {
            SetMouseCursor(0);
            return;
        }
    }
    isFtpDone = true;
    tmrFTPReq->disable();
    SetMouseCursor(0);
    msgBox(QStringLiteral("Upgrade failed.  Click OK and close the upgrader.  ") +
               QStringLiteral("Check connection before retrying upgrade."),
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    setStatusText(QString());
    inetFTP->cancel();
}
