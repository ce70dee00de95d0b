#include "app/CliRunner.h"

#include "app/frmMain.h"
#include "ftp/FtpLogic.h"
#include "ident/VersionText.h"
#include "platform/Files.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Settings.h"
#include "ui/HelpTexts.h"
#include "ui/SecondaryWindows.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

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

QString dotted(const QString& underscored)
{
    return QString(underscored).replace(QLatin1Char('_'), QLatin1Char('.'));
}

const char* actionName(Action a)
{
    switch (a) {
    case Action::Upgrade:
        return "upgrade";
    case Action::Restore:
        return "restore";
    case Action::FactoryDefaults:
        return "factory-defaults";
    case Action::Reset:
        return "reset";
    case Action::TerminalVersion:
        return "terminal-version";
    case Action::DownloadLog:
        return "download-log";
    case Action::ListBackups:
        return "list-backups";
    case Action::ToolVersion:
        return "version";
    case Action::None:
    case Action::Help:
        break;
    }
    return "none";
}

// One chosen item and what the terminal reports of it before and after.
struct ItemReport {
    QString name;
    QString before, after, expected;
    bool took = false;
    QString why = {};  // when it did not take
};

class Runner;
Runner* activeRunner = nullptr;

class Runner {
public:
    Runner(const Options& o, const Output& out) : o_(o), output_(out)
    {
        activeRunner = this;
        clock_.start();
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
        wake();
    }

    int run()
    {
        if (o_.action == Action::ToolVersion) {
            output_.out(QStringLiteral("qora-upgrader-cli ") + QLatin1String(ui::kToolVersion) + QStringLiteral(", ") +
                        QLatin1String(ui::kToolDate));
            return Success;
        }
        if (o_.action == Action::ListBackups)
            return listBackups();
        if (o_.action == Action::Restore && !offeredForRestore()) {
            output_.err(QStringLiteral("qora-upgrader-cli: unknown version '") + o_.restoreVersion +
                        QStringLiteral("': no Backup/qorax_") + o_.restoreVersion +
                        QStringLiteral(".bin (see --list-backups)"));
            return BadUsage;
        }

        // The questions the user asked for by the action are answered Yes;
        // flashing a PIC with a battery that may be fitted is not.
        dialogs_.setPolicy([](const MsgRecord& r) {
            if (r.buttons != MsgButtons::YesNo)
                return MsgResult::OK;
            return r.text.startsWith(QLatin1String("Battery Presence Could NOT Be Determined!")) ? MsgResult::No
                                                                                                : MsgResult::Yes;
        });
        dialogs_.onBox = [this](const MsgRecord& r) {
            say(QStringLiteral("box: ") + r.title + QStringLiteral(": ") + oneLine(r.text));
            if (r.title == kFaultTitle)
                fault_ = true;
            // Boxes that want attention during the action are warnings; questions and notes are not.
            if (inAction_ && r.buttons == MsgButtons::OK && (r.icon == MsgIcon::Exclamation || r.icon == MsgIcon::Critical))
                warnings_ << r.text.section(QStringLiteral("\r\n"), 0, 0).trimmed();
        };
        dialogs_.onWindow = [this](const QString& title) { say(QStringLiteral("window: ") + title); };

        frmMain w(dialogs_, QString());
        w_ = &w;
        w.setPackageOptional(!needsPackage(o_.action));
        // Nobody is there to choose a folder: without a package it refuses.
        w.setPackageFolderChooser(false);
        if (!o_.address.isEmpty())
            w.txtIPAddress->setText(o_.address);
        QObject::connect(w.sbUpgrade, &QLineEdit::textChanged,
                         [this](const QString& t) { say(QStringLiteral("status: ") + t); });
        QObject::connect(&w, &frmMain::progressChanged, [this] { showProgress(); });

        if (!w.Form_Load())
            return finish(false, QStringLiteral("the upgrader closed during start-up"));
        if (!waitQuiet())
            return finish(false, QStringLiteral("start-up did not complete"));
        if (fault_)
            return finish(false, QStringLiteral("a fault was reported during start-up"));

        inAction_ = true;
        switch (o_.action) {
        case Action::TerminalVersion:
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
        default:
            break;
        }
        return finish(false, QStringLiteral("nothing to do"));
    }

private:
    void say(const QString& line)
    {
        if (!o_.quiet)
            output_.out(line);
    }

