// Stop at every step: one good software upgrade is recorded on the terminal's
// side, then run again once per recorded item with the line to the terminal
// cut right there. Whatever the step, the terminal must come back with a
// whole executable, the backup folder must hold only whole copies, and the
// upgrader must end with something said to the user and a complete log.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "platform/InetFtp.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using Cut = qsim::Faults::Cut;

const QString kReleaseInfoDone = QStringLiteral("Operation Successful.  Release Info retrieved!");
const QString kOldVersion = QStringLiteral("5_7_1_12");
const QString kNewVersion = QStringLiteral("5_7_2_0");
constexpr double kScale = 0.01;

int scaled(int terminalMs)
{
    return int(terminalMs * kScale);
}

// The longest chain of the upgrader's own waits after a cut: the 12 s
// ignite, the FTP watchdog and client time-out, the descriptor put, the
// reset waits with all their retries, the probe. Past this it hangs.
const int kSettleLimitMs = scaled(12000 + 65000 + 60000 + 60000 + 5000 + 7 * (40000 + 5000) + 2000) + 2000;
// From the press of Upgrade: the good road's own waits (12 s, 2 s, 5 s, 40 s) first.
const int kRunLimitMs = scaled(12000 + 2000 + 5000 + 40000) + kSettleLimitMs;

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One item the terminal received during the good upgrade.
struct Operation {
    int index = 0;  // 1 for the first item after Upgrade was pressed
    qsim::Service service = qsim::Service::Zing;
    QString text;   // "ZING 0x32", "FTP RETR image.txt"
    bool transfer = false;
    qint64 dataBytes = 0;  // bytes of its transfer
    int ftpConnection = 0;
};

QString describe(const qsim::Record& r)
{
    if (r.service == qsim::Service::Zing)
        return QStringLiteral("ZING 0x") + QString::number(r.zingCode, 16);
    if (r.service == qsim::Service::Ftp)
        return QStringLiteral("FTP ") + (r.argument.isEmpty() ? r.command : r.command + QLatin1Char(' ') + r.argument);
    return QStringLiteral("TELNET ") + r.line;
}

// The terminal before the upgrade: 5.7.1.12 running, two older executables.
struct Bench {
    Bench()
    {
        sim->updateModel([](qsim::Model& m) { m.restartMs = 5000; });
        sim.terminal().flash().putExecutable("5_7_1", QByteArray(3000, 'o'));
        sim.terminal().flash().write("/tffs0/bin/qorax.bin", QByteArray(2000, 'd'));
        oldExecutable = *sim.terminal().flash().read("/tffs0/bin/qorax_5_7_1_12.bin");
        packageName = home.writePackage(kNewVersion, 2, 200 * 1024);
        package = readFile(home.file(packageName));
    }

    bool startUpgrader(const QString& settled = kReleaseInfoDone)
    {
        u = std::make_unique<Upgrader>();
        if (!u->load())
            return false;
        const bool ok = waitUntil([&] { return w().statusText() == settled && w().mousePointer() == 0; }, 8000);
        u->dialogs.clear();
        return ok;
    }
    void pressUpgrade()
    {
        w().chkBinUpg->setChecked(true);
        u->dialogs.queueAnswer(MsgResult::Yes);
        w().cmdUpgrade->click();
    }
    frmMain& w() { return u->w(); }
    quint64 lastSeq()
    {
        const QList<qsim::Record> all = sim->records();
        return all.isEmpty() ? 0 : all.last().seq;
    }

    SimHarness sim;
    TestHome home;
    std::unique_ptr<Upgrader> u;
    QByteArray oldExecutable;
    QString packageName;
    QByteArray package;
};

// Nothing of the upgrader runs any more: no timer, no transfer, no connection
// being made. From here on only the user could make something happen.
bool settled(frmMain& w)
{
    if (w.isUnloaded())
        return true;
    if (w.inetFTP->stillExecuting())
        return false;
    if (w.sckZING->state() == TcpClient::sckConnecting || w.sckTest->state() == TcpClient::sckConnecting)
        return false;
    for (Timer* t : w.allTimers()) {
        if (t->enabled())
            return false;
    }
    return true;
}

