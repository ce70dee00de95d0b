// Restore of a backed-up version and the download of the terminal's log.
#include "support/SimUpgrade.h"

#include "ui/SecondaryWindows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>

#include <sys/stat.h>

namespace {

class Restore : public SimUpgrade {
public:
    void SetUp() override { home.writePackage("5_7_2_0"); }

    // The restore window as the user meets it: the versions offered, and a pick.
    QStringList offered;
    void pickInRestoreWindow(int row)
    {
        u->dialogs.queueWindowScript([this, row](QDialog& d) {
            auto& r = static_cast<frmRestore&>(d);
            for (int i = 0; i < r.lstOldSoftwareVersions->count(); ++i)
                offered << r.lstOldSoftwareVersions->item(i)->text();
            if (row >= 0)
                r.lstOldSoftwareVersions->setCurrentRow(row);
            r.cmdOkRestore->click();
        });
    }
};

// Nothing reaches the terminal when there is nothing fit to restore or no pick.
TEST_F(Restore, NothingToRestoreSendsNothing)
{
    const struct {
        const char* name;
        QStringList backups;
        QStringList offered;  // in the restore window, if it opens
        const char* box;      // the box instead, or empty
    } rows[] = {
        {"no backups at all", {}, {}, "No Restore versions are available."},
        // Versionless and partial files are not offered; several, none picked: cancel.
        {"no pick", {"qorax.bin", "qorax_5_7_0_8.bin", "qorax_5_7_0_9.bin", "qorax_5_7_1_0.bin.part"},
         {"5.7.0.8", "5.7.0.9"}, ""},
        {"another release series", {"qorax_5_6_3_1.bin"}, {"5.6.3.1"},
         "Release Series conflict detected.  Upgrade not possible."},
        {"a damaged copy", {"qorax_5_7_1_9.bin", "qorax_5_7_1_9.bin.sha256"}, {"5.7.1.9 (damaged)"},
         "The backup copy qorax_5_7_1_9.bin is damaged: its record cannot be read.\r\n\r\nIt is not restored; "
         "nothing was sent to the Satellite IP Modem.\r\nChoose another version, or remove the damaged copy and its "
         ".sha256 record from the Backup folder."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(home.file("Backup")).removeRecursively();
        for (const QString& f : row.backups)
            home.writeFile("Backup/" + f, f.toLatin1());
        startUpgrader();
        offered.clear();
        pickInRestoreWindow(*row.box ? 0 : -1);
        w().cmdRestoreMenu->trigger();
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(u->dialogs.windows().isEmpty(), row.offered.isEmpty());
        ASSERT_EQ(u->dialogs.boxes().size(), *row.box ? 1 : 0);
        if (*row.box) {
            EXPECT_EQ(u->dialogs.boxes()[0].text, row.box);
        } else {
            EXPECT_EQ(w().strRestoreVersion, "");
            EXPECT_TRUE(w().restoreList.value(0).isEmpty());
        }
        serveEventsFor(200);
        EXPECT_TRUE(sim->records(qsim::Service::Ftp).isEmpty());
    }
}

// Ctrl+G then Ctrl+L, typed on any control, fetches the terminal's log into
// Backup/sylog.log.
class TerminalLog : public Restore {
public:
    // A key typed on a control: "^G" is Ctrl+G, "a" a plain letter, "shift"
    // and "left" keys that type nothing.
    void type(QWidget* target, const QString& key)
    {
        target->setFocus();
        const int code = key == "shift" ? Qt::Key_Shift : key == "left" ? Qt::Key_Left : Qt::Key_A + (key.back().toUpper().unicode() - 'A');
        const auto mods = key.startsWith('^') ? Qt::ControlModifier : key == "shift" ? Qt::ShiftModifier : Qt::NoModifier;
        QKeyEvent ev(QEvent::KeyPress, code, mods, key.size() == 1 ? key : QString());
        QApplication::sendEvent(target, &ev);
    }
    QString local() { return home.file("Backup/sylog.log"); }
};

TEST_F(TerminalLog, OnlyTheWholeSequenceDownloads)
{
    const struct {
        const char* keys;
        bool downloads;
    } rows[] = {
        {"^G ^L", true},
        // Keys that type nothing leave it armed.
        {"^G shift left ^L", true},
        {"^G a ^L", false},
        {"^G ^G ^L", false},
        {"^L", false},
    };
    startUpgrader();
    // The server is slow to say goodbye: each download starts while the last one's close still runs.
    sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "QUIT"; });
    // Each key on the next control in turn.
    const QList<QWidget*> targets = {w().txtIPAddress, w().chkBinUpg, w().cmdUpgrade};
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        home.writeFile("Backup/sylog.log", "stale");
        sim->clearRecords();
        for (const QString& key : QString(row.keys).split(' '))
            type(targets[n++ % targets.size()], key);
        serveEventsFor(row.downloads ? 0 : 100);
        EXPECT_FALSE(w().isLogKeyArmed);
        EXPECT_EQ(sim.ftpCommands().contains("RETR /ram0/syslog.log"), row.downloads);
        EXPECT_EQ(readFile(local()), row.downloads ? flashFile("/ram0/syslog.log") : QByteArray("stale"));
        if (row.downloads) {
            EXPECT_EQ(w().statusText(), "Log downloaded to " + local());
        }
    }
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    EXPECT_EQ(w().mousePointer(), 0);
}

