// The software item from the Upgrade button, end to end against the
// simulated terminal: what the user sees, what the terminal receives and
// what ends up on its flash and in the backup folder.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "platform/Timer.h"
#include "zing/ZingTexts.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

const QString kReleaseInfoDone = QStringLiteral("Operation Successful.  Release Info retrieved!");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SoftwareUpgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The terminal runs 5.7.1.12 and keeps two older executables.
        sim.terminal().flash().putExecutable("5_7_1", QByteArray(3000, 'o'));
        sim.terminal().flash().write("/tffs0/bin/qorax.bin", QByteArray(2000, 'd'));
        oldExecutable = *sim.terminal().flash().read("/tffs0/bin/qorax_5_7_1_12.bin");
        package = home.writePackage("5_7_2_0", 2, 200 * 1024);
    }

    void startUpgrader(const QString& settledStatus = kReleaseInfoDone)
    {
        u = std::make_unique<Upgrader>();
        ASSERT_TRUE(u->load());
        ASSERT_TRUE(waitUntil([&] { return w().statusText() == settledStatus && w().mousePointer() == 0; }, 8000));
        u->dialogs.clear();
        sim->clearRecords();
    }

    frmMain& w() { return u->w(); }

    // Ticks the software item, answers the confirmation and presses Upgrade.
    void upgradeSoftware(MsgResult answer = MsgResult::Yes)
    {
        w().chkBinUpg->setChecked(true);
        u->dialogs.queueAnswer(answer);
        w().cmdUpgrade->click();
    }

    bool waitForNewVersionRead(int ms = 15000)
    {
        return waitUntil(
            [&] {
                return sim->runningVersion() == "5.7.2.0" && w().statusText() == kReleaseInfoDone &&
                       w().mousePointer() == 0 && w().currUpgradeState == UPG_STATE_IDLE;
            },
            ms);
    }

    QStringList binFolder() { return sim.terminal().flash().executableVersions(); }
    QStringList backupFolder() { return QDir(home.file("Backup")).entryList(QDir::Files | QDir::Hidden); }
    QByteArray flashFile(const QString& path) { return sim.terminal().flash().read(path).value_or("<missing>"); }

    SimHarness sim;
    TestHome home;
    std::unique_ptr<Upgrader> u;
    QByteArray oldExecutable;
    QString package;
};

TEST_F(SoftwareUpgrade, TheWholeRoadWithAValidImageDescriptor)
{
    startUpgrader();
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead()) << w().statusText().toStdString();

    // The user saw one question and no other box.
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    const MsgRecord& ask = u->dialogs.boxes().first();
    EXPECT_EQ(ask.title, "Upgrader: user action required");
    EXPECT_EQ(ask.icon, MsgIcon::Question);
    EXPECT_EQ(ask.text, "Please Confirm your selections.\r\nDo you want to proceed upgrading the following items ?"
                        "\r\n\r\n - Software\r\n");
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "5.7.2.0");
    EXPECT_FALSE(w().chkBinUpg->isChecked());

    // The terminal: the running executable kept, the older ones deleted, the
    // new one complete, the descriptor naming it.
    EXPECT_EQ(binFolder(), (QStringList{"5_7_1_12", "5_7_2_0"}));
    EXPECT_EQ(flashFile("/tffs0/bin/qorax_5_7_2_0.bin"), readFile(home.file(package)));
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_2_0.bin"));
    // The PC: the previous executable backed up whole, nothing else left behind.
    EXPECT_EQ(backupFolder(), QStringList{"qorax_5_7_1_12.bin"});
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")), oldExecutable);

    // Preparation, reset, then the new version and its release information.
    EXPECT_EQ(sim.zingCodes(), (QList<quint32>{0x32, 0x33, 0x0D, 4, 0x92}));
    const QStringList ftp = sim.ftpCommands();
    const QStringList expectedOrder = {"RETR image.txt",
                                       "CWD /tffs0/bin",
                                       "NLST",
                                       "DELE qorax.bin",
                                       "DELE qorax_5_7_1.bin",
                                       "RETR /tffs0/bin/qorax_5_7_1_12.bin",
                                       "STOR /tffs0/bin/qorax_5_7_2_0.bin",
                                       "QUIT",
                                       "STOR image.txt"};
    int at = -1;
    for (const QString& cmd : expectedOrder) {
        const int next = ftp.indexOf(cmd, at + 1);
        EXPECT_GT(next, at) << cmd.toStdString() << " in " << ftp.join(" | ").toStdString();
        at = std::max(at, next);
    }
    EXPECT_EQ(ftp.count("USER qorauser"), 2);  // one session for the commands, one for the descriptor
    EXPECT_FALSE(ftp.contains("DELE qorax_5_7_1_12.bin"));

    const QStringList entries = home.logEntries();
    for (const char* line : {"INF: \tcurrUpgradeState = UPG_STATE_BIN_DONE", "VRB: \tProceeeding with Regular Upgrade...",
                             "INF: \tRelease Number Prefixes Match !", "VRB: \tSkip deleting this file: qorax_5_7_1_12.bin",
                             "VRB: \t[ FTP Command Complete ] : new image.txt file uploaded successfully",
                             "INF: \tSkipped Antenna & PIC Upgrades.  Upgrade Complete."})
        EXPECT_TRUE(entries.contains(line)) << line;
    EXPECT_FALSE(home.logText().contains("skywardly"));
}

