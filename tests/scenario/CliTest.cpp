// The unattended front end as a program: its output, its exit status and
// what the terminal received.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QDirIterator>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QStringList lines;
};

// The front end started against the simulator, with the program's safe settings.
void startCli(QProcess& p, const QStringList& args, const Settings& s)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : {std::pair<const char*, QString>{"QORA_LOOPBACK_ONLY", "1"},
                                      {"QORA_DEFAULT_TERMINAL_IP", s.defaultTerminalIp},
                                      {"QORA_ZING_PORT", QString::number(s.zingPort)},
                                      {"QORA_FTP_PORT", QString::number(s.ftpPort)},
                                      {"QORA_TELNET_PORT", QString::number(s.telnetPort)},
                                      {"QORA_TIME_SCALE", QString::number(s.timeScale)},
                                      {"QT_QPA_PLATFORM", "offscreen"}})
        env.insert(name, value);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(QORA_CLI_PATH), args);
}

CliRun finished(QProcess& p, int limitMs)
{
    CliRun r;
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    if (out.endsWith('\n'))
        out.chop(1);
    r.lines = out.split('\n');
    return r;
}

CliRun runCli(const QStringList& args, const Settings& s, int limitMs = 60000)
{
    QProcess p;
    startCli(p, args, s);
    return finished(p, limitMs);
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override { home.writePackage("5_7_2_0"); }
    SimHarness sim;
    TestHome home;
};

TEST_F(Cli, UpgradeSoftwareThenRestoreIt)
{
    const CliRun up = runCli({"--upgrade", "sw"}, Settings::get());
    EXPECT_EQ(up.exitCode, 0) << up.lines.join('\n').toStdString();
    EXPECT_TRUE(up.lines.contains("status: Successfully upgraded! Wait..."));
    EXPECT_TRUE(up.lines.contains("version: 5.7.2.0"));
    ASSERT_FALSE(up.lines.isEmpty());
    EXPECT_TRUE(up.lines.last().startsWith("outcome: success; log: " + home.path() + "logs/"));
    EXPECT_EQ(sim->runningVersion(), "5.7.2.0");
    // The question was answered Yes and shown on the output.
    EXPECT_TRUE(up.lines.filter("box: Upgrader: user action required: Please Confirm your selections.").size() == 1);

    // The front end finds the backup as the restore window lists it.
    ASSERT_TRUE(QFile::rename(home.file("Backup/qorax_5_7_1_12.bin"), home.file("Backup/QORAX_5_7_1_12.BIN")));
    const CliRun back = runCli({"--restore", "5.7.1.12"}, Settings::get());
    EXPECT_EQ(back.exitCode, 0) << back.lines.join('\n').toStdString();
    EXPECT_TRUE(back.lines.contains("window: Restore Terminal Software"));
    EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
    // Two runs, two headers (one file when both started within the same second).
    int headers = 0;
    for (const QString& f : home.logFiles())
        headers += readFile(home.file("logs/" + f)).count("QORA Software Upgrader logging initialized: ");
    EXPECT_EQ(headers, 2);
}

TEST_F(Cli, VersionResetAndLog)
{
    CliRun r = runCli({"--version"}, Settings::get());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines.contains("version: 5.7.1.12"));

    const int resets = sim->resetCount();
    r = runCli({"--reset"}, Settings::get());
    EXPECT_EQ(r.exitCode, 0) << r.lines.join('\n').toStdString();
    EXPECT_EQ(sim->resetCount(), resets + 1);

    sim->clearRecords();
    r = runCli({"--factory-defaults"}, Settings::get());
    EXPECT_EQ(r.exitCode, 0) << r.lines.join('\n').toStdString();
    EXPECT_TRUE(r.lines.contains("status: Restore in Progress.  Please Wait... "));
    EXPECT_TRUE(sim.zingCodes().contains(0x13));

    r = runCli({"--download-log"}, Settings::get());
    EXPECT_EQ(r.exitCode, 0) << r.lines.join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(home.file("Backup/sylog.log")));
}

TEST_F(Cli, TerminalOffIsAFailureWithTheConnectionMessage)
{
    sim->powerOff();
    const CliRun r = runCli({"--upgrade", "sw"}, Settings::get());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.contains("status: ZING Connection failed."));
    EXPECT_FALSE(r.lines.filter("box: Upgrader: FAULT: Unable to get Satellite IP Modem's software version.").isEmpty());
    EXPECT_TRUE(r.lines.last().startsWith("outcome: failure"));
}

QStringList partFilesUnder(const QString& folder)
{
    QStringList found;
    for (QDirIterator it(folder, {"*.part"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        found << it.next();
    return found;
}

// Stopped mid-download, the run still cleans up, closes its log and says why it ended.
TEST_F(Cli, ATerminationSignalEndsTheRunCleanly)
{
    // No 226 ever: the download stays in its temporary file until the time-out.
    sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "RETR"; });
    Settings slow = Settings::get();
    slow.timeScale = 0.2;  // FTP time-out 12 s
    QProcess p;
    startCli(p, {"--upgrade", "sw"}, slow);
    ASSERT_TRUE(waitUntil([&] { return !partFilesUnder(home.path()).isEmpty(); }, 30000));
    p.terminate();
    // At once, not when the FTP time-out ends the transfer.
    const CliRun r = finished(p, 6000);
    EXPECT_EQ(r.exitCode, 143) << r.lines.join('\n').toStdString();
    EXPECT_TRUE(r.lines.last().startsWith("outcome: interrupted (SIGTERM); log: " + home.path() + "logs/"))
        << r.lines.last().toStdString();
    EXPECT_EQ(partFilesUnder(home.path()), QStringList{});
    const QStringList log = home.logLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].startsWith("Close logging.")) << home.logText().right(300).toStdString();
}

