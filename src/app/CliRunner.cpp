#include "app/CliRunner.h"

#include "app/frmMain.h"
#include "ftp/BackupRecord.h"
#include "ftp/FtpLogic.h"
#include "ident/Platform.h"
#include "ident/VersionText.h"
#include "log/LogFormat.h"
#include "platform/Files.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Settings.h"
#include "ui/HelpTexts.h"
#include "ui/SecondaryWindows.h"
#include "ui/TerminalWork.h"
#include "upgrade/Verdict.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
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
const QString kUnknown = QStringLiteral("UNKNOWN");
const QString kAlreadyCurrent = QStringLiteral("already current");
// Longer than any chain of the program's own waits and retries.
constexpr int kActionLimitMs = 30 * 60 * 1000;

// Text of the window (a box, the status line), fit for a terminal screen:
// its lines indented under the first.
QString shown(const QString& text)
{
    QStringList lines;
    for (const QString& l : QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n')))
        lines << qlog::printableText(l);
    return lines.join(QLatin1String("\n    "));
}

// A field the terminal filled in (a version, an antenna tag): one line, printable.
QString said(const QString& text)
{
    return qlog::fromTerminal(text);
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
    case Action::Status:
        return "status";
    case Action::DownloadLog:
        return "download-log";
    case Action::ListBackups:
        return "list-backups";
    case Action::ToolVersion:
        return "version";
    case Action::None:
    case Action::Help:
    case Action::Station:
        break;
    }
    return "none";
}

// One item of an upgrade or restore: as judged afterwards, or skipped.
struct ItemReport {
    verdict::Item v;
    QString skipped = {};
};

// One item of the package against the terminal, before anything is sent.
struct Plan {
    QString name;      // "software", "antenna", "PIC"
    QString terminal;  // what the terminal reports
    QString package;   // what the package holds; "none" without a file
    bool current = false;
    QString blocked = {};  // why an upgrade would not run; empty: it would
    QString code = {};
};

// Why the run failed, when it did.
struct Cause {
    QString code;
    QString text;
};

class Runner;
Runner* activeRunner = nullptr;
std::function<void(int)> idleInterrupt;

class Runner {
public:
    Runner(const Options& o, const Output& out, Batch* batch) : o_(o), output_(out), batch_(batch)
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
        // A terminal at work is not left halfway: the run goes on until it is safe to stop.
        const std::optional<work::Doing> doing = w_ && !w_->isUnloaded() ? w_->terminalWork() : std::nullopt;
        if (doing && *doing != work::Doing::Restart) {
            const QString warning = QStringLiteral("qora-upgrader-cli: ") + signalName(signalNumber) + QStringLiteral(": ") +
                                    work::doingText(*doing) +
                                    QStringLiteral(" Keep it powered and connected: the run stops as soon as that "
                                                   "work is over. A second Ctrl+C (or signal) stops it at once. ") +
                                    work::stopCost(*doing, work::Terms::FrontEnd);
            output_.err(warning);
            if (output_.armSecondSignal)
                output_.armSecondSignal(warning + QStringLiteral("\noutcome: interrupted (") + signalName(signalNumber) +
                                        QStringLiteral(", at once, while the terminal was at work); log: ") +
                                        logReport(w_->strLogFilePath));
            w_->WriteLog(qlog::LOG_INF, QStringLiteral("Stop asked (") + signalName(signalNumber) +
                                            QStringLiteral(") while the terminal is at work: no further item starts, "
                                                           "the upgrader closes once the work is over."));
            w_->isUpgAntSelected = false;
            w_->isUpgPicSelected = false;
            waitedForWork_ = true;
            return;
        }
        closeNow();
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
        if (o_.action == Action::Restore) {
            const std::optional<ftp::BackupFile> b = backupToRestore();
            if (!b)
                return refuse(QStringLiteral("no-backup"), QStringLiteral("unknown version '") +
                                                               dotted(o_.restoreVersion) + QStringLiteral("': no Backup/qorax_") +
                                                               o_.restoreVersion + QStringLiteral(".bin"));
            // A damaged copy is refused before the terminal is even asked.
            if (const backup::Check c = backup::check(backupDir() + QLatin1Char('/') + b->fileName);
                c.state == backup::State::Damaged)
                return refuse(QStringLiteral("backup-damaged"),
                              QStringLiteral("Backup/") + b->fileName + QStringLiteral(" is damaged: ") + c.why);
        }

