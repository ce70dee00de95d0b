#include "app/CliRunner.h"

#include "app/frmMain.h"
#include "ftp/FtpLogic.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Settings.h"
#include "ui/SecondaryWindows.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <csignal>

namespace cli {

namespace {

const QString kFaultTitle = QStringLiteral("Upgrader: FAULT");
// Longer than any chain of the program's own waits and retries.
constexpr int kActionLimitMs = 30 * 60 * 1000;

QString oneLine(const QString& text)
{
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s.split(QLatin1Char('\n')).join(QLatin1String("\n    "));
}

// Nothing of the program is running: no request, transfer, wait or dialogue.
bool quiescent(const frmMain& w)
{
    return w.mousePointer() == 0 && w.nothingRunning();
}

// Where the log went: a path printed is a file a user can open.
QString logReport(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("none");
    if (QFileInfo(path).isFile())
        return path;
    return QStringLiteral("none (") + path + QStringLiteral(" could not be written)");
}

QString signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}

class Runner;
Runner* activeRunner = nullptr;

class Runner {
public:
    Runner(const Options& o, const std::function<void(const QString&)>& out) : o_(o), out_(out)
    {
        activeRunner = this;
    }
    ~Runner() { activeRunner = nullptr; }

    // Every wait of the action, ours and the window's, returns once the window is unloaded.
    void interrupt(int signalNumber)
    {
        if (signal_ != 0)
            return;
        signal_ = signalNumber;
        if (w_ && !w_->isUnloaded())
            w_->closeMainWindow();
    }

    int run()
    {
        if (int usage = checkBeforeStart(); usage != Success)
            return usage;

        // The questions the user asked for by the action are answered Yes;
        // flashing a PIC with a battery that may be fitted is not.
        dialogs_.setPolicy([](const MsgRecord& r) {
            if (r.buttons != MsgButtons::YesNo)
                return MsgResult::OK;
            return r.text.startsWith(QLatin1String("Battery Presence Could NOT Be Determined!")) ? MsgResult::No
                                                                                                : MsgResult::Yes;
        });
        dialogs_.onBox = [this](const MsgRecord& r) {
            out_(QStringLiteral("box: ") + r.title + QStringLiteral(": ") + oneLine(r.text));
            if (r.title == kFaultTitle)
                fault_ = true;
        };
        dialogs_.onWindow = [this](const QString& title) { out_(QStringLiteral("window: ") + title); };

        frmMain w(dialogs_, QString());
        w_ = &w;
        QObject::connect(w.sbUpgrade, &QLineEdit::textChanged,
                         [this](const QString& t) { out_(QStringLiteral("status: ") + t); });

        if (!w.Form_Load())
            return finish(false, QStringLiteral("the upgrader closed during start-up"));
        if (!waitQuiet())
            return finish(false, QStringLiteral("start-up did not complete"));
        if (fault_)
            return finish(false, QStringLiteral("a fault was reported during start-up"));

        switch (o_.action) {
        case Action::Version:
            return finishVersion();
        case Action::Reset:
            if (w.strIPAddress.isEmpty() || !w.cmdResetModem->isEnabled())
                return finish(false, QStringLiteral("the reset command is not available"));
            w.cmdResetModem_Click();
            return finishChain();
        case Action::FactoryDefaults:
            if (!w.cmdRestoreDefaults->isEnabled())
                return finish(false, QStringLiteral("the factory-defaults command is not available"));
            w.cmdRestoreDefaults_Click();
            return finishChain();
        case Action::DownloadLog:
            return downloadLog();
        case Action::Restore:
            return restore();
        case Action::Upgrade:
            return upgrade();
        case Action::None:
        case Action::Help:
            break;
        }
        return finish(false, QStringLiteral("nothing to do"));
    }

private:
    int checkBeforeStart()
    {
        if (o_.action == Action::Restore) {
            // The versions the restore window will offer, found the same way.
            const QString backup = Files::currentDirWithSeparator() + QStringLiteral("Backup");
            const QList<ftp::BackupFile> offered = ftp::restoreCandidates(Files::find(backup, QStringLiteral("qorax*.bin")));
            if (std::none_of(offered.begin(), offered.end(),
                             [&](const ftp::BackupFile& b) { return b.version == o_.restoreVersion; })) {
                out_(QStringLiteral("qora-upgrader-cli: unknown version '") + o_.restoreVersion +
                     QStringLiteral("': no Backup/qorax_") + o_.restoreVersion + QStringLiteral(".bin"));
                return BadUsage;
            }
        }
        return Success;
    }

    bool waitQuiet()
    {
        QElapsedTimer t;
        t.start();
        const int limit = Settings::scaled(kActionLimitMs);
        // Let the action's first events run before judging it finished.
        EventPump::doEvents();
        while (!w_->isUnloaded()) {
            if (quiescent(*w_)) {
                // Quiet twice in a row: a handler may arm the next step from a queued event.
                EventPump::waitUnscaled(20);
                if (quiescent(*w_))
                    return true;
            }
            if (t.elapsed() > limit)
                return false;
            EventPump::waitUnscaled(10);
        }
        return false;
    }

    int finishVersion()
    {
        const QString v = w_->txtCurrentSoftwareVersion->text();
        out_(QStringLiteral("version: ") + v);
        return finish(v != QLatin1String("UNKNOWN"), QString());
    }