QString runningTimers(frmMain& w)
{
    QStringList on;
    for (Timer* t : w.allTimers()) {
        if (t->enabled())
            on << t->name();
    }
    return on.join(QLatin1Char(' ')) + (w.inetFTP->stillExecuting() ? QStringLiteral(" (FTP busy)") : QString());
}

QString terminalPath(const QString& argument)
{
    return argument.startsWith(QLatin1Char('/')) ? argument : QStringLiteral("/tffs0/") + argument;
}

// Runs one good upgrade and returns what the terminal received from the
// press of Upgrade on, with the size of every transfer.
QList<Operation> recordGoodUpgrade()
{
    Bench b;
    if (!b.startUpgrader()) {
        ADD_FAILURE() << "the upgrader did not start";
        return {};
    }
    const qsim::Flash& flash = b.sim.terminal().flash();
    QMap<QString, qint64> sizeBefore;
    qint64 listingBytes = 0;
    for (const QString& name : QDir(flash.root() + QStringLiteral("/tffs0/bin")).entryList(QDir::Files))
        listingBytes += name.size() + 2;
    const quint64 base = b.lastSeq();
    b.pressUpgrade();
    const bool done = waitUntil(
        [&] {
            return b.sim->runningVersion() == "5.7.2.0" && b.w().statusText() == kReleaseInfoDone && settled(b.w()) &&
                   b.w().mousePointer() == 0 && b.w().currUpgradeState == UPG_STATE_IDLE;
        },
        15000);
    if (!done) {
        ADD_FAILURE() << "the good upgrade did not complete: " << b.w().statusText().toStdString();
        return {};
    }
    QList<Operation> ops;
    for (const qsim::Record& r : b.sim->records()) {
        if (r.seq <= base)
            continue;
        Operation op;
        op.index = int(r.seq - base);
        op.service = r.service;
        op.text = describe(r);
        op.ftpConnection = r.service == qsim::Service::Ftp ? r.connection : 0;
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
    const QStringList road = {"ZING 0x32", "ZING 0x33", "FTP RETR image.txt", "FTP CWD /tffs0/bin", "FTP NLST",
                              "FTP DELE qorax.bin", "FTP RETR /tffs0/bin/qorax_5_7_1_12.bin",
                              "FTP STOR /tffs0/bin/qorax_5_7_2_0.bin", "FTP QUIT", "FTP STOR image.txt", "ZING 0xd",
                              "ZING 0x4", "ZING 0x92"};
    qsizetype at = -1;
    for (const QString& step : road) {
        const qsizetype next = texts.indexOf(step, at + 1);
        if (next < 0) {
            ADD_FAILURE() << "the good upgrade lacks " << step.toStdString() << ": " << texts.join(" | ").toStdString();
            return {};
        }
        at = next;
    }
    return ops;
}

// How the line is cut: the terminal loses power and stays off, it loses
// power and comes straight back (a reboot), or every connection is reset.
enum class CutKind { PowerOff, Reboot, ResetLinks };

struct CutCase {
    Operation op;
    CutKind kind = CutKind::PowerOff;
    qint64 afterBytes = -1;  // inside the transfer, after these bytes

    std::string name() const
    {
        static const char* const kNames[] = {"power off at ", "reboot at ", "links reset at "};
        QString n = QLatin1String(kNames[int(kind)]) + QString::number(op.index) + QLatin1Char(' ') + op.text;
        if (afterBytes >= 0)
            n += QStringLiteral(" after %1 of %2 bytes").arg(afterBytes).arg(op.dataBytes);
        return n.toStdString();
    }
};

QList<CutCase> casesFor(const Operation& op)
{
    QList<CutCase> out;
    for (CutKind k : {CutKind::PowerOff, CutKind::Reboot, CutKind::ResetLinks}) {
        out << CutCase{op, k, -1};
        if (op.transfer)
            out << CutCase{op, k, op.dataBytes / 2};
    }
    return out;
}

void expectCompleteLogs(const TestHome& home)
{
    const QStringList files = home.logFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString text = QString::fromLatin1(readFile(home.file(QStringLiteral("logs/") + name)));
        const int headers = int(text.count(QLatin1String("QORA Software Upgrader logging initialized: ")));
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^\\*{20,}\r\nQORA Software Upgrader logging initialized: "))));
        EXPECT_GE(headers, 1);
        // Every run that opened the file closed it, and nothing came after.
        EXPECT_EQ(int(text.count(QLatin1String("\r\nClose logging.  ["))), headers);
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Close logging\\.  \\[[^\r\n]*\\] \r\n\\*{20,}\r\n$"))));
    }
}

