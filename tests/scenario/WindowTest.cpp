#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "ui/SecondaryWindows.h"
#include "platform/Timer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
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

// The status line is read while the window works and is disabled: it looks
// the same then. A text longer than the line shows its beginning, and the
// whole of it in the tool tip.
TEST_F(WindowTest, TheStatusLineIsReadableInEveryState)
{
    const QString text = "Log downloaded to /home/field-engineer/releases/qora-release-5.7.2/Backup/sylog.log";
    w().setStatusText(text);
    const QImage enabled = w().sbUpgrade->grab().toImage();
    w().SetMouseCursor(1);
    EXPECT_TRUE(w().sbUpgrade->grab().toImage() == enabled) << "the status line changes when the window is disabled";
    w().SetMouseCursor(0);

    QLineEdit& line = *w().sbUpgrade;
    ASSERT_GT(line.fontMetrics().horizontalAdvance(text), line.width()) << "the text fits: nothing to check";
    EXPECT_EQ(line.cursorPositionAt(QPoint(line.contentsRect().left() + 4, line.height() / 2)), 0);
    EXPECT_EQ(line.toolTip(), text);
}

// Keys as a user types them on the focused control: '\r' is Enter, '\b' Backspace.
void typeKeys(QWidget& window, const QString& keys)
{
    for (const QChar c : keys) {
        const int key = c == u'\r' ? int(Qt::Key_Return) : c == u'\b' ? int(Qt::Key_Backspace) : int(c.toUpper().unicode());
        QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(window.focusWidget() ? window.focusWidget() : &window, &ev);
    }
}

// The address box only shows the address; the Configure window is the way to
// change it: an octet per box, '.' to the next one, Enter for Update, and
// nothing taken that is not four numbers up to 255.
TEST_F(WindowTest, TheAddressIsChangedInTheConfigureWindowOnly)
{
    // Enabled, as at the end of any action (with no terminal the FTP check disables it).
    w().SetMouseCursor(0);
    ASSERT_TRUE(w().txtIPAddress->isEnabled());
    w().txtIPAddress->setFocus();
    typeKeys(w(), "9");
    EXPECT_EQ(w().txtIPAddress->text(), "127.0.0.1");
    EXPECT_TRUE(w().txtIPAddress->toolTip().contains("Tools > Configure Modem Interface"));

    const struct {
        const char* name;
        const char* keys;     // typed from the first box, its text selected; without Enter: Default, then Close
        const char* boxes;    // the four boxes then
        const char* address;  // the address afterwards
        const char* problem;  // what the window says when Update cannot take the boxes
    } rows[] = {
        {"dots move on, Enter updates", "127.0.0.9\r", "127|0|0|9", "127.0.0.9", ""},
        {"no letters, no more than 255", "1x.256.0.9\r", "1|25|0|9", "1.25.0.9", ""},
        {"leading zeros are decimal", "127.010.0.1\r", "127|010|0|1", "127.10.0.1", ""},
        {"an empty box is refused", "127.\b\r", "127||0|1", "127.10.0.1",
         "Type a number from 0 to 255 in each of the four boxes."},
        {"Default, then Close", "", "127|0|0|1", "127.10.0.1", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QString boxes, problem;
        u->dialogs.queueWindowScript([&](QDialog& d) {
            auto& m = static_cast<UpdateModemIP&>(d);
            m.show();
            typeKeys(m, row.keys);
            if (!*row.keys)
                m.cmdDefault->click();
            boxes = QStringList{m.txtIP1->text(), m.txtIP2->text(), m.txtIP3->text(), m.txtIP4->text()}.join('|');
            problem = m.isVisible() && m.lblProblem->isVisible() ? m.lblProblem->text() : "";
            m.cmdClose->click();
        });
        w().cmdSetModemIP->trigger();
        EXPECT_EQ(u->dialogs.windows().last(), "Configure Vantor QORA Terminal Interface");
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(problem, row.problem);
        EXPECT_EQ(w().txtIPAddress->text(), row.address);
        EXPECT_EQ(w().strIPAddress, row.address);
    }
    EXPECT_EQ(home.logEntries().filter("INF: \tModem IP Address: "),
              QStringList({"INF: \tModem IP Address: 127.0.0.9", "INF: \tModem IP Address: 1.25.0.9",
                           "INF: \tModem IP Address: 127.10.0.1"}));
}

}  // namespace
