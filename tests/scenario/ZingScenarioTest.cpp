// The terminal's version at start-up, connection problems and the
// maintenance commands, against the simulated terminal.
#include "support/SimUpgrade.h"

#include "platform/Timer.h"
#include "support/BoxTexts.h"

#include "ZingMessages.h"

#include <QAction>

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

class ZingScenario : public SimUpgrade {
protected:
    void start(const QString& packageVersion = "5_7_2_0", int packageLevel = 2)
    {
        home.writePackage(packageVersion, packageLevel);
        u = std::make_unique<Upgrader>();
        trail = std::make_unique<StatusTrail>(u->w());
        ASSERT_TRUE(u->load());
    }
    bool waitForStatus(const QString& text, int ms = 8000)
    {
        return waitUntil([&] { return w().statusText() == text; }, ms);
    }

    std::unique_ptr<StatusTrail> trail;
};

TEST_F(ZingScenario, StartUpShowsTheVersionPlatformAndGreenLight)
{
    start();
    ASSERT_TRUE(waitForStatus(kReleaseInfoDone));
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "5.7.1.12");
    EXPECT_EQ(w().txtNewSoftwareVersion->text(), "5.7.2.0");
    EXPECT_EQ(w().windowTitle(), "Vantor 7460 Terminal Upgrader");
    EXPECT_EQ(w().statusLedColour(), 65280);
    EXPECT_TRUE(w().isOkToFtp);
    EXPECT_TRUE(w().cmdUpgrade->isEnabled());
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    // Version request with its 32-bit parameter, then the release information.
    EXPECT_EQ(sim.zingRequests(), (QList<QByteArray>{hex("0000000400000001"), hex("00000092")}));
    EXPECT_EQ(trail->texts.first(), "Retrieving Terminal software version...");
    EXPECT_TRUE(trail->texts.contains(kVersionDone));

    const QStringList entries = home.logEntries();
    EXPECT_TRUE(entries.contains("INF: \tZING Request :\t\t\t\tVERSION_CMD (&h4), param=&h1"));
    EXPECT_TRUE(entries.contains("INF: \tConnected Platform ID: 7460"));
}

TEST_F(ZingScenario, PackageOfALowerCompatibilityLevelIsRefused)
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

// An old terminal is identified by its version alone: it is not asked for
// release information it cannot give.
TEST_F(ZingScenario, OldTerminalsAreNotAskedForReleaseInformation)
{
    sim->updateModel([](qsim::Model& m) { m.appStyle = qsim::AppStyle::Old; m.releaseDate = "10/26/2009"; });
    start();
    ASSERT_TRUE(waitUntil([&] { return w().statusText() == kVersionDone && w().mousePointer() == 0; }));
    serveEventsFor(100);
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "5.7.1.12");
    EXPECT_TRUE(w().cmdUpgrade->isEnabled());
    EXPECT_TRUE(u->dialogs.boxes().isEmpty());
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
}

// A version text without a version: the terminal is not identified, so the
// window claims no success and an upgrade sends nothing to the terminal.
TEST_F(ZingScenario, BadVersionTextIdentifiesNothingAndInstallsNothing)
{
    sim->updateFaults([&](qsim::Faults& f) {
        f.zingByCode.insert(4, qsim::ZingFault::rawBytes(qsim::zing::be32(0x1004) + qsim::zing::be32(0) + "hello world"));
    });
    start();
    ASSERT_TRUE(waitUntil([&] { return !u->dialogs.boxes().isEmpty() && w().nothingRunning(); }, 8000));
    EXPECT_EQ(w().statusText(), "Unable to read Satellite IP Modem's software version.");
    EXPECT_EQ(w().statusLedColour(), 255);
    EXPECT_TRUE(u->dialogs.boxes().last().text.startsWith(
        "Unable to read Satellite IP Modem's software version.\r\nThe Satellite IP Modem answered: \"hello world\""));
    EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "UNKNOWN");

    sim->clearRecords();
    w().chkBinUpg->setChecked(true);
    u->dialogs.queueAnswer(MsgResult::Yes);
    w().cmdUpgrade_Click();
    serveEventsFor(300);
    // Asked again, and nothing else.
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
    EXPECT_TRUE(sim.ftpCommands().isEmpty());
}

