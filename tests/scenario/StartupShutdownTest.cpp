#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "platform/Timer.h"
#include "ui/SecondaryWindows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

const QString kRule = QString(79, '*');

// A terminal stand-in that only counts the connections it is offered.
struct ListeningTerminal {
    ListeningTerminal()
    {
        zing.listen(QHostAddress::LocalHost, 0);
        ftp.listen(QHostAddress::LocalHost, 0);
        Settings::set(loopbackSettings("127.0.0.1", zing.serverPort(), ftp.serverPort(), unusedLoopbackPort()));
    }
    bool anyConnection() { return zing.hasPendingConnections() || ftp.hasPendingConnections(); }
    QTcpServer zing;
    QTcpServer ftp;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { home.writePackage("5_7_1_12"); }
    TestHome home;
    ListeningTerminal terminal;
};

TEST_F(StartupTest, UpgradeLaterEndsTheProgramWithTheShortestLog)
{
    Upgrader u("-u");
    u.dialogs.queueWindowScript([](QDialog& d) {
        auto& notice = static_cast<frmUpgrade&>(d);
        notice.UpgradeLater->click();
        notice.OKButton->click();
    });
    EXPECT_FALSE(u.load());
    EXPECT_TRUE(u.w().isUnloaded());
    EXPECT_EQ(u.dialogs.windows(), QStringList{"Vantor QORA Terminal"});

    const QStringList lines = home.logLines();
    ASSERT_EQ(lines.size(), 3 + 2 + 4) << home.logText().toStdString();
    EXPECT_EQ(lines[0], kRule);
    EXPECT_TRUE(lines[1].startsWith("QORA Software Upgrader logging initialized: "));
    EXPECT_EQ(lines[2], kRule);
    EXPECT_TRUE(lines[3].endsWith("] VRB: \t>> Form_QueryUnload()")) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].endsWith("] VRB: \t>> Form_Unload()")) << lines[4].toStdString();
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], kRule);
    EXPECT_TRUE(lines[7].startsWith("Close logging.  [") && lines[7].endsWith("] ")) << lines[7].toStdString();
    EXPECT_EQ(lines[8], kRule);

    serveEventsFor(100);
    EXPECT_FALSE(terminal.anyConnection());
    EXPECT_FALSE(QFileInfo::exists(home.file("Backup")));
}

// The choice counts, however the notice is closed.
TEST_F(StartupTest, TheNoticeChoiceDecidesWhetherStartUpGoesOn)
{
    const struct {
        bool later;
        bool closeBox;  // the window's close box instead of OK
    } rows[] = {{false, false}, {true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.closeBox);
        Upgrader u("-u");
        u.dialogs.queueWindowScript([&row](QDialog& d) {
            auto& notice = static_cast<frmUpgrade&>(d);
            if (row.later)
                notice.UpgradeLater->click();
            if (row.closeBox)
                d.reject();
            else
                notice.OKButton->click();
        });
        EXPECT_EQ(u.load(), !row.later);
        EXPECT_EQ(u.w().isUnloaded(), row.later);
        if (!row.later) {
            EXPECT_TRUE(QFileInfo(home.file("Backup")).isDir());
        }
    }
}

TEST_F(StartupTest, OnlyTheExactSwitchShowsTheNotice)
{
    for (const char* cmd : {"-u ", "-U", " -u", "", "-u -u", "/termdiag"}) {
        Upgrader u(cmd);
        EXPECT_TRUE(u.load()) << cmd;
        EXPECT_TRUE(u.dialogs.windows().isEmpty()) << cmd;
        u.w().closeMainWindow();
    }
}

TEST_F(StartupTest, StartValuesAndFoldersAfterLoad)
{
    Upgrader u;
    ASSERT_TRUE(u.load());
    frmMain& w = u.w();
    EXPECT_EQ(w.strHomeDir, home.path());
    EXPECT_EQ(w.strBackupDir, home.path() + "Backup");
    EXPECT_EQ(w.strLogDir, home.path() + "logs/");
    EXPECT_TRUE(QFileInfo(home.file("Backup")).isDir());
    EXPECT_EQ(w.strIPAddress, "127.0.0.1");
    EXPECT_EQ(w.strIpOctet1, "127");
    EXPECT_EQ(w.strIpOctet4, "1");
    EXPECT_EQ(w.strCurrentVersion, "0_0_0_0");
    EXPECT_EQ(w.windowTitle(), "Vantor 7460 Terminal Upgrader");
    ASSERT_EQ(home.logFiles().size(), 1);
    EXPECT_TRUE(home.logFiles()[0].endsWith("_Upgrader_log.txt"));
}