// Tools > Download Terminal Log: the newest log is always sylog.log, an
// earlier one moves aside under the time it was fetched (numbered when that
// name is taken), and a download that fails leaves the earlier one in place.
TEST_F(TerminalLog, EachDownloadKeepsTheEarlierOnes)
{
    startUpgrader();
    home.writeFile("Backup/sylog_2026-01-02_03-04-05.log", "older");
    home.writeFile("Backup/sylog.log", "first");
    QFile first(local());
    ASSERT_TRUE(first.open(QIODevice::ReadWrite) &&
                first.setFileTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), QFileDevice::FileModificationTime));
    first.close();
    const QByteArray newest = flashFile("/ram0/syslog.log");
    const QMap<QString, QByteArray> kept = {{"sylog_2026-01-02_03-04-05.log", "older"},
                                            {"sylog_2026-01-02_03-04-05_2.log", "first"},
                                            {"sylog.log", newest}};
    const struct {
        const char* name;
        bool onTerminal;
        QString status;
        QMap<QString, QByteArray> backup;
    } rows[] = {
        {"downloaded", true, "Log downloaded to " + local(), kept},
        {"none on the terminal", false, "Log file doesn't exist.", kept},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.onTerminal)
            sim.terminal().flash().remove("/ram0/syslog.log");
        ASSERT_TRUE(w().cmdDownloadLog->isEnabled());
        w().cmdDownloadLog->trigger();
        EXPECT_EQ(w().statusText(), row.status);
        QMap<QString, QByteArray> backup;
        for (const QString& f : QDir(home.file("Backup")).entryList(QDir::Files))
            backup.insert(f, readFile(home.file("Backup/" + f)));
        EXPECT_EQ(backup, row.backup);
    }
    EXPECT_TRUE(home.logEntries().contains("INF: \tEarlier terminal log kept as " +
                                           home.file("Backup/sylog_2026-01-02_03-04-05_2.log")));
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
}

// What holds the terminal's details is the user's alone, the folder's lock
// readable by every upgrader, whatever the umask the upgrader started with.
TEST_F(TerminalLog, FilesGetTheirModesWhateverTheUmask)
{
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const QFile::Permissions modeBits(0x7077);
    for (const mode_t mask : {mode_t(0), mode_t(077)}) {
        SCOPED_TRACE(mask);
        u.reset();
        const mode_t before = ::umask(mask);
        startUpgrader();
        w().cmdDownloadLog->trigger();
        ::umask(before);
        ASSERT_EQ(w().statusText(), "Log downloaded to " + local());
        const struct { QString path; QFile::Permissions mode; } files[] = {
            {home.file("logs/" + home.logFiles().last()), ownerOnly},
            {local(), ownerOnly},
            {home.file(".qora-upgrader.lock"), ownerOnly | QFile::ReadGroup | QFile::ReadOther},
        };
        for (const auto& f : files)
            EXPECT_EQ(QFile::permissions(f.path) & modeBits, f.mode) << f.path.toStdString();
    }
}

// No log, or more than any log: nothing is kept, and a log too large is said to be.
TEST_F(TerminalLog, MissingOrOversizedLogLeavesNothing)
{
    const struct {
        const char* name;
        std::optional<QByteArray> log;
        const char* status;
        const char* box;
    } rows[] = {
        {"missing", std::nullopt, "Log file doesn't exist.", ""},
        {"larger than any log", QByteArray((16 << 20) + 1, 'l'), "Log download stopped: file too large.",
         "Log download stopped:\r\n/ram0/syslog.log is larger than 16777216 bytes: download stopped"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.log)
            sim.terminal().flash().write("/ram0/syslog.log", *row.log);
        else
            sim.terminal().flash().remove("/ram0/syslog.log");
        startUpgrader();
        type(w().txtIPAddress, "^G");
        type(w().txtIPAddress, "^L");
        EXPECT_EQ(w().statusText(), row.status);
        EXPECT_EQ(u->dialogs.boxes().isEmpty() ? "" : u->dialogs.boxes().last().text, row.box);
        EXPECT_EQ(w().mousePointer(), 0);
        EXPECT_TRUE(QDir(home.file("Backup")).entryList(QDir::Files).isEmpty());
    }
}

}  // namespace
