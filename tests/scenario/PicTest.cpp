// The PIC firmware upgrade against the simulated terminal, one run per way
// out of its two telnet phases: what the user is told, where the terminal's
// image descriptor ends up, and which PIC version it reports.
#include "support/SimUpgrade.h"

#include "support/TableRows.h"

#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include <QAction>
#include <QFile>

#include <algorithm>
#include <functional>

namespace {

using tablerows::PrintTo;

struct PicRow {
    std::string name;
    const char* package;  // the package's version: its platform counts for the reflash
    std::function<void(qsim::Model&, qsim::Faults&)> terminal;
    bool startInBootRom = false;  // and it boots its Boot ROM after
    std::function<MsgResult(const MsgRecord&)> answer;  // questions after the first; nullptr: Yes
    QString box;         // a box shown on the way (its start), or empty
    QString why;         // what the verdict says of the PIC; empty when it took
    QStringList log;     // lines the log holds
    QStringList notLog;  // texts the log must not hold
    const char* pic;     // the PIC version the window shows at the end
};

class Pic : public SimUpgrade, public ::testing::WithParamInterface<PicRow> {};

TEST_P(Pic, EveryWayOutLeavesTheTerminalBootableAndSaysWhatHappened)
{
    const PicRow& row = GetParam();
    home.writePackage(row.package, 2, 20 * 1024);
    home.writeFile("PIC_3_05.s19", QByteArray(300, 'S'));
    sim->updateModel([](qsim::Model& m) {
        m.picAfterReflash = "3.05";
        m.autoPowerOnMs = 5000;
        m.restartMs = 5000;
    });
    qsim::Model model = sim->model();
    qsim::Faults faults;
    if (row.terminal)
        row.terminal(model, faults);
    sim->setModel(model);
    if (row.startInBootRom) {
        sim.terminal().flash().remove("/tffs0/image.txt");
        sim->reset();
        ASSERT_TRUE(sim->waitForBootAfterReset(0, 3000));
    }
    startUpgrader(row.startInBootRom ? kVersionDone : kReleaseInfoDone);
    EXPECT_EQ(w().txtLocPICVer->text(), "3.05");
    EXPECT_EQ(w().txtTermPICVersion->text(), "3.02");
    sim->setFaults(faults);
    u->dialogs.setPolicy([&](const MsgRecord& r) {
        if (r.buttons != MsgButtons::YesNo)
            return MsgResult::OK;
        // The watchdog does not give up while the user decides, and Enter means No.
        if (r.text.startsWith("Battery Presence")) {
            EXPECT_FALSE(w().tmrPicUpgrCnt->enabled());
            EXPECT_EQ(r.defaultAnswer, MsgResult::No);
        }
        return row.answer ? row.answer(r) : MsgResult::Yes;
    });
    w().cmdPicUpgradeMenu->trigger();
    const QString verdict = row.why.isEmpty() ? kUpgradeTook : QStringLiteral("Upgrade Failed !  Did not take: PIC.");
    ASSERT_TRUE(waitUntil([&] { return w().statusText() == verdict && actionOver() && w().telnetShell->state() != 7; },
                          20000))
        << w().statusText().toStdString();

    // The question, the boxes on the way, the verdict.
    const QList<MsgRecord> all = u->dialogs.boxes();
    ASSERT_GE(all.size(), 2);
    const QList<MsgRecord> boxes = all.mid(1, all.size() - 2);
    EXPECT_TRUE(row.box.isEmpty() || std::any_of(boxes.begin(), boxes.end(), [&](const MsgRecord& b) {
                    return b.text.startsWith(row.box);
                })) << row.box.toStdString();
    EXPECT_TRUE(all.last().text.startsWith(row.why.isEmpty() ? "Upgrade Successful" : "Upgrade Failed: PIC did not take."));
    EXPECT_TRUE(all.last().text.contains(row.why)) << all.last().text.toStdString();
    const QString log = home.logText();
    for (const QString& line : row.log) {
        EXPECT_TRUE(log.contains(line)) << line.toStdString();
    }
    // Completion is never claimed for a PIC upgrade, taken or not: the verdict says what happened.
    for (const QString& text : row.notLog + QStringList{"skywardly", "Upgrade Complete", "Upgrades Complete"}) {
        EXPECT_FALSE(log.contains(text)) << text.toStdString();
    }
    EXPECT_EQ(w().txtTermPICVersion->text(), row.pic);
    EXPECT_EQ(w().currUpgradeState, UPG_STATE_IDLE);
    // At rest: only the user starts a PIC upgrade again.
    EXPECT_EQ(w().picUpgradeState, PIC_UPG_STATE_INIT_CONNECT);
    // However much the shell said, the log holds a bounded share of it.
    EXPECT_LT(log.size(), 3 * 1024 * 1024);
    // Nothing goes to the shell after the command that restarts the terminal.
    QStringList shell;
    for (const qsim::Record& r : sim->records(qsim::Service::Telnet))
        shell << r.line;
    if (shell.contains("pwd;sleep(4);reboot")) {
        EXPECT_EQ(shell.last(), "pwd;sleep(4);reboot");
    }

    // The attempt is over: another operation's FTP close starts nothing of it.
    sim->clearFaults();
    const qsizetype shellLines = shell.size();
    const qsizetype picPuts = sim.ftpCommands().count("STOR /tffs0/pic.s19");
    w().Form_KeyPress(7);
    w().Form_KeyPress(12);
    ASSERT_TRUE(waitUntil([&] { return w().statusText().startsWith("Log downloaded") && w().nothingRunning(); }, 5000));
    serveEventsFor(100);
    EXPECT_EQ(sim->records(qsim::Service::Telnet).size(), shellLines);
    EXPECT_EQ(sim.ftpCommands().count("STOR /tffs0/pic.s19"), picPuts);

    // Whatever happened, the descriptor is the terminal's own again.
    sim->powerOff();
    sim->powerOn();
    ASSERT_TRUE(sim->waitUntilUp(3000));
    if (!row.startInBootRom) {
        EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
        EXPECT_EQ(flashFile("/tffs0/image.txt"), QByteArray("/bin/qorax_5_7_1_12.bin"));
    } else {
        EXPECT_TRUE(sim->inBootRom());
        EXPECT_FALSE(sim.terminal().flash().exists("/tffs0/image.txt"));
    }
    EXPECT_FALSE(sim.terminal().flash().exists("/tffs0/uimage.txt"));
}

const QString kDone = QStringLiteral("PIC Upgrade was Successful.  Software version retrieved!");
const QString kBattery = QStringLiteral("PIC Upgrade failure. \r\n\r\n Reason for failure : \r\n     - Battery detected.");

using M = qsim::Model;
using F = qsim::Faults;
const auto kFailed = QStringLiteral("PIC Upgrade failure. \r\n\r\n Possible reasons for failure :");
const auto kNoConnect = QStringLiteral("PIC Upgrade failed to connect to: 127.0.0.1");
const auto kNot = QStringLiteral("\r\nPIC firmware has not been Upgraded.\r\nRemove the Battery and retry the PIC Upgrade");

INSTANTIATE_TEST_SUITE_P(
    Pic, Pic,
    ::testing::Values(
        PicRow{"completed on a 7460", "5_7_2_0", nullptr, false, nullptr, "", "", {kDone}, {}, "3.05"},
        PicRow{"completed on a 7520", "5_9_2_0", [](M& m, F&) { m.platformVersion = "5.9.0.0"; }, false, nullptr, "",
               "", {"PIC Reflash Completed", kDone}, {}, "3.05"},
        // The unit powers off; the user powers it up and says so.
        PicRow{"completed on a 7120", "5_8_2_0", [](M& m, F&) { m.platformVersion = "5.8.0.0"; }, false, nullptr,
               "Please perform the following steps in this order:", "", {"PIC Reflash Completed", kDone},
               {}, "3.05"},
        PicRow{"Recovery Mode, then completed", "5_9_2_0",
               [](M& m, F&) { m.platformVersion = "5.9.0.0"; m.reflash = qsim::ReflashOutcome::RecoveryMode; }, false,
               nullptr, "", "", {"Recovery-Mode: picUpgradeState = PIC_UPG_STATE_REFLASH_SENT", kDone},
               {}, "3.05"},
        // A FAIL is never followed by a success.
        PicRow{"reflash FAIL", "5_9_2_0",
               [](M& m, F&) { m.platformVersion = "5.9.0.0"; m.reflash = qsim::ReflashOutcome::Fail; }, false,
               nullptr, kFailed, "the reflash reported FAIL", {"PIC Upgrade failed (the reflash reported FAIL)."},
               {"PIC Upgrade was Successful", "PIC Upgrade Successful"}, "3.02"},
        // A platform that only returns a value: -1 is a failed reflash too.
        PicRow{"reflash failed on a 7460", "5_7_2_0", [](M& m, F&) { m.reflash = qsim::ReflashOutcome::Fail; }, false,
               nullptr, kFailed, "the reflash reported FAIL", {"PIC Upgrade failed (the reflash reported FAIL)."},
               {"PIC Upgrade was Successful"}, "3.02"},
        PicRow{"battery at the first check", "5_7_2_0", [](M& m, F&) { m.battery = qsim::Battery::Present; }, false,
               nullptr, kBattery + kNot + ".\r\n", "battery present",
               {"PIC UPGRADE FAILURE (BATT_PRESENT): "}, {"copy \"pic.s19\""}, "3.02"},
        // Already in its Boot ROM without a descriptor: no preparation, the
        // second check finds the battery, and the terminal stays in its Boot
        // ROM, which is what the window says last.
        PicRow{"battery at the second check, Boot ROM from the start", "5_7_2_0",
               [](M& m, F&) { m.battery = qsim::Battery::Present; }, true, nullptr, kBattery + kNot + " after",
               "came back in its Boot ROM (BOOTROM MODE).; the package holds 3.05)\r\n\r\nIts image file names no "
               "software",
               {"Initializing PIC Upgrade.", "Closing Telnet connection used earlier for PIC Upgrade."}, {kDone}, "3.02"},
        // The Boot ROM shell gives no verdict either: the second check asks
        // again, gives up after eleven answers and restarts the terminal, whose
        // descriptor is back.
        PicRow{"battery unknown, Yes", "5_7_2_0", [](M& m, F&) { m.battery = qsim::Battery::Unknown; }, false,
               [](const MsgRecord&) { return MsgResult::Yes; }, "Unexpected PIC data.  PIC Upgrade aborted.",
               "PIC Upgrade not done (no reflash)",
               {"Battery Presence unknown and user opted to proceed anyway.", "[11] <<display pic-data: "},
               {kDone, "[12] <<display", "pic_driver_reflash"}, "3.02"},
        PicRow{"battery unknown, No", "5_7_2_0", [](M& m, F&) { m.battery = qsim::Battery::PollFailed; }, false,
               [](const MsgRecord& r) {
                   return r.text.startsWith("Battery Presence Could NOT") ? MsgResult::No : MsgResult::Yes;
               },
               "", "user opted to stop",
               {"Battery Presence unknown and user opted to stop.  PIC Upgrade aborted."}, {"copy \"pic.s19\""}, "3.02"},
        // A failed directory change stops before anything is touched.
        PicRow{"cd fails", "5_7_2_0", [](M&, F& f) { f.telnetFailCommand = "cd"; }, false, nullptr,
               "PIC Upgrade stopped: the Satellite IP Modem's shell could not change to its flash folder "
               "/tffs0/.\r\nThe Satellite IP Modem's image file was not changed",
               "could not change to its flash folder", {}, {"pic_data_show"}, "3.02"},
        PicRow{"another telnet session", "5_7_2_0", [](M&, F& f) { f.telnetSessionLimit = true; }, false, nullptr,
               "PIC Upgrade failed.  Click OK and close the upgrader.\r\nMake sure there is no other active Telnet "
               "session to the TE.",
               "PIC Upgrade aborted", {}, {}, "3.02"},
        PicRow{"no greeting", "5_7_2_0", [](M&, F& f) { f.telnet.mode = qsim::ServiceMode::Silent; }, false, nullptr,
               "", "no telnet greeting", {">> tmrTelnetConnect_Timer()"}, {}, "3.02"},
        // The reflash runs on and on: the watchdog gives up after eleven ticks.
        // Pieces of two bytes: every prompt and answer arrives split.
        PicRow{"shell output in pieces of two bytes", "5_7_2_0",
               [](M&, F& f) {
                   f.telnetSplitBytes = 2;
                   f.telnetSplitGapMs = 1;
               },
               false, nullptr, "", "", {kDone}, {}, "3.05"},
        // A battery reported anywhere in the answer stops it, whatever else is there.
        PicRow{"ERROR and a battery in one answer", "5_7_2_0",
               [](M&, F& f) { f.picDataShowText = QByteArray("ERROR: poll\r\nBATT_PRESENT=1\r\n"); }, false, nullptr,
               kBattery + kNot + ".\r\n", "battery present",
               {"PIC UPGRADE FAILURE (BATT_PRESENT): "}, {"copy \"pic.s19\""}, "3.02"},
        // A shell that never stops talking: the watchdog ends it, the log stays small.
        PicRow{"endless output", "5_7_2_0", [](M&, F& f) { f.telnetEndlessAfter = "pic_data_show"; }, false, nullptr,
               kNoConnect + "\r\nClick OK and try again.", "no progress", {"bytes not written to the log"},
               {"copy \"image.txt\""},
               "3.02"},
        PicRow{"reflash without end", "5_9_2_0",
               [](M& m, F&) { m.platformVersion = "5.9.0.0"; m.reflashMs = 100000000; }, false, nullptr,
               kNoConnect + "\r\nClick OK and try again.", "no progress", {"PIC Upgrade progressing..."}, {}, "3.02"}),
    tablerows::RowName());

// Each antenna or PIC upload is an FTP operation of its own: its failure
// ends the step even after the software item's FTP work, and the window is
// usable again.
TEST(ItemUpload, AFailureAfterTheSoftwareEndsTheStepIdle)
{
    for (const char* failing : {"hpa.sxm", "pic.s19"}) {
        SCOPED_TRACE(failing);
        SimBench b;
        b.home.writePackage("5_7_2_0", 2, 20 * 1024);
        for (const char* name : {"PIC_3_05.s19", "ATB_02409_15.sxm", "HPA_2407_13.sxm"})
            b.home.writeFile(name, QByteArray(300, 'S'));
        ASSERT_TRUE(b.startUpgrader());
        b.sim->updateFaults([&](qsim::Faults& f) { f.ftpFail550File = failing; });
        (QString(failing) == "pic.s19" ? b.w().chkPICUpg : b.w().chkAntUpg)->setChecked(true);
        b.upgradeSoftware();
        ASSERT_TRUE(waitUntil([&] { return b.u->dialogs.boxes().size() == 3 && b.actionOver(); }, 20000))
            << b.w().statusText().toStdString();
        EXPECT_TRUE(b.u->dialogs.boxes()[1].text.startsWith("An unexpected FTP error occurred.  Operation cancelled."));
        // The software took, the item whose upload failed did not.
        const QString verdict = b.u->dialogs.boxes()[2].text;
        EXPECT_TRUE(verdict.startsWith(QString("Upgrade Failed: ") + (QString(failing) == "pic.s19" ? "PIC" : "antenna") +
                                       " did not take."))
            << verdict.toStdString();
        EXPECT_TRUE(verdict.contains(" - Software: 5.7.1.12 -> 5.7.2.0 (took)"));
        EXPECT_EQ(b.w().mousePointer(), 0);
        EXPECT_EQ(b.sim->runningVersion(), "5.7.2.0");
        EXPECT_FALSE(b.sim.zingCodes().contains(0x90));
        EXPECT_TRUE(b.sim->records(qsim::Service::Telnet).isEmpty());
    }
}

// The PIC item runs once, whatever its upload meets; a file spoilt after
// start-up never leaves this PC.
TEST(PicItem, RunsOnceWhateverItsUploadMeets)
{
    // Boxes: the question, what stopped it, and the verdict once something was sent.
    const struct { const char* name; std::function<void(SimBench&)> spoil; const char* box; bool sent; } rows[] = {
        {"upload refused", [](SimBench& b) { b.sim->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "pic.s19"; }); },
         "An unexpected FTP error occurred.  Operation cancelled.", true},
        {"upload never confirmed",
         [](SimBench& b) { b.sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "STOR"; }); }, "FTP timeout.",
         true},
        {"file emptied", [](SimBench& b) { b.home.writeFile("PIC_3_05.s19", QByteArray(99, 'S')); },
         "Invalid PIC firmware file ", false},
        {"file removed", [](SimBench& b) { QFile::remove(b.home.file("PIC_3_05.s19")); },
         "Unable to find PIC binary in home directory ", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SimBench b;
        b.home.writePackage("5_7_2_0", 2, 20 * 1024);
        b.home.writeFile("PIC_3_05.s19", QByteArray(300, 'S'));
        ASSERT_TRUE(b.startUpgrader());
        r.spoil(b);
        b.w().chkPICUpg->setChecked(true);
        b.u->dialogs.queueAnswer(MsgResult::Yes);
        b.w().cmdUpgrade->click();
        ASSERT_TRUE(waitUntil([&] { return b.u->dialogs.boxes().size() >= 2 && b.actionOver(); }, 10000))
            << b.w().statusText().toStdString();
        serveEventsFor(1000);
        const QList<MsgRecord> boxes = b.u->dialogs.boxes();
        ASSERT_EQ(boxes.size(), r.sent ? 3 : 2);
        EXPECT_TRUE(boxes[1].text.startsWith(r.box)) << boxes[1].text.toStdString();
        if (r.sent) {
            EXPECT_TRUE(boxes[2].text.startsWith("Upgrade Failed: PIC did not take.")) << boxes[2].text.toStdString();
        }
        EXPECT_LE(b.sim.ftpCommands().count("STOR /tffs0/pic.s19"), 1);
        EXPECT_TRUE(b.sim->records(qsim::Service::Telnet).isEmpty());
        EXPECT_EQ(b.w().currUpgradeState, UPG_STATE_IDLE);
        EXPECT_FALSE(b.home.logText().contains("Upgrade Complete"));
    }
}

