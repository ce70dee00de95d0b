#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "ui/SecondaryWindows.h"
#include "platform/Timer.h"
#include "ui/StatusLight.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings::set(unreachableTerminalSettings());
        home.writePackage("5_7_1_12");
        u = std::make_unique<Upgrader>();
        ASSERT_EQ(u->w().sbUpgrade->text(), "Status Text");
        ASSERT_TRUE(u->load());
        // The start-up version request fails at once (nothing listens): wait
        // for the window to become idle and forget the boxes it showed.
        ASSERT_TRUE(waitUntil([&] { return u->w().mousePointer() == 0 && !u->w().tmrConneTest->enabled(); }));
        u->dialogs.clear();
    }
    frmMain& w() { return u->w(); }

    // Everything the busy state switches, by name.
    QList<std::pair<const char*, bool>> commandStates()
    {
        return {{"cmdSetModemIP", w().cmdSetModemIP->isEnabled()},
                {"cmdGetSoftwareVersion", w().cmdGetSoftwareVersion->isEnabled()},
                {"cmdRestoreDefaults", w().cmdRestoreDefaults->isEnabled()},
                {"cmdResetModem", w().cmdResetModem->isEnabled()},
                {"cmdUpgrade", w().cmdUpgrade->isEnabled()},
                {"cmdRestore", w().cmdRestore->isEnabled()},
                {"cmdUpgradeMenu", w().cmdUpgradeMenu->isEnabled()},
                {"cmdRestoreMenu", w().cmdRestoreMenu->isEnabled()},
                {"mnuFileExit", w().mnuFileExit->isEnabled()},
                {"mnuHelpAbout", w().mnuHelpAbout->isEnabled()},
                {"txtIPAddress", w().txtIPAddress->isEnabled()},
                {"chkBinUpg", w().chkBinUpg->isEnabled()},
                {"mnuFile", w().mnuFile->menuAction()->isEnabled()},
                {"mnuTools", w().mnuTools->menuAction()->isEnabled()},
                {"mnuHelp", w().mnuHelp->menuAction()->isEnabled()},
                {"window", w().isEnabled()}};
    }

    void press(QWidget* target, int key, Qt::KeyboardModifiers mods, const QString& text = QString())
    {
        target->setFocus();
        QKeyEvent ev(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(target, &ev);
    }

    TestHome home;
    std::unique_ptr<Upgrader> u;
};

TEST_F(WindowTest, BusyDisablesEverythingAndIdleRestoresIt)
{
    w().chkBinUpg->setChecked(true);
    EXPECT_TRUE(w().SetMouseCursor(1));
    EXPECT_EQ(w().mousePointer(), 13);
    for (auto [name, enabled] : commandStates())
        EXPECT_FALSE(enabled) << name;
    EXPECT_FALSE(w().chkAntUpg->isEnabled());
    EXPECT_FALSE(w().chkPICUpg->isEnabled());
    EXPECT_FALSE(w().cmdPicUpgradeMenu->isEnabled());
    EXPECT_FALSE(w().cmdAntUpgradeMenu->isEnabled());
    EXPECT_TRUE(w().chkBinUpg->isChecked());  // tick marks stay

    EXPECT_TRUE(w().SetMouseCursor(0));
    EXPECT_EQ(w().mousePointer(), 0);
    for (auto [name, enabled] : commandStates())
        EXPECT_TRUE(enabled) << name;
    // Without usable PIC or antenna files their commands stay off.
    EXPECT_FALSE(w().chkAntUpg->isEnabled());
    EXPECT_FALSE(w().cmdAntUpgradeMenu->isEnabled());
    EXPECT_FALSE(w().chkPICUpg->isEnabled());
    EXPECT_FALSE(w().cmdPicUpgradeMenu->isEnabled());

    EXPECT_FALSE(w().SetMouseCursor(2));
    EXPECT_EQ(w().mousePointer(), 0);
}

TEST_F(WindowTest, IdleStateOfThePicAndAntennaCommandsFollowsTheirFiles)
{
    struct Case {
        bool picOk;
        bool picPending;
        bool antOk;
        bool picEnabled;
        bool picTicked;
        bool antEnabled;
    };
    const Case cases[] = {
        {true, false, true, true, false, true},
        {true, true, false, true, true, false},
        {false, true, true, false, false, true},
    };
    for (const Case& c : cases) {
        w().SetMouseCursor(1);
        w().isPicFwOk = c.picOk;
        w().isUpgPicSelected = c.picPending;
        w().isAntennaFwOk = c.antOk;
        w().chkPICUpg->setChecked(true);
        w().SetMouseCursor(0);
        EXPECT_EQ(w().chkPICUpg->isEnabled(), c.picEnabled);
        EXPECT_EQ(w().cmdPicUpgradeMenu->isEnabled(), c.picEnabled);
        EXPECT_EQ(w().chkPICUpg->isChecked(), c.picTicked);
        EXPECT_EQ(w().chkAntUpg->isEnabled(), c.antEnabled);
        EXPECT_EQ(w().cmdAntUpgradeMenu->isEnabled(), c.antEnabled);
    }
}