// The Backup folder and the home folder: whole copies only, no partial or
// temporary file left anywhere.
void expectOnlyWholeFiles(const Bench& b)
{
    const QString home = b.home.path();
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(home.size());
        if (rel.startsWith(QLatin1String("logs/")) || rel == QLatin1String("image.txt"))
            continue;
        if (rel == b.packageName) {
            EXPECT_EQ(readFile(path), b.package) << "the package changed";
        } else if (rel == QLatin1String("Backup/qorax_5_7_1_12.bin")) {
            EXPECT_EQ(readFile(path), b.oldExecutable) << "the backup is not the executable the terminal had";
        } else {
            ADD_FAILURE() << "left behind: " << rel.toStdString() << " (" << QFileInfo(path).size() << " bytes)";
        }
    }
}

// The terminal as it boots now: a whole old or new executable. Returns the
// dotted version, or "Boot ROM".
QString expectWholeExecutableBoots(Bench& b)
{
    const qsim::Status st = b.sim->status();
    if (st.mode == qsim::Mode::BootRom)
        return QStringLiteral("Boot ROM");
    EXPECT_EQ(st.mode, qsim::Mode::Application);
    const QString v = QString(st.version).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QByteArray bytes = b.sim.terminal().flash().read(QStringLiteral("/tffs0/bin/qorax_") + v + QStringLiteral(".bin")).value_or("<missing>");
    if (v == kOldVersion)
        EXPECT_EQ(bytes, b.oldExecutable) << "the old executable is not whole";
    else if (v == kNewVersion)
        EXPECT_EQ(bytes, b.package) << "the new executable is not whole";
    else
        ADD_FAILURE() << "boots " << st.version.toStdString();
    return st.version;
}

void powerCycle(Bench& b)
{
    if (b.sim->status().mode != qsim::Mode::Off)
        b.sim->powerOff();
    b.sim->powerOn();
    ASSERT_TRUE(b.sim->waitUntilUp(3000));
}