        // The questions the user asked for by the action are answered Yes;
        // flashing a PIC with a battery that may be fitted is not.
        dialogs_.setPolicy([](const MsgRecord& r) {
            if (r.buttons != MsgButtons::YesNo)
                return MsgResult::OK;
            return r.text.startsWith(QLatin1String("Battery Presence Could NOT Be Determined!")) ? MsgResult::No
                                                                                                : MsgResult::Yes;
        });
        dialogs_.onBox = [this](const MsgRecord& r) { noteBox(r); };
        dialogs_.onWindow = [this](const QString& title) { say(QStringLiteral("window: ") + title); };

        frmMain w(dialogs_, QString());
        w_ = &w;
        if (batch_ && batch_->folderLock)
            w.shareHomeLock(batch_->folderLock);
        w.setPackageOptional(!needsPackage(o_.action));
        // Nobody is there to choose a folder: without a package it refuses.
        w.setPackageFolderChooser(false);
        if (!o_.address.isEmpty())
            w.txtIPAddress->setText(o_.address);
        QObject::connect(w.sbUpgrade, &QLineEdit::textChanged,
                         [this](const QString& t) { say(QStringLiteral("status: ") + shown(t)); });
        QObject::connect(&w, &frmMain::progressChanged, [this] { showProgress(); });

        if (!w.Form_Load())
            return finish(false, {QStringLiteral("incomplete"), QStringLiteral("the upgrader closed during start-up")});
        if (!waitQuiet())
            return finish(false, {QStringLiteral("incomplete"), QStringLiteral("start-up did not complete")});
        if (fault_)
            return finish(false, {QStringLiteral("fault"), QStringLiteral("a fault was reported during start-up")});

        inAction_ = true;
        if (batch_ && batch_->identified)
            batch_->identified(terminalVersions());
        switch (o_.action) {
        case Action::TerminalVersion:
            return finishVersion();
        case Action::Status:
            return status();
        case Action::Reset:
            if (w.strIPAddress.isEmpty() || !w.cmdResetModem->isEnabled())
                return finish(false, {QStringLiteral("fault"), QStringLiteral("the reset command is not available")});
            w.cmdResetModem_Click();
            return finishChain();
        case Action::FactoryDefaults:
            if (!w.cmdRestoreDefaults->isEnabled())
                return finish(false, {QStringLiteral("fault"),
                                      QStringLiteral("the factory-defaults command is not available")});
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
        return finish(false, {QStringLiteral("usage"), QStringLiteral("nothing to do")});
    }

private:
    void say(const QString& line)
    {
        if (!o_.quiet)
            output_.out(line);
    }

    void closeNow()
    {
        if (w_ && !w_->isUnloaded())
            w_->closeMainWindow();
        wake();
    }

    // A box as it comes: printed, and kept with the item being worked on, to
    // name the cause of a failure or to be listed as a warning.
    void noteBox(const MsgRecord& r)
    {
        say(QStringLiteral("box: ") + shown(r.title) + QStringLiteral(": ") + shown(r.text));
        if (r.title == kFaultTitle)
            fault_ = true;
        const std::optional<frmMain::VerdictShown>& verdict = w_->lastVerdict();
        const bool isVerdict = verdict && verdict->box == r.text;
        // Questions are the action asked for, except the one the policy says No to;
        // a failure may come as a mere note.
        const bool attention = r.buttons == MsgButtons::OK
                                   ? r.icon == MsgIcon::Exclamation || r.icon == MsgIcon::Critical ||
                                         r.title == kFaultTitle || codeOfBox(r.text) != QLatin1String("fault")
                                   : r.answer == MsgResult::No;
        if (!attention || isVerdict)
            return;
        seen_ << Seen{r, itemAtWork()};
    }