TEST_F(WindowTest, DisableFtpButtonsLeavesTheRestUsable)
{
    w().isPicFwOk = true;
    w().isAntennaFwOk = true;
    w().SetMouseCursor(0);
    w().DisableFTPbuttons();
    for (QAction* a : {w().cmdUpgradeMenu, w().cmdRestoreMenu, w().cmdPicUpgradeMenu, w().cmdAntUpgradeMenu})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(w().cmdUpgrade->isEnabled());
    EXPECT_FALSE(w().cmdRestore->isEnabled());
    EXPECT_FALSE(w().txtIPAddress->isEnabled());
    EXPECT_TRUE(w().cmdGetSoftwareVersion->isEnabled());
    EXPECT_TRUE(w().cmdResetModem->isEnabled());
    EXPECT_TRUE(w().chkBinUpg->isEnabled());
    EXPECT_TRUE(w().isEnabled());
}

TEST_F(WindowTest, ControlStateProceduresLogTheirEntry)
{
    w().SetMouseCursor(1);
    w().SetMouseCursor(0);
    w().DisableFTPbuttons();
    const QStringList entries = home.logEntries();
    for (const char* line : {"VRB: \t>> SetMouseCursor()", "VRB: \t>> DisableButtons()", "VRB: \t>> EnableButtons()",
                             "VRB: \t>> DisableFTPbuttons()"})
        EXPECT_TRUE(entries.contains(line)) << line;
    const int disable = entries.indexOf("VRB: \t>> DisableButtons()");
    EXPECT_EQ(entries.at(disable - 1), "VRB: \t>> SetMouseCursor()");
}

TEST_F(WindowTest, StatusLightAndFrames)
{
    w().setStatusLedColour(65280);
    EXPECT_EQ(w().statusLED->fillColour(), 65280);
    EXPECT_EQ(StatusLight::toQColor(65280), QColor(0, 255, 0));
    EXPECT_EQ(StatusLight::toQColor(255), QColor(255, 0, 0));
    w().setFrameActive(w().frameAntenna, true);
    EXPECT_TRUE(frmMain::isFrameActive(w().frameAntenna));
    EXPECT_EQ(w().frameAntenna->palette().color(QPalette::Window), QColor(192, 255, 192));
    EXPECT_FALSE(frmMain::isFrameActive(w().frameBin));
}

TEST_F(WindowTest, ControlsCarryTheirCaptionsAndAccessKeys)
{
    EXPECT_EQ(w().cmdUpgrade->text(), "&Upgrade");
    EXPECT_EQ(w().cmdUpgrade->toolTip(), "Upgrade software");
    EXPECT_EQ(w().cmdRestore->toolTip(), "Restore original software");
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "UNKNOWN");
    EXPECT_EQ(w().cmdSetModemIP->text(), "&Configure Modem &Interface");
    EXPECT_EQ(w().mnuHelpTs->text(), "&Troubleshooting\tShift+F1");
    EXPECT_FALSE(w().txtAntASNver->isVisible());
    EXPECT_FALSE(w().txtAntAHWver->isVisible());
    // Positions convert from twips at 15 per pixel.
    EXPECT_EQ(w().cmdUpgrade->geometry(), QRect(240, 344, 129, 25));
    EXPECT_EQ(w().frameAntenna->geometry(), QRect(8, 184, 369, 153));
    EXPECT_EQ(w().centralWidget()->size(), QSize(384, 401));
}