// One upgrade with the line cut at c; returns a line for the figures.
QString runCut(const CutCase& c)
{
    Bench b;
    EXPECT_TRUE(b.startUpgrader());
    if (::testing::Test::HasFatalFailure() || !b.u)
        return {};
    const quint64 atSeq = b.lastSeq() + quint64(c.op.index);
    if (c.kind == CutKind::Reboot)
        b.sim->updateModel([](qsim::Model& m) { m.autoPowerOnMs = 0; });
    b.sim->updateFaults([&](qsim::Faults& f) {
        f.cut.action = c.kind == CutKind::ResetLinks ? Cut::Action::ResetLinks : Cut::Action::PowerOff;
        f.cut.atSeq = atSeq;
        f.cut.afterBytes = c.afterBytes;
    });
    // The upgrader ends its operation within its own time-outs. The guard
    // also fires inside the upgrader's own nested waits, and ends them by
    // closing the window, as a user would.
    QElapsedTimer clock;
    clock.start();
    bool hung = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        hung = true;
        ADD_FAILURE() << "still busy " << kRunLimitMs << " ms after Upgrade: " << runningTimers(b.w()).toStdString();
        if (!b.w().isUnloaded())
            b.w().closeMainWindow();
    });
    guard.start(kRunLimitMs);
    b.pressUpgrade();
    if (!waitUntil([&] { return b.sim->status().cuts == 1 || hung; }, kRunLimitMs) || hung) {
        ADD_FAILURE() << "the upgrade never reached the item: " << b.w().statusText().toStdString();
        return {};
    }
    for (const qsim::Record& r : b.sim->records()) {
        if (r.seq == atSeq)
            EXPECT_EQ(describe(r), c.op.text) << "the upgrade took another road than the good one";
    }
    waitUntil([&] { return settled(b.w()) || hung; }, kRunLimitMs);
    serveEventsFor(20);
    guard.stop();
    const qint64 tookMs = clock.elapsed();
    if (hung || !settled(b.w()))
        return {};
    // ...and says so: a box, or the status line.
    const bool ended = b.w().isUnloaded();
    const QList<MsgRecord> told = b.u->dialogs.boxes().mid(1);
    if (ended)
        EXPECT_FALSE(told.isEmpty()) << "the program ended without a word";
    else
        EXPECT_TRUE(!told.isEmpty() || !b.w().statusText().isEmpty()) << "nothing said";
    const bool busyLeft = !ended && b.w().mousePointer() != 0;
    EXPECT_FALSE(busyLeft) << "the busy pointer stays: " << b.w().statusText().toStdString();
    QString outcome = QStringLiteral("ends %1 ms after Upgrade, ").arg(tookMs) +
                      (ended ? QStringLiteral("program ended") : QStringLiteral("idle, \"") + b.w().statusText() + QLatin1Char('"'));
    if (!told.isEmpty())
        outcome += QStringLiteral(", box \"") + told.last().text.left(40).replace(QLatin1String("\r\n"), QLatin1String(" ")) +
                   QLatin1Char('"');
    b.u.reset();  // the user closes what is left
    expectCompleteLogs(b.home);

    // The terminal after a power cycle.
    b.sim->updateModel([](qsim::Model& m) { m.autoPowerOnMs = -1; });
    powerCycle(b);
    QString boots = expectWholeExecutableBoots(b);
    if (boots == QLatin1String("Boot ROM")) {
        // Only a cut inside the descriptor's own put may leave no executable named.
        EXPECT_EQ(c.op.text, QStringLiteral("FTP STOR image.txt"));
        b.sim->clearFaults();
        EXPECT_TRUE(b.startUpgrader(QStringLiteral("Operation Successful.  Software version retrieved!")));
        if (!b.u)
            return {};
        EXPECT_TRUE(b.w().isBootRomMode);
        b.pressUpgrade();
        EXPECT_TRUE(waitUntil(
            [&] {
                return b.sim->runningVersion() == "5.7.2.0" && settled(b.w()) && b.w().mousePointer() == 0 &&
                       b.w().currUpgradeState == UPG_STATE_IDLE;
            },
            15000))
            << "the second upgrade from the Boot ROM did not complete: " << b.w().statusText().toStdString();
        b.u.reset();
        expectCompleteLogs(b.home);
        powerCycle(b);
        boots += QStringLiteral(", then ") + expectWholeExecutableBoots(b) + QStringLiteral(" after a second run");
    }
    expectOnlyWholeFiles(b);
    return outcome + QStringLiteral("; boots ") + boots;
}

constexpr int kShards = 8;

class ReliabilitySteps : public ::testing::TestWithParam<int> {};

// Every recorded item whose position falls to this shard, cut at the item
// and, for transfers, halfway through the data; by power-off, reboot and reset.
TEST_P(ReliabilitySteps, CutAtEveryRecordedItem)
{
    const QList<Operation> ops = recordGoodUpgrade();
    ASSERT_FALSE(ops.isEmpty());
    int runs = 0;
    for (const Operation& op : ops) {
        if ((op.index - 1) % kShards != GetParam())
            continue;
        for (const CutCase& c : casesFor(op)) {
            SCOPED_TRACE(c.name());
            const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
            const int failuresBefore = result->total_part_count();
            const QString outcome = runCut(c);
            ++runs;
            std::cout << "[ cut ] " << c.name() << " | " << outcome.toStdString()
                      << (result->total_part_count() > failuresBefore ? " | FAILED" : " | survived") << "\n";
        }
    }
    std::cout << "[ cut ] shard " << GetParam() << ": " << runs << " cuts of " << ops.size() << " recorded items\n";
    EXPECT_GT(runs, 0);
}

INSTANTIATE_TEST_SUITE_P(Shard, ReliabilitySteps, ::testing::Range(0, kShards));

}  // namespace
