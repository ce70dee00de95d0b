// The software item from the Upgrade button, end to end against the
// simulated terminal: what the user sees, what the terminal receives and
// what ends up on its flash and in the backup folder.
#include "ReliabilitySupport.h"

#include "support/BoxTexts.h"
#include "support/TableRows.h"

#include <QDir>
#include <QProgressBar>

#include <functional>

namespace {

using namespace reliability;
using tablerows::PrintTo;

// The terminal runs 5.7.1.12 and keeps two older executables.
class SoftwareUpgrade : public ::testing::Test, public Bench {
public:
    SoftwareUpgrade() { forgetRecords = true; }
    QStringList binFolder() { return sim.terminal().flash().executableVersions(); }
    QStringList backupFolder() { return QDir(home.file("Backup")).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(SoftwareUpgrade, TheWholeRoadWithAValidImageDescriptor)
{
    startUpgrader();
    upgradeSoftware();
    ASSERT_TRUE(waitForVersion("5.7.2.0")) << w().statusText().toStdString();
    EXPECT_TRUE(w().barProgress->isHidden());

    // The user saw one question, then the verdict.
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_EQ(w().statusText(), kUpgradeTook);
    EXPECT_EQ(u->dialogs.boxes()[1].text, "Upgrade Successful: every item took.\r\n\r\n - Software: 5.7.1.12 -> 5.7.2.0 "
                                          "(took)");
    EXPECT_EQ(u->dialogs.boxes()[1].icon, MsgIcon::Information);
    const MsgRecord& ask = u->dialogs.boxes().first();
    EXPECT_EQ(ask.title, "Upgrader: user action required");
    EXPECT_EQ(ask.icon, MsgIcon::Question);
    EXPECT_EQ(ask.text, "Please Confirm your selections.\r\nDo you want to proceed upgrading the following items ?"
                        "\r\n\r\n - Software\r\n");
    EXPECT_FALSE(w().chkBinUpg->isChecked());

    // The terminal: the running executable kept, the older ones deleted, the
    // new one complete, the descriptor naming it.
    EXPECT_EQ(binFolder(), (QStringList{"5_7_1_12", "5_7_2_0"}));
    EXPECT_EQ(flashFile("/tffs0/bin/qorax_5_7_2_0.bin"), package);
    EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_2_0.bin"));
    // The PC: the previous executable backed up whole, nothing else left behind.
    EXPECT_EQ(backupFolder(), (QStringList{"qorax_5_7_1_12.bin", "qorax_5_7_1_12.bin.sha256"}));
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")), oldExecutable);
    EXPECT_EQ(backup::check(home.file("Backup/qorax_5_7_1_12.bin")).state, backup::State::Whole);

    // Preparation, reset, then the new version and its release information.
    EXPECT_EQ(sim.zingCodes(), (QList<quint32>{0x32, 0x33, 0x0D, 4, 0x92}));
    // The order of the road is checked where every step of it is cut.
    const QStringList ftp = sim.ftpCommands();
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

// A package replaced since start-up is found before the terminal's flash is
// touched: at the press, or after the stack was halted.
TEST(SoftwareUpgradePackage, AChangedPackageIsNeverSent)
{
    const struct {
        const char* name;
        bool afterHalt;
    } rows[] = {{"before the press", false}, {"after the stack halt", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        ASSERT_TRUE(b.startUpgrader());
        const auto change = [&] { b.home.writeFile(b.packageName, b.package + "tampered"); };
        if (!row.afterHalt)
            change();
        b.upgradeSoftware();
        if (row.afterHalt) {
            ASSERT_TRUE(waitUntil([&] { return b.sim.zingCodes().contains(0x33); }, 5000));
            change();
        }
        // Once the terminal was touched, the verdict follows the stop.
        const int boxes = row.afterHalt ? 3 : 2;
        ASSERT_TRUE(waitUntil([&] { return b.u->dialogs.boxes().size() == boxes && b.actionOver(); }, 10000));
        EXPECT_TRUE(b.u->dialogs.boxes()[1].text.startsWith("The release package " + b.home.file(b.packageName) +
                                                           " is not the one the upgrader found at start-up: it holds "))
            << b.u->dialogs.boxes()[1].text.toStdString();
        if (!row.afterHalt) {
            EXPECT_EQ(b.w().statusText(), "Upgrade stopped: the release package changed.");
        }
        const QStringList ftp = b.sim.ftpCommands();
        EXPECT_TRUE(ftp.filter(QRegularExpression("^(DELE|STOR) ")).isEmpty()) << ftp.join(", ").toStdString();
        EXPECT_EQ(b.sim.zingCodes().contains(0x32), row.afterHalt);
        EXPECT_EQ(b.sim->runningVersion(), "5.7.1.12");
    }
}

// The terminal's image descriptor decides what is cleaned up and backed up;
// the upgrade itself goes through, without waiting for a time-out.
TEST(SoftwareUpgradeDescriptor, DecidesCleanupAndBackupOnly)
{
    const QStringList untouched = {"5_7_1", "5_7_1_12", "5_7_2_0"};
    const struct {
        const char* name;
        std::function<void(Bench&)> before;  // before the upgrader starts
        const char* later;                   // descriptor written once it knows the terminal
        QStringList bins;
        bool defaultKept;   // qorax.bin
        QByteArray backup;  // Backup/qorax_5_7_1_12.bin, empty: none made
        const char* logLine;
        QStringList notSent;
    } rows[] = {
        // Still running (it was booted before): the default executable is
        // backed up and kept, every other one goes.
        {"no descriptor", [](Bench& b) { b.sim.terminal().flash().remove("/tffs0/image.txt"); }, nullptr, {"5_7_2_0"}, true,
         QByteArray(2000, 'd'), "ERR: \t[ FTP ERROR ] : image.txt file does not exist in flash memory, default name to qorax.bin", {}},
        {"invalid descriptor", nullptr, ".bin/bin/", untouched, true, {}, "ERR: \tRetrieved Image file Corrupt.  Bypassing Binary retieval.",
         {"FTP NLST"}},
        // Not backed up, so the running executable stays on the terminal.
        {"descriptor naming another executable", nullptr, "/bin/qorax_5_7_1.bin", untouched, false, {},
         "Error: FTP backup not possible because constructedBinName (/bin/qorax_5_7_1_12.bin) <> strCurrentExecutable "
         "(/bin/qorax_5_7_1.bin)", {}},
        {"Boot ROM mode uploads at once",
         [](Bench& b) {
             b.sim.terminal().flash().writeDescriptor("/bin/qorax_none.bin");
             b.sim->reset();
             ASSERT_TRUE(b.sim->waitForBootAfterReset(0, 5000));
         },
         nullptr, untouched, true, {}, "INF: \tDevelopment/BOOTROM-mode Upgrade override!",
         {"ZING 0x32", "FTP RETR image.txt", "FTP NLST"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bench b;
        b.forgetRecords = true;
        if (row.before)
            row.before(b);
        const bool bootRom = b.sim->inBootRom();
        ASSERT_TRUE(b.startUpgrader(bootRom ? kVersionDone : kReleaseInfoDone));
        EXPECT_EQ(b.w().isBootRomMode, bootRom);
        if (row.later)
            b.sim.terminal().flash().writeDescriptor(row.later);
        b.upgradeSoftware();
        ASSERT_TRUE(b.waitForVersion("5.7.2.0"));
        EXPECT_EQ(b.sim.terminal().flash().executableVersions(), row.bins);
        EXPECT_EQ(b.sim.terminal().flash().exists("/tffs0/bin/qorax.bin"), row.defaultKept);
        EXPECT_EQ(readFile(b.home.file("Backup/qorax_5_7_1_12.bin")), row.backup);
        EXPECT_EQ(b.flashFile("/tffs0/bin/qorax_5_7_2_0.bin"), b.package);
        const QString log = b.home.logText();
        EXPECT_TRUE(log.contains(row.logLine));
        EXPECT_FALSE(log.contains(">> tmrFTPReq_Timer()"));
        for (const qsim::Record& r : b.sim->records())
            EXPECT_FALSE(row.notSent.contains(describe(r))) << describe(r).toStdString();
    }
}

// Refused before anything reaches the terminal; the last box says why.
// File > Upgrade Selections is the Upgrade button by another way.
TEST_F(SoftwareUpgrade, RefusedPressesSendNothing)
{
    const struct {
        const char* name;
        bool tick;
        MsgResult answer;
        const char* lastBox;
        const char* logLine;
        bool fromMenu = false;
    } rows[] = {
        {"nothing ticked", false, MsgResult::Yes, "Please Select the Item(s) you wish to Upgrade.", ""},
        {"nothing ticked, from the menu", false, MsgResult::Yes, "Please Select the Item(s) you wish to Upgrade.", "",
         true},
        {"answer No, from the menu", true, MsgResult::No, "Please Confirm your selections.",
         "VRB: \tUpgrade Cancelled by User", true},
        // The package is of another release series (the last row: it stays).
        {"release series conflict", true, MsgResult::Yes, "Release Series conflict detected.  Upgrade not possible.",
         "INF: \tUpgrade Not permitted !"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (QString(row.name) == "release series conflict") {
            QFile::remove(home.file(packageName));
            home.writePackage("5_8_0_1");
        }
        startUpgrader();
        if (row.tick) {
            w().chkBinUpg->setChecked(true);
            u->dialogs.queueAnswer(row.answer);
        }
        if (row.fromMenu)
            w().cmdUpgradeMenu->trigger();
        else
            w().cmdUpgrade->click();
        ASSERT_FALSE(u->dialogs.boxes().isEmpty());
        EXPECT_TRUE(u->dialogs.boxes().last().text.startsWith(row.lastBox));
        EXPECT_TRUE(home.logEntries().contains(row.logLine) || !*row.logLine);
        serveEventsFor(300);
        EXPECT_TRUE(sim->records().isEmpty());
    }
}

// An FTP time-out whose connection check finds ZING gone but the FTP port
// open: the upgrade is over, so the window says so and is usable again.
TEST_F(SoftwareUpgrade, FtpTimeoutWithZingGoneEndsIdleWithAWord)
{
    startUpgrader();
    sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "NLST"; });
    upgradeSoftware();
    ASSERT_TRUE(waitUntil([&] { return sim.ftpCommands().contains("NLST"); }, 8000));
    sim->updateFaults([](qsim::Faults& f) { f.zing.mode = qsim::ServiceMode::Refuse; });
    ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 2 && w().nothingRunning(); }, 8000));
    EXPECT_TRUE(u->dialogs.boxes()[1].text.startsWith(
        "FTP timeout.\r\nUnable to get Satellite IP Modem's software version.\r\n"));
    EXPECT_EQ(w().statusText(), "FTP timeout.");
    EXPECT_EQ(w().mousePointer(), 0);
    EXPECT_TRUE(w().isEnabled());
    EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
}

// FTP faults during the upgrade: whether it goes on, stops with a box or
// ends the program, the terminal keeps a bootable executable.
enum class Ends { Upgraded, Stopped, ProgramEnded };

class FtpFault;

struct FtpFaultRow {
    const char* name;
    std::function<void(qsim::Faults&)> fault;
    Ends ends;
    QString box;         // the box after the question (its start), empty for none
    bool wholeBox;       // the box is exactly that
    const char* logLine;  // a text the log holds, or empty
    std::function<void(FtpFault&)> more;
};

class FtpFault : public SoftwareUpgrade, public ::testing::WithParamInterface<FtpFaultRow> {};

TEST_P(FtpFault, TheTerminalKeepsABootableExecutable)
{
    const FtpFaultRow& row = GetParam();
    if (QString(row.name) == "backup download interrupted")
        home.writeFile("Backup/qorax_5_7_1_12.bin", "previous backup");
    startUpgrader();
    sim->updateFaults(row.fault);
    upgradeSoftware();
    // The question, the box on the way, and the verdict unless the program ended.
    const qsizetype boxes = 1 + (row.box.isEmpty() ? 0 : 1) + (row.ends == Ends::ProgramEnded ? 0 : 1);
    if (row.ends == Ends::Upgraded) {
        ASSERT_TRUE(waitForVersion("5.7.2.0"));
    } else if (row.ends == Ends::Stopped) {
        ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == boxes && actionOver(); }, 25000));
    } else {
        ASSERT_TRUE(waitUntil([&] { return w().isUnloaded(); }, 10000));
        EXPECT_TRUE(home.logText().contains("Close logging."));
    }
    ASSERT_EQ(u->dialogs.boxes().size(), boxes);
    if (!row.box.isEmpty()) {
        const QString text = u->dialogs.boxes()[1].text;
        EXPECT_TRUE(row.wholeBox ? text == row.box : text.startsWith(row.box)) << text.toStdString();
    }
    if (row.ends != Ends::ProgramEnded) {
        EXPECT_TRUE(u->dialogs.boxes().last().text.startsWith(row.ends == Ends::Upgraded
                                                                  ? "Upgrade Successful: every item took."
                                                                  : "Upgrade Failed: software did not take."));
    }
    if (*row.logLine) {
        EXPECT_TRUE(home.logText().contains(row.logLine)) << row.logLine;
    }
    if (row.ends != Ends::Upgraded) {
        EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
        EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
        EXPECT_EQ(flashFile("/tffs0/bin/qorax_5_7_1_12.bin"), oldExecutable);
    }
    if (row.more)
        row.more(*this);
}

