// Restore of a backed-up version and the download of the terminal's log.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "ui/SecondaryWindows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

const QString kReleaseInfoDone = QStringLiteral("Operation Successful.  Release Info retrieved!");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Restore : public ::testing::Test {
protected:
    void SetUp() override { home.writePackage("5_7_2_0"); }

    void startUpgrader()
    {
        u = std::make_unique<Upgrader>();
        ASSERT_TRUE(u->load());
        ASSERT_TRUE(waitUntil([&] { return w().statusText() == kReleaseInfoDone && w().mousePointer() == 0; }, 8000));
        u->dialogs.clear();
        sim->clearRecords();
    }
    frmMain& w() { return u->w(); }

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

    bool waitForVersion(const QString& dotted, int ms = 15000)
    {
        return waitUntil(
            [&] {
                return sim->runningVersion() == dotted && w().txtCurrentSoftwareVersion->text() == dotted &&
                       w().statusText() == kReleaseInfoDone && w().mousePointer() == 0;
            },
            ms);
    }

    SimHarness sim;
    TestHome home;
    std::unique_ptr<Upgrader> u;
};

TEST_F(Restore, SingleBackupIsPreselectedAndRestored)
{
    const QByteArray backup(150 * 1024, 'b');
    home.writeFile("Backup/qorax_5_7_0_9.bin", backup);
    startUpgrader();
    pickInRestoreWindow(-1);
    w().cmdRestore->click();
    ASSERT_TRUE(waitForVersion("5.7.0.9"));
    EXPECT_EQ(offered, QStringList{"5.7.0.9"});
    EXPECT_EQ(sim.terminal().flash().read("/tffs0/bin/qorax_5_7_0_9.bin").value_or(""), backup);
    EXPECT_EQ(sim.terminal().flash().read("/tffs0/image.txt").value_or(""), QByteArray("/bin/qorax_5_7_0_9.bin"));
    // Nothing is deleted on the terminal and its descriptor is not read first.
    EXPECT_TRUE(sim.terminal().flash().exists("/tffs0/bin/qorax_5_7_1_12.bin"));
    const QStringList ftp = sim.ftpCommands();
    EXPECT_FALSE(ftp.contains("RETR image.txt"));
    EXPECT_TRUE(ftp.contains("STOR /tffs0/bin/qorax_5_7_0_9.bin"));
    EXPECT_EQ(sim.zingCodes(), (QList<quint32>{0x0D, 4, 0x92}));
    EXPECT_TRUE(home.logEntries().contains("VRB: \t[ FTP Command Complete ] : restore software version completed"));
    EXPECT_TRUE(home.logEntries().contains("DET: \tImage File transfer complete !"));
}

TEST_F(Restore, VersionlessBackupsAreNotOfferedAndNoPickIsCancel)
{
    home.writeFile("Backup/qorax.bin", "x");
    home.writeFile("Backup/qorax_5_7_0_8.bin", "a");
    home.writeFile("Backup/qorax_5_7_0_9.bin", "b");
    home.writeFile("Backup/qorax_5_7_1_0.bin.part", "c");
    startUpgrader();
    pickInRestoreWindow(-1);  // several versions, none selected
    w().cmdRestoreMenu->trigger();
    EXPECT_EQ(offered, (QStringList{"5.7.0.8", "5.7.0.9"}));
    EXPECT_EQ(w().strRestoreVersion, "");
    serveEventsFor(200);
    EXPECT_TRUE(sim->records(qsim::Service::Ftp).isEmpty());
    EXPECT_TRUE(w().restoreList.value(0).isEmpty());
}

TEST_F(Restore, NoBackupsAtAll)
{
    startUpgrader();
    w().cmdRestore->click();
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_EQ(u->dialogs.boxes()[0].text, "No Restore versions are available.");
    EXPECT_TRUE(u->dialogs.windows().isEmpty());
}

TEST_F(Restore, CrossSeriesIsRefused)
{
    home.writeFile("Backup/qorax_5_6_3_1.bin", "old series");
    startUpgrader();
    pickInRestoreWindow(0);
    w().cmdRestore->click();
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    EXPECT_EQ(u->dialogs.boxes()[0].text, "Release Series conflict detected.  Upgrade not possible.");
    serveEventsFor(200);
    EXPECT_TRUE(sim->records(qsim::Service::Ftp).isEmpty());
}

TEST_F(Restore, UpgradeRestoreUpgradeReadsBackEachVersion)
{
    startUpgrader();
    w().chkBinUpg->setChecked(true);
    u->dialogs.queueAnswer(MsgResult::Yes);
    w().cmdUpgrade->click();
    ASSERT_TRUE(waitForVersion("5.7.2.0"));
    ASSERT_TRUE(QFile::exists(home.file("Backup/qorax_5_7_1_12.bin")));

    pickInRestoreWindow(0);
    w().cmdRestore->click();
    ASSERT_TRUE(waitForVersion("5.7.1.12"));
    EXPECT_EQ(offered, QStringList{"5.7.1.12"});

    w().chkBinUpg->setChecked(true);
    u->dialogs.queueAnswer(MsgResult::Yes);
    w().cmdUpgrade->click();
    ASSERT_TRUE(waitForVersion("5.7.2.0"));
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1_12.bin")),
              sim.terminal().flash().read("/tffs0/bin/qorax_5_7_1_12.bin").value_or("<missing>"));
    int faults = 0;
    for (const MsgRecord& b : u->dialogs.boxes())
        faults += b.title == "Upgrader: FAULT";
    EXPECT_EQ(faults, 0);
}

class TerminalLog : public Restore {
protected:
    void press(int key)
    {
        QWidget* target = w().txtIPAddress;
        target->setFocus();
        QKeyEvent ev(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(target, &ev);
    }
    void typeA()
    {
        QKeyEvent ev(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(w().txtIPAddress, &ev);
    }
    QString local() { return home.file("Backup/sylog.log"); }
};

TEST_F(TerminalLog, CtrlGThenCtrlLDownloadsAndReplaces)
{
    home.writeFile("Backup/sylog.log", "stale");
    startUpgrader();
    press(Qt::Key_G);
    press(Qt::Key_L);
    EXPECT_EQ(w().statusText(), "Log downloaded");
    EXPECT_EQ(readFile(local()), sim.terminal().flash().read("/ram0/syslog.log").value_or("<missing>"));
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    EXPECT_EQ(w().mousePointer(), 0);
    EXPECT_TRUE(sim.ftpCommands().contains("RETR /ram0/syslog.log"));
}

TEST_F(TerminalLog, BrokenSequencesDownloadNothing)
{
    startUpgrader();
    press(Qt::Key_G);
    typeA();
    press(Qt::Key_L);
    press(Qt::Key_G);
    press(Qt::Key_G);
    press(Qt::Key_L);
    serveEventsFor(200);
    EXPECT_FALSE(QFile::exists(local()));
    EXPECT_TRUE(sim->records(qsim::Service::Ftp).isEmpty());
}

TEST_F(TerminalLog, MissingLogOnTheTerminal)
{
    sim.terminal().flash().remove("/ram0/syslog.log");
    startUpgrader();
    press(Qt::Key_G);
    press(Qt::Key_L);
    EXPECT_EQ(w().statusText(), "Log file doesn't exist.");
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    EXPECT_FALSE(QFile::exists(local()));
    EXPECT_TRUE(QDir(home.file("Backup")).entryList(QDir::Files).isEmpty());
}

}  // namespace