    // A transfer or a wait: on a terminal one line rewritten in place; else a
    // line at most every 10 % or every 5 s, whichever comes later.
    void showProgress()
    {
        if (o_.quiet || !w_)
            return;
        const progress::Info& p = w_->progressInfo();
        if (output_.live) {
            output_.live(progress::text(p));
            return;
        }
        if (p.kind == progress::Info::None)
            return;
        const qint64 now = clock_.elapsed();
        if (p.what != lastProgressWhat_) {
            lastProgressWhat_ = p.what;
            lastProgressMs_ = -1;
        }
        const int percent = progress::percent(p);
        if (!progress::dueForLine(lastProgressPercent_, lastProgressMs_, percent, now))
            return;
        lastProgressPercent_ = percent;
        lastProgressMs_ = now;
        output_.out(QStringLiteral("progress: ") + progress::text(p));
    }

    bool offeredForRestore() const
    {
        const QList<ftp::BackupFile> found = backups();
        return std::any_of(found.begin(), found.end(),
                           [&](const ftp::BackupFile& b) { return b.version == o_.restoreVersion; });
    }

    // The versions the restore window will offer, found the same way.
    static QList<ftp::BackupFile> backups()
    {
        return ftp::restoreCandidates(Files::find(backupDir(), QStringLiteral("qorax*.bin")));
    }
    static QString backupDir() { return Files::currentDirWithSeparator() + QStringLiteral("Backup"); }

