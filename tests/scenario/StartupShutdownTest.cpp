#include "support/SimUpgrade.h"

#include "log/LogFormat.h"
#include "platform/Timer.h"
#include "ui/SecondaryWindows.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

class StartupTest : public SimUpgrade {
protected:
    void SetUp() override { home.writePackage("5_7_1_12"); }
};

// "-u" shows the upgrade notice; its choice counts, however it is closed.
TEST_F(StartupTest, TheNoticeChoiceDecidesWhetherStartUpGoesOn)
{
    const struct {
        bool later;
        bool closeBox;  // the window's close box instead of OK
    } rows[] = {{true, false}, {true, true}, {false, false}};  // going on last: it connects
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "later " << row.later << ", close box " << row.closeBox);
        QDir(home.file("logs")).removeRecursively();
        QDir(home.file("Backup")).removeRecursively();
        Upgrader u("-u");
        u.dialogs.queueWindowScript([&row](QDialog& d) {
            auto& notice = static_cast<frmUpgrade&>(d);
            if (row.later)
                notice.UpgradeLater->click();
            if (row.closeBox)
                d.reject();
            else
                notice.OKButton->click();
        });
        EXPECT_EQ(u.load(), !row.later);
        EXPECT_EQ(u.w().isUnloaded(), row.later);
        EXPECT_EQ(u.dialogs.windows(), QStringList{"Vantor QORA Terminal"});
        EXPECT_EQ(QFileInfo(home.file("Backup")).isDir(), !row.later);
        if (!row.later)
            continue;
        // Later: the shortest log there is, and no contact.
        const QStringList lines = home.logLines();
        ASSERT_EQ(lines.size(), 3 + 2 + 4) << home.logText().toStdString();
        EXPECT_TRUE(lines[3].endsWith("] VRB: \t>> Form_QueryUnload()")) << lines[3].toStdString();
        EXPECT_TRUE(lines[4].endsWith("] VRB: \t>> Form_Unload()")) << lines[4].toStdString();
        EXPECT_TRUE(lines[7].startsWith("Close logging.  [")) << lines[7].toStdString();
        serveEventsFor(100);
        EXPECT_TRUE(sim->records().isEmpty());
    }
}

// A stand-in diagnostics tool beside the home folder that notes where it ran.
QString installTermDiag(const TestHome& home)
{
    const QString dir = home.parentPath() + "TermDiag";
    QDir().mkpath(dir);
    QFile f(dir + "/TermDiagUpgrader");
    if (f.open(QIODevice::WriteOnly))
        f.write("#!/bin/sh\npwd > started.txt\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir + "/started.txt";
}

// "/TermDiag" starts the tool at unload, also when start-up ends for want
// of a package; a missing tool is only logged.
TEST_F(StartupTest, TermDiagStartsTheSiblingToolOnlyAtUnload)
{
    {
        Upgrader missing("/TermDiag");
        ASSERT_TRUE(missing.load());
        missing.w().closeMainWindow();
        const QStringList errors = home.logEntries().filter("ERR: ");
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains("TermDiagUpgrader"));
        EXPECT_TRUE(missing.dialogs.boxes().isEmpty());
        EXPECT_EQ(home.logText().count("Close logging."), 1);
    }
    const QString marker = installTermDiag(home);
    Upgrader u("/TermDiag");
    ASSERT_TRUE(u.load());
    serveEventsFor(200);
    EXPECT_FALSE(QFileInfo::exists(marker));
    u.w().closeMainWindow();
    // The shell creates the file before pwd writes into it.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 5000));
    EXPECT_EQ(QDir(QString::fromLocal8Bit(readFile(marker)).trimmed()).canonicalPath(),
              QDir(home.parentPath() + "TermDiag").canonicalPath());
    // The upgrader's own folder is unchanged.
    EXPECT_EQ(QDir::currentPath() + "/", home.path());

    QFile::remove(marker);
    QFile::remove(home.file("qorax_5_7_1_12.bin"));
    Upgrader noPackage("/TermDiag");
    EXPECT_FALSE(noPackage.load());
    EXPECT_EQ(noPackage.dialogs.folderChoosersStartedIn().size(), 1);
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 5000));
}

class OneUpgraderPerHome : public SimUpgrade {};

