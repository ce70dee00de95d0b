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
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <csignal>

namespace {

// Without a runtime folder, as root over SSH: Qt must not complain on standard error.
CliRun runCli(const QStringList& args, const QStringList& extraEnv = {}, int limitMs = 60000)
{
    QProcess p;
    startCli(p, args, Settings::get(), QStringList{"XDG_RUNTIME_DIR="} + extraEnv);
    return finished(p, limitMs);
}

class Cli : public SimUpgrade {
protected:
    void SetUp() override { home.writePackage("5_7_2_0"); }

    // A terminal that reports the versions of what it flashes, and restarts quickly.
    qsim::Model flashingModel()
    {
        sim->updateModel([](qsim::Model& m) {
            m.atbAfterUpgrade = "1.5";
            m.hpaAfterUpgrade = "1.3";
            m.picAfterReflash = "3.05";
            m.restartMs = 5000;
        });
        return sim->model();
    }
    // The terminal started again as the model and faults say, from the software an upgrade replaces.
    bool restartedAs(const qsim::Model& model, const qsim::Faults& faults = {})
    {
        sim->setModel(model);
        sim->setFaults(faults);
        if (sim->status().mode != qsim::Mode::Off)
            sim->powerOff();
        sim.terminal().flash().seedDemo("5.7.1.12");
        sim->powerOn();
        return sim->waitUntilUp(3000);
    }
};

// A verified upgrade with its JSON; run again it is skipped unless forced;
// then the restore of the version it saved.
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

    // Current now: nothing is sent again, unless forced.
    sim->clearRecords();
    const CliRun status = runCli({"--status", "--quiet"});
    EXPECT_EQ(status.exitCode, 0) << status.all().toStdString();
    EXPECT_TRUE(status.lines.value(0).startsWith("outcome: current; ")) << status.all().toStdString();
    const CliRun again = runCli({"--upgrade=sw", "--json"});
    EXPECT_EQ(again.exitCode, 0) << again.all().toStdString();
    EXPECT_EQ(again.json()["items"].toArray().at(0)["skipped"].toString(), "already current");
    EXPECT_EQ(sim.ftpCommands(), QStringList{});
    const CliRun forced = runCli({"--upgrade", "sw", "--force", "--quiet"});
    EXPECT_EQ(forced.exitCode, 0) << forced.all().toStdString();
    EXPECT_EQ(sim.ftpCommands().filter(QRegularExpression("^STOR .*qorax_5_7_2_0.bin")).size(), 1) << forced.all().toStdString();

    // The backup is whole as its record says; a copy changed since is refused
    // before the terminal is asked anything, and listed as damaged.
    EXPECT_TRUE(runCli({"--list-backups"}).lines.value(0).endsWith(" bytes  whole"));
    const QByteArray saved = readFile(backup);
    home.writeFile("Backup/qorax_5_7_1_12.bin", saved.left(saved.size() / 2));
    sim->clearRecords();
    const CliRun damaged = runCli({"--restore", "5.7.1.12", "--json"});
    EXPECT_EQ(std::tuple(damaged.exitCode, damaged.json()["code"].toString()), std::tuple(3, QString("backup-damaged")))
        << damaged.all().toStdString();
    EXPECT_TRUE(sim->records().isEmpty());
    EXPECT_TRUE(runCli({"--list-backups"}).lines.value(0).contains(" damaged: it holds "));
    home.writeFile("Backup/qorax_5_7_1_12.bin", saved);

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
    // What the terminal says reaches a screen only in printable form.
    sim->updateModel([](qsim::Model& m) { m.asn = "A1B2\x1b[2J"; });
    CliRun r = runCli({"--terminal-version", "--address=127.0.0.1"});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    EXPECT_EQ(r.lines.mid(r.lines.size() - 4, 3),
              (QStringList{"version: 5.7.1.12",
                           "antenna: ATB 1.4, HPA 1.2, Class 11, serial A1B2 /x1B [2J, hardware 2.0", "PIC: 3.02"}));
    // For a script: the software's version alone.
    r = runCli({"--terminal-version", "--quiet"});
    EXPECT_EQ(r.lines, QStringList{"5.7.1.12"}) << r.all().toStdString();

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

