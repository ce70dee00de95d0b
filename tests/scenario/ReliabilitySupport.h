#pragma once

// What the reliability tests share: a terminal running 5.7.1.12 with two
// older executables, a home folder with the 5.7.2.0 package, the upgrader,
// the cut of the line, and the checks that follow every interrupted run.
#include "ftp/BackupRecord.h"
#include "support/SimUpgrade.h"

#include "platform/InetFtp.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

namespace reliability {

inline const QString kOldVersion = QStringLiteral("5_7_1_12");
inline const QString kNewVersion = QStringLiteral("5_7_2_0");
inline constexpr double kScale = 0.01;

inline int scaled(int terminalMs)
{
    return int(terminalMs * kScale);
}

// The longest chain of the upgrader's own waits after a cut: the 12 s
// ignite, the FTP watchdog and client time-out, the descriptor put, the
// reset waits with all their retries, the probe. Past this it hangs.
inline const int kSettleLimitMs = scaled(12000 + 65000 + 60000 + 60000 + 5000 + 7 * (40000 + 5000) + 2000) + 2000;
// From the press of Upgrade: the good road's own waits (12 s, 2 s, 5 s, 40 s) first.
inline const int kRunLimitMs = scaled(12000 + 2000 + 5000 + 40000) + kSettleLimitMs;

// "ZING 0x32", "FTP RETR image.txt", "TELNET pic_data_show".
inline QString describe(const qsim::Record& r)
{
    if (r.service == qsim::Service::Zing)
        return QStringLiteral("ZING 0x") + QString::number(r.zingCode, 16);
    if (r.service == qsim::Service::Ftp)
        return QStringLiteral("FTP ") + (r.argument.isEmpty() ? r.command : r.command + QLatin1Char(' ') + r.argument);
    return QStringLiteral("TELNET ") + r.line;
}

// How the line is cut: the terminal loses power and stays off, it loses
// power and comes straight back (a reboot), or every connection is reset.
enum class CutKind { PowerOff, Reboot, ResetLinks };

inline const char* cutName(CutKind k)
{
    static const char* const kNames[] = {"power off", "reboot", "links reset"};
    return kNames[int(k)];
}

// Nothing of the upgrader runs any more: no timer, no transfer, no connection
// being made. From here on only the user could make something happen.
inline bool settled(frmMain& w)
{
    return w.isUnloaded() || (w.nothingRunning() && !w.verdictPending());
}

inline QString runningTimers(frmMain& w)
{
    QStringList on;
    for (Timer* t : w.allTimers()) {
        if (t->enabled())
            on << t->name();
    }
    return on.join(QLatin1Char(' ')) + (w.inetFTP->stillExecuting() ? QStringLiteral(" (FTP busy)") : QString());
}

// The terminal before the upgrade: 5.7.1.12 running, two older executables;
// the 5.7.2.0 package in the home folder. Cuts are placed by the terminal's
// record numbers, so its records are kept.
struct Bench : SimBench {
    Bench()
    {
        forgetRecords = false;
        sim->updateModel([](qsim::Model& m) { m.restartMs = 5000; });
        sim.terminal().flash().putExecutable("5_7_1", QByteArray(3000, 'o'));
        sim.terminal().flash().write("/tffs0/bin/qorax.bin", QByteArray(2000, 'd'));
        oldExecutable = *sim.terminal().flash().read("/tffs0/bin/qorax_5_7_1_12.bin");
        packageName = home.writePackage(kNewVersion, 2, 200 * 1024);
        package = readFile(home.file(packageName));
    }

