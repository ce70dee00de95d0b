// Stop at every step: one good software upgrade is recorded on the terminal's
// side, then run again once per recorded item with the line to the terminal
// cut right there. Whatever the step, the terminal must come back with a
// whole executable, the backup folder must hold only whole copies, and the
// upgrader must end with something said to the user and a complete log.
// The same for installing or restoring the version the terminal runs, whose
// executable the upload overwrites in place: cut inside that upload, the
// terminal finds a short executable, boots its Boot ROM, and a second run
// from there completes. And for the antenna upgrade: whatever the cut, the
// terminal's software is untouched. (The PIC upgrade has a suite of its own.)
#include "ReliabilitySupport.h"

#include <iostream>

namespace {

using namespace reliability;

// One item the terminal received during the good upgrade.
struct Operation {
    int index = 0;  // 1 for the first item after Upgrade was pressed
    QString text;   // "ZING 0x32", "FTP RETR image.txt"
    bool transfer = false;
    qint64 dataBytes = 0;  // bytes of its transfer
};

QString terminalPath(const QString& argument)
{
    return argument.startsWith(QLatin1Char('/')) ? argument : QStringLiteral("/tffs0/") + argument;
}

// What is run: an upgrade to a new version, the running version installed
// again, or the running version restored from Backup.
struct Variant {
    std::string name;
    enum Kind { Upgrade, Reinstall, Restore, Antenna } kind;
    const char* target;  // the version the terminal runs after it
    QStringList road;    // the items the terminal must receive, in this order
};

const QString kSameExecutable = QStringLiteral("FTP STOR /tffs0/bin/qorax_5_7_1_12.bin");

const Variant kVariants[] = {
    {"upgrade", Variant::Upgrade, "5.7.2.0",
     {"ZING 0x32", "ZING 0x33", "FTP RETR image.txt", "FTP CWD /tffs0/bin", "FTP NLST",
      "FTP RETR /tffs0/bin/qorax_5_7_1_12.bin", "FTP DELE qorax.bin", "FTP STOR /tffs0/bin/qorax_5_7_2_0.bin",
      "FTP QUIT", "FTP STOR image.txt", "ZING 0xd", "ZING 0x4", "ZING 0x92"}},
    {"reinstall", Variant::Reinstall, "5.7.1.12",
     {"ZING 0x32", "ZING 0x33", "FTP RETR image.txt", "FTP NLST", "FTP RETR /tffs0/bin/qorax_5_7_1_12.bin",
      "FTP DELE qorax.bin", kSameExecutable, "FTP QUIT", "FTP STOR image.txt", "ZING 0xd", "ZING 0x4"}},
    {"restore", Variant::Restore, "5.7.1.12",
     {kSameExecutable, "FTP QUIT", "FTP STOR image.txt", "ZING 0xd", "ZING 0x4", "ZING 0x92"}},
    {"antenna", Variant::Antenna, "5.7.1.12",
     {"FTP STOR atb.sxm", "FTP STOR hpa.sxm", "FTP QUIT", "ZING 0x90", "ZING 0x4", "ZING 0x92"}},
};

void prepare(Bench& b, const Variant& v)
{
    if (v.kind == Variant::Reinstall)
        b.reinstallRunningVersion();
    else if (v.kind == Variant::Restore)
        b.backUpRunningVersion();
    else if (v.kind == Variant::Antenna) {
        b.putOwnFiles({QStringLiteral("ATB_02409_15.sxm"), QStringLiteral("HPA_2407_13.sxm")});
        b.sim->updateModel([](qsim::Model& m) {
            m.atbAfterUpgrade = QStringLiteral("1.5");
            m.hpaAfterUpgrade = QStringLiteral("1.3");
        });
    }
}

void start(Bench& b, const Variant& v)
{
    if (v.kind == Variant::Restore)
        b.pressRestore();
    else if (v.kind == Variant::Antenna)
        b.pressMenu(b.w().cmdAntUpgradeMenu);
    else
        b.upgradeSoftware();
}

// Runs one good run and returns what the terminal received from the press of
// Upgrade (or Restore) on, with the size of every transfer.
QList<Operation> recordGoodRun(const Variant& v)
{
    Bench b;
    prepare(b, v);
    if (!b.startUpgrader())
        return {};
    const qsim::Flash& flash = b.sim.terminal().flash();
    qint64 listingBytes = 0;
    for (const QString& name : QDir(flash.root() + QStringLiteral("/tffs0/bin")).entryList(QDir::Files))
        listingBytes += name.size() + 2;
    const quint64 base = b.lastSeq();
    const int resets = b.sim->resetCount();
    start(b, v);
    // Every run ends with the terminal restarted and read again.
    const bool done = waitUntil(
        [&] {
            return b.sim->resetCount() > resets && b.sim->runningVersion() == v.target &&
                   b.w().statusText().endsWith("Versions read back: every item took.") && settled(b.w()) &&
                   b.w().mousePointer() == 0 && b.w().currUpgradeState == UPG_STATE_IDLE;
        },
        15000);
    if (!done) {
        ADD_FAILURE() << "the good run did not complete: " << b.w().statusText().toStdString();
        return {};
    }
    QList<Operation> ops;
    for (const qsim::Record& r : b.sim->records()) {
        if (r.seq <= base)
            continue;
        Operation op;
        op.index = int(r.seq - base);
        op.text = describe(r);
        if (r.command == QLatin1String("RETR")) {
            op.transfer = true;
            const QString path = terminalPath(r.argument);
            op.dataBytes = path == QLatin1String("/tffs0/image.txt") ? QByteArray("/bin/qorax_5_7_1_12.bin").size()
                                                                     : b.oldExecutable.size();
        } else if (r.command == QLatin1String("STOR")) {
            op.transfer = true;
            op.dataBytes = flash.read(terminalPath(r.argument)).value_or(QByteArray()).size();
        } else if (r.command == QLatin1String("NLST")) {
            op.transfer = true;
            op.dataBytes = listingBytes;
        }
        ops << op;
    }
    // The whole road must be there, or the cuts below would prove little.
    QStringList texts;
    for (const Operation& op : ops)
        texts << op.text;
    qsizetype at = -1;
    for (const QString& step : v.road) {
        const qsizetype next = texts.indexOf(step, at + 1);
        if (next < 0) {
            ADD_FAILURE() << "the good run lacks " << step.toStdString() << ": " << texts.join(" | ").toStdString();
            return {};
        }
        at = next;
    }
    return ops;
}

struct CutCase {
    const Variant* variant = nullptr;
    Operation op;
    CutKind kind = CutKind::PowerOff;
    qint64 afterBytes = -1;  // inside the transfer, after these bytes