// No version at start-up: with FTP reachable the user is asked to act and
// may still upgrade; with the terminal off it is a fault, and only asking for
// the version again is offered.
TEST_F(ZingScenario, NoVersionAtStartUp)
{
    const struct {
        const char* name;
        qsim::ServiceMode zing, ftp;
        const char* title;
        MsgIcon icon;
        QString status;
        int led;
        bool ftpOffered;
    } rows[] = {
        {"ZING silent", qsim::ServiceMode::Silent, qsim::ServiceMode::Normal, "Upgrader: user action required",
         MsgIcon::Information, "", 65280, true},
        {"ZING refused", qsim::ServiceMode::Refuse, qsim::ServiceMode::Normal, "Upgrader: user action required",
         MsgIcon::Information, "", 65280, true},
        {"terminal off", qsim::ServiceMode::Refuse, qsim::ServiceMode::Refuse, "Upgrader: FAULT", MsgIcon::Exclamation,
         "Connection failed.", 255, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim->updateFaults([&](qsim::Faults& f) { f.zing.mode = row.zing; f.ftp.mode = row.ftp; });
        u.reset();
        QFile::remove(home.file("qorax_5_7_2_0.bin"));
        start();
        ASSERT_TRUE(waitUntil([&] { return !u->dialogs.boxes().isEmpty() && w().mousePointer() == 0; }, 8000));
        ASSERT_EQ(u->dialogs.boxes().size(), 1);
        const MsgRecord& box = u->dialogs.boxes().first();
        EXPECT_EQ(box.title, row.title);
        EXPECT_EQ(box.icon, row.icon);
        EXPECT_EQ(box.text, "Unable to get Satellite IP Modem's software version.\r\n" + boxtext::kConnectionProblemB);
        if (!row.status.isEmpty()) {
            EXPECT_EQ(w().statusText(), row.status);
        }
        EXPECT_EQ(w().statusLedColour(), row.led);
        EXPECT_EQ(w().txtCurrentSoftwareVersion->text(), "UNKNOWN");
        EXPECT_EQ(w().cmdUpgrade->isEnabled(), row.ftpOffered);
        EXPECT_EQ(w().cmdRestoreMenu->isEnabled(), row.ftpOffered);
        EXPECT_TRUE(w().cmdGetSoftwareVersion->isEnabled());
    }
    // Refused at once: logged with the hint, then handled as a failed connection.
    const QStringList entries = home.logEntries();
    EXPECT_TRUE(entries.contains("DET: \tRun sysinit_start on UT and try again.  Info: 64"));
    EXPECT_TRUE(entries.contains("VRB: \t>> tmrConneTest_Timer()"));
    const int zingFailed = int(trail->texts.indexOf("ZING Connection failed."));
    EXPECT_GE(zingFailed, 0);
    EXPECT_LT(zingFailed, trail->texts.indexOf("Connection failed."));
}

TEST_F(ZingScenario, AnAddressOutsideLoopbackIsNeverContacted)
{
    home.writePackage("5_7_2_0");
    u = std::make_unique<Upgrader>();
    // Outside 127/8 as the guard reads it; let through, it would reach the
    // simulator on this machine, never the network.
    u->w().txtIPAddress->setText("0.0.0.0");
    ASSERT_TRUE(u->load());
    ASSERT_TRUE(waitForStatus("Connection failed."));
    const QStringList errors = home.logEntries().filter("only loopback addresses are allowed");
    EXPECT_EQ(errors.size(), 2);  // the version request and the probe
    EXPECT_TRUE(sim->records().isEmpty());
}

// The maintenance commands: the request, the wait for the restart (with a
// retry when it takes longer), then the version read again.
TEST_F(ZingScenario, MaintenanceCommandsWaitForTheRestartAndReadTheVersionAgain)
{
    const struct {
        const char* name;
        int restartMs;
        QString during;  // the status while the terminal restarts
        QByteArray request;
        QList<quint32> codes;  // the first ones and the last ones
        QStringList logLines;
    } rows[] = {
        {"reset", 20000, "Resetting modem.  Wait 40 seconds.", hex("0000000D"), {0x0D, 4, 0x92}, {}},
        {"factory defaults, restart longer than the wait", 60000, "Restore in Progress.  Please Wait... ",
         hex("00000013"), {0x13, 0x0D, 4, 0x92},
         {"DET: \tRestore defaults response has arrived", "VRB: \t>> tmrFiveSecDelayedReset_Timer()",
          "INF: \tRetry Connecting"}},
    };
    start();
    ASSERT_TRUE(waitForStatus(kReleaseInfoDone));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim->updateModel([&](qsim::Model& m) { m.restartMs = row.restartMs; });
        sim->clearRecords();
        const int resets = sim->resetCount();
        QAction* command = row.request == hex("0000000D") ? w().cmdResetModem : w().cmdRestoreDefaults;
        // Asked first, No by default: Enter, or No, sends nothing.
        u->dialogs.clear();
        ASSERT_TRUE(waitUntil([&] { return command->isEnabled(); }, 1000));
        command->trigger();
        serveEventsFor(50);
        ASSERT_EQ(u->dialogs.boxes().size(), 1);
        EXPECT_EQ(u->dialogs.boxes()[0].defaultAnswer, MsgResult::No);
        EXPECT_TRUE(sim->records().isEmpty());
        u->dialogs.queueAnswer(MsgResult::Yes);
        command->trigger();
        ASSERT_TRUE(waitForStatus(row.during));
        ASSERT_TRUE(waitUntil([&] { return sim->resetCount() == resets + 1; }));
        EXPECT_EQ(w().statusLedColour(), 255);
        ASSERT_TRUE(waitForStatus(kReleaseInfoDone, 10000));
        EXPECT_EQ(w().statusLedColour(), 65280);
        EXPECT_EQ(sim.zingRequests().first(), row.request);
        const QList<quint32> codes = sim.zingCodes();
        EXPECT_EQ(codes.mid(0, 2) + codes.mid(codes.size() - 2), row.codes.mid(0, 2) + row.codes.mid(row.codes.size() - 2));
        for (const QString& line : row.logLines)
            EXPECT_TRUE(home.logEntries().contains(line)) << line.toStdString();
        EXPECT_EQ(u->dialogs.boxes().size(), 2);
    }
}

// Exactly one package, or the program ends before any contact.
TEST_F(ZingScenario, NoOrTwoPackagesEndTheProgram)
{
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
        // As the front end runs: nobody there to choose another folder.
        u->w().setPackageFolderChooser(false);
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