TEST_F(WindowTest, LogKeySequenceFromAnyControl)
{
    // Ctrl+G arms, any other typed key disarms, Ctrl+G while armed disarms.
    press(w().txtIPAddress, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(w().isLogKeyArmed);
    press(w().chkBinUpg, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_FALSE(w().isLogKeyArmed);
    press(w().cmdUpgrade, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(w().isLogKeyArmed);
    press(w().cmdUpgrade, Qt::Key_G, Qt::ControlModifier);
    EXPECT_FALSE(w().isLogKeyArmed);
    // A key that types nothing (Shift alone, an arrow) is not a key press for it.
    press(w().txtIPAddress, Qt::Key_G, Qt::ControlModifier);
    press(w().txtIPAddress, Qt::Key_Shift, Qt::ShiftModifier);
    press(w().txtIPAddress, Qt::Key_Left, Qt::NoModifier);
    EXPECT_TRUE(w().isLogKeyArmed);
    press(w().txtIPAddress, Qt::Key_L, Qt::ControlModifier);
    EXPECT_FALSE(w().isLogKeyArmed);
}

TEST_F(WindowTest, MenuShortcutsActOnlyWhenTheirEntryIsEnabled)
{
    press(w().txtIPAddress, Qt::Key_F1, Qt::NoModifier);
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_TRUE(u->dialogs.boxes()[0].text.startsWith("Upgrader tool for Vantor QORA terminals"));
    w().mnuHelpTs->setEnabled(false);
    press(w().txtIPAddress, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(u->dialogs.boxes().size(), 1);
    w().mnuHelpTs->setEnabled(true);
    press(w().txtIPAddress, Qt::Key_F1, Qt::ShiftModifier);
    ASSERT_EQ(u->dialogs.boxes().size(), 2);
    EXPECT_EQ(u->dialogs.boxes()[1].title, "Troubleshooting Instructions for Connectivity Issues");
}

TEST_F(WindowTest, TroubleshootingFallsBackToThePackagedPlatform)
{
    struct Case {
        int connected;
        int packaged;
        const char* heading;
        const char* logLine;
    };
    const Case cases[] = {{14, 9, "7520 Platform:", "INF: \tresolvedPlatformId = 9"},
                          {14, 14, "Generic Platform:", "INF: \tresolvedPlatformId = 14"},
                          {8, 9, "7120/7130 Platform:", "INF: \tresolvedPlatformId = 8"}};
    for (const Case& c : cases) {
        u->dialogs.clear();
        w().connectedPlatformId = c.connected;
        w().packagedPlatformId = c.packaged;
        w().mnuHelpTs->trigger();
        ASSERT_EQ(u->dialogs.boxes().size(), 1);
        const MsgRecord& box = u->dialogs.boxes()[0];
        EXPECT_EQ(box.icon, MsgIcon::Information);
        EXPECT_EQ(box.text.split("\r\n").value(2), c.heading);
        EXPECT_EQ(home.logEntries().last(), c.logLine);
    }
}

TEST_F(WindowTest, AboutBoxTitleAndText)
{
    w().txtNewSoftwareVersion->setText("5.7.1.12");
    w().strBinFileDate = "2026-12-05";
    w().mnuHelpAbout->trigger();
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_EQ(u->dialogs.boxes()[0].title, w().strWindowTitle);
    EXPECT_TRUE(u->dialogs.boxes()[0].text.contains("For software version: 5.7.1.12, 2026-12-05\r\n\r\nTool version: 5.1.6, 8/9/2019"));
}

TEST_F(WindowTest, ModemInterfaceDefaultThenCloseChangesNothing)
{
    w().UpdateModemIPAddress("127.0.0.5");
    u->dialogs.queueWindowScript([](QDialog& d) {
        auto& m = static_cast<UpdateModemIP&>(d);
        EXPECT_EQ(m.txtIP4->text(), "1");  // the octets stored at start
        m.txtIP4->setText("77");
        m.cmdDefault->click();
        EXPECT_EQ(m.txtIP1->text(), "127");
        EXPECT_EQ(m.txtIP4->text(), "1");
        m.cmdClose->click();
    });
    w().cmdSetModemIP->trigger();
    EXPECT_EQ(u->dialogs.windows(), QStringList{"Configure Vantor QORA Terminal Interface"});
    EXPECT_EQ(w().strIPAddress, "127.0.0.5");
    EXPECT_EQ(w().txtIPAddress->text(), "127.0.0.5");
    EXPECT_EQ(w().strIpOctet4, "1");
}

TEST_F(WindowTest, ModemInterfaceUpdateTrimsOctetsAsTyped)
{
    struct Case {
        const char* octets[4];
        const char* shown;
        const char* address;
        const char* stored4;
    };
    const Case cases[] = {
        {{"127", "0", "0", " 10"}, "127.0.0.10", "127.0.0.10", "10"},
        // Trailing blanks stay inside, the outer ones go with the final trim.
        {{" 127", "0 ", "0", "9 "}, "127.0 .0.9 ", "127.0 .0.9", "9 "},
        // Not validated: passed on as typed.
        {{"", "x", "0", "1"}, ".x.0.1", ".x.0.1", "1"},
    };
    for (const Case& c : cases) {
        u->dialogs.queueWindowScript([&c](QDialog& d) {
            auto& m = static_cast<UpdateModemIP&>(d);
            QLineEdit* boxes[] = {m.txtIP1, m.txtIP2, m.txtIP3, m.txtIP4};
            for (int i = 0; i < 4; ++i)
                boxes[i]->setText(c.octets[i]);
            m.cmdUpdate->click();
        });
        w().cmdSetModemIP->trigger();
        EXPECT_EQ(w().txtIPAddress->text(), c.shown);
        EXPECT_EQ(w().strIPAddress, c.address);
        EXPECT_EQ(w().strIpOctet4, c.stored4);
        EXPECT_TRUE(home.logEntries().contains(QString("INF: \tModem IP Address: ") + c.shown));
    }
}

TEST_F(WindowTest, AnAddressOfBlanksOnlyBecomesEmpty)
{
    w().UpdateModemIPAddress("   ");
    EXPECT_EQ(w().strIPAddress, "");
}

}  // namespace