TEST_F(SoftwareUpgrade, NoDescriptorOnTheTerminal)
{
    sim.terminal().flash().remove("/tffs0/image.txt");
    // Without a descriptor the terminal still runs (it was booted before).
    startUpgrader();
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    // Everything but the default executable went; the default one was backed up.
    EXPECT_EQ(binFolder(), QStringList{"5_7_2_0"});
    EXPECT_TRUE(sim.terminal().flash().exists("/tffs0/bin/qorax.bin"));
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")), QByteArray(2000, 'd'));
    EXPECT_TRUE(home.logEntries().contains(
        "ERR: \t[ FTP ERROR ] : image.txt file does not exist in flash memory, default name to qorax.bin"));
}

TEST_F(SoftwareUpgrade, InvalidDescriptorSkipsCleanupAndBackup)
{
    startUpgrader();
    sim.terminal().flash().writeDescriptor(".bin/bin/");
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    EXPECT_EQ(binFolder(), (QStringList{"5_7_1", "5_7_1_12", "5_7_2_0"}));
    EXPECT_TRUE(backupFolder().isEmpty());
    EXPECT_FALSE(sim.ftpCommands().contains("NLST"));
    EXPECT_TRUE(home.logEntries().contains("ERR: \tRetrieved Image file Corrupt.  Bypassing Binary retieval."));
}

TEST_F(SoftwareUpgrade, DescriptorNamingAnotherExecutableSkipsTheBackupOnly)
{
    startUpgrader();
    sim.terminal().flash().writeDescriptor("/bin/qorax_5_7_1.bin");
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return sim->runningVersion() == "5.7.2.0"; }, 15000));
    EXPECT_TRUE(backupFolder().isEmpty());
    // Not backed up, so the running executable stays on the terminal.
    EXPECT_EQ(binFolder(), (QStringList{"5_7_1", "5_7_1_12", "5_7_2_0"}));
    EXPECT_TRUE(home.logText().contains("Error: FTP backup not possible because constructedBinName (/bin/qorax_5_7_1_12.bin) "
                                        "<> strCurrentExecutable (/bin/qorax_5_7_1.bin)"));
    EXPECT_FALSE(home.logText().contains(">> tmrFTPReq_Timer()"));
}

TEST_F(SoftwareUpgrade, BootRomModeUploadsAtOnce)
{
    sim.terminal().flash().writeDescriptor("/bin/qorax_none.bin");
    sim->reset();
    ASSERT_TRUE(sim->waitForBootAfterReset(0, 5000));
    ASSERT_TRUE(sim->inBootRom());
    startUpgrader("Operation Successful.  Software version retrieved!");
    ASSERT_TRUE(w().isBootRomMode);
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    EXPECT_FALSE(sim.zingCodes().contains(0x32));
    const QStringList ftp = sim.ftpCommands();
    EXPECT_FALSE(ftp.contains("RETR image.txt"));
    EXPECT_FALSE(ftp.contains("NLST"));
    EXPECT_TRUE(ftp.contains("STOR /tffs0/bin/qorax_5_7_2_0.bin"));
    EXPECT_TRUE(backupFolder().isEmpty());
    EXPECT_TRUE(home.logEntries().contains("INF: \tDevelopment/BOOTROM-mode Upgrade override!"));
}

TEST_F(SoftwareUpgrade, ReleaseSeriesConflictStopsBeforeAnything)
{
    QFile::remove(home.file(package));
    home.writePackage("5_8_0_1");
    startUpgrader();
    upgradeSoftware();
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_EQ(u->dialogs.boxes()[1].text, "Release Series conflict detected.  Upgrade not possible.");
    EXPECT_EQ(u->dialogs.boxes()[1].icon, MsgIcon::Critical);
    EXPECT_EQ(w().statusText(), "Release Series conflict detected.  Upgrade not possible.");
    serveEventsFor(300);
    EXPECT_TRUE(sim->records().isEmpty());
    EXPECT_TRUE(home.logEntries().contains("INF: \tUpgrade Not permitted !"));
}

TEST_F(SoftwareUpgrade, NothingTickedOrAnsweredNo)
{
    startUpgrader();
    w().cmdUpgrade->click();
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_EQ(u->dialogs.boxes()[0].text, "Please Select the Item(s) you wish to Upgrade.");
    EXPECT_EQ(u->dialogs.boxes()[0].icon, MsgIcon::Critical);

    upgradeSoftware(MsgResult::No);
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_FALSE(w().isUpgSwSelected);
    EXPECT_TRUE(home.logEntries().contains("VRB: \tUpgrade Cancelled by User"));
    serveEventsFor(300);
    EXPECT_TRUE(sim->records().isEmpty());
}

