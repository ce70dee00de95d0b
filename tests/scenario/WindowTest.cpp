#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "ui/SecondaryWindows.h"
#include "platform/Timer.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings::set(unreachableTerminalSettings());
        home.writePackage("5_7_1_12");
        u = std::make_unique<Upgrader>();
        ASSERT_TRUE(u->load());
        // The start-up version request fails at once (nothing listens): wait
        // for the window to become idle and forget the boxes it showed.
        ASSERT_TRUE(waitUntil([&] { return u->w().mousePointer() == 0 && !u->w().tmrConneTest->enabled(); }));
        u->dialogs.clear();
    }
    frmMain& w() { return u->w(); }

    // Everything the busy state switches.
    QList<QObject*> busyControls()
    {
        return {w().cmdSetModemIP, w().cmdGetSoftwareVersion, w().cmdDownloadLog, w().cmdRestoreDefaults, w().cmdResetModem,
                w().cmdUpgrade, w().cmdRestore, w().cmdUpgradeMenu, w().cmdRestoreMenu, w().mnuFileExit,
                w().mnuHelpAbout, w().txtIPAddress, w().chkBinUpg, w().mnuFile->menuAction(),
                w().mnuTools->menuAction(), w().mnuHelp->menuAction(), &w()};
    }

    TestHome home;
    std::unique_ptr<Upgrader> u;
};

TEST_F(WindowTest, BusyDisablesEverythingAndIdleRestoresIt)
{
    w().chkBinUpg->setChecked(true);
    EXPECT_TRUE(w().SetMouseCursor(1));
    EXPECT_EQ(w().mousePointer(), 13);
    for (QObject* c : busyControls())
        EXPECT_FALSE(c->property("enabled").toBool()) << busyControls().indexOf(c) << " " << c->objectName().toStdString();
    EXPECT_TRUE(w().chkBinUpg->isChecked());  // tick marks stay

    EXPECT_TRUE(w().SetMouseCursor(0));
    EXPECT_EQ(w().mousePointer(), 0);
    for (QObject* c : busyControls())
        EXPECT_TRUE(c->property("enabled").toBool()) << busyControls().indexOf(c) << " " << c->objectName().toStdString();
    EXPECT_FALSE(w().SetMouseCursor(2));
    EXPECT_EQ(w().mousePointer(), 0);
}

// Update takes the octets as typed; Default puts back the ones stored at
// start, and Close keeps the address.
TEST_F(WindowTest, ModemInterfaceTakesTheOctetsAsTyped)
{
    const struct {
        const char* octets[4];
        bool update;
        const char* shown;
        const char* address;
    } cases[] = {
        {{"127", "0", "0", "77"}, false, "127.0.0.1", "127.0.0.1"},
        {{"127", "0", "0", " 10"}, true, "127.0.0.10", "127.0.0.10"},
        // Trailing blanks stay inside, the outer ones go with the final trim.
        {{" 127", "0 ", "0", "9 "}, true, "127.0 .0.9 ", "127.0 .0.9"},
        // Not validated: passed on as typed.
        {{"", "x", "0", "1"}, true, ".x.0.1", ".x.0.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        u->dialogs.queueWindowScript([&c](QDialog& d) {
            auto& m = static_cast<UpdateModemIP&>(d);
            QLineEdit* boxes[] = {m.txtIP1, m.txtIP2, m.txtIP3, m.txtIP4};
            for (int i = 0; i < 4; ++i)
                boxes[i]->setText(c.octets[i]);
            if (c.update) {
                m.cmdUpdate->click();
                return;
            }
            m.cmdDefault->click();
            EXPECT_EQ(m.txtIP4->text(), "1");
            m.cmdClose->click();
        });
        w().cmdSetModemIP->trigger();
        EXPECT_EQ(u->dialogs.windows().last(), "Configure Vantor QORA Terminal Interface");
        EXPECT_EQ(w().txtIPAddress->text(), c.shown);
        EXPECT_EQ(w().strIPAddress, c.address);
        EXPECT_EQ(home.logEntries().contains(QString("INF: \tModem IP Address: ") + c.shown), c.update);
    }
}

}  // namespace
