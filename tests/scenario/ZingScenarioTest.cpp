// The terminal's version at start-up, connection problems and the
// maintenance commands, against the simulated terminal.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "support/BoxTexts.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

// The status line as it changed, in order.
struct StatusTrail {
    explicit StatusTrail(frmMain& w)
    {
        QObject::connect(w.sbUpgrade, &QLineEdit::textChanged, [this](const QString& t) { texts << t; });
    }
    QStringList texts;
};

class ZingScenario : public ::testing::Test {
protected:
    void start(const QString& packageVersion = "5_7_2_0", int packageLevel = 2)
    {
        home.writePackage(packageVersion, packageLevel);
        u = std::make_unique<Upgrader>();
        trail = std::make_unique<StatusTrail>(u->w());
        ASSERT_TRUE(u->load());
    }
    frmMain& w() { return u->w(); }
    bool waitForStatus(const QString& text, int ms = 8000)
    {
        return waitUntil([&] { return w().statusText() == text; }, ms);
    }

    TestHome home;
    std::unique_ptr<Upgrader> u;
    std::unique_ptr<StatusTrail> trail;
};

class WithTerminal : public ZingScenario {
protected:
    SimHarness sim;
};

TEST_F(WithTerminal, StartUpShowsTheVersionPlatformAndGreenLight)
{
    start();
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!"));
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "5.7.1.12");
    EXPECT_EQ(w().strCurrentVersion, "5_7_1_12");
    EXPECT_EQ(w().txtNewSoftwareVersion->text(), "5.7.2.0");
    EXPECT_EQ(w().windowTitle(), "Vantor 7460 Terminal Upgrader");
    EXPECT_EQ(w().connectedPlatformId, 7);
    EXPECT_EQ(w().statusLedColour(), 65280);
    EXPECT_TRUE(w().isOkToFtp);
    EXPECT_TRUE(w().cmdUpgrade->isEnabled());
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    // Version request with its 32-bit parameter, then the release information.
    EXPECT_EQ(sim.zingRequests(), (QList<QByteArray>{hex("0000000400000001"), hex("00000092")}));
    EXPECT_EQ(trail->texts.first(), "Retrieving Terminal software version...");
    EXPECT_TRUE(trail->texts.contains("Operation Successful.  Software version retrieved!"));

    const QStringList entries = home.logEntries();
    EXPECT_TRUE(entries.contains("INF: \tZING Request :\t\t\t\tVERSION_CMD (&h4), param=&h1"));
    EXPECT_TRUE(entries.contains("DET: \tZingResponseCode: /x1004"));
    EXPECT_TRUE(entries.contains("INF: \tConnected Platform ID: 7460"));
    EXPECT_TRUE(entries.contains("INF: \tNot in Bootrom mode, request additional Release Info."));
    // The version text follows its label on lines of its own, without a time.
    const QStringList lines = home.logLines();
    const int label = lines.indexOf(QRegularExpression(".*VRB: \\tZING Version Info:$"));
    ASSERT_GE(label, 0);
    EXPECT_FALSE(lines.at(label + 1).startsWith("["));
}

TEST_F(WithTerminal, PackageOfALowerCompatibilityLevelIsRefused)
{
    sim->updateModel([](qsim::Model& m) { m.bootRomCompatLevel = 3; });
    start("5_7_2_0", 2);
    ASSERT_TRUE(waitUntil([&] { return !u->dialogs.boxes().isEmpty(); }));
    const MsgRecord& box = u->dialogs.boxes().first();
    EXPECT_EQ(box.title, "Vantor QORA Upgrader");
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.text,
              "WARNING:\r\n\r\nThe Application binary included with this Upgrader\r\n"
              "is of a Compatibility Level (2) that is incompatibile\r\n"
              "with the running terminal software's Compatibility\r\nLevel (3).\r\n\r\n"
              "Please use a newer Upgrader version.\r\n\r\nYou will not be allowed to upgrade software.");
    EXPECT_FALSE(w().cmdUpgrade->isEnabled());
    EXPECT_FALSE(w().isEnabled());
    EXPECT_TRUE(home.logEntries().contains(
        "INF: \tNew software (bin file) boot level is only 2, therefore disallowing software Upgrade"));
    // Nothing more is asked of the terminal.
    serveEventsFor(200);
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
}