// A lock file as QLockFile writes it: the owner's PID, program and host.
void writeLock(const TestHome& home, qint64 pid, const QDateTime& written)
{
    const QString path = home.file(".qora-upgrader.lock");
    home.writeFile(".qora-upgrader.lock", QStringLiteral("%1\n%2\n%3\n")
                                              .arg(pid)
                                              .arg(QCoreApplication::applicationName(), QSysInfo::machineHostName())
                                              .toLocal8Bit());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(written, QFileDevice::FileModificationTime);
}

qint64 pidOfAnEndedProcess()
{
    QProcess ended;
    ended.start("/bin/true");
    ended.waitForStarted();
    const qint64 pid = ended.processId();
    ended.waitForFinished();
    return pid;
}

// A killed run leaves its lock and partial downloads; the next start takes
// over both, and while it runs a second upgrader in the folder stays silent.
TEST_F(OneUpgraderPerHome, ASecondOneIsRefusedAndAKilledOnesLeftoversGo)
{
    const QString marker = installTermDiag(home);
    home.writePackage("5_7_1_12");
    const auto refused = [&](Upgrader& second) {
        EXPECT_FALSE(second.load());
        ASSERT_EQ(second.dialogs.boxes().size(), 1);
        const MsgRecord& box = second.dialogs.boxes().first();
        EXPECT_EQ(box.title, "Upgrader: FAULT");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.text, "Another upgrader is already running in " + home.path() + "\r\nPlease close it first.");
    };
    // A live owner's lock holds however old it is (no native lock on some file systems).
    writeLock(home, QCoreApplication::applicationPid(), QDateTime::currentDateTime().addSecs(-3600));
    {
        Upgrader early;
        refused(early);
    }

    writeLock(home, pidOfAnEndedProcess(), QDateTime::currentDateTime());
    const struct { const char* file; bool removed; } leftovers[] = {
        {"image.txt.0a1b2c3d.part", true}, {"Backup/qorax_5_7_1_12.bin.deadbeef.part", true},
        {"notes.part", false}, {"Backup/qorax_5_7_1_0.bin.part", false}};
    for (const auto& f : leftovers)
        home.writeFile(f.file, "partial");
    startUpgrader();
    for (const auto& f : leftovers) {
        EXPECT_EQ(QFileInfo::exists(home.file(f.file)), !f.removed) << f.file;
        EXPECT_EQ(home.logEntries().filter(QString("INF: \tRemoved a partial download of an interrupted run: ") +
                                           home.file(f.file)).size(), f.removed ? 1 : 0) << f.file;
    }

    Upgrader second("/TermDiag");
    refused(second);
    serveEventsFor(500);
    EXPECT_TRUE(sim->records().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(marker));
    // Nothing of theirs in the log, not even a header.
    EXPECT_EQ(home.logFiles().size(), 1);
    EXPECT_EQ(home.logText().count("logging initialized"), 1);
    EXPECT_EQ(home.logText().count("Close logging."), 0);
    EXPECT_FALSE(w().isUnloaded());

    w().closeMainWindow();
    Upgrader next;
    EXPECT_TRUE(next.load());
    EXPECT_TRUE(next.dialogs.boxes().isEmpty());
}

// Everything in a folder, hidden files included.
QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class StartupPackageFolder : public SimUpgrade {};