    // The second download keeps the first beside it; the outcome names the file.
    for (int i = 0; i < 2; ++i) {
        r = runCli({"--download-log", "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
        EXPECT_TRUE(r.lines.value(r.lines.size() - 2).startsWith("outcome: success; file: " + home.file("Backup/sylog.log")))
            << r.all().toStdString();
        EXPECT_EQ(r.json()["file"].toString(), home.file("Backup/sylog.log"));
    }
    EXPECT_TRUE(r.lines.contains("status: Log downloaded to " + home.file("Backup/sylog.log")));
    EXPECT_EQ(QDir(home.file("Backup")).entryList({"sylog*.log"}, QDir::Files).size(), 2);

    // The tool's own version, not the terminal's.
    r = runCli({"--version"});
    EXPECT_EQ(r.lines, QStringList{"qora-upgrader-cli 5.1.6, 8/9/2019"});
}

// How a run ends, as a script sees it: the exit status, the code, a line of
// the output, the outcome last on its stream (a failure's on standard error,
// with --quiet too), and whether the terminal was sent anything that changes
// it. Items that did not take fail; a failure names its cause and what to do.
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
    const auto pic = [](qsim::ReflashOutcome outcome, QStringList more = {},
                        qsim::Battery battery = qsim::Battery::Absent) {
        return [=](SimHarness& s, TestHome& h) {
            s->updateModel([&](qsim::Model& m) {
                m.reflash = outcome;
                m.battery = battery;
            });
            for (const QString& f : QStringList{"PIC_3_05.s19"} + more)
                h.writeFile(f, QByteArray(300, 'S'));
        };
    };
    const auto faults = [](std::function<void(qsim::Faults&)> set) {
        return [set](SimHarness& s, TestHome&) { s->updateFaults(set); };
    };
    std::unique_ptr<QLockFile> otherUpgrader;
    const struct {
        const char* name;
        QStringList args;
        Arrange arrange;
        int exitCode;
        const char* code;  // empty: no failure
        QString line;
        bool changes;  // the terminal was sent more than the requests for its versions
    } rows[] = {
        // A delete refused on the way: the box is a warning, the upgrade took.
        {"success with a warning", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) {
             s.terminal().flash().putExecutable("5_7_1", "old");
             s->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1.bin"; });
         },
         0, "", "outcome: success; warnings: An unexpected FTP error occurred. Operation cancelled. Error Code: 12003 : 550 "
         "qorax_5_7_1.bin", true},
        // The new executable does not boot: the terminal comes back in its Boot ROM.
        {"an item that did not take", {"--upgrade", "sw"},
         [](SimHarness& s, TestHome&) { s->updateModel([](qsim::Model& m) { m.minExecutableBytes = 1 << 20; }); }, 1,
         "boot-rom", "outcome: failure (boot-rom: software did not take: the terminal runs its Boot ROM", true},
        {"bad usage", {"--upgrade", "sw,foo"}, nullptr, 2, "usage", "qora-upgrader-cli: unknown item 'foo'", false},
        {"two actions", {"--reset", "--terminal-version"}, nullptr, 2, "usage", "qora-upgrader-cli: only one action", false},
        {"a flag with a value", {"--upgrade=sw", "--quiet=yes"}, nullptr, 2, "usage", "--quiet takes no value", false},
        {"unknown backup", {"--restore", "5.7.0.1"}, nullptr, 2, "no-backup", "(no-backup: unknown version '5.7.0.1'",
         false},
        {"terminal off, quiet", {"--upgrade", "sw", "--quiet"}, [](SimHarness& s, TestHome&) { s->powerOff(); }, 1,
         "unreachable", "outcome: failure (unreachable: Unable to get Satellite IP Modem's software version.); what to do: ",
         false},
        {"terminal off, its status", {"--status"}, [](SimHarness& s, TestHome&) { s->powerOff(); }, 4, "unreachable",
         "outcome: failure (unreachable: ", false},
        {"connection reset in the upload", {"--upgrade", "sw"}, faults([](qsim::Faults& f) {
             f.ftpResetAfterBytes = 1000;
             f.ftpResetFile = "qorax_5_7_2_0.bin";
         }),
         1, "connection-lost", "outcome: failure (connection-lost: WARNING: Connection Problem.)", true},
        {"login refused", {"--upgrade", "sw"}, faults([](qsim::Faults& f) { f.ftpRefuseLogin = true; }), 1, "ftp-login",
         "(ftp-login: Incorrect Username or Password!)", true},
        {"antenna refused by the terminal", {"--upgrade", "ant"}, antenna(3), 1, "antenna-refused",
         "(antenna-refused: Antenna Upgrade failed (Error Code 3). Check documentation and try again.)", true},
        {"antenna files that fit", {"--upgrade", "ant"}, antenna(0), 0, "", "outcome: success", true},
        {"antenna files of another class", {"--upgrade", "ant"}, files({"ATB_02313_07.sxm", "HPA_2302_03.sxm"}), 1,
         "antenna-class", "class does not fit: the files are for Class 10, the antenna is Class 11)", false},
        // A warning while the software took is not why the antenna did not.
        {"antenna versions unchanged after the software", {"--upgrade", "sw,ant"},
         [&](SimHarness& s, TestHome& h) {
             files({"ATB_02409_16.sxm", "HPA_2407_14.sxm"})(s, h);
             s.terminal().flash().putExecutable("5_7_1", "old");
             s->updateFaults([](qsim::Faults& f) { f.ftpFail550File = "qorax_5_7_1.bin"; });
         },
         1, "not-taken", "(not-taken: antenna did not take: the antenna reports ATB 1.5, HPA 1.3", true},
        {"PIC reflash failed", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Fail), 1, "pic-failed",
         "(pic-failed: PIC Upgrade failure.)", true},
        {"battery fitted", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Success, {}, qsim::Battery::Present), 1,
         "battery", "(battery: PIC Upgrade failure. Battery detected.)", true},
        // The one question answered No is the cause.
        {"battery not told", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Success, {}, qsim::Battery::Unknown), 1,
         "battery-unknown", "(battery-unknown: Battery Presence Could NOT Be Determined! (answered No", true},
        {"PIC reflashed", {"--upgrade", "pic"}, pic(qsim::ReflashOutcome::Success), 0, "", "outcome: success", true},
        {"software, antenna and PIC", {"--upgrade", "sw,ant,pic"},
         pic(qsim::ReflashOutcome::Success, {"ATB_02409_15.sxm", "HPA_2407_13.sxm"}), 0, "", "version: 5.7.2.0", true},
        {"an upgrade due", {"--status"}, pic(qsim::ReflashOutcome::Success), 1, "",
         "PIC: terminal 3.02, package 3.05: an upgrade would run", false},
        {"another upgrader in the folder", {"--status"},
         [&](SimHarness&, TestHome& h) {
             otherUpgrader = std::make_unique<QLockFile>(h.file(".qora-upgrader.lock"));
             otherUpgrader->lock();
         },
         3, "locked", "(locked: Another upgrader is already running in ", false},
        {"two packages", {"--upgrade", "sw"}, [](SimHarness&, TestHome& h) { h.writePackage("5_7_3_0"); }, 3,
         "two-packages", "(two-packages: Multiple (2) binary files found in ", false},
        // Last, as it takes the package away: nobody can choose a folder, so the front end refuses.
        {"no package", {"--upgrade", "sw"}, [](SimHarness&, TestHome& h) { QFile::remove(h.file("qorax_5_7_2_0.bin")); },
         3, "no-package", "(no-package: Unable to find binary file in: ", false},
    };
    const qsim::Model model = flashingModel();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(restartedAs(model));
        otherUpgrader.reset();
        for (const QString& f : QDir(home.path()).entryList({"*.sxm", "*.s19", "qorax_5_7_3_0.bin"}, QDir::Files))
            QFile::remove(home.file(f));
        if (r.arrange)
            r.arrange(sim, home);
        sim->clearRecords();
        const CliRun run = runCli(r.args + QStringList{"--json"});
        const QString out = run.all();
        EXPECT_EQ(run.exitCode, r.exitCode) << out.toStdString();
        EXPECT_TRUE(out.contains(r.line)) << out.toStdString();
        const QJsonObject j = run.json();
        EXPECT_EQ(std::tuple(j["code"].toString(), j["exitCode"].toInt()), std::tuple(QString(r.code), r.exitCode));
        // The outcome comes last: a failure's on standard error, with its cause and what to do.
        const bool failed = *r.code != '\0';
        const QStringList& stream = failed ? run.errors : run.lines;
        EXPECT_TRUE(stream.value(stream.size() - (failed ? 1 : 2)).startsWith(r.exitCode == 2 && j["action"].isUndefined()
                                                                                   ? "qora-upgrader-cli: "
                                                                                   : "outcome: "))
            << out.toStdString();
        if (failed) {
            EXPECT_FALSE(j["reason"].toString().isEmpty() || j["advice"].toString().isEmpty()) << out.toStdString();
        }
        EXPECT_FALSE(j["warnings"].toArray().contains(QJsonValue(""))) << out.toStdString();
        // Standard error is the front end's alone.
        for (const QString& e : run.errors)
            EXPECT_TRUE(e.startsWith("qora-upgrader-cli: ") || e.startsWith("outcome: ")) << e.toStdString();
        if (r.args.contains("--quiet")) {
            EXPECT_EQ(run.lines.size(), 1) << out.toStdString();
        }
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