TEST_F(WithTerminal, PackageWithoutLevelPassesATerminalWithoutOne)
{
    sim->updateModel([](qsim::Model& m) { m.appStyle = qsim::AppStyle::NewUnknown; });
    start("5_7_2_0", -1);
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!"));
    EXPECT_EQ(w().binBootCompatLevel, 0);
    EXPECT_EQ(w().termBootCompatLevel, -1);
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
}

TEST_F(WithTerminal, OldTerminalsAreNotAskedForReleaseInformation)
{
    sim->updateModel([](qsim::Model& m) {
        m.appStyle = qsim::AppStyle::Old;
        m.releaseDate = "10/26/2009";
    });
    start();
    ASSERT_TRUE(waitUntil([&] { return w().isOkToFtp && w().mousePointer() == 0; }));
    serveEventsFor(100);
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "5.7.1.12");
    EXPECT_EQ(w().statusText(), "Operation Successful.  Software version retrieved!");
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
}

TEST_F(WithTerminal, BootRomIsShownAsBootRomMode)
{
    sim.terminal().flash().writeDescriptor("/bin/qorax_9_9.bin");
    sim->updateModel([](qsim::Model& m) { m.bootRomStyle = qsim::BootRomStyle::Old; });
    sim->reset();
    ASSERT_TRUE(sim->waitForBootAfterReset(0, 5000));
    ASSERT_TRUE(sim->inBootRom());
    start();
    ASSERT_TRUE(waitForStatus("Operation Successful.  Software version retrieved!"));
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "BOOTROM MODE");
    EXPECT_EQ(w().strCurrentVersion, "BOOTROM MODE");
    EXPECT_TRUE(w().isBootRomMode);
    EXPECT_TRUE(w().isOkToFtp);
    serveEventsFor(100);
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
    EXPECT_TRUE(home.logEntries().contains(
        "INF: \tOLD style Boot ROM detected as running (Compatibility Level NOT supported/set to -1)"));
}

TEST_F(WithTerminal, ZingSilentButFtpReachableAsksTheUserToAct)
{
    for (auto mode : {qsim::ServiceMode::Silent, qsim::ServiceMode::Refuse}) {
        SCOPED_TRACE(int(mode));
        sim->updateFaults([mode](qsim::Faults& f) { f.zing.mode = mode; });
        u.reset();
        start();
        ASSERT_TRUE(waitUntil([&] { return !u->dialogs.boxes().isEmpty(); }, 8000));
        const MsgRecord& box = u->dialogs.boxes().first();
        EXPECT_EQ(box.title, "Upgrader: user action required");
        EXPECT_EQ(box.icon, MsgIcon::Information);
        EXPECT_EQ(box.text, "Unable to get Satellite IP Modem's software version.\r\n" + boxtext::kConnectionProblemB);
        EXPECT_TRUE(w().isConnectedWithoutVersion);
        EXPECT_TRUE(w().isOkToFtp);
        EXPECT_EQ(w().statusLedColour(), 65280);
        EXPECT_TRUE(waitUntil([&] { return w().mousePointer() == 0; }));
        EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "UNKNOWN");
        EXPECT_TRUE(w().cmdUpgrade->isEnabled());
    }
}

TEST_F(ZingScenario, TerminalSwitchedOff)
{
    Settings::set(unreachableTerminalSettings());
    start();
    ASSERT_TRUE(waitForStatus("Connection failed."));
    ASSERT_EQ(u->dialogs.boxes().size(), 1);
    const MsgRecord& box = u->dialogs.boxes().first();
    EXPECT_EQ(box.title, "Upgrader: FAULT");
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.text, "Unable to get Satellite IP Modem's software version.\r\n" + boxtext::kConnectionProblemB);
    EXPECT_TRUE(trail->texts.contains("ZING Connection failed."));
    EXPECT_LT(trail->texts.indexOf("ZING Connection failed."), trail->texts.indexOf("Connection failed."));
    EXPECT_EQ(w().statusLedColour(), 255);
    EXPECT_FALSE(w().isOkToFtp);
    EXPECT_FALSE(w().cmdUpgrade->isEnabled());
    EXPECT_FALSE(w().cmdRestoreMenu->isEnabled());
    EXPECT_TRUE(w().cmdGetSoftwareVersion->isEnabled());
    // Refused at once: logged with the hint, then handled as a failed connection.
    const QStringList entries = home.logEntries();
    EXPECT_TRUE(entries.contains("DET: \tRun sysinit_start on UT and try again.  Info: 64"));
    EXPECT_TRUE(entries.contains("VRB: \t>> tmrConnect_Timer()"));
    EXPECT_TRUE(entries.contains("VRB: \t>> tmrConneTest_Timer()"));
}