// Started from the menu (in the home folder, no package there) or given a
// folder: the window works only in a folder named or chosen that holds a
// package, and writes nothing anywhere before it has one.
TEST_F(StartupPackageFolder, WithoutAPackageTheWindowAsksForTheFolder)
{
    const QString pkg = home.parentPath() + "pkg/", empty = home.parentPath() + "empty/",
                  missing = home.parentPath() + "missing/";
    QDir().mkpath(empty);
    QDir().mkpath(pkg);
    const QString package = home.writePackage("5_7_1_12");
    ASSERT_TRUE(QFile::rename(home.file(package), pkg + package));
    const QString noPackageIn = "Unable to find binary file in: " + empty + "qorax_*.bin";
    const struct {
        const char* name;
        QString startIn, named;
        QStringList chosen;  // in turn, then Cancel
        QStringList boxes;
        QStringList choosersIn;
        bool loads;  // in pkg
    } rows[] = {
        {"from the menu, cancelled", home.path(), "", {}, {}, {home.path()}, false},
        {"a folder without a package, then the package's", home.path(), "", {empty, pkg}, {noPackageIn},
         {home.path(), empty}, true},
        {"the package folder named", home.path(), pkg, {}, {}, {}, true},
        {"a folder named without a package", home.path(), empty, {pkg}, {noPackageIn}, {empty}, true},
        // Then not even the package of the folder it started in is taken.
        {"a folder named that does not exist", pkg, missing, {}, {"Unable to open the folder: " + missing}, {pkg}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir::setCurrent(row.startIn);
        const QStringList inPkg = entriesOf(pkg);
        sim->clearRecords();
        Upgrader u;
        u.w().setStartFolder(row.named);
        for (const QString& folder : row.chosen)
            u.dialogs.queueFolder(folder);
        EXPECT_EQ(u.load(), row.loads);
        EXPECT_EQ(u.dialogs.folderChoosersStartedIn(), row.choosersIn);
        QStringList boxes;
        for (const MsgRecord& box : u.dialogs.boxes())
            boxes << box.text;
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(entriesOf(home.path()), QStringList());
        EXPECT_EQ(entriesOf(empty), QStringList());
        if (!row.loads) {
            EXPECT_EQ(entriesOf(pkg), inPkg);
            serveEventsFor(100);
            EXPECT_TRUE(sim->records().isEmpty());
            continue;
        }
        EXPECT_EQ(u.w().strHomeDir, pkg);
        // The log, in the package folder, tells what was said on the way there.
        const QStringList logs = QDir(pkg + "logs").entryList({"*_Upgrader_log*.txt"}, QDir::Files, QDir::Name);
        ASSERT_FALSE(logs.isEmpty());
        const QString log = QString::fromLatin1(readFile(pkg + "logs/" + logs.last()));
        for (const QString& text : row.boxes)
            EXPECT_TRUE(log.contains("INF: \tMessage box \"Upgrader: FAULT\": " + text)) << log.toStdString();
        EXPECT_EQ(log.contains("INF: \tPackage folder chosen: " + pkg), !row.chosen.isEmpty());
        u.w().closeMainWindow();
    }
}

class RunLog : public SimUpgrade {};

// Support reads a run from a file of its own, also for a second run in the
// same second; the boxes the user saw and the address of every connection
// are in it.
TEST_F(RunLog, OneFilePerRunWithTheBoxesSeenAndTheAddressesContacted)
{
    home.writePackage("5_7_2_0");
    // Earlier runs' files for every second this run may start in.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList earlier;
    for (int s = 0; s < 4; ++s) {
        earlier << qlog::logFileName(now.addSecs(s));
        home.writeFile("logs/" + earlier.last(), "an earlier run\r\n");
    }
    ASSERT_TRUE(startUpgrader());
    upgradeSoftware();
    ASSERT_TRUE(waitForVersion("5.7.2.0")) << w().statusText().toStdString();

    QStringList ours = home.logFiles();
    for (const QString& f : earlier) {
        EXPECT_EQ(readFile(home.file("logs/" + f)), "an earlier run\r\n") << f.toStdString();
        ours.removeOne(f);
        QFile::remove(home.file("logs/" + f));
    }
    ASSERT_EQ(ours.size(), 1);
    EXPECT_TRUE(earlier.contains(QString(ours[0]).replace("_Upgrader_log_2.txt", "_Upgrader_log.txt"))) << ours[0].toStdString();

    const QStringList entries = home.logEntries();
    const QString sim127 = "127.0.0.1 port ";
    for (const QString& line :
         {QString("INF: \tMessage box \"Upgrader: user action required\": Please Confirm your selections. | Do you want to "
                  "proceed upgrading the following items ? |  |  - Software | "),
          QString("INF: \tAnswered Yes"), "DET: \tsckZING: connecting to " + sim127 + QString::number(sim->zingPort()),
          "DET: \tinetFTP: connecting to " + sim127 + QString::number(sim->ftpPort()),
          "DET: \tFtpPut: connecting to " + sim127 + QString::number(sim->ftpPort())})
        EXPECT_TRUE(entries.contains(line)) << line.toStdString();
    // The data connections go to the port the terminal gave.
    for (const char* who : {"inetFTP data", "FtpPut data"})
        EXPECT_FALSE(entries.filter(QRegularExpression(QString("^DET: \t") + who + ": connecting to 127\\.0\\.0\\.1 port [1-9]")).isEmpty())
            << who;
}

}  // namespace