// A stop signal outside the terminal's work ends the run at once and cleanly.
// While the terminal works, the first says what it is doing and the run ends
// once that is over; a second ends it at once, with the same warning.
TEST_F(Cli, StopSignals)
{
    // No 226 ever: a download stays in its temporary file until the time-out.
    sim->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "RETR"; });
    sim->updateModel([](qsim::Model& m) { m.antennaFlashMs = 100000; });
    for (const char* f : {"ATB_02409_15.sxm", "HPA_2407_13.sxm"})
        home.writeFile(f, "antenna image");
    const QString warning = "The Satellite IP Modem is upgrading its antenna firmware. Keep it powered";
    const QString flashed = "status: Modem will Restart after Antenna Upgrade.  Please DO NOT Interrupt !";
    const struct {
        const char* name;
        QStringList args;
        const char* waitFor;
        double timeScale;  // of the front end
        QList<int> stops;
        int exitCode;
        QString last;
        bool warned, flashOver;
    } rows[] = {
        {"download", {"--download-log"}, "status: Downloading", 0.2 /* FTP time-out 12 s */, {SIGTERM}, 143, "outcome: interrupted (SIGTERM); ", false,
         false},
        {"antenna flash", {"--upgrade", "ant"}, "status: Upgrading Antenna Firmware", 0.1, {SIGINT}, 130,
         "outcome: interrupted (SIGINT, once the terminal's work was over); ", true, true},
        {"antenna flash, twice", {"--upgrade", "ant"}, "status: Upgrading Antenna Firmware", 0.1, {SIGINT, SIGINT}, 130,
         "outcome: interrupted (SIGINT, at once, while the terminal was at work); ", true, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(sim->waitUntilUp(5000));
        Settings settings = Settings::get();
        settings.timeScale = r.timeScale;
        QProcess p;
        startCli(p, r.args, settings);
        QByteArray seen;
        ASSERT_TRUE(waitUntil([&] { return (seen += p.readAllStandardOutput()).contains(r.waitFor); }, 30000));
        // Its own id, taken while it runs: a finished QProcess says 0, and kill(0) would hit this test's group.
        const auto pid = static_cast<pid_t>(p.processId());
        ASSERT_GT(pid, 0);
        for (int s : r.stops) {
            if (p.state() != QProcess::NotRunning)
                ::kill(pid, s);
            serveEventsFor(300);
        }
        // The simulator is served meanwhile; at once, not when the FTP time-out ends the transfer.
        waitUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
        const CliRun run = finished(p, 0);
        const QString out = QString::fromLocal8Bit(seen) + run.all();
        EXPECT_EQ(run.exitCode, r.exitCode) << out.toStdString();
        EXPECT_TRUE(run.errors.value(run.errors.size() - 1).startsWith(r.last)) << out.toStdString();
        EXPECT_EQ(run.errors.filter(warning).size(), r.warned ? int(r.stops.size()) : 0) << out.toStdString();
        EXPECT_EQ(out.contains(flashed), r.flashOver) << out.toStdString();
        EXPECT_EQ(partFilesUnder(home.path()), QStringList{});
        if (r.stops.size() == 1) {
            const QStringList log = home.logLines();
            ASSERT_GE(log.size(), 2);
            EXPECT_TRUE(log[log.size() - 2].startsWith("Close logging.")) << home.logText().right(300).toStdString();
        }
    }
}