    int listBackups()
    {
        QJsonArray list;
        for (const ftp::BackupFile& b : backups()) {
            const qint64 bytes = Files::size(backupDir() + QLatin1Char('/') + b.fileName);
            if (!o_.json)
                output_.out(dotted(b.version) + QStringLiteral("  ") + b.fileName + QStringLiteral("  ") +
                            QString::number(bytes) + QStringLiteral(" bytes"));
            list.append(QJsonObject{{QStringLiteral("version"), dotted(b.version)},
                                    {QStringLiteral("file"), b.fileName},
                                    {QStringLiteral("bytes"), bytes}});
        }
        if (o_.json)
            output_.out(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("action"), QStringLiteral("list-backups")},
                                          {QStringLiteral("backups"), list},
                                          {QStringLiteral("outcome"), QStringLiteral("success")}})
                    .toJson(QJsonDocument::Compact)));
        else if (list.isEmpty())
            output_.err(QStringLiteral("qora-upgrader-cli: no backups in ") + backupDir());
        return Success;
    }

    // Waits on the window's own events until nothing of it runs any more: no
    // polling, so a waiting front end costs nothing.
    bool waitQuiet()
    {
        QTimer limit;
        limit.setSingleShot(true);
        bool expired = false;
        QObject::connect(&limit, &QTimer::timeout, [&] { expired = true; });
        limit.start(Settings::scaled(kActionLimitMs));
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (w_->isUnloaded() || expired)
                return false;
            if (w_->mousePointer() == 0 && w_->nothingRunning()) {
                // A queued event may still arm the next step: let it run, then look again.
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                if (w_->mousePointer() == 0 && w_->nothingRunning() && !w_->isUnloaded())
                    return true;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    // Makes a wait on events look again.
    static void wake()
    {
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    }

    int finishVersion()
    {
        const QString v = w_->txtCurrentSoftwareVersion->text();
        say(QStringLiteral("version: ") + v);
        version_ = v;
        return finish(v != QLatin1String("UNKNOWN"), QStringLiteral("the terminal's version could not be read"));
    }

    int finishChain()
    {
        if (!waitQuiet())
            return finish(false, QStringLiteral("the action did not complete"));
        return finishVersion();
    }

    int downloadLog()
    {
        const QString target = w_->terminalLogPath();
        if (!w_->cmdDownloadLog->isEnabled())
            return finish(false, QStringLiteral("the log download is not available"));
        w_->cmdDownloadLog->trigger();
        if (!waitQuiet())
            return finish(false, QStringLiteral("the download did not complete"));
        const bool ok = Files::isFile(target) && w_->statusText() == ftp::logDownloadedText(target);
        if (ok)
            say(QStringLiteral("log: ") + target);
        return finish(ok, QStringLiteral("no log was downloaded"));
    }

    int restore()
    {
        const QString version = dotted(o_.restoreVersion);
        ItemReport item{QStringLiteral("software"), w_->txtCurrentSoftwareVersion->text(), QString(), version};
        bool offered = false;
        dialogs_.queueWindowScript([&](QDialog& d) {
            auto& r = static_cast<frmRestore&>(d);
            const auto rows = r.lstOldSoftwareVersions->findItems(version, Qt::MatchExactly);
            if (rows.isEmpty()) {
                r.cmdCancelRestore->click();
                return;
            }
            offered = true;
            r.lstOldSoftwareVersions->setCurrentItem(rows.first());
            r.cmdOkRestore->click();
        });
        if (!w_->cmdRestore->isEnabled())
            return finish(false, QStringLiteral("restore is not available"));
        w_->cmdRestore_Click();
        if (!offered)
            return finish(false, QStringLiteral("version ") + version + QStringLiteral(" was not offered for restore"));
        const bool done = waitQuiet();
        say(QStringLiteral("version: ") + w_->txtCurrentSoftwareVersion->text());
        item.after = w_->txtCurrentSoftwareVersion->text();
        item.took = done && w_->strCurrentVersion == o_.restoreVersion;
        items_ << item;
        return finishItems(done, QStringLiteral("the restore did not complete"));
    }

    QString antennaVersions() const
    {
        return QStringLiteral("ATB ") + w_->txtAntATBver->text() + QStringLiteral(", HPA ") + w_->txtAntHPAver->text();
    }

    int upgrade()
    {
        // Antenna firmware that would not fit is refused before anything is sent.
        if (o_.antenna && !w_->isAntennaFwOk)
            return finish(false, QStringLiteral("no usable antenna firmware in the home folder (one ATB and one HPA "
                                                "file of one class, or one IAC file)"));
        if (o_.antenna && !w_->antennaFilesFit(false))
            return finish(false, QStringLiteral("the antenna files (") + w_->txtLocAntClass->text() +
                                     QStringLiteral(") do not fit the terminal's antenna (") +
                                     w_->txtAntCLSver->text() + QStringLiteral(")"));
        struct Item {
            bool wanted;
            QCheckBox* box;
            const char* name;
        };
        const Item chosen[] = {{o_.software, w_->chkBinUpg, "software"},
                               {o_.antenna, w_->chkAntUpg, "antenna"},
                               {o_.pic, w_->chkPICUpg, "PIC"}};
        for (const Item& i : chosen) {
            if (i.box->isEnabled())
                i.box->setChecked(i.wanted);
            else if (i.wanted)
                return finish(false, QStringLiteral("the ") + QLatin1String(i.name) +
                                         QStringLiteral(" item cannot be upgraded with this package") +
                                         (w_->isBootRomMode ? QStringLiteral(" while the terminal runs its Boot ROM "
                                                                             "(BOOTROM MODE)")
                                                            : QString()));
        }
        if (!w_->cmdUpgrade->isEnabled())
            return finish(false, QStringLiteral("upgrade is not available"));

        const QString swBefore = w_->txtCurrentSoftwareVersion->text();
        const QString antBefore = antennaVersions();
        const QString picBefore = w_->txtTermPICVersion->text();
        w_->cmdUpgrade->click();
        const bool done = waitQuiet();
        say(QStringLiteral("version: ") + w_->txtCurrentSoftwareVersion->text());
        if (o_.software) {
            ItemReport r{QStringLiteral("software"), swBefore, w_->txtCurrentSoftwareVersion->text(),
                         dotted(w_->strNewVersion)};
            r.took = done && w_->strCurrentVersion == w_->strNewVersion;
            r.why = QStringLiteral("the terminal still runs ") + r.after;
            items_ << r;
        }
        if (o_.antenna)
            items_ << antennaReport(antBefore, done);
        if (o_.pic) {
            ItemReport r{QStringLiteral("PIC"), picBefore, w_->txtTermPICVersion->text(),
                         dotted(w_->strLocalPicVersion)};
            // A PIC that reports the file's version from a Boot ROM has not finished the upgrade.
            r.took = done && !w_->isBootRomMode && ident::sameVersion(r.after, r.expected);
            r.why = w_->isBootRomMode ? QStringLiteral("the terminal runs its Boot ROM (BOOTROM MODE)")
                                      : QStringLiteral("the PIC still reports ") + r.after;
            items_ << r;
        }
        backupReported_ = o_.software;
        return finishItems(done, QStringLiteral("the upgrade did not complete"));
    }

    ItemReport antennaReport(const QString& before, bool done) const
    {
        ItemReport r{QStringLiteral("antenna"), before, antennaVersions(), QString()};
        QStringList expected;
        bool took = done;
        const QString atb = w_->txtAntATBver->text();
        const QString hpa = w_->txtAntHPAver->text();
        if (!w_->strLocAtbFile.isEmpty()) {
            expected << QStringLiteral("ATB ") + w_->strLocAtbVer;
            took = took && ident::sameVersion(atb, w_->strLocAtbVer);
        }
        if (!w_->strLocHpaFile.isEmpty()) {
            expected << QStringLiteral("HPA ") + w_->strLocHpaVer;
            took = took && ident::sameVersion(hpa, w_->strLocHpaVer);
        }
        if (!w_->strLocIacFile.isEmpty()) {
            expected << QStringLiteral("IAC ") + w_->strLocIacVer;
            took = took && (ident::sameVersion(atb, w_->strLocIacVer) || ident::sameVersion(hpa, w_->strLocIacVer));
        }
        r.expected = expected.join(QStringLiteral(", "));
        r.took = took;
        r.why = QStringLiteral("the antenna reports ") + r.after;
        return r;
    }

    // Installing actions are judged by what the terminal reports afterwards;
    // boxes on the way are warnings then, not failures.
    int finishItems(bool done, const QString& notDone)
    {
        for (const ItemReport& i : items_) {
            if (!i.took)
                return finish(false, done ? i.why : notDone, true);
        }
        return finish(done, notDone, true);
    }

    int finish(bool ok, const QString& why, bool judgedByItems = false)
    {
        const QString logPath = w_ ? w_->strLogFilePath : QString();
        if (fault_ && !judgedByItems)
            ok = false;
        if (w_ && w_->isUnloaded())
            ok = false;
        if (w_ && !w_->isUnloaded())
            w_->closeMainWindow();
        if (output_.live)
            output_.live(QString());

        QString outcome = ok ? QStringLiteral("success") : QStringLiteral("failure");
        QString reason = ok ? QString() : why;
        int exitCode = ok ? Success : Failure;
        if (signal_ != 0) {
            outcome = QStringLiteral("interrupted");
            reason = signalName(signal_);
            exitCode = interruptedExitCode(signal_);
        } else if (!ok && fault_ && !judgedByItems) {
            reason = QStringLiteral("a FAULT message, above");
        }

        QString line = QStringLiteral("outcome: ") + outcome;
        if (!reason.isEmpty())
            line += QStringLiteral(" (") + reason + QStringLiteral(")");
        if (!warnings_.isEmpty())
            line += QStringLiteral("; warnings: ") + warnings_.join(QStringLiteral(" | "));
        if (backupReported_)
            line += QStringLiteral("; backup: ") + backupText();
        line += QStringLiteral("; log: ") + logReport(logPath);
        if (w_ && !warnings_.isEmpty())
            w_->WriteLog(qlog::LOG_INF, QStringLiteral("Warnings of this run: ") + warnings_.join(QStringLiteral(" | ")));
        if (exitCode == Success)
            output_.out(line);
        else
            output_.err(line);
        if (o_.json)
            output_.out(jsonReport(outcome, reason, logPath, exitCode));
        return exitCode;
    }

    QString backupText() const
    {
        const frmMain::BackupNote& b = w_->lastBackup();
        if (!b.path.isEmpty())
            return b.path + QStringLiteral(" (") + QString::number(b.bytes) + QStringLiteral(" bytes)");
        return QStringLiteral("none (") + b.why + QStringLiteral(")");
    }

    QString jsonReport(const QString& outcome, const QString& reason, const QString& logPath, int exitCode) const
    {
        QJsonArray items;
        for (const ItemReport& i : items_)
            items.append(QJsonObject{{QStringLiteral("item"), i.name},
                                     {QStringLiteral("before"), i.before},
                                     {QStringLiteral("after"), i.after},
                                     {QStringLiteral("expected"), i.expected},
                                     {QStringLiteral("took"), i.took}});
        QJsonObject report{{QStringLiteral("action"), QLatin1String(actionName(o_.action))},
                           {QStringLiteral("items"), items},
                           {QStringLiteral("warnings"), QJsonArray::fromStringList(warnings_)},
                           {QStringLiteral("outcome"), outcome},
                           {QStringLiteral("exitCode"), exitCode},
                           {QStringLiteral("durationMs"), clock_.elapsed()}};
        if (!reason.isEmpty())
            report.insert(QStringLiteral("reason"), reason);
        if (!version_.isEmpty())
            report.insert(QStringLiteral("version"), version_);
        report.insert(QStringLiteral("log"), QFileInfo(logPath).isFile() ? QJsonValue(logPath) : QJsonValue());
        if (backupReported_) {
            const frmMain::BackupNote& b = w_->lastBackup();
            report.insert(QStringLiteral("backup"),
                          b.path.isEmpty() ? QJsonObject{{QStringLiteral("none"), b.why}}
                                           : QJsonObject{{QStringLiteral("path"), b.path},
                                                         {QStringLiteral("bytes"), b.bytes}});
        }
        return QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Compact));
    }

    Options o_;
    Output output_;
    ScriptedDialogs dialogs_;
    frmMain* w_ = nullptr;
    QElapsedTimer clock_;
    bool fault_ = false;
    bool inAction_ = false;
    bool backupReported_ = false;
    int signal_ = 0;
    QString version_;
    QList<ItemReport> items_;
    QStringList warnings_;
    QString lastProgressWhat_;
    int lastProgressPercent_ = -1;
    qint64 lastProgressMs_ = -1;
};

}  // namespace

int run(const Options& options, const Output& output)
{
    Runner r(options, output);
    return r.run();
}

void interrupt(int signalNumber)
{
    if (activeRunner)
        activeRunner->interrupt(signalNumber);
}

}  // namespace cli