    // The item the window is working on: the frame it lights, or what the terminal is doing.
    QString itemAtWork() const
    {
        if (frmMain::isFrameActive(w_->frameBin))
            return QStringLiteral("software");
        if (frmMain::isFrameActive(w_->frameAntenna))
            return QStringLiteral("antenna");
        if (frmMain::isFrameActive(w_->framePIC))
            return QStringLiteral("PIC");
        switch (w_->terminalWork().value_or(work::Doing::Restart)) {
        case work::Doing::Software:
            return QStringLiteral("software");
        case work::Doing::Antenna:
            return QStringLiteral("antenna");
        case work::Doing::Pic:
            return QStringLiteral("PIC");
        case work::Doing::Restart:
            break;
        }
        return {};
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

    // The backup --restore names; nullopt when there is none.
    std::optional<ftp::BackupFile> backupToRestore() const
    {
        const QList<ftp::BackupFile> found = backups();
        const auto it = std::find_if(found.begin(), found.end(),
                                     [&](const ftp::BackupFile& b) { return b.version == o_.restoreVersion; });
        return it == found.end() ? std::nullopt : std::optional<ftp::BackupFile>(*it);
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
            const backup::Check c = backup::check(backupDir() + QLatin1Char('/') + b.fileName);
            const QString state = c.state == backup::State::Whole     ? QStringLiteral("whole")
                                  : c.state == backup::State::Damaged ? QStringLiteral("damaged")
                                                                      : QStringLiteral("unrecorded");
            if (!o_.json)
                output_.out(dotted(b.version) + QStringLiteral("  ") + b.fileName + QStringLiteral("  ") +
                            QString::number(bytes) + QStringLiteral(" bytes  ") + state +
                            (c.why.isEmpty() ? QString() : QStringLiteral(": ") + c.why));
            QJsonObject entry{{QStringLiteral("version"), dotted(b.version)},
                              {QStringLiteral("file"), b.fileName},
                              {QStringLiteral("bytes"), bytes},
                              {QStringLiteral("state"), state}};
            if (!c.why.isEmpty())
                entry.insert(QStringLiteral("why"), c.why);
            list.append(entry);
        }
        if (o_.json)
            output_.out(jsonLine(QJsonObject{{QStringLiteral("action"), QStringLiteral("list-backups")},
                                             {QStringLiteral("backups"), list},
                                             {QStringLiteral("outcome"), QStringLiteral("success")}}));
        else if (list.isEmpty())
            output_.err(QStringLiteral("qora-upgrader-cli: no backups in ") + backupDir());
        return Success;
    }