// What the terminal says reaches a screen, the JSON and the log only in
// printable form, in whatever it hides: nothing raw, no line of the log
// forged, the password never shown, echoed whole or in pieces.
TEST_F(Cli, TerminalTextsAreShownNeverPassedOn)
{
    const QByteArray forged = "\r\n[12:00:00] INF: \tPIC Upgrade Successful";
    const QString forgedShown = " /xD  /xA [12:00:00] INF:  /x9 PIC Upgrade Successful";
    using Hostile = std::function<void(qsim::Model&, qsim::Faults&)>;
    const struct {
        const char* name;
        QStringList args;
        Hostile hostile;
        QString shown;  // how the log shows it
        QString onScreen = {};  // how standard output or error shows it; empty: not there
    } rows[] = {
        {"escape sequences in the antenna's version", {"--upgrade", "ant"},
         [](qsim::Model& m, qsim::Faults&) { m.atbAfterUpgrade = QString::fromLatin1("1\x1b]0;pwned\x07\x1b[2J\xe9"); },
         "1 /x1B ]0;pwned /x7  /x1B [2J /xE9 ", "the antenna reports ATB 1 /x1B ]0;pwned /x7  /x1B [2J /xE9 , HPA 1.3"},
        // A lone CR or LF outlasts the version's parsing.
        {"line breaks in the PIC version", {"--terminal-version"},
         [](qsim::Model& m, qsim::Faults&) { m.pic = "3.02\r[12:00:00] INF: \tPIC\nUpgrade Successful"; },
         "3.02 /xD [12:00:00] INF:  /x9 PIC /xA Upgrade Successful",
         "PIC: 3.02 /xD [12:00:00] INF:  /x9 PIC /xA Upgrade Successful"},
        {"bytes above 0x7F in the antenna's hardware", {"--terminal-version"},
         [](qsim::Model& m, qsim::Faults&) { m.ahw = QString::fromLatin1("2.0\xe9\x9b[2J"); }, "2.0 /xE9  /x9B [2J",
         ", hardware 2.0 /xE9  /x9B [2J"},
        {"a log line forged and NUL in the shell's banner", {"--upgrade", "pic"},
         [&](qsim::Model& m, qsim::Faults&) {
             m.appShellLogin = m.bootRomShellLogin = qsim::ShellLogin::None;
             m.shellBanner = forged + QByteArray("\0\x1b[2J", 5);
         },
         "INF: \tConnect outcome: /xFF  /xFB  /x1  /xFF  /xFB  /x3 " + forgedShown + " /x0  /x1B [2J"},
        {"the password echoed in pieces", {"--upgrade", "pic"},
         [](qsim::Model& m, qsim::Faults& f) {
             m.shellEchoesPassword = true;
             f.telnetSplitBytes = 4;
             f.telnetSplitGapMs = 1;
         },
         "Connect outcome :********"},
        {"names listed by the terminal", {"--upgrade", "sw"},
         [&](qsim::Model&, qsim::Faults& f) { f.ftpNameListing = "qorax_5_7_1_12.bin" + forged + "\r\n\x1b[2J.bin\r\n"; },
         " /x1B [2J.bin"},
    };
    const qsim::Model model = flashingModel();
    for (const char* f : {"ATB_02409_15.sxm", "HPA_2407_13.sxm"})
        home.writeFile(f, "antenna image");
    home.writeFile("PIC_3_05.s19", QByteArray(300, 'S'));
    const auto rawOnScreen = [](const QString& out) {
        return std::any_of(out.begin(), out.end(), [](QChar c) { return c != '\n' && (c < ' ' || c > '~'); });
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        qsim::Model m = model;
        qsim::Faults f;
        r.hostile(m, f);
        ASSERT_TRUE(restartedAs(m, f));
        const CliRun run = runCli(r.args + QStringList{"--json"});
        const QString out = run.all();
        const QByteArray log = readFile(home.file("logs/" + home.logFiles().value(home.logFiles().size() - 1)));
        ASSERT_FALSE(log.isEmpty());
        // Printable ASCII alone on the screen; the JSON whole.
        EXPECT_FALSE(rawOnScreen(out)) << out.toStdString();
        EXPECT_FALSE(run.json().isEmpty()) << out.toStdString();
        if (!r.onScreen.isEmpty()) {
            EXPECT_TRUE(out.contains(r.onScreen)) << out.toStdString();
        }
        // The log: printable ASCII, tabs and CR LF; every line the program's.
        const QByteArray lines = QByteArray(log).replace("\r\n", "\t");
        const auto raw = std::find_if(lines.begin(), lines.end(), [](char c) { return c != '\t' && (c < ' ' || c > '~'); });
        EXPECT_EQ(raw, lines.end()) << lines.mid(raw - lines.begin() - 100, 120).toStdString();
        EXPECT_FALSE(log.contains("\n[12:00:00]"));
        EXPECT_TRUE(log.contains(r.shown.toLatin1())) << r.shown.toStdString();
        // Not even a piece of the password, in either.
        for (const char* piece : {"skyw", "kywa", "rdly"}) {
            EXPECT_FALSE(log.contains(piece)) << piece;
            EXPECT_FALSE(out.contains(piece)) << piece;
        }
    }
    // The front end's own texts pass the same doors: a folder named to steer a terminal.
    const TestHome odd("home\x1b]0;x\x07");
    odd.writePackage("5_7_2_0");
    const CliRun run = runCli({"--terminal-version", "--json"});
    EXPECT_FALSE(rawOnScreen(run.all())) << run.all().toStdString();
    EXPECT_TRUE(run.json()["log"].toString().contains("home /x1B ]0;x /x7 /logs/")) << run.all().toStdString();
}

