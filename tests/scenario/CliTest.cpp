// The unattended front end as a program: its output, its exit status and
// what the terminal received.
#include "support/CliProcess.h"
#include "support/SimUpgrade.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

CliRun runCli(const QStringList& args, const QStringList& extraEnv = {}, int limitMs = 60000)
{
    QProcess p;
    startCli(p, args, Settings::get(), extraEnv);
    return finished(p, limitMs);
}

class Cli : public SimUpgrade {
protected:
    void SetUp() override { home.writePackage("5_7_2_0"); }
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
    EXPECT_EQ(std::tuple(j["action"].toString(), j["outcome"].toString(), j["exitCode"].toInt()),
              std::tuple("upgrade", "success", 0));
    EXPECT_EQ(j["items"].toArray(), QJsonArray({QJsonObject{{"item", "software"}, {"before", "5.7.1.12"},
                                                            {"after", "5.7.2.0"}, {"expected", "5.7.2.0"}, {"took", true}}}));
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

    // The second download keeps the first beside it.
    for (int i = 0; i < 2; ++i) {
        r = runCli({"--download-log"});
        EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
        EXPECT_TRUE(r.lines.contains("log: " + home.file("Backup/sylog.log"))) << r.all().toStdString();
    }
    EXPECT_TRUE(r.lines.contains("status: Log downloaded to " + home.file("Backup/sylog.log")));
    EXPECT_EQ(QDir(home.file("Backup")).entryList({"sylog*.log"}, QDir::Files).size(), 2);

    // The tool's own version, not the terminal's.
    r = runCli({"--version"});
    EXPECT_EQ(r.lines, QStringList{"qora-upgrader-cli 5.1.6, 8/9/2019"});
}

// How a run ends, as a script sees it: the exit status, a line of the
// output, the last line on the stream it belongs to, and whether the
// terminal was sent anything that changes it. Items that did not take fail.
TEST_F(Cli, OutcomesAsAScriptSeesThem)
{
    using Arrange = std::function<void(SimHarness&, TestHome&)>;
    const auto files = [](QStringList names) {
        return [names](SimHarness&, TestHome& h) {
            for (const QString& f : names)
                h.writeFile(f, "image of " + f.toLatin1());
        };
    };
    const auto antenna = [](int status) {
        return [status](SimHarness& s, TestHome& h) {
            s->updateModel([&](qsim::Model& m) { m.antennaUpgradeStatus = status; });
            for (const char* f : {"ATB_02409_15.sxm", "HPA_2407_13.sxm"})
                h.writeFile(f, "antenna image");
        };
    };
    const auto pic = [](qsim::ReflashOutcome outcome, QStringList more = {}) {
        return [=](SimHarness& s, TestHome& h) {
            s->updateModel([&](qsim::Model& m) { m.reflash = outcome; });
            for (const QString& f : QStringList{"PIC_3_05.s19"} + more)
                h.writeFile(f, QByteArray(300, 'S'));
        };
    };
    const struct {
        const char* name;
        QStringList args;
        Arrange arrange;
        int exitCode;
        QString line;
        bool changes;  // the terminal was sent more than the requests for its version
    } rows[] = {
        // A delete refused on the way: the box is a warning, the upgrade took.
        {"success with a warning", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) {
             s.terminal().flash().putExecutable("5_7_1", "old");
             s->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1.bin"; });
         },
         0, "outcome: success; warnings: An unexpected FTP error occurred.  Operation cancelled.; backup: ", true},
        // The new executable does not boot: the terminal comes back in its Boot ROM.
        {"an item that did not take", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) { s->updateModel([](qsim::Model& m) { m.minExecutableBytes = 1 << 20; }); }, 1,
         "outcome: failure (the terminal still runs BOOTROM MODE)", true},
        {"bad usage", {"--upgrade", "sw,foo"}, nullptr, 2, "qora-upgrader-cli: unknown item 'foo'", false},
        {"two actions", {"--reset", "--terminal-version"}, nullptr, 2, "qora-upgrader-cli: only one action", false},
        {"unknown backup", {"--restore", "5.7.0.1"}, nullptr, 2, "qora-upgrader-cli: unknown version '5_7_0_1'", false},
        {"terminal off", {"--upgrade", "sw"}, [](SimHarness& s, TestHome&) { s->powerOff(); }, 1, "outcome: failure",
         false},
        {"antenna refused by the terminal", {"--upgrade", "ant"}, antenna(3), 1,
         "box: Upgrader: FAULT: Antenna Upgrade failed (Error Code 3).  Check documentation and try again.", true},
        {"antenna files that fit", {"--upgrade", "ant"}, antenna(0), 0, "outcome: success", true},
        {"antenna files of another class", {"--upgrade", "ant"}, files({"ATB_02313_07.sxm", "HPA_2302_03.sxm"}), 1,
         "outcome: failure (the antenna files (Class 10) do not fit the terminal's antenna (Class 11))", false},
        {"antenna versions unchanged after the software", {"--upgrade", "sw,ant"},
         files({"ATB_02409_16.sxm", "HPA_2407_14.sxm"}), 1, "outcome: failure (the antenna reports ATB 1.5, HPA 1.3)",
         true},
        {"PIC reflash failed", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Fail), 1,
         "box: Upgrader: FAULT: PIC Upgrade failure. ", true},
        {"PIC reflashed", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Success), 0, "outcome: success", true},
        {"software, antenna and PIC", {"--upgrade", "sw,ant,pic"},
         pic(qsim::ReflashOutcome::Success, {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}), 0, "version: 5.7.2.0", true},
        // Last, as it takes the package away: nobody can choose a folder, so the front end refuses.
        {"no package", {"--upgrade", "sw"}, [](SimHarness&, TestHome& h) { QFile::remove(h.file("qorax_5_7_2_0.bin")); },
         1, "box: Upgrader: FAULT: Unable to find binary file in: ", false},
    };
    sim->updateModel([](qsim::Model& m) {
        m.atbAfterUpgrade = "1.5";
        m.hpaAfterUpgrade = "1.3";
        m.picAfterReflash = "3.05";
        m.restartMs = 5000;
    });
    const qsim::Model model = sim->model();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        sim->clearFaults();
        sim->setModel(model);
        if (sim->status().mode != qsim::Mode::Off)
            sim->powerOff();
        sim->powerOn();
        ASSERT_TRUE(sim->waitUntilUp(3000));
        for (const QString& f : QDir(home.path()).entryList({"*.sxm", "*.s19"}, QDir::Files))
            QFile::remove(home.file(f));
        if (r.arrange)
            r.arrange(sim, home);
        sim->clearRecords();
        const CliRun run = runCli(r.args);
        const QString out = run.all();
        EXPECT_EQ(run.exitCode, r.exitCode) << out.toStdString();
        EXPECT_TRUE(out.contains(r.line)) << out.toStdString();
        // The outcome comes last: a success on standard output, anything else on standard error.
        const QStringList& stream = r.exitCode == 0 ? run.lines : run.errors;
        EXPECT_TRUE(stream.value(stream.size() - 1).startsWith(r.exitCode == 2 ? "qora-upgrader-cli: " : "outcome: "))
            << out.toStdString();
        const QList<quint32> codes = sim.zingCodes();
        EXPECT_EQ(!sim.ftpCommands().isEmpty() || codes.count(4) + codes.count(0x92) < codes.size(), r.changes);
        EXPECT_FALSE(out.contains("skywardly"));
    }
    // A setting that cannot be used stops the run before anything is sent.
    sim->clearRecords();
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
    EXPECT_EQ(readFile(home.file("logs")), "not a folder");
}

}  // namespace