TEST_F(SoftwareUpgrade, PressedBeforeTheVersionIsKnownAsksForItFirst)
{
    sim->updateFaults([](qsim::Faults& f) { f.zing.mode = qsim::ServiceMode::Refuse; });
    u = std::make_unique<Upgrader>();
    ASSERT_TRUE(u->load());
    ASSERT_TRUE(waitUntil([&] { return !u->dialogs.boxes().isEmpty() && w().mousePointer() == 0; }, 8000));
    ASSERT_EQ(w().strCurrentVersion, "0_0_0_0");
    sim->clearFaults();
    sim->clearRecords();
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    EXPECT_EQ(sim.zingCodes().mid(0, 3), (QList<quint32>{4, 0x92, 0x32}));
}

TEST_F(SoftwareUpgrade, RefusedBackupStillUploads)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1_12.bin"; });
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    EXPECT_TRUE(backupFolder().isEmpty());
    EXPECT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_TRUE(home.logEntries().contains("DET: \tqorax bin not found, continuing"));
}

TEST_F(SoftwareUpgrade, RefusedDeleteIsReportedAndTheLoopGoesOn)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax.bin"; });
    upgradeSoftware();
    ASSERT_TRUE(waitForNewVersionRead());
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_TRUE(u->dialogs.boxes()[1].text.startsWith("An unexpected FTP error occurred.  Operation cancelled.\r\n\r\n"
                                                      "Error Code:  12003 : 550"));
    EXPECT_EQ(binFolder(), (QStringList{"5_7_1_12", "5_7_2_0"}));
    EXPECT_TRUE(sim.terminal().flash().exists("/tffs0/bin/qorax.bin"));
    EXPECT_EQ(backupFolder(), QStringList{"qorax_5_7_1_12.bin"});
}

TEST_F(SoftwareUpgrade, LoginRefused)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftpRefuseLogin = true; });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 2; }, 8000));
    EXPECT_EQ(u->dialogs.boxes()[1].text, "Incorrect Username or Password!");
    EXPECT_EQ(w().mousePointer(), 0);
    EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
}

TEST_F(SoftwareUpgrade, NothingListeningOnFtp)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftp.mode = qsim::ServiceMode::Refuse; });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 2; }, 8000));
    EXPECT_EQ(u->dialogs.boxes()[1].text,
              "Cannot connect to Satellite IP Modem.  Please check cable connection and retry.");
    EXPECT_EQ(w().strCurrentVersion, "0_0_0_0");
    // The descriptor fetch is the first command; its failures are not logged as incomplete commands.
    EXPECT_FALSE(home.logText().contains("Command not complete"));
    EXPECT_TRUE(home.logEntries().contains("DET: \tFTP-State: Error"));
}

TEST_F(SoftwareUpgrade, ConnectionResetDuringTheUploadEndsTheProgramAndKeepsTheOldSoftware)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) {
        f.ftpResetAfterBytes = 50000;
        f.ftpResetFile = "qorax_5_7_2_0.bin";
    });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return w().isUnloaded(); }, 10000));
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_EQ(u->dialogs.boxes()[1].text, zing::kConnectionProblemA + "\r\n");
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
    EXPECT_EQ(flashFile("/tffs0/bin/qorax_5_7_1_12.bin"), oldExecutable);
    EXPECT_TRUE(home.logText().contains("Close logging."));
    // The backup made before the upload is complete.
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")), oldExecutable);
}

TEST_F(SoftwareUpgrade, InterruptedBackupKeepsThePreviousBackup)
{
    home.writeFile("Backup/qorax_5_7_1_12.bin", "previous backup");
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) {
        f.ftpResetAfterBytes = 10000;
        f.ftpResetFile = "qorax_5_7_1_12.bin";
    });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return w().isUnloaded(); }, 10000));
    EXPECT_EQ(backupFolder(), QStringList{"qorax_5_7_1_12.bin"});
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")), QByteArray("previous backup"));
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
}

TEST_F(SoftwareUpgrade, SilentServerTimesOutAndTheConnectionIsChecked)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "NLST"; });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 2 && w().mousePointer() == 0; }, 10000));
    const MsgRecord& box = u->dialogs.boxes()[1];
    EXPECT_EQ(box.title, "Upgrader: FAULT");
    EXPECT_TRUE(box.text.startsWith("FTP timeout.\r\n\r\n\r\nGet system version using Tools menu before retrying."));
    EXPECT_FALSE(w().isFtpTimedOut);
    EXPECT_TRUE(home.logText().contains("Command not complete, Error code: 12002"));
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
}

TEST_F(SoftwareUpgrade, SlowServerRunsIntoTheWatchdog)
{
    startUpgrader();
    // Every reply comes late but within the client's own time-out: only the
    // 65 s watchdog of the fetch can end it.
    sim->updateFaults([](qsim::Faults& f) {
        f.ftp.mode = qsim::ServiceMode::Late;
        f.ftp.delayMs = 15000;
    });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return home.logText().contains(">> tmrFTPReq_Timer()"); }, 15000));
    ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 2 && w().mousePointer() == 0; }, 10000));
    EXPECT_TRUE(u->dialogs.boxes()[1].text.startsWith("FTP timeout."));
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
}

}  // namespace