// One line of a CSV file as a spreadsheet reads it.
QStringList csvCells(const QString& line)
{
    QStringList cells{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == '"' && line.mid(i + 1, 1) == "\"")
            cells.last() += line[i++];
        else if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ',' && !quoted)
            cells << QString();
        else
            cells.last() += line[i];
    }
    return cells;
}

// Terminals one after another at one address: each is upgraded once however
// long it stays, its line is in the report as it leaves, and the report of
// earlier runs is only added to (a line a crash cut short stays alone).
TEST_F(Cli, StationTakesTerminalsInTurn)
{
    const QString report = home.file("station-report.csv");
    const QByteArray earlier = "time,serial,address,antenna class,software before,software after,software,antenna before,"
                               "antenna after,antenna,PIC before,PIC after,PIC,outcome,code,reason,seconds,log\n"
                               "2026-01-05 09:00:00,OLD00001,127.0.0.1,,,,,,,,,,,upgraded,,,1.0,\n2026-01-05 09:10:00,CU";
    home.writeFile("station-report.csv", earlier);
    sim->powerOff();
    QProcess station;
    QByteArray out;
    const auto said = [&](const QString& text) {
        return [&, text] { return (out += station.readAllStandardOutput()).count(text.toLatin1()); };
    };
    // Nothing there yet: Ctrl+C ends it as a normal end, and so does nothing else.
    startCli(station, {"--station", "sw"}, Settings::get());
    ASSERT_TRUE(waitUntil([&] { return said("waiting for a terminal at 127.0.0.1")() == 1; }, 10000));
    ::kill(static_cast<pid_t>(station.processId()), SIGINT);
    CliRun idle = finished(station, 10000);
    EXPECT_EQ(idle.exitCode, 0) << idle.all().toStdString();
    EXPECT_TRUE(idle.lines.contains("station: 0 terminals: 0 upgraded, 0 already current, 0 failed; report: " + report));

    out.clear();
    startCli(station, {"--station=sw", "--count", "3", "--json"}, Settings::get());
    ASSERT_TRUE(waitUntil([&] { return said("waiting for a terminal at ")() == 1; }, 10000));
    // The folder is the station's for the whole run.
    const CliRun other = runCli({"--status", "--json"});
    EXPECT_EQ(std::tuple(other.exitCode, other.json()["code"].toString()), std::tuple(3, QString("locked")));

    const struct {
        const char* name;
        QString asn;
        const char* runs;
        std::function<void(qsim::Faults&)> fault;
        const char* serial;  // the start of the report's cell
        const char* outcome;
        const char* code;
        QStringList software;  // before, after, result
        bool changed;          // sent more than the requests for its versions
    } rows[] = {
        {"out of date", "A1B2C3D4", "5.7.1.12", nullptr, "A1B2C3D4", "upgraded", "", {"5.7.1.12", "5.7.2.0", "took"}, true},
        {"current", "C0000002", "5.7.2.0", nullptr, "C0000002", "already current", "",
         {"5.7.2.0", "5.7.2.0", "skipped: already current"}, false},
        // A serial a spreadsheet would run as a formula, with a comma, a quote and a control byte.
        {"its upload fails", "=1+2,\"x\"\x1b", "5.7.1.12",
         [](qsim::Faults& f) {
             f.ftpResetAfterBytes = 1000;
             f.ftpResetFile = "qorax_5_7_2_0.bin";
         },
         "'=1+2,\"x\"", "failed", "connection-lost", {"5.7.1.12", "5.7.1.12", "did not take"}, true},
    };
    QStringList logs;
    for (qsizetype i = 0; i < std::ssize(rows); ++i) {
        const auto& r = rows[i];
        SCOPED_TRACE(r.name);
        // The one before is gone once the station waits again.
        if (i > 0) {
            sim->powerOff();
            ASSERT_TRUE(waitUntil([&] { return said("waiting for a terminal at ")() == i + 1; }, 10000));
        }
        sim.terminal().flash().seedDemo(r.runs);
        sim->updateModel([&](qsim::Model& m) { m.asn = r.asn; });
        sim->clearFaults();
        if (r.fault)
            sim->updateFaults(r.fault);
        sim->clearRecords();
        sim->powerOn();
        ASSERT_TRUE(waitUntil([&] { return readFile(report).count('\n') == 4 + i; }, 30000)) << out.toStdString();
        const QList<quint32> codes = sim.zingCodes();
        EXPECT_EQ(!sim.ftpCommands().isEmpty() || codes.count(4) + codes.count(0x92) < codes.size(), r.changed);
        // Left connected, it is asked for its version only.
        if (i + 1 < std::ssize(rows)) {
            sim->clearRecords();
            ASSERT_TRUE(waitUntil([&] { return sim.zingCodes().count(4) >= 4; }, 10000));
            EXPECT_EQ(sim.ftpCommands(), QStringList{});
            EXPECT_EQ(sim.zingCodes().count(4), sim.zingCodes().size());
        }
        const QStringList lines = QString::fromUtf8(readFile(report)).split('\n');
        const QStringList header = csvCells(lines.value(0));
        const QStringList cells = csvCells(lines.value(3 + i));
        const auto cell = [&](const char* name) { return cells.value(header.indexOf(name)); };
        EXPECT_TRUE(cell("serial").startsWith(r.serial)) << cell("serial").toStdString();
        EXPECT_EQ(std::tuple(cell("outcome"), cell("code"), cell("address")), std::tuple(r.outcome, r.code, "127.0.0.1"));
        EXPECT_EQ((QStringList{cell("software before"), cell("software after"), cell("software")}), r.software);
        EXPECT_EQ(cell("antenna"), "not asked");
        logs << cell("log");
    }
    const CliRun run = finished(station, 10000);
    const QStringList lines = QString::fromUtf8(out + run.lines.join('\n').toUtf8()).split('\n');
    EXPECT_EQ(run.exitCode, 1) << run.all().toStdString();
    EXPECT_TRUE(lines.contains("station: 3 terminals: 1 upgraded, 1 already current, 1 failed; report: " + report))
        << run.all().toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("^done: disconnect this terminal")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("^failed: terminal =1\\+2,\"x\".*connect it again")).size(), 1);
    EXPECT_FALSE(lines.join('\n').contains('\x1b'));
    QStringList results;
    for (const QString& l : lines.filter(QRegularExpression("^\\{\"")))
        results << QJsonDocument::fromJson(l.toUtf8()).object()["result"].toString();
    EXPECT_EQ(results, (QStringList{"upgraded", "already current", "failed", ""}));
    // A log file each; the report only added to, never a raw control byte in it.
    EXPECT_EQ(QSet<QString>(logs.begin(), logs.end()).size(), 3);
    for (const QString& l : logs)
        EXPECT_TRUE(QFile::exists(l)) << l.toStdString();
    const QByteArray written = readFile(report);
    EXPECT_TRUE(written.startsWith(earlier + "\n"));
    EXPECT_FALSE(written.contains('\x1b') || written.contains('\r'));
    EXPECT_EQ(written.count("time,serial,"), 1);

    // A folder without a package is refused at once, not with the first terminal.
    QFile::remove(home.file("qorax_5_7_2_0.bin"));
    const CliRun none = runCli({"--station", "sw", "--json"}, {}, 10000);
    EXPECT_EQ(std::tuple(none.exitCode, none.json()["code"].toString()), std::tuple(3, QString("no-package")));
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
