// The unattended front end as a program: its output, its exit status and
// what the terminal received.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QStringList lines;   // standard output
    QStringList errors;  // standard error
    QString all() const { return (lines + errors).join('\n'); }
    QJsonObject json() const { return QJsonDocument::fromJson(lines.value(lines.size() - 1).toUtf8()).object(); }
};

// The front end started against the simulator, with the program's safe settings.
void startCli(QProcess& p, const QStringList& args, const Settings& s, const QStringList& extraEnv = {})
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
    for (const QString& e : extraEnv)
        env.insert(e.section('=', 0, 0), e.section('=', 1));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(QORA_CLI_PATH), args);
}

QStringList linesOf(QByteArray bytes)
{
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes.isEmpty() ? QStringList() : QString::fromLocal8Bit(bytes).split('\n');
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
    r.lines = linesOf(p.readAllStandardOutput());
    r.errors = linesOf(p.readAllStandardError());
    return r;
}

CliRun runCli(const QStringList& args, const QStringList& extraEnv = {}, int limitMs = 60000)
{
    QProcess p;
    startCli(p, args, Settings::get(), extraEnv);
    return finished(p, limitMs);
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override { home.writePackage("5_7_2_0"); }
    SimHarness sim;
    TestHome home;
};

// A verified upgrade with its JSON, then the restore of the version it saved.
TEST_F(Cli, UpgradeSoftwareThenRestoreIt)
{
    const CliRun up = runCli({"--upgrade", "sw", "--json"});
    EXPECT_EQ(up.exitCode, 0) << up.all().toStdString();
    EXPECT_TRUE(up.lines.contains("status: Successfully upgraded! Wait..."));
    EXPECT_FALSE(up.lines.filter("progress: Uploading qorax_5_7_2_0.bin: ").isEmpty());
    EXPECT_FALSE(up.lines.filter("progress: Waiting for the terminal to restart: ").isEmpty());
    EXPECT_EQ(up.lines.filter("box: Upgrader: user action required: Please Confirm your selections.").size(), 1);
    EXPECT_EQ(sim->runningVersion(), "5.7.2.0");

    // The JSON: what was chosen, what the terminal runs, what was saved.
    const QJsonObject j = up.json();
    const QString backup = home.file("Backup/qorax_5_7_1_12.bin");
    EXPECT_EQ(j["action"].toString(), "upgrade");
    EXPECT_EQ(j["outcome"].toString(), "success");
    EXPECT_EQ(j["exitCode"].toInt(), 0);
    const QJsonObject item = j["items"].toArray().at(0).toObject();
    EXPECT_EQ(item["item"].toString(), "software");
    EXPECT_EQ(item["before"].toString(), "5.7.1.12");
    EXPECT_EQ(item["after"].toString(), "5.7.2.0");
    EXPECT_TRUE(item["took"].toBool());
    EXPECT_EQ(j["backup"].toObject()["path"].toString(), backup);
    EXPECT_EQ(j["backup"].toObject()["bytes"].toInteger(), QFile(backup).size());
    EXPECT_TRUE(QFile::exists(j["log"].toString()));
    EXPECT_GT(j["durationMs"].toInteger(), 0);
    EXPECT_TRUE(j["warnings"].toArray().isEmpty());

    // The backup as --list-backups and the restore window list it, whatever its letter case.
    ASSERT_TRUE(QFile::rename(backup, home.file("Backup/QORAX_5_7_1_12.BIN")));
    const CliRun list = runCli({"--list-backups"});
    EXPECT_EQ(list.lines.value(0).section("  ", 0, 0), "5.7.1.12") << list.all().toStdString();
    const CliRun back = runCli({"--restore", "5.7.1.12"});
    EXPECT_EQ(back.exitCode, 0) << back.all().toStdString();
    EXPECT_TRUE(back.lines.contains("window: Restore Terminal Software"));
    EXPECT_EQ(sim->runningVersion(), "5.7.1.12");
}