    std::string name() const
    {
        QString n = QString::fromStdString(variant->name) + QStringLiteral(": ") + QLatin1String(cutName(kind)) +
                    QStringLiteral(" at ") + QString::number(op.index) +
                    QLatin1Char(' ') + op.text;
        if (afterBytes >= 0)
            n += QStringLiteral(" after %1 of %2 bytes").arg(afterBytes).arg(op.dataBytes);
        return n.toStdString();
    }
};

// Power-off and reset at every item. A reboot differs from a power-off only
// where the upgrader acts on what it finds after it: not inside the log-in,
// type, passive-mode and folder commands of one FTP operation.
QList<CutCase> casesFor(const Variant& v, const Operation& op)
{
    static const QRegularExpression setUp(QStringLiteral("^FTP (USER|PASS|TYPE|PASV|CWD)\\b"));
    QList<CutCase> out;
    for (CutKind k : {CutKind::PowerOff, CutKind::Reboot, CutKind::ResetLinks}) {
        if (k == CutKind::Reboot && setUp.match(op.text).hasMatch())
            continue;
        out << CutCase{&v, op, k, -1};
        if (op.transfer)
            out << CutCase{&v, op, k, op.dataBytes / 2};
    }
    return out;
}

// One run with the line cut at c; returns a line for the figures.
QString runCut(const CutCase& c)
{
    const Variant& v = *c.variant;
    Bench b;
    prepare(b, v);
    EXPECT_TRUE(b.startUpgrader());
    if (::testing::Test::HasFatalFailure() || !b.u)
        return {};
    const quint64 atSeq = b.lastSeq() + quint64(c.op.index);
    b.armCut(c.kind, atSeq, c.afterBytes);

    // The upgrader ends its operation within its own time-outs.
    HangGuard guard(b.w(), kRunLimitMs);
    start(b, v);
    if (!waitUntil([&] { return b.sim->status().cuts == 1 || guard.hung(); }, kRunLimitMs) || guard.hung()) {
        ADD_FAILURE() << "the run never reached the item: " << b.w().statusText().toStdString();
        return {};
    }
    EXPECT_EQ(b.itemAt(atSeq), c.op.text) << "the run took another road than the good one";
    if (!guard.waitSettled())
        return {};
    const qint64 tookMs = guard.elapsed();

    // It tells the user: a box, or the status line.
    const QString outcome = QStringLiteral("ends %1 ms after the press, ").arg(tookMs) +
                            expectTold(b, v.kind == Variant::Restore ? 0 : 1);
    b.u.reset();  // the user closes what is left
    expectCompleteLogs(b.home);

    // The terminal after a power cycle.
    powerCycle(b);
    QString runs = expectWholeExecutableRuns(b);
    if (runs == QLatin1String("Boot ROM")) {
        // Only a cut inside the descriptor's own put may leave no executable
        // named, or one inside the upload that overwrites the running one.
        EXPECT_TRUE(c.op.text == QLatin1String("FTP STOR image.txt") ||
                    (c.op.text == kSameExecutable && v.kind != Variant::Upgrade))
            << "Boot ROM after a cut at " << c.op.text.toStdString();
        EXPECT_TRUE(b.startUpgrader(kVersionDone));
        if (!b.u)
            return {};
        EXPECT_TRUE(b.w().isBootRomMode);
        start(b, v);
        EXPECT_TRUE(waitUntil(
            [&] {
                return b.sim->runningVersion() == v.target && settled(b.w()) && b.w().mousePointer() == 0 &&
                       b.w().currUpgradeState == UPG_STATE_IDLE;
            },
            kRunLimitMs))
            << "the second run from the Boot ROM did not complete: " << b.w().statusText().toStdString();
        b.u.reset();
        expectCompleteLogs(b.home);
        powerCycle(b);
        runs += QStringLiteral(", then ") + expectWholeExecutableRuns(b) + QStringLiteral(" after a second run");
    }
    expectOnlyWholeFiles(b);
    return outcome + QStringLiteral("; runs ") + runs;
}

constexpr int kShards = 8;

class ReliabilitySteps : public ::testing::TestWithParam<std::tuple<int, int>> {};

// Every recorded item whose position falls to this shard, cut at the item
// and, for transfers, halfway through the data; by power-off, reboot and reset.
TEST_P(ReliabilitySteps, CutAtEveryRecordedItem)
{
    const Variant& v = kVariants[std::get<0>(GetParam())];
    const int shard = std::get<1>(GetParam());
    const QList<Operation> ops = recordGoodRun(v);
    ASSERT_FALSE(ops.isEmpty());
    int runs = 0;
    for (const Operation& op : ops) {
        if ((op.index - 1) % kShards != shard)
            continue;
        for (const CutCase& c : casesFor(v, op)) {
            SCOPED_TRACE(c.name());
            const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
            const int failuresBefore = result->total_part_count();
            const QString outcome = runCut(c);
            ++runs;
            std::cout << "[ cut ] " << c.name() << " | " << outcome.toStdString()
                      << (result->total_part_count() > failuresBefore ? " | FAILED" : " | survived") << "\n";
        }
    }
    std::cout << "[ cut ] " << v.name << " shard " << shard << ": " << runs << " cuts of " << ops.size()
              << " recorded items\n";
    EXPECT_GT(runs, 0);
}

INSTANTIATE_TEST_SUITE_P(Shard, ReliabilitySteps,
                         ::testing::Combine(::testing::Range(0, int(std::size(kVariants))), ::testing::Range(0, kShards)),
                         [](const auto& info) {
                             return kVariants[std::get<0>(info.param)].name + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