    // Waits on the window's own events until nothing of it runs any more and
    // its verdict is given: no polling, so a waiting front end costs nothing.
    bool waitQuiet()
    {
        QTimer limit;
        limit.setSingleShot(true);
        bool expired = false;
        QObject::connect(&limit, &QTimer::timeout, [&] { expired = true; });
        limit.start(Settings::scaled(kActionLimitMs));
        const auto settled = [this] {
            return w_->mousePointer() == 0 && w_->nothingRunning() && !w_->verdictPending();
        };
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            // Stopped while the terminal was at work: close once it is safe to.
            if (waitedForWork_ && !w_->isUnloaded()) {
                const std::optional<work::Doing> doing = w_->terminalWork();
                if (!doing || *doing == work::Doing::Restart)
                    closeNow();
            }
            if (w_->isUnloaded() || expired)
                return false;
            if (settled()) {
                // A queued event may still arm the next step: let it run, then look again.
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                if (settled() && !w_->isUnloaded())
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

    QString antennaShown() const
    {
        return QStringLiteral("ATB ") + w_->txtAntATBver->text() + QStringLiteral(", HPA ") + w_->txtAntHPAver->text();
    }

    // Everything the terminal reported of itself.
    QJsonObject terminalVersions() const
    {
        return QJsonObject{{QStringLiteral("software"), said(w_->txtCurrentSoftwareVersion->text())},
                           {QStringLiteral("bootRom"), w_->isBootRomMode},
                           {QStringLiteral("antenna"),
                            QJsonObject{{QStringLiteral("atb"), said(w_->txtAntATBver->text())},
                                        {QStringLiteral("hpa"), said(w_->txtAntHPAver->text())},
                                        {QStringLiteral("class"), said(w_->txtAntCLSver->text())},
                                        {QStringLiteral("serial"), said(w_->txtAntASNver->text())},
                                        {QStringLiteral("hardware"), said(w_->txtAntAHWver->text())}}},
                           {QStringLiteral("pic"), said(w_->txtTermPICVersion->text())}};
    }

    void sayTerminal()
    {
        const QJsonObject v = terminalVersions();
        const QJsonObject a = v[QStringLiteral("antenna")].toObject();
        say(QStringLiteral("version: ") + v[QStringLiteral("software")].toString() +
            (w_->isBootRomMode ? QStringLiteral(" (the terminal runs its Boot ROM)") : QString()));
        say(QStringLiteral("antenna: ATB ") + a[QStringLiteral("atb")].toString() + QStringLiteral(", HPA ") +
            a[QStringLiteral("hpa")].toString() + QStringLiteral(", ") + a[QStringLiteral("class")].toString() +
            QStringLiteral(", serial ") + a[QStringLiteral("serial")].toString() + QStringLiteral(", hardware ") +
            a[QStringLiteral("hardware")].toString());
        say(QStringLiteral("PIC: ") + v[QStringLiteral("pic")].toString());
    }

    bool versionRead() const { return w_->txtCurrentSoftwareVersion->text() != kUnknown; }

    int finishVersion()
    {
        version_ = said(w_->txtCurrentSoftwareVersion->text());
        if (!versionRead())
            return finish(false, {QStringLiteral("unreachable"), QStringLiteral("the terminal's version could not be read")});
        versions_ = terminalVersions();
        sayTerminal();
        return finish(true);
    }

    int finishChain()
    {
        if (!waitQuiet())
            return finish(false, {QStringLiteral("incomplete"), QStringLiteral("the action did not complete")});
        return finishVersion();
    }

    int downloadLog()
    {
        const QString target = w_->terminalLogPath();
        if (!w_->cmdDownloadLog->isEnabled())
            return finish(false, {QStringLiteral("fault"), QStringLiteral("the log download is not available")});
        w_->cmdDownloadLog->trigger();
        if (!waitQuiet())
            return finish(false, {QStringLiteral("incomplete"), QStringLiteral("the download did not complete")});
        if (Files::isFile(target) && w_->statusText() == ftp::logDownloadedText(target)) {
            file_ = target;
            return finish(true);
        }
        // The terminal had none: said in the status line only.
        if (w_->statusText() == QLatin1String("Log file doesn't exist."))
            return finish(false, {QStringLiteral("no-log"), w_->statusText()});
        return finish(false, {QStringLiteral("incomplete"), QStringLiteral("no log was downloaded")});
    }

    int restore()
    {
        const QString version = dotted(o_.restoreVersion);
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
            return finish(false, {QStringLiteral("fault"), QStringLiteral("restore is not available")});
        const QString before = w_->txtCurrentSoftwareVersion->text();
        w_->cmdRestore_Click();
        if (!offered)
            return finish(false, {QStringLiteral("no-backup"),
                                  QStringLiteral("version ") + version + QStringLiteral(" was not offered for restore")});
        const bool done = waitQuiet();
        say(QStringLiteral("version: ") + said(w_->txtCurrentSoftwareVersion->text()));
        judge({{verdict::software(before, w_->txtCurrentSoftwareVersion->text(), version, w_->isBootRomMode)}});
        return finishItems(done);
    }

    // What each item of the package is to the terminal, and whether an upgrade of it would run.
    QList<Plan> plans() const
    {
        frmMain& w = *w_;
        const bool bootRom = w.isBootRomMode;
        Plan sw{QStringLiteral("software"), w.txtCurrentSoftwareVersion->text(), dotted(w.strNewVersion)};
        sw.current = verdict::software(sw.terminal, sw.terminal, sw.package, bootRom).took;
        if (ident::packageRefused(w.binBootCompatLevel, w.termBootCompatLevel))
            sw = blocked(sw, QStringLiteral("too-old"),
                         QStringLiteral("the package is older than the terminal's Boot ROM accepts"));
        else if (!sw.current && !ident::DetectReleaseSeriesConflict(w.strCurrentVersion, w.strNewVersion,
                                                                      w.isFactoryMode, bootRom,
                                                                      w.isConnectedWithoutVersion)
                                     .permitted)
            sw = blocked(sw, QStringLiteral("release-series"),
                         QStringLiteral("release series: the package is not of the series the terminal runs"));

        const bool antennaFiles = !(w.strLocAtbFile + w.strLocHpaFile + w.strLocIacFile).isEmpty();
        QStringList packaged;
        if (!w.strLocAtbFile.isEmpty())
            packaged << QStringLiteral("ATB ") + w.strLocAtbVer;
        if (!w.strLocHpaFile.isEmpty())
            packaged << QStringLiteral("HPA ") + w.strLocHpaVer;
        if (!w.strLocIacFile.isEmpty())
            packaged << QStringLiteral("IAC ") + w.strLocIacVer;
        Plan ant{QStringLiteral("antenna"), antennaShown() + QStringLiteral(" (") + w.txtAntCLSver->text() + QLatin1Char(')'),
                 antennaFiles ? packaged.join(QStringLiteral(", ")) + QStringLiteral(" (") + w.txtLocAntClass->text() +
                                    QLatin1Char(')')
                              : QStringLiteral("none")};
        const verdict::AntennaFiles files{w.strLocAtbFile.isEmpty() ? QString() : w.strLocAtbVer,
                                          w.strLocHpaFile.isEmpty() ? QString() : w.strLocHpaVer,
                                          w.strLocIacFile.isEmpty() ? QString() : w.strLocIacVer};
        ant.current = verdict::antenna(QString(), w.txtAntATBver->text(), w.txtAntHPAver->text(), files, bootRom).took;
        if (!antennaFiles)
            ant = blocked(ant, QStringLiteral("no-file"), QStringLiteral("no file"));
        else if (!w.isAntennaFwOk)
            ant = blocked(ant, QStringLiteral("antenna-files"),
                          QStringLiteral("the antenna files cannot be used together (one ATB and one HPA file of one "
                                         "class, or one IAC file)"));
        else if (bootRom)
            ant = blocked(ant, QStringLiteral("boot-rom"), QStringLiteral("the terminal runs its Boot ROM"));
        else if (!w.antennaFilesFit(false))
            ant = blocked(ant, QStringLiteral("antenna-class"),
                          QStringLiteral("class does not fit: the files are for ") + w.txtLocAntClass->text() +
                              QStringLiteral(", the antenna is ") + w.txtAntCLSver->text());

        Plan pic{QStringLiteral("PIC"), w.txtTermPICVersion->text(),
                 w.isPicFwOk ? dotted(w.strLocalPicVersion) : QStringLiteral("none")};
        pic.current = verdict::pic(QString(), pic.terminal, pic.package, bootRom).took;
        if (!w.isPicFwOk)
            pic = blocked(pic, QStringLiteral("no-file"),
                          w.strLocalPicFile.isEmpty() ? QStringLiteral("no file")
                                                      : QStringLiteral("the PIC file ") + w.strLocalPicFile +
                                                            QStringLiteral(" cannot be used"));
        else if (!w.chkPICUpg->isEnabled() && bootRom)
            pic = blocked(pic, QStringLiteral("boot-rom"), QStringLiteral("the terminal runs its Boot ROM"));
        // Judged on what the terminal said; shown printable.
        for (Plan* p : {&sw, &ant, &pic})
            p->terminal = said(p->terminal);
        return {sw, ant, pic};
    }

    static Plan blocked(Plan p, const QString& code, const QString& why)
    {
        p.current = false;
        p.code = code;
        p.blocked = why;
        return p;
    }

    static QString planText(const Plan& p)
    {
        return !p.blocked.isEmpty() ? p.blocked
               : p.current          ? kAlreadyCurrent
                                    : QStringLiteral("an upgrade would run");
    }

    int status()
    {
        if (!versionRead())
            return finish(false, {QStringLiteral("unreachable"), QStringLiteral("the terminal's versions could not be read")});
        versions_ = terminalVersions();
        say(QStringLiteral("terminal: ") + versions_[QStringLiteral("software")].toString() +
            (w_->isBootRomMode ? QStringLiteral(" (Boot ROM)") : QString()) + QStringLiteral(", antenna ") +
            said(w_->txtAntCLSver->text()));
        QStringList due;
        for (const Plan& p : plans()) {
            status_ << p;
            say(p.name + QStringLiteral(": terminal ") + p.terminal + QStringLiteral(", package ") + p.package +
                QStringLiteral(": ") + shown(planText(p)));
            // An item the package has a file for that the terminal does not run yet.
            if (p.code != QLatin1String("no-file") && !p.current)
                due << p.name;
        }
        due_ = due;
        return finish(true);
    }

    int upgrade()
    {
        struct Chosen {
            bool wanted;
            QCheckBox* box;
        };
        const Chosen chosen[] = {{o_.software, w_->chkBinUpg}, {o_.antenna, w_->chkAntUpg}, {o_.pic, w_->chkPICUpg}};
        const QList<Plan> all = plans();
        bool any = false;
        for (qsizetype i = 0; i < all.size(); ++i) {
            const Plan& p = all.at(i);
            const Chosen& c = chosen[i];
            if (!c.wanted) {
                if (c.box->isEnabled())
                    c.box->setChecked(false);
                continue;
            }
            if (p.current && !o_.force) {
                say(QStringLiteral("skipped: ") + p.name + QStringLiteral(": the terminal already runs ") + p.terminal +
                    QStringLiteral(" (--force installs it all the same)"));
                verdict::Item v{p.name, p.terminal, p.terminal, p.package, true, QString()};
                items_ << ItemReport{v, kAlreadyCurrent};
                continue;
            }
            if (!p.blocked.isEmpty())
                return refuse(p.code, QStringLiteral("the ") + p.name +
                                          QStringLiteral(" item cannot be upgraded with this package: ") + p.blocked);
            if (!c.box->isEnabled())
                return finish(false, {QStringLiteral("fault"), QStringLiteral("the ") + p.name +
                                                                   QStringLiteral(" item cannot be upgraded now")});
            c.box->setChecked(true);
            any = true;
        }
        if (!any)
            return finish(true);
        if (!w_->cmdUpgrade->isEnabled())
            return finish(false, {QStringLiteral("fault"), QStringLiteral("upgrade is not available")});

        const QString swBefore = w_->txtCurrentSoftwareVersion->text();
        const QString antBefore = antennaShown();
        const QString picBefore = w_->txtTermPICVersion->text();
        w_->cmdUpgrade->click();
        const bool done = waitQuiet();
        say(QStringLiteral("version: ") + said(w_->txtCurrentSoftwareVersion->text()));
        backupReported_ = o_.software && !isSkipped(QStringLiteral("software"));
        // The window's own verdict when it gave one; else the same judgement of what it last read.
        QList<verdict::Item> judged;
        if (w_->lastVerdict()) {
            judged = w_->lastVerdict()->items;
        } else {
            frmMain& w = *w_;
            if (o_.software && !isSkipped(QStringLiteral("software")))
                judged << verdict::software(swBefore, w.txtCurrentSoftwareVersion->text(), dotted(w.strNewVersion),
                                            w.isBootRomMode);
            if (o_.antenna && !isSkipped(QStringLiteral("antenna")))
                judged << verdict::antenna(antBefore, w.txtAntATBver->text(), w.txtAntHPAver->text(),
                                           {w.strLocAtbFile.isEmpty() ? QString() : w.strLocAtbVer,
                                            w.strLocHpaFile.isEmpty() ? QString() : w.strLocHpaVer,
                                            w.strLocIacFile.isEmpty() ? QString() : w.strLocIacVer},
                                           w.isBootRomMode);
            if (o_.pic && !isSkipped(QStringLiteral("PIC")))
                judged << verdict::pic(picBefore, w.txtTermPICVersion->text(), dotted(w.strLocalPicVersion),
                                       w.isBootRomMode);
        }
        judge(judged);
        return finishItems(done);
    }

    bool isSkipped(const QString& name) const
    {
        return std::any_of(items_.begin(), items_.end(),
                           [&](const ItemReport& i) { return i.v.name == name && !i.skipped.isEmpty(); });
    }

    // The items installed, in the fixed order, after those skipped.
    void judge(const QList<verdict::Item>& judged)
    {
        for (const verdict::Item& v : judged)
            items_ << ItemReport{v};
        static const QStringList kOrder{QStringLiteral("software"), QStringLiteral("antenna"), QStringLiteral("PIC")};
        std::stable_sort(items_.begin(), items_.end(), [](const ItemReport& a, const ItemReport& b) {
            return kOrder.indexOf(a.v.name) < kOrder.indexOf(b.v.name);
        });
    }

    // Installing actions are judged by what the terminal reports afterwards;
    // boxes on the way are warnings then, not failures.
    int finishItems(bool done)
    {
        const bool took = std::all_of(items_.begin(), items_.end(), [](const ItemReport& i) { return i.v.took; });
        judgedByItems_ = true;
        return finish(done && took, {QStringLiteral("incomplete"), QStringLiteral("the action did not complete")});
    }

    // The cause of a failure: the last box that wanted attention (not one
    // seen while an item that took was being installed); else the first
    // item that did not take; else what the front end found itself.
    Cause causeOf(const Cause& fallback) const
    {
        if (explicitCause_)
            return *explicitCause_;
        for (auto it = seen_.crbegin(); it != seen_.crend(); ++it) {
            const bool ofTakenItem = std::any_of(items_.begin(), items_.end(), [&](const ItemReport& i) {
                return i.v.took && i.v.name == it->item;
            });
            if (!ofTakenItem)
                return {codeOfBox(it->record.text), it->cause()};
        }
        for (const ItemReport& i : items_) {
            if (!i.v.took) {
                const QString code = i.v.why.contains(QLatin1String("BOOTROM MODE"))         ? QStringLiteral("boot-rom")
                                     : i.v.why.contains(QLatin1String("could not be read back")) ? QStringLiteral("unreachable")
                                                                                                 : QStringLiteral("not-taken");
                return {code,
                        shown(i.v.name + QStringLiteral(" did not take: ") + i.v.why + QStringLiteral("; the package holds ") +
                              i.v.expected)};
            }
        }
        return fallback;
    }

    // A refusal of the front end's own, before anything is sent: the cause, whatever came before.
    int refuse(const QString& code, const QString& text)
    {
        explicitCause_ = Cause{code, text};
        return finish(false);
    }

    // fallback: the cause when no box and no item names one.
    int finish(bool ok, const Cause& fallback = {})
    {
        const QString logPath = w_ ? w_->strLogFilePath : QString();
        if (fault_ && !judgedByItems_)
            ok = false;
        if (w_ && w_->isUnloaded())
            ok = false;
        if (w_ && !w_->isUnloaded())
            w_->closeMainWindow();
        if (output_.live)
            output_.live(QString());

        QString outcome = ok ? QStringLiteral("success") : QStringLiteral("failure");
        Cause cause;
        int exitCode = Success;
        if (signal_ != 0) {
            outcome = QStringLiteral("interrupted");
            cause = {QStringLiteral("interrupted"),
                     signalName(signal_) +
                         (waitedForWork_ ? QStringLiteral(", once the terminal's work was over") : QString())};
            exitCode = interruptedExitCode(signal_);
        } else if (!ok) {
            cause = causeOf(fallback);
            exitCode = failureCode(cause.code).exitStatus;
            if (o_.action == Action::Status && exitCode == Failure)
                exitCode = StatusUnknown;
        } else if (o_.action == Action::Status) {
            outcome = due_.isEmpty() ? QStringLiteral("current") : QStringLiteral("upgrade due");
            exitCode = due_.isEmpty() ? Success : Failure;
        }

        // Every box that wanted attention and is not the cause is a warning.
        QStringList warnings;
        for (const Seen& s : seen_) {
            const QString text = s.cause();
            if (!text.isEmpty() && text != cause.text && !warnings.contains(text))
                warnings << text;
        }

        // For a script to capture: the software version alone.
        if (exitCode == Success && o_.quiet && !o_.json && o_.action == Action::TerminalVersion) {
            output_.out(version_);
            return exitCode;
        }
        QString line = QStringLiteral("outcome: ") + outcome;
        if (!cause.code.isEmpty())
            line += QStringLiteral(" (") + (signal_ != 0 ? cause.text : cause.code + QStringLiteral(": ") + cause.text) +
                    QStringLiteral(")");
        else if (!due_.isEmpty())
            line += QStringLiteral(" (") + due_.join(QStringLiteral(", ")) + QStringLiteral(")");
        const QString advice = cause.code.isEmpty() ? QString() : QLatin1String(failureCode(cause.code).advice);
        if (!advice.isEmpty())
            line += QStringLiteral("; what to do: ") + advice;
        QStringList skipped;
        for (const ItemReport& i : items_) {
            if (!i.skipped.isEmpty())
                skipped << i.v.name;
        }
        if (!skipped.isEmpty())
            line += QStringLiteral("; skipped: ") + skipped.join(QStringLiteral(", ")) + QStringLiteral(" (") +
                    kAlreadyCurrent + QLatin1Char(')');
        if (!warnings.isEmpty())
            line += QStringLiteral("; warnings: ") + warnings.join(QStringLiteral(" | "));
        if (backupReported_)
            line += QStringLiteral("; backup: ") + backupText();
        if (!file_.isEmpty())
            line += QStringLiteral("; file: ") + file_;
        line += QStringLiteral("; log: ") + logReport(logPath);
        if (w_ && !warnings.isEmpty())
            w_->WriteLog(qlog::LOG_INF, QStringLiteral("Warnings of this run: ") + warnings.join(QStringLiteral(" | ")));
        if (exitCode == Success || (o_.action == Action::Status && exitCode == Failure))
            output_.out(line);
        else
            output_.err(line);
        if (o_.json || batch_) {
            const QJsonObject report = jsonReport(outcome, cause, advice, warnings, logPath, exitCode);
            if (batch_)
                batch_->report = report;
            if (o_.json)
                output_.out(jsonLine(report));
        }
        return exitCode;
    }

    QString backupText() const
    {
        const frmMain::BackupNote& b = w_->lastBackup();
        if (!b.path.isEmpty())
            return b.path + QStringLiteral(" (") + QString::number(b.bytes) + QStringLiteral(" bytes)");
        return QStringLiteral("none (") + b.why + QStringLiteral(")");
    }

    QJsonObject jsonReport(const QString& outcome, const Cause& cause, const QString& advice, const QStringList& warnings,
                           const QString& logPath, int exitCode) const
    {
        QJsonArray items;
        for (const ItemReport& i : items_) {
            QJsonObject item{{QStringLiteral("item"), i.v.name},
                             {QStringLiteral("before"), i.v.before},
                             {QStringLiteral("after"), i.v.after},
                             {QStringLiteral("expected"), i.v.expected},
                             {QStringLiteral("took"), i.v.took}};
            if (!i.skipped.isEmpty())
                item.insert(QStringLiteral("skipped"), i.skipped);
            items.append(item);
        }
        for (const Plan& p : status_)
            items.append(QJsonObject{{QStringLiteral("item"), p.name},
                                     {QStringLiteral("terminal"), p.terminal},
                                     {QStringLiteral("package"), p.package},
                                     {QStringLiteral("current"), p.current},
                                     {QStringLiteral("upgrade"), p.blocked.isEmpty() && !p.current},
                                     {QStringLiteral("why"), shown(planText(p))}});
        QJsonObject report{{QStringLiteral("action"), QLatin1String(actionName(o_.action))},
                           {QStringLiteral("items"), items},
                           {QStringLiteral("warnings"), QJsonArray::fromStringList(warnings)},
                           {QStringLiteral("outcome"), outcome},
                           {QStringLiteral("exitCode"), exitCode},
                           {QStringLiteral("durationMs"), clock_.elapsed()}};
        if (!cause.code.isEmpty()) {
            report.insert(QStringLiteral("code"), cause.code);
            report.insert(QStringLiteral("reason"), cause.text);
            report.insert(QStringLiteral("advice"), advice);
        }
        if (!version_.isEmpty())
            report.insert(QStringLiteral("version"), version_);
        if (!versions_.isEmpty())
            report.insert(QStringLiteral("terminal"), versions_);
        if (!file_.isEmpty())
            report.insert(QStringLiteral("file"), file_);
        report.insert(QStringLiteral("log"), QFileInfo(logPath).isFile() ? QJsonValue(logPath) : QJsonValue());
        if (backupReported_) {
            const frmMain::BackupNote& b = w_->lastBackup();
            report.insert(QStringLiteral("backup"),
                          b.path.isEmpty() ? QJsonObject{{QStringLiteral("none"), b.why}}
                                           : QJsonObject{{QStringLiteral("path"), b.path},
                                                         {QStringLiteral("bytes"), b.bytes}});
        }
        return report;
    }

    struct Seen {
        MsgRecord record;
        QString item;  // being installed when the box came; empty: none in particular
        QString cause() const
        {
            QString c = qlog::printableText(causeOfBox(record.text));
            if (record.buttons != MsgButtons::OK)
                c += QStringLiteral(" (answered No: unattended, a PIC is not flashed when a battery may be fitted)");
            return c;
        }
    };

    Options o_;
    Output output_;
    Batch* batch_;
    ScriptedDialogs dialogs_;
    frmMain* w_ = nullptr;
    QElapsedTimer clock_;
    bool fault_ = false;
    bool inAction_ = false;
    bool judgedByItems_ = false;
    bool backupReported_ = false;
    int signal_ = 0;
    bool waitedForWork_ = false;
    std::optional<Cause> explicitCause_;
    QString version_;
    QJsonObject versions_;
    QString file_;
    QList<ItemReport> items_;
    QList<Plan> status_;
    QStringList due_;
    QList<Seen> seen_;
    QString lastProgressWhat_;
    int lastProgressPercent_ = -1;
    qint64 lastProgressMs_ = -1;
};

}  // namespace

// The one way JSON leaves the front end: control characters in any of its
// texts shown as codes, not merely escaped, as on the screen.
QString jsonLine(const QJsonObject& object)
{
    const std::function<QJsonValue(const QJsonValue&)> shownValue = [&](const QJsonValue& v) -> QJsonValue {
        if (v.isString())
            return qlog::controlsShown(v.toString(), false);
        if (v.isArray()) {
            QJsonArray a;
            for (const QJsonValue& e : v.toArray())
                a.append(shownValue(e));
            return a;
        }
        if (v.isObject()) {
            QJsonObject o;
            const QJsonObject in = v.toObject();
            for (auto it = in.begin(); it != in.end(); ++it)
                o.insert(it.key(), shownValue(it.value()));
            return o;
        }
        return v;
    };
    return QString::fromUtf8(QJsonDocument(shownValue(object).toObject()).toJson(QJsonDocument::Compact));
}

int run(const Options& options, const Output& output, Batch* batch)
{
    Runner r(options, output, batch);
    return r.run();
}

QString refusalReport(const QString& code, const QString& reason)
{
    return jsonLine(QJsonObject{{QStringLiteral("outcome"), QStringLiteral("failure")},
                                {QStringLiteral("code"), code},
                                {QStringLiteral("reason"), reason},
                                {QStringLiteral("advice"), QLatin1String(failureCode(code).advice)},
                                {QStringLiteral("exitCode"), failureCode(code).exitStatus}});
}

void setIdleInterrupt(std::function<void(int)> handler)
{
    idleInterrupt = std::move(handler);
}

void interrupt(int signalNumber)
{
    if (activeRunner)
        activeRunner->interrupt(signalNumber);
    else if (idleInterrupt)
        idleInterrupt(signalNumber);
}

}  // namespace cli