    // The version the terminal runs is installed again: the package is a
    // copy of the running executable, which the upload overwrites in place.
    // A shorter copy does not boot.
    void reinstallRunningVersion()
    {
        QFile::remove(home.file(packageName));
        packageName = home.writePackage(kOldVersion, 2, 120 * 1024);
        package = readFile(home.file(packageName));
        oldExecutable = package;
        sim.terminal().flash().putExecutable(kOldVersion, package);
        sim->updateModel([&](qsim::Model& m) { m.minExecutableBytes = package.size(); });
    }
    // Antenna firmware that fits the terminal's antenna, or a PIC file.
    void putOwnFiles(const QStringList& names)
    {
        for (const QString& name : names)
            home.writeFile(name, "image of " + name.toLatin1() + QByteArray(20000, 'i'));
        ownFiles << names;
    }
    // The running version backed up by an earlier upgrade, to be restored.
    void backUpRunningVersion()
    {
        home.writeFile(QStringLiteral("Backup/qorax_5_7_1_12.bin"), oldExecutable);
        sim->updateModel([&](qsim::Model& m) { m.minExecutableBytes = oldExecutable.size(); });
    }
    // A menu command, its question answered Yes.
    void pressMenu(QAction* command)
    {
        u->dialogs.queueAnswer(MsgResult::Yes);
        command->trigger();
    }
    // Restore with the one backup, which the window offers preselected.
    void pressRestore()
    {
        u->dialogs.queueWindowScript([](QDialog& d) {
            if (auto* ok = d.findChild<QPushButton*>(QStringLiteral("cmdOkRestore")))
                ok->click();
        });
        w().cmdRestore->click();
    }
    quint64 lastSeq()
    {
        const QList<qsim::Record> all = sim->records();
        return all.isEmpty() ? 0 : all.last().seq;
    }
    // The line is cut at the item numbered atSeq (inside its data when
    // afterBytes is not negative).
    void armCut(CutKind kind, quint64 atSeq, qint64 afterBytes = -1)
    {
        sim->updateModel([&](qsim::Model& m) { m.autoPowerOnMs = kind == CutKind::Reboot ? 0 : -1; });
        sim->updateFaults([&](qsim::Faults& f) {
            f.cut.action = kind == CutKind::ResetLinks ? qsim::Faults::Cut::Action::ResetLinks
                                                       : qsim::Faults::Cut::Action::PowerOff;
            f.cut.atSeq = atSeq;
            f.cut.afterBytes = afterBytes;
        });
    }
    // The item the terminal received as atSeq ("" when none).
    QString itemAt(quint64 atSeq)
    {
        for (const qsim::Record& r : sim->records()) {
            if (r.seq == atSeq)
                return describe(r);
        }
        return {};
    }

    QByteArray oldExecutable;
    QString packageName;
    QByteArray package;
    QStringList ownFiles;  // the test's own files in the home folder
};

// The upgrader has settled and told the user: a box, or the status line, and
// the pointer is no longer busy. Returns what it said.
inline QString expectTold(Bench& b, qsizetype boxesBefore)
{
    const bool ended = b.w().isUnloaded();
    const QList<MsgRecord> told = b.u->dialogs.boxes().mid(boxesBefore);
    EXPECT_TRUE(!told.isEmpty() || (!ended && !b.w().statusText().isEmpty())) << "nothing said";
    EXPECT_FALSE(!ended && b.w().mousePointer() != 0) << "the busy pointer stays: " << b.w().statusText().toStdString();
    QString said = ended ? QStringLiteral("program ended") : QStringLiteral("\"") + b.w().statusText() + QLatin1Char('"');
    if (!told.isEmpty())
        said += QStringLiteral(", box \"") + told.last().text.left(40).replace(QLatin1String("\r\n"), QLatin1String(" ")) +
                QLatin1Char('"');
    return said;
}

// Bounds a run of the upgrader from the moment it is armed. It fires inside
// the upgrader's own nested waits too, and ends them by closing the window,
// as a user would; the test then fails instead of hanging.
class HangGuard {
public:
    HangGuard(frmMain& w, int limitMs) : w_(w), limitMs_(limitMs)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            hung_ = true;
            ADD_FAILURE() << "still busy " << limitMs_ << " ms on: " << runningTimers(w_).toStdString();
            if (!w_.isUnloaded())
                w_.closeMainWindow();
        });
        timer_.start(limitMs);
        clock_.start();
    }
    bool hung() const { return hung_; }
    qint64 elapsed() const { return clock_.elapsed(); }
    // Waits until the upgrader has settled; false when it did not in time.
    bool waitSettled()
    {
        waitUntil([&] { return settled(w_) || hung_; }, limitMs_);
        // A second look, in case a handler was about to start the next step.
        serveEventsFor(20);
        timer_.stop();
        return !hung_ && settled(w_);
    }