// Actions that install nothing run without a package, at a given address.
TEST_F(Cli, ActionsWithoutAPackage)
{
    QFile::remove(home.file("qorax_5_7_2_0.bin"));
    CliRun r = runCli({"--terminal-version", "--address", "127.0.0.1"});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    EXPECT_TRUE(r.lines.contains("version: 5.7.1.12"));

    const int resets = sim->resetCount();
    r = runCli({"--reset", "--quiet"});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    EXPECT_EQ(sim->resetCount(), resets + 1);
    // Quiet: the outcome alone.
    EXPECT_EQ(r.lines.size(), 1);
    EXPECT_TRUE(r.lines.value(0).startsWith("outcome: success")) << r.all().toStdString();

    sim->clearRecords();
    r = runCli({"--factory-defaults"});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    EXPECT_TRUE(sim.zingCodes().contains(0x13));

    r = runCli({"--download-log"});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    EXPECT_TRUE(QFile::exists(home.file("Backup/sylog.log")));

    // The tool's own version, not the terminal's.
    r = runCli({"--version"});
    EXPECT_EQ(r.lines, QStringList{"qora-upgrader-cli 5.1.6, 8/9/2019"});
}

// How a run ends, as a script sees it: exit status, the stream and the line.
TEST_F(Cli, OutcomesAsAScriptSeesThem)
{
    const struct {
        const char* name;
        QStringList args;
        std::function<void(SimHarness&, TestHome&)> arrange;
        int exitCode;
        bool onError;    // the line is on standard error
        QString line;    // the start of the run's last line there
        bool contacted;  // the terminal heard from the front end
    } rows[] = {
        // A delete refused on the way: the box is a warning, the upgrade took.
        {"success with a warning", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) {
             s.terminal().flash().putExecutable("5_7_1", "old");
             s->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1.bin"; });
         },
         0, false, "outcome: success; warnings: An unexpected FTP error occurred.  Operation cancelled.; backup: ", true},
        // The new executable does not boot: the terminal comes back in its Boot ROM.
        {"an item that did not take", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) { s->updateModel([](qsim::Model& m) { m.minExecutableBytes = 1 << 20; }); }, 1,
         true, "outcome: failure (the terminal still runs BOOTROM MODE)", true},
        {"bad usage", {"--upgrade", "sw,foo"}, nullptr, 2, true, "qora-upgrader-cli: unknown item 'foo'", false},
        {"two actions", {"--reset", "--terminal-version"}, nullptr, 2, true, "qora-upgrader-cli: only one action", false},
        {"unknown backup", {"--restore", "5.7.0.1"}, nullptr, 2, true, "qora-upgrader-cli: unknown version '5_7_0_1'",
         false},
        {"terminal off", {"--upgrade", "sw"}, [](SimHarness& s, TestHome&) { s->powerOff(); }, 1, true,
         "outcome: failure", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        sim->clearFaults();
        if (sim->status().mode == qsim::Mode::Off)
            sim->powerOn();
        ASSERT_TRUE(sim->waitUntilUp(3000));
        if (r.arrange)
            r.arrange(sim, home);
        sim->clearRecords();
        const CliRun run = runCli(r.args);
        EXPECT_EQ(run.exitCode, r.exitCode) << run.all().toStdString();
        const QStringList& stream = r.onError ? run.errors : run.lines;
        EXPECT_TRUE(stream.value(stream.size() - 1).startsWith(r.line)) << run.all().toStdString();
        EXPECT_EQ(!sim->records().isEmpty(), r.contacted);
    }
    // A setting that cannot be used stops the run before anything is sent.
    const CliRun bad = runCli({"--terminal-version"}, {"QORA_FTP_PORT=abc", "QORA_TIME_SCALE=-1"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.errors, (QStringList{"qora-upgrader-cli: QORA_FTP_PORT='abc' is not a port (1 to 65535)",
                                       "qora-upgrader-cli: QORA_TIME_SCALE='-1' is not a positive number"}));
    EXPECT_TRUE(sim->records().isEmpty());
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
    EXPECT_EQ(r.exitCode, 143) << r.all().toStdString();
    const QString last = r.errors.value(r.errors.size() - 1);
    EXPECT_TRUE(last.startsWith("outcome: interrupted (SIGTERM);") && last.contains("; log: " + home.path() + "logs/"))
        << r.all().toStdString();
    EXPECT_EQ(partFilesUnder(home.path()), QStringList{});
    const QStringList log = home.logLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].startsWith("Close logging.")) << home.logText().right(300).toStdString();
}