    int finishChain()
    {
        if (!waitQuiet())
            return finish(false, QStringLiteral("the action did not complete"));
        return finishVersion();
    }

    int downloadLog()
    {
        const QString target = w_->strBackupDir + QStringLiteral("/sylog.log");
        w_->Form_KeyPress(7);
        w_->Form_KeyPress(12);
        if (!waitQuiet())
            return finish(false, QStringLiteral("the download did not complete"));
        const bool ok = Files::isFile(target) && w_->statusText() == QLatin1String("Log downloaded");
        if (ok)
            out_(QStringLiteral("log: ") + target);
        return finish(ok, ok ? QString() : QStringLiteral("no log was downloaded"));
    }

    int restore()
    {
        const QString dotted = QString(o_.restoreVersion).replace(QLatin1Char('_'), QLatin1Char('.'));
        bool offered = false;
        dialogs_.queueWindowScript([&](QDialog& d) {
            auto& r = static_cast<frmRestore&>(d);
            const auto items = r.lstOldSoftwareVersions->findItems(dotted, Qt::MatchExactly);
            if (items.isEmpty()) {
                r.cmdCancelRestore->click();
                return;
            }
            offered = true;
            r.lstOldSoftwareVersions->setCurrentItem(items.first());
            r.cmdOkRestore->click();
        });
        if (!w_->cmdRestore->isEnabled())
            return finish(false, QStringLiteral("restore is not available"));
        w_->cmdRestore_Click();
        if (!offered)
            return finish(false, QStringLiteral("version ") + dotted + QStringLiteral(" was not offered for restore"));
        if (!waitQuiet())
            return finish(false, QStringLiteral("the restore did not complete"));
        out_(QStringLiteral("version: ") + w_->txtCurrentSoftwareVersion->text());
        return finish(w_->strCurrentVersion == o_.restoreVersion,
                      QStringLiteral("the terminal does not run ") + dotted);
    }

    int upgrade()
    {
        struct Item {
            bool wanted;
            QCheckBox* box;
            const char* name;
        };
        // Antenna firmware that would not fit is refused before anything is sent.
        if (o_.antenna && !w_->isAntennaFwOk)
            return finish(false, QStringLiteral("no usable antenna firmware in the home folder (one ATB and one HPA "
                                                "file of one class, or one IAC file)"));
        if (o_.antenna && !w_->antennaFilesFit(false))
            return finish(false, QStringLiteral("the antenna files (") + w_->txtLocAntClass->text() +
                                     QStringLiteral(") do not fit the terminal's antenna (") +
                                     w_->txtAntCLSver->text() + QStringLiteral(")"));
        const Item items[] = {{o_.software, w_->chkBinUpg, "software"},
                              {o_.antenna, w_->chkAntUpg, "antenna"},
                              {o_.pic, w_->chkPICUpg, "PIC"}};
        for (const Item& i : items) {
            if (i.box->isEnabled())
                i.box->setChecked(i.wanted);
            else if (i.wanted)
                return finish(false, QStringLiteral("the ") + QLatin1String(i.name) +
                                         QStringLiteral(" item cannot be upgraded with this package"));
        }
        if (!w_->cmdUpgrade->isEnabled())
            return finish(false, QStringLiteral("upgrade is not available"));
        w_->cmdUpgrade->click();
        if (!waitQuiet())
            return finish(false, QStringLiteral("the upgrade did not complete"));
        out_(QStringLiteral("version: ") + w_->txtCurrentSoftwareVersion->text());
        if (w_->currUpgradeState != UPG_STATE_IDLE)
            return finish(false, QStringLiteral("the upgrade sequence stopped early"));
        if (o_.software && w_->strCurrentVersion != w_->strNewVersion)
            return finish(false, QStringLiteral("the terminal does not run the new software"));
        return finish(true, QString());
    }

    int finish(bool ok, const QString& why)
    {
        const QString logPath = w_ ? w_->strLogFilePath : QString();
        if (fault_)
            ok = false;
        if (w_ && w_->isUnloaded())
            ok = false;
        if (w_ && !w_->isUnloaded())
            w_->closeMainWindow();
        if (signal_ != 0) {
            out_(QStringLiteral("outcome: interrupted (") + signalName(signal_) + QStringLiteral("); log: ") +
                 logReport(logPath));
            return interruptedExitCode(signal_);
        }
        QString line = ok ? QStringLiteral("outcome: success") : QStringLiteral("outcome: failure");
        if (!ok && !why.isEmpty() && !fault_)
            line += QStringLiteral(" (") + why + QStringLiteral(")");
        line += QStringLiteral("; log: ") + logReport(logPath);
        out_(line);
        return ok ? Success : Failure;
    }

    Options o_;
    std::function<void(const QString&)> out_;
    ScriptedDialogs dialogs_;
    frmMain* w_ = nullptr;
    bool fault_ = false;
    int signal_ = 0;
};

}  // namespace

int run(const Options& options, const std::function<void(const QString&)>& out)
{
    Runner r(options, out);
    return r.run();
}

void interrupt(int signalNumber)
{
    if (activeRunner)
        activeRunner->interrupt(signalNumber);
}

}  // namespace cli