// After a reflash FAIL the Boot ROM is reset at the address it answers at,
// not at the application's.
TEST(PicFail, TheResetGoesWhereTheBootRomAnswers)
{
    SimHarness sim(QStringLiteral("127.0.0.2"));
    TestHome home;
    home.writePackage("5_9_2_0", 2, 20 * 1024);
    home.writeFile("PIC_3_05.s19", QByteArray(300, 'S'));
    sim->updateModel([](qsim::Model& m) {
        m.platformVersion = "5.9.0.0";
        m.reflash = qsim::ReflashOutcome::Fail;
        m.restartMs = 5000;
    });
    Upgrader u;
    u.w().txtIPAddress->setText("127.0.0.2");
    ASSERT_TRUE(u.load());
    ASSERT_TRUE(waitUntil([&] { return u.w().statusText() == kReleaseInfoDone; }, 8000)) << u.w().statusText().toStdString();
    u.dialogs.queueAnswer(MsgResult::Yes);
    u.w().cmdPicUpgradeMenu->trigger();
    ASSERT_TRUE(waitUntil(
        [&] { return u.w().statusText() == "Upgrade Failed !  Did not take: PIC." && !u.w().verdictPending(); }, 15000))
        << u.w().statusText().toStdString();
    EXPECT_TRUE(u.dialogs.boxes().last().text.contains("the reflash reported FAIL"));
    QStringList resets;
    for (const qsim::Record& r : sim->records(qsim::Service::Zing)) {
        if (r.zingCode == 0xd)
            resets << r.address;
    }
    EXPECT_EQ(resets, QStringList({"127.0.0.2", "127.0.0.1"}));
    EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
}

}  // namespace