// The path is printed only when there is a file behind it.
TEST_F(Cli, ALogThatCouldNotBeWrittenIsNotOffered)
{
    home.writeFile("logs", "not a folder");
    const CliRun r = runCli({"--terminal-version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines.last().startsWith("outcome: success; log: none (" + home.path() + "logs/"));
    EXPECT_TRUE(r.lines.last().endsWith(" could not be written)")) << r.lines.last().toStdString();
}

// The antenna item alone and after the software; files that do not fit are
// refused before anything is sent, and a refusal by the terminal fails.
TEST_F(Cli, AntennaAloneAndAfterTheSoftware)
{
    sim->updateModel([](qsim::Model& m) {
        m.atbAfterUpgrade = "1.5";
        m.hpaAfterUpgrade = "1.3";
    });
    const struct {
        const char* name;
        const char* items;
        QStringList files;
        int status;  // the terminal's answer to the antenna request
        int exitCode;
        QString line;  // a line of the output that must be there
        bool sent;     // the antenna request reached the terminal
    } rows[] = {
        {"refused by the terminal", "ant", {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}, 3, 1,
         "box: Upgrader: FAULT: Antenna Upgrade failed (Error Code 3).  Check documentation and try again.", true},
        {"files that fit", "ant", {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}, 0, 0, "outcome: success", true},
        {"files of another class", "ant", {"ATB_02313_07.sxm", "HPA_2302_03.sxm"}, 0, 1,
         "outcome: failure (the antenna files (Class 10) do not fit the terminal's antenna (Class 11))", false},
        {"software then antenna", "sw,ant", {"ATB_02409_16.sxm", "HPA_2407_14.sxm"}, 0, 1,
         "outcome: failure (the antenna reports ATB 1.5, HPA 1.3)", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (const QString& f : QDir(home.path()).entryList({"*.sxm"}, QDir::Files))
            QFile::remove(home.file(f));
        for (const QString& f : r.files)
            home.writeFile(f, "image of " + f.toLatin1());
        sim->updateModel([&](qsim::Model& m) { m.antennaUpgradeStatus = r.status; });
        sim->clearRecords();
        const CliRun run = runCli({"--upgrade", r.items});
        EXPECT_EQ(run.exitCode, r.exitCode) << run.all().toStdString();
        EXPECT_TRUE(run.all().contains(r.line)) << run.all().toStdString();
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
        m.atbAfterUpgrade = "1.5";
        m.hpaAfterUpgrade = "1.3";
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
        const CliRun run = runCli({"--upgrade", r.items});
        const QString out = run.all();
        EXPECT_EQ(run.exitCode, r.exitCode) << out.toStdString();
        EXPECT_TRUE(out.contains(r.line)) << out.toStdString();
        EXPECT_EQ(out.contains("PIC Upgrade Successful"), r.exitCode == 0) << out.toStdString();
        EXPECT_FALSE(out.contains("skywardly"));
        EXPECT_EQ(sim->model().pic, r.exitCode == 0 ? "3.05" : "3.02");
    }
    EXPECT_TRUE(sim.zingCodes().contains(0x90));
}

TEST_F(Cli, HelpNamesEveryAction)
{
    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* action : {"--upgrade", "--restore", "--factory-defaults", "--reset", "--terminal-version",
                               "--download-log", "--list-backups", "--version", "--address", "--json", "--quiet"})
        EXPECT_TRUE(help.lines.join('\n').contains(action)) << action;
}

}  // namespace
