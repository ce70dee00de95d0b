// A terminal being changed is protected between the busy steps too: nothing
// that would interfere can be started, closing asks first, and destructive
// commands ask with No as the answer Enter gives.
#include "support/SimUpgrade.h"

#include "platform/Timer.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include <functional>

namespace {

class TerminalAtWork : public SimUpgrade {};

TEST_F(TerminalAtWork, BetweenItsStepsNothingInterferesAndClosingAsks)
{
    home.writePackage("5_7_2_0", 2, 20 * 1024);
    for (const char* name : {"ATB_02409_15.sxm", "HPA_2407_13.sxm"})
        home.writeFile(name, QByteArray(300, 'S'));
    sim->updateModel([](qsim::Model& m) { m.restartMs = 5000; });
    startUpgrader();
    const struct {
        const char* name;
        std::function<void()> start;
        Timer* frmMain::*wait;  // the pause between busy steps
        const char* question;   // how the close question begins
        const char* runs;       // what the terminal runs afterwards
    } rows[] = {
        {"software upgrade", [&] { upgradeSoftware(); }, &frmMain::tmrDelayedSwUpgIgnite,
         "The Satellite IP Modem is receiving its new software", "5.7.2.0"},
        // Its stack stays halted until the reset is sent.
        {"software before its reset", [&] { upgradeSoftware(); }, &frmMain::tmrFiveSecDelayedReset,
         "The Satellite IP Modem is receiving its new software", "5.7.2.0"},
        {"antenna upgrade", [&] { u->dialogs.queueAnswer(MsgResult::Yes); w().cmdAntUpgradeMenu->trigger(); },
         &frmMain::tmrAntUpgDelay, "The Satellite IP Modem is upgrading its antenna firmware", "5.7.2.0"},
        {"reset", [&] { u->dialogs.queueAnswer(MsgResult::Yes); w().cmdResetModem->trigger(); },
         &frmMain::tmr40SecDelay, "The Satellite IP Modem is restarting", "5.7.2.0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        u->dialogs.clear();
        r.start();
        ASSERT_TRUE(waitUntil([&] { return (w().*r.wait)->enabled(); }, 10000)) << w().statusText().toStdString();
        for (QAction* a : {w().cmdResetModem, w().cmdRestoreDefaults, w().cmdGetSoftwareVersion, w().cmdSetModemIP,
                           w().cmdUpgradeMenu, w().cmdPicUpgradeMenu})
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        EXPECT_FALSE(w().cmdUpgrade->isEnabled());
        // The log keys start no FTP session of their own either.
        const qsizetype ftp = sim.ftpCommands().size();
        w().Form_KeyPress(7);
        w().Form_KeyPress(12);
        EXPECT_EQ(sim.ftpCommands().size(), ftp);
        // The user closes the window: asked, No by default, and nothing stops.
        const qsizetype boxes = u->dialogs.boxes().size();
        w().close();
        ASSERT_EQ(u->dialogs.boxes().size(), boxes + 1);
        const MsgRecord asked = u->dialogs.boxes().last();
        EXPECT_TRUE(asked.text.startsWith(r.question)) << asked.text.toStdString();
        EXPECT_EQ(asked.defaultAnswer, MsgResult::No);
        EXPECT_FALSE(w().isUnloaded());
        ASSERT_TRUE(waitForVersion(r.runs));
        // Once the versions are read back, everything is there again.
        ASSERT_TRUE(waitUntil([&] { return w().cmdResetModem->isEnabled() && w().cmdUpgrade->isEnabled(); }, 2000));
    }
}

// Ctrl+F asks before the factory defaults, No by default; Ctrl+X in a text
// box is the box's, not Exit.
TEST_F(TerminalAtWork, KeysDoNothingDestructiveUnasked)
{
    home.writePackage("5_7_2_0", 2, 20 * 1024);
    startUpgrader();
    QApplication::setActiveWindow(&w());
    const auto press = [&](QWidget* target, int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(target, &down);
        serveEventsFor(50);
    };
    w().setFocus();
    press(&w(), Qt::Key_F);
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_TRUE(u->dialogs.boxes()[0].text.startsWith("Restore the Satellite IP Modem's factory defaults?"));
    EXPECT_EQ(u->dialogs.boxes()[0].defaultAnswer, MsgResult::No);
    EXPECT_TRUE(sim->records().isEmpty());

    w().txtIPAddress->setFocus();
    press(w().txtIPAddress, Qt::Key_X);
    EXPECT_FALSE(w().isUnloaded());
    w().setFocus();
    press(&w(), Qt::Key_X);
    EXPECT_TRUE(w().isUnloaded());
}

}  // namespace
