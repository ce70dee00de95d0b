// Stop at every step of the PIC upgrade, the one operation that swaps the
// terminal's descriptor by hand over a shell. One good run is recorded on the
// terminal's side, then run again once per recorded item with the upgrader
// killed there, the terminal's power cut there, or its shell closed or gone
// silent there. Whatever the step:
// - image.txt or uimage.txt still names the executable;
// - after a power cycle and at most one more run of the PIC upgrade (the
//   front end after a kill or a power cut; the window's menu entry, as its
//   box advises, after a shell that failed), the terminal starts the software
//   it ran before and holds no uimage.txt; after a kill, a retry at once,
//   with no power cycle before it, does the same.
#include "ReliabilitySupport.h"

#include "support/CliProcess.h"

#include <QProcess>

#include <iostream>

namespace {

using namespace reliability;

const QString kRan = QStringLiteral("5.7.1.12");
const QByteArray kExecutable = "/bin/qorax_5_7_1_12.bin";
const QString kPicTook = QStringLiteral("PIC Upgrade Successful.  Software version retrieved!");

// The terminal with a PIC that takes the package's file when it is reflashed.
struct PicBench : Bench {
    PicBench()
    {
        putOwnFiles({QStringLiteral("PIC_3_05.s19")});
        // A Boot ROM of the old style reports no compatibility level: the
        // PIC item is offered only because the flash shows the interrupted upgrade.
        sim->updateModel([](qsim::Model& m) {
            m.picAfterReflash = QStringLiteral("3.05");
            m.bootRomStyle = qsim::BootRomStyle::Old;
        });
    }
    bool named(const char* path) { return flashFile(path).contains(kExecutable); }
};

struct Item {
    quint64 offset = 0;  // from the last record before the run
    QString text;
    bool telnet = false;
    bool transfer = false;
    qint64 dataBytes = 0;
};

enum class Cut { Kill, PowerOff, CloseShell, SilenceShell };
const char* cutName(Cut c)
{
    static const char* const kNames[] = {"kill", "power off", "shell closed", "shell silent"};
    return kNames[int(c)];
}

// What the terminal receives while an upgrader starts (its version and release
// information), before the PIC upgrade's first item.
quint64 startUpItems = 0;

// The good run, from the menu entry on, as the terminal received it.
QList<Item> recordGoodRun()
{
    PicBench b;
    const quint64 before = b.lastSeq();
    if (!b.startUpgrader())
        return {};
    const quint64 base = b.lastSeq();
    startUpItems = base - before;
    b.pressMenu(b.w().cmdPicUpgradeMenu);
    if (!waitUntil([&] { return b.w().statusText() == kUpgradeTook && settled(b.w()) && b.w().mousePointer() == 0; },
                   15000)) {
        ADD_FAILURE() << "the good run did not complete: " << b.w().statusText().toStdString();
        return {};
    }
    QList<Item> items;
    for (const qsim::Record& r : b.sim->records()) {
        if (r.seq <= base)
            continue;
        Item i{r.seq - base, describe(r), r.service == qsim::Service::Telnet};
        if (r.command == QLatin1String("STOR")) {
            i.transfer = true;
            i.dataBytes = b.sim.terminal().flash().read(QStringLiteral("/tffs0/pic.s19")).value_or(QByteArray()).size();
        }
        items << i;
    }
    return items;
}

// Kills and power cuts everywhere but inside one FTP operation's log-in;
// shell faults at the shell's items.
QList<std::pair<Cut, qint64>> cutsAt(const Item& i)
{
    static const QRegularExpression setUp(QStringLiteral("^FTP (USER|PASS|TYPE|PASV|EPSV|CWD|SIZE)\\b"));
    QList<std::pair<Cut, qint64>> out;
    if (i.telnet)
        out << std::pair{Cut::CloseShell, qint64(-1)} << std::pair{Cut::SilenceShell, qint64(-1)};
    if (setUp.match(i.text).hasMatch())
        return out;
    out << std::pair{Cut::Kill, qint64(-1)} << std::pair{Cut::PowerOff, qint64(-1)};
    if (i.transfer)
        out << std::pair{Cut::PowerOff, i.dataBytes / 2};
    return out;
}

// The front end killed once the terminal has received the item. The
// terminal answers late, so the kill lands before the front end has read
// the answer to it.
void killAt(PicBench& b, quint64 atSeq)
{
    b.sim->updateFaults([](qsim::Faults& f) {
        for (qsim::ServiceFault* s : {&f.zing, &f.ftp, &f.telnet})
            *s = {qsim::ServiceMode::Late, 1500};
    });
    QProcess cli;
    startCli(cli, {QStringLiteral("--upgrade"), QStringLiteral("pic")}, Settings::get());
    const bool reached = waitUntil(
        [&] { return b.lastSeq() >= atSeq || cli.state() == QProcess::NotRunning; }, kRunLimitMs);
    EXPECT_TRUE(reached && cli.state() != QProcess::NotRunning)
        << "the front end ended before the item: " << cli.readAllStandardOutput().toStdString();
    cli.kill();
    cli.waitForFinished();
    b.sim->clearFaults();
}

// A cut of the terminal's side, with the window running the PIC upgrade.
void cutInWindow(PicBench& b, Cut cut, quint64 atSeq, qint64 afterBytes)
{
    b.sim->updateModel([](qsim::Model& m) { m.autoPowerOnMs = -1; });
    b.sim->updateFaults([&](qsim::Faults& f) {
        using A = qsim::Faults::Cut::Action;
        f.cut.action = cut == Cut::PowerOff ? A::PowerOff : cut == Cut::CloseShell ? A::CloseShell : A::SilenceShell;
        f.cut.atSeq = atSeq;
        f.cut.afterBytes = afterBytes;
    });
    HangGuard guard(b.w(), kRunLimitMs);
    b.pressMenu(b.w().cmdPicUpgradeMenu);
    EXPECT_TRUE(waitUntil([&] { return b.sim->status().cuts == 1 || guard.hung(); }, kRunLimitMs))
        << "the run never reached the item";
    if (guard.waitSettled())
        expectTold(b, 1);
}

// What the box advised after a shell that failed: the same window, once more.
QString retryInWindow(PicBench& b)
{
    b.sim->clearFaults();
    b.u->dialogs.clear();
    b.pressMenu(b.w().cmdPicUpgradeMenu);
    EXPECT_TRUE(waitUntil([&] { return settled(b.w()) && b.w().mousePointer() == 0; }, kRunLimitMs));
    EXPECT_EQ(b.w().statusText(), kUpgradeTook) << "the retry in the same window";
    return QStringLiteral("retried in the window: \"") + b.w().statusText() + QLatin1Char('"');
}

// The front end run once more: a terminal in its Boot ROM is offered the
// PIC upgrade, which puts it right. After a power cycle a terminal running
// its software needs no retry.
QString retryFromTheFrontEnd(PicBench& b, bool always)
{
    if (!always && b.sim->status().mode != qsim::Mode::BootRom)
        return QStringLiteral("starts ") + b.sim->status().version;
    const QString before = b.sim->status().mode == qsim::Mode::BootRom ? QStringLiteral("Boot ROM") : b.sim->status().version;
    const bool interrupted = b.sim.terminal().flash().exists(QStringLiteral("/tffs0/uimage.txt"));
    QProcess cli;
    startCli(cli, {QStringLiteral("--upgrade"), QStringLiteral("pic")}, Settings::get());
    const CliRun r = finished(cli, kRunLimitMs);
    EXPECT_EQ(r.exitCode, 0) << "the front end's retry from the Boot ROM:\n" << r.all().toStdString();
    // A PIC the first attempt already flashed is current: the retry leaves it.
    const bool flashedBefore = before != QLatin1String("Boot ROM") &&
                               r.lines.contains(QStringLiteral("skipped: PIC: the terminal already runs 3.05 "
                                                               "(--force installs it all the same)"));
    EXPECT_TRUE(r.lines.contains(QStringLiteral("status: ") + kPicTook) || flashedBefore) << r.all().toStdString();
    // A Boot ROM left by an interrupted PIC upgrade is named as such.
    EXPECT_EQ(r.lines.contains(QStringLiteral("status: Boot ROM after an interrupted PIC Upgrade: run the PIC Upgrade "
                                              "again.")),
              interrupted && before == QLatin1String("Boot ROM"))
        << r.all().toStdString();
    return QStringLiteral("%1, retried by the front end (exit %2)").arg(before).arg(r.exitCode);
}

QString runCut(const Item& item, Cut cut, qint64 afterBytes)
{
    PicBench b;
    QString said;
    if (cut == Cut::Kill) {
        killAt(b, b.lastSeq() + startUpItems + item.offset);
    } else {
        if (!b.startUpgrader())
            return {};
        cutInWindow(b, cut, b.lastSeq() + item.offset, afterBytes);
    }
    EXPECT_TRUE(b.named("/tffs0/image.txt") || b.named("/tffs0/uimage.txt"))
        << "nothing names the executable: image.txt \"" << b.flashFile("/tffs0/image.txt").left(40).toStdString()
        << "\", uimage.txt \"" << b.flashFile("/tffs0/uimage.txt").left(40).toStdString() << "\"";
    if (cut == Cut::CloseShell || cut == Cut::SilenceShell)
        said = retryInWindow(b);
    if (b.u) {
        b.u.reset();
        expectCompleteLogs(b.home);
    }
    if (cut == Cut::Kill) {
        // Run again at once, with the terminal as the killed run left it,
        // once what it was doing by itself (a reflash, a restart) is over.
        serveEventsFor(300);
        EXPECT_TRUE(b.sim->waitUntilUp(3000));
        said = retryFromTheFrontEnd(b, true);
    } else {
        powerCycle(b);
        said += (said.isEmpty() ? QString() : QStringLiteral("; ")) + retryFromTheFrontEnd(b, false);
    }
    powerCycle(b);
    EXPECT_EQ(b.sim->status().version, kRan) << "after at most one retry";
    EXPECT_EQ(b.flashFile("/tffs0/image.txt"), kExecutable);
    EXPECT_FALSE(b.sim.terminal().flash().exists(QStringLiteral("/tffs0/uimage.txt")));
    return said;
}

constexpr int kShards = 8;

class ReliabilityPic : public ::testing::TestWithParam<int> {};

TEST_P(ReliabilityPic, CutAtEveryRecordedItemThenRetry)
{
    const QList<Item> items = recordGoodRun();
    ASSERT_FALSE(items.isEmpty());
    int runs = 0;
    for (const Item& item : items) {
        if (int(item.offset - 1) % kShards != GetParam())
            continue;
        for (const auto& [cut, afterBytes] : cutsAt(item)) {
            const std::string name = QStringLiteral("%1 at %2 %3%4")
                                         .arg(QLatin1String(cutName(cut)))
                                         .arg(item.offset)
                                         .arg(item.text, afterBytes >= 0 ? QStringLiteral(" (inside)") : QString())
                                         .toStdString();
            SCOPED_TRACE(name);
            const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
            const int failuresBefore = result->total_part_count();
            const QString outcome = runCut(item, cut, afterBytes);
            ++runs;
            std::cout << "[ cut ] pic: " << name << " | " << outcome.toStdString()
                      << (result->total_part_count() > failuresBefore ? " | FAILED" : " | survived") << "\n";
        }
    }
    EXPECT_GT(runs, 0);
}

INSTANTIATE_TEST_SUITE_P(Shard, ReliabilityPic, ::testing::Range(0, kShards));

}  // namespace
