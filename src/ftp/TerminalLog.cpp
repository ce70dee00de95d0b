// Download of the terminal's system log (Tools > Download Terminal Log, or
// Ctrl+G then Ctrl+L) into the backup folder.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "platform/Timer.h"
#include "zing/ZingTexts.h"

#include <QElapsedTimer>
#include <QFile>

namespace {
constexpr int kLogWaitLimitMs = 180000;
constexpr int kLogPollMs = 1000;
// Far more downloads in one second than anyone makes by hand.
constexpr int kMaxNameAttempts = 1000;
}  // namespace

QString frmMain::terminalLogPath() const
{
    return strBackupDir + QLatin1Char('/') + ftp::kTerminalLogName;
}

void frmMain::DownloadTerminalLog()
{
    SetMouseCursor(1);
    const QString local = terminalLogPath();
    QString aside;
    if (!setEarlierLogAside(local, &aside))
        return;
    fetchTerminalLog(local);
    putEarlierLogBack(local, aside);
}

// A new download never replaces an earlier one: that one moves aside under
// the time it was fetched. False, with the user told, when it cannot move;
// then nothing is asked of the terminal.
bool frmMain::setEarlierLogAside(const QString& local, QString* aside)
{
    if (!Files::isFile(local))
        return true;
    QDateTime fetched = Files::lastModified(local);
    if (!fetched.isValid())
        fetched = QDateTime::currentDateTime();
    QString why = QStringLiteral("no free name for it in the backup folder");
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const QString name = strBackupDir + QLatin1Char('/') + ftp::earlierLogName(fetched, attempt);
        if (Files::exists(name))
            continue;
        // QFile::rename never replaces a file, so nothing can be lost to a name taken meanwhile.
        QFile earlier(local);
        if (earlier.rename(name)) {
            *aside = name;
            WriteLog(qlog::LOG_INF, QStringLiteral("Earlier terminal log kept as ") + name);
            return true;
        }
        why = earlier.errorString();
        break;
    }
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : ") + local + QStringLiteral(": ") + why +
                                QStringLiteral(" (the earlier terminal log could not be moved aside); nothing is downloaded"));
    SetMouseCursor(0);
    setStatusText(ftp::operationName(ftp::GET_LOG_CMD) + QStringLiteral(" stopped: file error on this PC."));
    msgBox(ftp::localFailureText(ftp::GET_LOG_CMD, local, why, true), MsgButtons::OK, MsgIcon::Exclamation,
           zing::kTitleFault);
    return false;
}

void frmMain::fetchTerminalLog(const QString& local)
{
    // A session still closing from the last download ends before this one's
    // state is set: its disconnect must not be taken for this download's.
    awaitFtpClose();
    if (unloaded_)
        return;
    currFtpState = ftp::GET_LOG_CMD;
    setStatusText(QStringLiteral("Downloading Log"));
    inetFTP->setAddress(strIPAddress);
    QElapsedTimer started;
    started.start();
    isFtpDone = false;
    tmrFTPReq->enable();
    inetFTP->setDownloadLimit(ftp::kMaxLogDownload);
    // The terminal's own record of its configuration and traffic: the user's alone.
    inetFTP->setPrivateDownload();
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

// A download that brought nothing leaves the earlier log the newest, under its usual name.
void frmMain::putEarlierLogBack(const QString& local, const QString& aside)
{
    if (aside.isEmpty() || Files::exists(local))
        return;
    QFile earlier(aside);
    if (earlier.rename(local))
        WriteLog(qlog::LOG_INF, QStringLiteral("No new terminal log: the earlier one is back in ") + local);
    else
        WriteLog(qlog::LOG_ERR, QStringLiteral("The earlier terminal log stays in ") + aside + QStringLiteral(": ") +
                                    earlier.errorString());
}