TEST_F(StartupTest, ExitMenuRunsBothShutdownHalvesOnce)
{
    Upgrader u;
    ASSERT_TRUE(u.load());
    ASSERT_TRUE(waitUntil([&] { return u.w().mnuFileExit->isEnabled(); }));
    bool ended = false;
    QObject::connect(u.window.get(), &frmMain::unloaded, [&] { ended = true; });
    u.w().tmrConnect->enable();
    u.w().tmrPicUpgResetDelay->enable();
    u.w().mnuFileExit->trigger();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(u.w().isVisible());
    u.w().closeMainWindow();  // a second close does nothing
    for (Timer* t : u.w().allTimers())
        EXPECT_FALSE(t->enabled()) << t->name().toStdString();

    const QStringList entries = home.logEntries();
    EXPECT_EQ(entries.filter("Form_QueryUnload").size(), 1);
    EXPECT_EQ(entries.filter("Form_Unload").size(), 1);
    EXPECT_TRUE(entries.contains("VRB: \t>> mnuFileExit_Click()"));
    EXPECT_EQ(home.logText().count("Close logging."), 1);
}

TEST_F(StartupTest, ALogFolderThatIsAFileIsSkippedSilently)
{
    home.writeFile("logs", "not a folder");
    Upgrader u;
    EXPECT_TRUE(u.load());
    u.w().WriteLog(1, "anything");
    u.w().closeMainWindow();
    QFile f(home.file("logs"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a folder"));
}

TEST(StartupHome, AHomeFolderWithBlanksInItsNameIsUsedAsItIs)
{
    Settings::set(unreachableTerminalSettings());
    TestHome home("my package ");
    home.writePackage("5_7_1_12");
    Upgrader u;
    ASSERT_TRUE(u.load());
    EXPECT_EQ(u.w().strHomeDir, home.path());
    EXPECT_TRUE(u.w().strHomeDir.endsWith("my package /"));
    EXPECT_TRUE(QFileInfo(home.file("Backup")).isDir());
    EXPECT_EQ(home.logFiles().size(), 1);
}

class TermDiagTest : public StartupTest {
protected:
    // A stand-in diagnostics tool that notes where it ran.
    void installStandIn()
    {
        const QString dir = home.parentPath() + "TermDiag";
        QDir().mkpath(dir);
        const QString tool = dir + "/TermDiagUpgrader";
        QFile f(tool);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\npwd > started.txt\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        marker = dir + "/started.txt";
    }
    QString marker;
};

TEST_F(TermDiagTest, StartsTheSiblingToolOnlyAtUnload)
{
    installStandIn();
    Upgrader u("/TermDiag");
    ASSERT_TRUE(u.load());
    serveEventsFor(200);
    EXPECT_FALSE(QFileInfo::exists(marker));
    u.w().closeMainWindow();
    // The shell creates the file before pwd writes into it.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 5000));
    QFile f(marker);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QDir(QString::fromLocal8Bit(f.readAll()).trimmed()).canonicalPath(),
              QDir(home.parentPath() + "TermDiag").canonicalPath());
    // The upgrader's own folder is unchanged.
    EXPECT_EQ(QDir::currentPath() + "/", home.path());
}

TEST_F(TermDiagTest, StartedAlsoWhenStartUpEndsForWantOfAPackage)
{
    installStandIn();
    QFile::remove(home.file("qorax_5_7_1_12.bin"));
    Upgrader u("/TermDiag");
    EXPECT_FALSE(u.load());
    EXPECT_EQ(u.dialogs.boxes().size(), 1);
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 5000));
}

TEST_F(TermDiagTest, AMissingToolIsLoggedAndNothingElseHappens)
{
    Upgrader u("/TermDiag");
    ASSERT_TRUE(u.load());
    u.w().closeMainWindow();
    const QStringList errors = home.logEntries().filter("ERR: ");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("TermDiagUpgrader"));
    EXPECT_TRUE(u.dialogs.boxes().isEmpty());
    EXPECT_EQ(home.logText().count("Close logging."), 1);
}

TEST_F(TermDiagTest, OtherCommandLinesNeverStartIt)
{
    installStandIn();
    Upgrader u("/TermDiag ");
    ASSERT_TRUE(u.load());
    u.w().closeMainWindow();
    serveEventsFor(300);
    EXPECT_FALSE(QFileInfo::exists(marker));
}

}  // namespace