const QString kFtpTimeout = QStringLiteral("FTP timeout.\r\n\r\n\r\nGet system version using Tools menu before retrying.");

INSTANTIATE_TEST_SUITE_P(
    Upgrade, FtpFault,
    ::testing::Values(
        FtpFaultRow{"backup refused", [](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1_12.bin"; }, Ends::Upgraded,
                    "", false, "qorax bin not found, continuing",
                    [](FtpFault& t) { EXPECT_TRUE(t.backupFolder().isEmpty()); }},
        // Only a 550 says the file is not there: any other refusal leaves no backup, so nothing is changed.
        FtpFaultRow{"backup transfer aborted",
                    [](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1_12.bin"; f.ftpFailFileRetr = 426; },
                    Ends::Stopped, "The backup copy of the Satellite IP Modem's software could not be made:\r\n426 ",
                    false, "backup of the running software failed: 426",
                    [](FtpFault& t) {
                        EXPECT_EQ(t.binFolder(), (QStringList{"5_7_1", "5_7_1_12"}));
                        EXPECT_FALSE(t.sim.ftpCommands().contains("STOR /tffs0/bin/qorax_5_7_2_0.bin"));
                    }},
        // A stream that ends early yet is answered 226 leaves no backup, and nothing is changed.
        FtpFaultRow{"backup cut short silently",
                    [](qsim::Faults& f) { f.ftpShortDownloadTo = 1000; f.ftpTruncateFile = "qorax_5_7_1_12.bin"; },
                    Ends::Stopped,
                    "The backup copy of the Satellite IP Modem's software could not be made:\r\nDownload incomplete: "
                    "the server holds 65536 bytes of /tffs0/bin/qorax_5_7_1_12.bin, 1000 were received",
                    false, "backup of the running software failed: Download incomplete",
                    [](FtpFault& t) {
                        EXPECT_EQ(t.binFolder(), (QStringList{"5_7_1", "5_7_1_12"}));
                        EXPECT_TRUE(t.backupFolder().isEmpty());
                    }},
        FtpFaultRow{"delete refused", [](qsim::Faults& f) { f.ftpFail550File = "qorax.bin"; }, Ends::Upgraded,
                    "An unexpected FTP error occurred.  Operation cancelled.\r\n\r\nError Code:  12003 : 550", false, "",
                    [](FtpFault& t) {
                        EXPECT_EQ(t.binFolder(), (QStringList{"5_7_1_12", "5_7_2_0"}));
                        EXPECT_TRUE(t.sim.terminal().flash().exists("/tffs0/bin/qorax.bin"));
                        EXPECT_EQ(t.backupFolder().first(), "qorax_5_7_1_12.bin");
                    }},
        FtpFaultRow{"login refused", [](qsim::Faults& f) { f.ftpRefuseLogin = true; }, Ends::Stopped,
                    "Incorrect Username or Password!", true, "", nullptr},
        // The descriptor fetch is the first command; its failures are not logged as incomplete commands.
        FtpFaultRow{"nothing listening", [](qsim::Faults& f) { f.ftp.mode = qsim::ServiceMode::Refuse; },
                    Ends::Stopped, "Cannot connect to Satellite IP Modem.  Please check cable connection and retry.",
                    true, "DET: \tFTP-State: Error",
                    [](FtpFault& t) {
                        EXPECT_EQ(t.w().strCurrentVersion, "0_0_0_0");
                        EXPECT_FALSE(t.home.logText().contains("Command not complete"));
                    }},
        FtpFaultRow{"listing never answered", [](qsim::Faults& f) { f.ftpWithholdReplyFor = "NLST"; }, Ends::Stopped,
                    kFtpTimeout, false, "Command not complete, Error code: 12002",
                    [](FtpFault& t) {
                        EXPECT_EQ(t.u->dialogs.boxes()[1].title, "Upgrader: FAULT");
                        EXPECT_FALSE(t.w().isFtpTimedOut);
                    }},
        // Every reply comes late but within the client's own time-out: only
        // the 65 s watchdog of the fetch can end it.
        FtpFaultRow{"every reply late",
                    [](qsim::Faults& f) { f.ftp.mode = qsim::ServiceMode::Late; f.ftp.delayMs = 15000; },
                    Ends::Stopped, "FTP timeout.", false, ">> tmrFTPReq_Timer()", nullptr},
        // A flash that keeps part of the upload still answers 226: the size
        // check stops the upgrade before the descriptor names the short file.
        FtpFaultRow{"upload truncated silently",
                    [](qsim::Faults& f) { f.ftpTruncateUploadTo = 100000; f.ftpTruncateFile = "qorax_5_7_2_0.bin"; },
                    Ends::Stopped,
                    "Upgrade stopped: the upload of /tffs0/bin/qorax_5_7_2_0.bin was incomplete.\r\n\r\nThe Satellite "
                    "IP Modem holds 100000 bytes of it; the file on this PC has 204800 bytes:",
                    false, "upload incomplete: the terminal holds 100000 bytes of /tffs0/bin/qorax_5_7_2_0.bin",
                    [](FtpFault& t) {
                        EXPECT_FALSE(t.sim.ftpCommands().contains("STOR image.txt"));
                        EXPECT_EQ(t.w().currUpgradeState, UPG_STATE_IDLE);
                        t.u.reset();
                        t.sim->clearFaults();
                        t.sim->powerOff();
                        t.sim->powerOn();
                        EXPECT_TRUE(waitUntil([&] { return t.sim->runningVersion() == "5.7.1.12"; }, 10000));
                    }},
        // The previous backup stays and no partial file is offered.
        FtpFaultRow{"backup download interrupted",
                    [](qsim::Faults& f) { f.ftpResetAfterBytes = 10000; f.ftpResetFile = "qorax_5_7_1_12.bin"; },
                    Ends::ProgramEnded, boxtext::kConnectionProblemA + "\r\n", true, "", [](FtpFault& t) {
                        EXPECT_EQ(t.backupFolder(), QStringList{"qorax_5_7_1_12.bin"});
                        EXPECT_EQ(readFile(t.home.file("Backup/qorax_5_7_1_12.bin")), QByteArray("previous backup"));
                    }}),
    tablerows::RowName());

}  // namespace