TEST_F(ZingScenario, AnAddressOutsideLoopbackIsNeverContacted)
{
    Settings::set(unreachableTerminalSettings());
    home.writePackage("5_7_2_0");
    u = std::make_unique<Upgrader>();
    u->w().txtIPAddress->setText("192.168.128.100");
    ASSERT_TRUE(u->load());
    ASSERT_TRUE(waitForStatus("Connection failed."));
    const QStringList errors = home.logEntries().filter("only loopback addresses are allowed");
    EXPECT_EQ(errors.size(), 2);  // the version request and the probe
}

TEST_F(WithTerminal, ResetModemWaitsAndReadsTheVersionAgain)
{
    start();
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!"));
    sim->clearRecords();
    const int resets = sim->resetCount();
    w().cmdResetModem->trigger();
    ASSERT_TRUE(waitForStatus("Resetting modem.  Wait 40 seconds."));
    EXPECT_EQ(w().statusLedColour(), 255);
    EXPECT_EQ(w().currZingCmd, 0);
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!"));
    EXPECT_EQ(sim->resetCount(), resets + 1);
    EXPECT_EQ(sim.zingRequests().first(), hex("0000000D"));
    EXPECT_EQ(sim.zingCodes(), (QList<quint32>{0x0D, 4, 0x92}));
    EXPECT_EQ(w().statusLedColour(), 65280);
    EXPECT_TRUE(trail->texts.contains("Resetting Satellite IP Modem..."));
}

TEST_F(WithTerminal, FactoryDefaultsAnswerWaitResetRetryAndVersion)
{
    // The terminal takes longer to restart than the 40 s wait: one retry.
    sim->updateModel([](qsim::Model& m) { m.restartMs = 60000; });
    start();
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!"));
    sim->clearRecords();
    w().cmdRestoreDefaults->trigger();
    ASSERT_TRUE(waitForStatus("Restore in Progress.  Please Wait... "));
    ASSERT_TRUE(waitUntil([&] { return sim.zingCodes().contains(0x0D); }, 5000));
    ASSERT_TRUE(waitForStatus("Operation Successful.  Release Info retrieved!", 10000));
    const QList<quint32> codes = sim.zingCodes();
    EXPECT_EQ(codes.first(), 0x13u);
    EXPECT_EQ(codes.at(1), 0x0Du);
    EXPECT_EQ(codes.mid(codes.size() - 2), (QList<quint32>{4, 0x92}));
    EXPECT_EQ(sim.zingRequests().first(), hex("00000013"));
    const QStringList entries = home.logEntries();
    EXPECT_TRUE(entries.contains("DET: \tRestore defaults response has arrived"));
    EXPECT_TRUE(entries.contains("VRB: \t>> tmrFiveSecDelayedReset_Timer()"));
    EXPECT_GE(entries.count("INF: \tRetry Connecting"), 1);
    EXPECT_FALSE(w().isConnRetryEnabled);
    EXPECT_EQ(w().connRetryCount, 0);
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
}

// Exactly one package, or the program ends before any contact.
TEST_F(ZingScenario, NoOrTwoPackagesEndTheProgram)
{
    SimHarness sim;
    const struct {
        QStringList packages;
        QString box;
        QStringList logLines;
    } rows[] = {
        {{}, "Unable to find binary file in: " + home.path() + "qorax_*.bin", {}},
        {{"5_7_1_12", "5_7_1_13"},
         "Multiple (2) binary files found in " + home.path() +
             "\r\nPlease make sure there is only one binary file in that directory.",
         {"INF: \tFound file 'qorax_5_7_1_12.bin'", "INF: \tFound file 'qorax_5_7_1_13.bin'",
          "ERR: \tERR: - found multiple (2) .bin files in " + home.path()}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.packages.size());
        for (const QString& p : row.packages)
            home.writePackage(p);
        u = std::make_unique<Upgrader>();
        EXPECT_FALSE(u->load());
        ASSERT_EQ(u->dialogs.boxes().size(), 1);
        EXPECT_EQ(u->dialogs.boxes()[0].text, row.box);
        EXPECT_EQ(u->dialogs.boxes()[0].title, "Upgrader: FAULT");
        EXPECT_TRUE(u->w().isUnloaded());
        for (const QString& line : row.logLines)
            EXPECT_TRUE(home.logEntries().contains(line)) << line.toStdString();
        serveEventsFor(100);
        EXPECT_TRUE(sim->records().isEmpty());
    }
}

}  // namespace
