// The progress under the status line: the bytes of a transfer, or the time
// left of a fixed wait. The specified controls keep their places; the window
// grows by the bar's height while it shows.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/InetFtp.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "ui/ReadableWhenDisabled.h"
#include "zing/ZingMessage.h"

#include <QProgressBar>
#include <QTimer>

namespace {

constexpr int kBarTop = 6015 / 15 + 2;
constexpr int kBarHeight = 18;
constexpr int kTickMs = 200;

}  // namespace

void frmMain::setupProgress()
{
    QWidget* client = centralWidget();
    barProgress = new QProgressBar(client);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setGeometry(120 / 15, kBarTop, 5535 / 15, kBarHeight);
    barProgress->setTextVisible(true);
    barProgress->setPalette(ui::readableWhenDisabled(barProgress->palette()));
    barProgress->hide();

    progressTicker_ = new QTimer(this);
    progressTicker_->setInterval(kTickMs);
    QObject::connect(progressTicker_, &QTimer::timeout, this, [this] { refreshProgress(); });
    for (Timer* t : {tmrDelayedSwUpgIgnite, tmrFiveSecDelayedReset, tmr40SecDelay, tmrAntUpgDelay, tmrPicUpgResetDelay,
                     tmrResponse, tmrConnect, tmrConneTest, tmrTelnetConnect})
        t->onEnabledChanged = [this](bool) { refreshProgress(); };
    inetFTP->onTransferProgress = [this](qint64 done, qint64 total) {
        if (transfer_.kind != progress::Info::Transfer)
            transferClock_.start();
        transfer_ = {progress::Info::Transfer, transferName(), done, total, transferClock_.elapsed()};
        refreshProgress();
    };
}

QString frmMain::transferName() const
{
    auto uploading = [](const QString& file) { return QStringLiteral("Uploading ") + file; };
    switch (currFtpState) {
    case ftp::GET_BIN_CMD:
        return QStringLiteral("Backing up the terminal's software");
    case ftp::PUT_NEW_BIN_CMD:
        return uploading(QStringLiteral("qorax_") + strNewVersion + QStringLiteral(".bin"));
    case ftp::PUT_RESTORE_BIN_CMD:
        return uploading(QStringLiteral("qorax_") + strRestoreVersion + QStringLiteral(".bin"));
    case ftp::GET_LOG_CMD:
        return QStringLiteral("Downloading the terminal's log");
    case ftp::UPGRADE_PIC_SA_CMD:
        return uploading(strLocalPicFile);
    case ftp::UPGRADE_ANTENNA_ATB_CMD:
        return uploading(strLocAtbFile);
    case ftp::UPGRADE_ANTENNA_HPA_CMD:
        return uploading(strLocHpaFile);
    case ftp::UPGRADE_ANTENNA_IAC_CMD:
        return uploading(strLocIacFile);
    default:
        return QStringLiteral("Reading image.txt");
    }
}

void frmMain::refreshProgress()
{
    progress::Info now;
    if (!inetFTP->stillExecuting())
        transfer_ = {};
    if (transfer_.kind == progress::Info::Transfer) {
        now = transfer_;
    } else {
        struct Wait {
            Timer* timer;
            const char* what;
        };
        const Wait waits[] = {{tmrDelayedSwUpgIgnite, "Waiting for the terminal to get ready"},
                              {tmrFiveSecDelayedReset, "Resetting the terminal"},
                              {tmr40SecDelay, "Waiting for the terminal to restart"},
                              {tmrAntUpgDelay, "Waiting for the antenna upgrade and the restart"},
                              {tmrPicUpgResetDelay, "Waiting for the terminal after the PIC reflash"}};
        for (const Wait& w : waits) {
            if (w.timer->enabled()) {
                const qint64 total = w.timer->scaledInterval();
                now = {progress::Info::Wait, QLatin1String(w.what), total - w.timer->remainingMs(), total, 0};
                break;
            }
        }
        if (now.kind == progress::Info::None && picUpgradeState == PIC_UPG_STATE_REFLASH_SENT &&
            telnetShell->state() == TcpClient::sckConnected) {
            now = {progress::Info::Wait, QStringLiteral("Reflashing the PIC"), reflashClock_.elapsed(), 0, 0};
        } else if (now.kind == progress::Info::None && currZingCmd == zing::UPGRADE_ANT_FW && isAntUpgRespPending &&
                   tmrResponse->enabled()) {
            // The confirmation is awaited for seven response periods at most.
            const qint64 period = tmrResponse->scaledInterval();
            const qint64 waited = antRespRetryCount * period + period - tmrResponse->remainingMs();
            now = {progress::Info::Wait, QStringLiteral("Upgrading the antenna"), waited, 7 * period, 0};
        }
        // A terminal that does not answer: the user sees how long before the upgrader gives up.
        const Wait silences[] = {{tmrResponse, "Waiting for the terminal's answer"},
                                 {tmrConnect, "Connecting to the terminal"},
                                 {tmrConneTest, "Checking the connection"},
                                 {tmrTelnetConnect, "Connecting to the terminal's shell"}};
        for (const Wait& w : silences) {
            if (now.kind != progress::Info::None || !w.timer->enabled())
                continue;
            const qint64 total = w.timer->scaledInterval();
            now = {progress::Info::Wait, QLatin1String(w.what), total - w.timer->remainingMs(), total, 0};
        }
    }
    // Only a wait needs the clock; a transfer reports itself.
    if (now.kind == progress::Info::Wait)
        progressTicker_->start();
    else
        progressTicker_->stop();
    if (now == progress_)
        return;
    const bool wasShown = progress_.kind != progress::Info::None;
    progress_ = now;
    const bool shown = progress_.kind != progress::Info::None;
    if (shown) {
        const int p = progress::percent(progress_);
        barProgress->setRange(0, p < 0 ? 0 : 100);
        if (p >= 0)
            barProgress->setValue(p);
        barProgress->setFormat(progress::text(progress_));
    }
    if (shown != wasShown) {
        barProgress->setVisible(shown);
        centralWidget()->setFixedHeight(6015 / 15 + (shown ? kBarHeight + 4 : 0));
        adjustSize();
    }
    Q_EMIT progressChanged();
}
