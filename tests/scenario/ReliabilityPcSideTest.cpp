// Faults on the PC's side: a home folder that cannot be written, a full disk,
// a folder where a file should go, a package that cannot be read. What fails
// here stops the run before the terminal changes any further: the terminal
// boots what it ran, Backup holds what it held, and the user is told which
// file of this PC failed and why.
#include "ReliabilitySupport.h"

#include <algorithm>

#include "support/TableRows.h"
#include "ui/SecondaryWindows.h"

#include <sys/mount.h>

#include <iostream>

namespace {

using namespace reliability;
using tablerows::PrintTo;

// A file system laid over a folder for one row; gone with the object. Tests
// run as root, where permissions stop no write: a read-only mount or a full
// one is what still fails. Where the test may not mount, the row is skipped.
class Mount {
public:
    explicit Mount(const QString& dir) : path_(QFile::encodeName(QDir::cleanPath(dir))) {}
    ~Mount()
    {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
    }

    // The folder itself, read-only.
    bool readOnly()
    {
        mounted_ = ::mount(path_.constData(), path_.constData(), nullptr, MS_BIND, nullptr) == 0;
        return mounted_ &&
               ::mount(nullptr, path_.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    // A small empty disk holding these files, then filled to the last byte.
    bool full(const QMap<QString, QByteArray>& files = {})
    {
        mounted_ = ::mount("tmpfs", path_.constData(), "tmpfs", 0, "size=1m") == 0;
        if (!mounted_)
            return false;
        const QString dir = QFile::decodeName(path_) + QLatin1Char('/');
        for (auto it = files.begin(); it != files.end(); ++it) {
            QFile f(dir + it.key());
            if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
                return false;
        }
        QFile filler(dir + QStringLiteral("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        // To the last byte: not even a short file fits any more.
        while (filler.write("f", 1) == 1) {
        }
        return true;
    }

private:
    QByteArray path_;
    bool mounted_ = false;
};

// The files of a folder and what they hold.
QMap<QString, QByteArray> contents(const QString& dir)
{
    QMap<QString, QByteArray> out;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
        out.insert(name, readFile(dir + QLatin1Char('/') + name));
    return out;
}

enum class Action { Upgrade, Restore, Log, StartUp };

struct PcRow {
    std::string name;
    Action action;
    // Lays the fault before the action; false when the machine does not allow it.
    std::function<bool(Bench&, Mount&)> arrange;
    QString file;    // the file of this PC the box names, relative to the home folder
    QString reason;  // why, as the box says it
    QStringList mayChange;  // the terminal's changes ("DELE x", "STOR y") that may come before the failure
    bool logWritten = true;  // the log folder is not on the failing disk
    bool bootRom = false;    // the terminal runs its Boot ROM before and after
    bool backupMade = false; // the backup was complete before the failure
};

const QString kOldBackup = QStringLiteral("Backup/qorax_5_7_1_12.bin");

// A full disk that still holds the package as it was found at start-up.
bool fullKeepingThePackage(Bench& b, Mount& m)
{
    const QDateTime modified = QFileInfo(b.home.file(b.packageName)).lastModified();
    QFile package(b.home.file(b.packageName));
    return m.full({{b.packageName, b.package}}) && package.open(QIODevice::ReadWrite) &&
           package.setFileTime(modified, QFileDevice::FileModificationTime);
}

std::vector<PcRow> pcRows()
{
    auto homeDir = [](Bench& b) { return b.home.path(); };
    return {
        {"home read-only", Action::Upgrade, [](Bench&, Mount& m) { return m.readOnly(); }, "image.txt",
         "Read-only file system", {}, false},
        // The package stays as it was: only the disk is full.
        {"home full", Action::Upgrade, fullKeepingThePackage, "image.txt", "No space left on device", {}, false},
        // The descriptor cannot be written whole: nothing of it goes to the terminal.
        {"home full, Boot ROM", Action::Upgrade, fullKeepingThePackage, "image.txt", "No space left on device",
         {"STOR /tffs0/bin/qorax_5_7_2_0.bin"}, false, true},
        {"a folder in place of image.txt", Action::Upgrade,
         [=](Bench& b, Mount&) { return QDir().mkpath(homeDir(b) + "image.txt"); }, "image.txt", "it is a folder", {}},
        {"Backup read-only", Action::Upgrade, [](Bench&, Mount& m) { return m.readOnly(); }, kOldBackup,
         "Read-only file system", {}},
        {"Backup full", Action::Upgrade,
         [](Bench&, Mount& m) { return m.full({{"qorax_5_6_0_1.bin", "an older backup"}}); }, kOldBackup,
         "No space left on device", {}},
        {"a folder in place of the backup", Action::Upgrade,
         [=](Bench& b, Mount&) { return QDir().mkpath(b.home.file(kOldBackup)); }, kOldBackup, "it is a folder", {}},
        // Found at the press, before anything on the terminal changes.
        {"package gone after start-up", Action::Upgrade,
         [=](Bench& b, Mount&) {
             return QFile::remove(b.home.file(b.packageName)) && QDir().mkpath(b.home.file(b.packageName));
         },
         "qorax_5_7_2_0.bin", "it cannot be read any more", {}},
        // The earlier log makes room for the new one and is back when that fails.
        {"Backup full while the log comes", Action::Log,
         [=](Bench& b, Mount& m) {
             return b.sim.terminal().flash().write("/ram0/syslog.log", QByteArray(200000, 'l')) &&
                    m.full({{"sylog.log", "an earlier log"}});
         },
         "Backup/sylog.log", "No space left on device", {}},
        {"package unreadable at start-up", Action::StartUp,
         [=](Bench& b, Mount&) {
             // Reading it fails with an I/O error, also for root.
             b.ownFiles << b.packageName;
             return QFile::remove(b.home.file(b.packageName)) &&
                    QFile::link(QStringLiteral("/proc/self/mem"), b.home.file(b.packageName));
         },
         "qorax_5_7_2_0.bin", "Input/output error", {}},
        // The descriptor written here is checked before it is put.
        {"Boot ROM, a folder in place of image.txt", Action::Upgrade,
         [=](Bench& b, Mount&) { return QDir().mkpath(homeDir(b) + "image.txt"); }, "image.txt", "it is a folder",
         {"STOR /tffs0/bin/qorax_5_7_2_0.bin"}, true, true},
        {"restore, a folder in place of image.txt", Action::Restore,
         [=](Bench& b, Mount&) {
             b.home.writeFile("Backup/qorax_5_7_0_9.bin", "an old version");
             return QDir().mkpath(homeDir(b) + "image.txt");
         },
         "image.txt", "it is a folder", {"STOR /tffs0/bin/qorax_5_7_0_9.bin", "DELE /tffs0/bin/qorax_5_7_0_9.bin"}},
        // The running version restored over itself: its file is what the terminal boots, and stays.
        {"restore of the running version, a folder in place of image.txt", Action::Restore,
         [=](Bench& b, Mount&) {
             b.home.writeFile("Backup/qorax_5_7_1_12.bin", b.oldExecutable);
             return QDir().mkpath(homeDir(b) + "image.txt");
         },
         "image.txt", "it is a folder", {"STOR /tffs0/bin/qorax_5_7_1_12.bin"}},
    };
}

// The folder a row lays its mount over.
QString mountPoint(const PcRow& row, Bench& b)
{
    return row.name.rfind("home", 0) == 0 ? b.home.path() : b.home.file("Backup");
}

class ReliabilityPcSide : public ::testing::TestWithParam<PcRow> {};

TEST_P(ReliabilityPcSide, AFailureHereStopsTheRunAndSaysWhichFile)
{
    const PcRow& row = GetParam();
    Bench b;
    if (row.bootRom) {
        b.sim.terminal().flash().remove("/tffs0/image.txt");
        powerCycle(b);
    }
    std::unique_ptr<Mount> mount;
    QMap<QString, QByteArray> backupBefore;
    const int boxesBefore = row.action == Action::Upgrade ? 1 : 0;  // the confirmation

    if (row.action == Action::StartUp) {
        mount = std::make_unique<Mount>(mountPoint(row, b));
        ASSERT_TRUE(row.arrange(b, *mount));
        b.u = std::make_unique<Upgrader>();
        EXPECT_FALSE(b.u->load());
    } else {
        ASSERT_TRUE(b.startUpgrader(row.bootRom ? kVersionDone : kReleaseInfoDone));
        b.sim->clearRecords();
        mount = std::make_unique<Mount>(mountPoint(row, b));
        if (!row.arrange(b, *mount))
            GTEST_SKIP() << "this machine does not allow the fault: " << strerror(errno);
        backupBefore = contents(b.home.file("Backup"));
        HangGuard guard(b.w(), kRunLimitMs);
        if (row.action == Action::Upgrade) {
            b.upgradeSoftware();
        } else if (row.action == Action::Restore) {
            b.u->dialogs.queueWindowScript([](QDialog& d) { static_cast<frmRestore&>(d).cmdOkRestore->click(); });
            b.w().cmdRestore->click();
        } else {
            b.w().Form_KeyPress(7);
            b.w().Form_KeyPress(12);
        }
        ASSERT_TRUE(guard.waitSettled());
        EXPECT_FALSE(b.w().isUnloaded());
        EXPECT_EQ(b.w().mousePointer(), 0);
        EXPECT_EQ(b.w().currUpgradeState, UPG_STATE_IDLE);
    }

    // The user is told which file of this PC failed, and why (and, for an
    // upgrade or restore, that nothing took).
    const QList<MsgRecord> told = b.u->dialogs.boxes().mid(boxesBefore);
    ASSERT_FALSE(told.isEmpty()) << "nothing said; status: " << b.w().statusText().toStdString();
    const auto named = std::find_if(told.begin(), told.end(), [&](const MsgRecord& m) {
        return m.text.contains(b.home.file(row.file));
    });
    ASSERT_NE(named, told.end()) << told.last().text.toStdString();
    EXPECT_EQ(named->title, "Upgrader: FAULT");
    EXPECT_TRUE(named->text.contains(row.reason)) << named->text.toStdString();
    std::cout << "[ pc side ] " << row.name << " | "
              << QString(named->text).replace(QLatin1String("\r\n"), QLatin1String(" / ")).toStdString() << "\n";

    // Nothing on the terminal changed after the failure, and a start-up that
    // failed on the PC never reached it.
    for (const qsim::Record& r : b.sim->records(qsim::Service::Ftp)) {
        const QString change = r.command + QLatin1Char(' ') + r.argument;
        if (r.command == QLatin1String("DELE") || r.command == QLatin1String("STOR")) {
            EXPECT_TRUE(row.mayChange.contains(change)) << "sent: " << change.toStdString();
        }
    }
    if (row.action == Action::StartUp) {
        EXPECT_TRUE(b.sim->records().isEmpty());
    }
    const QString logs = b.home.logText();
    b.u.reset();
    if (row.logWritten) {
        EXPECT_TRUE(logs.contains(row.action == Action::StartUp ? "cannot be read" : "[ Local file error ]"));
        expectCompleteLogs(b.home);
    }

    // Backup holds what it held, or just the one whole copy made before the
    // failure (its record is checked below).
    if (row.action != Action::StartUp) {
        QMap<QString, QByteArray> expected = backupBefore;
        if (row.backupMade)
            expected.insert("qorax_5_7_1_12.bin", b.oldExecutable);
        QMap<QString, QByteArray> now = contents(b.home.file("Backup"));
        now.remove("qorax_5_7_1_12.bin.sha256");
        EXPECT_EQ(now, expected);
    }
    // A restored copy no descriptor names does not stay behind, unless it is what the terminal boots.
    if (row.action == Action::Restore) {
        const bool removed = !row.mayChange.filter("DELE ").isEmpty();
        EXPECT_TRUE(named->text.endsWith(removed ? "/tffs0/bin/qorax_5_7_0_9.bin was removed from the Satellite IP Modem again."
                                                 : "/tffs0/bin/qorax_5_7_1_12.bin is the file of the software the Satellite "
                                                   "IP Modem runs: it stays, and starts as before."))
            << named->text.toStdString();
        EXPECT_FALSE(b.sim.terminal().flash().exists("/tffs0/bin/qorax_5_7_0_9.bin"));
    }
    mount.reset();
    b.ownFiles << "Backup/qorax_5_7_0_9.bin";
    // A lock the home folder could no longer take back stays; its owner is gone, so it binds no one.
    if (!row.logWritten)
        b.ownFiles << ".qora-upgrader.lock";
    expectOnlyWholeFiles(b);

    // The terminal boots what it ran.
    powerCycle(b);
    EXPECT_EQ(expectWholeExecutableRuns(b), row.bootRom ? "Boot ROM" : "5.7.1.12");
}

INSTANTIATE_TEST_SUITE_P(Faults, ReliabilityPcSide, ::testing::ValuesIn(pcRows()), tablerows::RowName());

}  // namespace