// The path is printed only when there is a file behind it.
TEST_F(Cli, ALogThatCouldNotBeWrittenIsNotOffered)
{
    home.writeFile("logs", "not a folder");
    const CliRun r = runCli({"--version"}, Settings::get());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines.last().startsWith("outcome: success; log: none (" + home.path() + "logs/"));
    EXPECT_TRUE(r.lines.last().endsWith(" could not be written)")) << r.lines.last().toStdString();
}

// The antenna item alone and after the software; files that do not fit are
// refused before anything is sent, and a refusal by the terminal fails.
TEST_F(Cli, AntennaAloneAndAfterTheSoftware)
{
    const struct {
        const char* name;
        const char* items;
        QStringList files;
        int status;  // the terminal's answer to the antenna request
        int exitCode;
        QString line;  // a line of the output that must be there
        bool sent;     // the antenna request reached the terminal
    } rows[] = {
        {"files that fit", "ant", {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}, 0, 0, "outcome: success", true},
        {"files of another class", "ant", {"ATB_02313_07.sxm", "HPA_2302_03.sxm"}, 0, 1,
         "outcome: failure (the antenna files (Class 10) do not fit the terminal's antenna (Class 11))", false},
        {"refused by the terminal", "ant", {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}, 3, 1,
         "box: Upgrader: FAULT: Antenna Upgrade failed (Error Code 3).  Check documentation and try again.", true},
        {"software then antenna", "sw,ant", {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}, 0, 0, "version: 5.7.2.0", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (const QString& f : QDir(home.path()).entryList({"*.sxm"}, QDir::Files))
            QFile::remove(home.file(f));
        for (const QString& f : r.files)
            home.writeFile(f, "image of " + f.toLatin1());
        sim->updateModel([&](qsim::Model& m) { m.antennaUpgradeStatus = r.status; });
        sim->clearRecords();
        const CliRun run = runCli({"--upgrade", r.items}, Settings::get());
        EXPECT_EQ(run.exitCode, r.exitCode) << run.lines.join('\n').toStdString();
        EXPECT_FALSE(run.lines.filter(r.line).isEmpty()) << run.lines.join('\n').toStdString();
        EXPECT_EQ(sim.zingCodes().contains(0x90), r.sent);
        if (!r.sent) {
            EXPECT_TRUE(sim.ftpCommands().isEmpty());
        }
        if (r.exitCode == 0) {
            EXPECT_EQ(sim.terminal().flash().read("/tffs0/atb.sxm").value_or(""), readFile(home.file(r.files[0])));
            EXPECT_EQ(sim.terminal().flash().read("/tffs0/hpa.sxm").value_or(""), readFile(home.file(r.files[1])));
        }
    }
}

// The PIC item alone and last in a sequence; a reflash that failed is a failure.
TEST_F(Cli, PicAloneAndAfterSoftwareAndAntenna)
{
    home.writeFile("PIC_3_05.s19", QByteArray(300, 'S'));
    home.writeFile("ATB_02409_15.sxm", "atb image");
    home.writeFile("HPA_2407_13.sxm", "hpa image");
    sim->updateModel([](qsim::Model& m) {
        m.picAfterReflash = "3.05";
        m.restartMs = 5000;
    });
    const struct {
        const char* items;
        qsim::ReflashOutcome outcome;
        int exitCode;
        QString line;
    } rows[] = {
        {"pic", qsim::ReflashOutcome::Fail, 1, "box: Upgrader: FAULT: PIC Upgrade failure. "},
        {"pic", qsim::ReflashOutcome::Success, 0, "outcome: success"},
        {"sw,ant,pic", qsim::ReflashOutcome::Success, 0, "version: 5.7.2.0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.items);
        sim->updateModel([&](qsim::Model& m) { m.reflash = r.outcome; });
        sim->clearRecords();
        const CliRun run = runCli({"--upgrade", r.items}, Settings::get());
        const QString out = run.lines.join('\n');
        EXPECT_EQ(run.exitCode, r.exitCode) << out.toStdString();
        EXPECT_FALSE(run.lines.filter(r.line).isEmpty()) << out.toStdString();
        EXPECT_EQ(out.contains("PIC Upgrade Successful"), r.exitCode == 0) << out.toStdString();
        EXPECT_FALSE(out.contains("skywardly"));
        EXPECT_EQ(sim->model().pic, r.exitCode == 0 ? "3.05" : "3.02");
    }
    EXPECT_TRUE(sim.zingCodes().contains(0x90));
}

TEST_F(Cli, BadUsageSendsNothing)
{
    const QList<QStringList> cases = {{}, {"--reset", "--version"}, {"--upgrade", "sw,foo"}, {"--restore", "5.7.0.1"},
                                      {"--frobnicate"}};
    for (const QStringList& args : cases) {
        const CliRun r = runCli(args, Settings::get());
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.lines.size(), 1) << r.lines.join('\n').toStdString();
    }
    EXPECT_TRUE(sim->records().isEmpty());
    EXPECT_TRUE(home.logFiles().isEmpty());

    const CliRun help = runCli({"--help"}, Settings::get());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.lines.join('\n').contains("--download-log"));
}

}  // namespace