private:
    frmMain& w_;
    int limitMs_;
    bool hung_ = false;
    QTimer timer_;
    QElapsedTimer clock_;
};

inline void expectCompleteLogs(const TestHome& home)
{
    const QStringList files = home.logFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString text = QString::fromLatin1(readFile(home.file(QStringLiteral("logs/") + name)));
        const int headers = int(text.count(QLatin1String("QORA Software Upgrader logging initialized: ")));
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^\\*{20,}\r\nQORA Software Upgrader logging initialized: "))));
        EXPECT_GE(headers, 1);
        // Every run that opened the file closed it, and nothing came after.
        EXPECT_EQ(int(text.count(QLatin1String("\r\nClose logging.  ["))), headers);
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Close logging\\.  \\[[^\r\n]*\\] \r\n\\*{20,}\r\n$"))));
    }
}

// The Backup folder and the home folder: whole copies only, no partial or
// temporary file left anywhere.
inline void expectOnlyWholeFiles(const Bench& b)
{
    const QString home = b.home.path();
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(home.size());
        if (rel.startsWith(QLatin1String("logs/")) || rel == QLatin1String("image.txt") || b.ownFiles.contains(rel))
            continue;
        if (rel == b.packageName) {
            EXPECT_EQ(readFile(path), b.package) << "the package changed";
        } else if (rel == QLatin1String("Backup/qorax_5_7_1_12.bin")) {
            EXPECT_EQ(readFile(path), b.oldExecutable) << "the backup is not the executable the terminal had";
            // A record, when there is one, vouches for the copy beside it.
            EXPECT_NE(backup::check(path).state, backup::State::Damaged) << backup::check(path).why.toStdString();
        } else if (rel == QLatin1String("Backup/qorax_5_7_1_12.bin.sha256")) {
            EXPECT_TRUE(QFileInfo::exists(path.chopped(7))) << "a record without its backup";
        } else {
            ADD_FAILURE() << "left behind: " << rel.toStdString() << " (" << QFileInfo(path).size() << " bytes)";
        }
    }
}

// The terminal as it runs now: a whole old or new executable. Returns the
// dotted version, or "Boot ROM".
inline QString expectWholeExecutableRuns(Bench& b)
{
    const qsim::Status st = b.sim->status();
    if (st.mode == qsim::Mode::BootRom)
        return QStringLiteral("Boot ROM");
    EXPECT_EQ(st.mode, qsim::Mode::Application);
    const QString v = QString(st.version).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QByteArray bytes =
        b.sim.terminal().flash().read(QStringLiteral("/tffs0/bin/qorax_") + v + QStringLiteral(".bin")).value_or("<missing>");
    if (v == kOldVersion)
        EXPECT_EQ(bytes, b.oldExecutable) << "the old executable is not whole";
    else if (v == kNewVersion)
        EXPECT_EQ(bytes, b.package) << "the new executable is not whole";
    else
        ADD_FAILURE() << "runs " << st.version.toStdString();
    return st.version;
}

// Off and on again (or just on), with nothing of the cut left.
inline void powerCycle(Bench& b)
{
    b.sim->clearFaults();
    b.sim->updateModel([](qsim::Model& m) { m.autoPowerOnMs = -1; });
    if (b.sim->status().mode != qsim::Mode::Off)
        b.sim->powerOff();
    b.sim->powerOn();
    ASSERT_TRUE(b.sim->waitUntilUp(3000));
}

}  // namespace reliability
