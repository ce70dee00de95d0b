// The asynchronous FTP client against the simulated terminal's FTP server
// and against a scripted peer for the replies a real server will not give.
#include "ftp/FtpLogic.h"
#include "platform/InetFtp.h"

#include "support/FakeFtpServer.h"
#include "support/SimHarness.h"
#include "support/TableRows.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using ftp::quoted;
using tablerows::PrintTo;

QByteArray binaryContent(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return b;
}

QStringList partFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
}

TEST(InetFtpOperationText, ParsesLikeTheTransferControl)
{
    using K = FtpOperation::Kind;
    const struct { const char* text; K kind; const char* first; const char* second; } good[] = {
        {"GET image.txt \"/home/u/my files/image.txt\"", K::Get, "image.txt", "/home/u/my files/image.txt"},
        {"PUT \"/h/qorax 5.bin\"  /tffs0/bin/qorax_5.bin", K::Put, "/h/qorax 5.bin", "/tffs0/bin/qorax_5.bin"},
        {"CD /tffs0/bin", K::Cd, "/tffs0/bin", ""}, {"LS ", K::Ls, "", ""}, {"delete \"a b.bin\"", K::Delete, "a b.bin", ""},
        {"CLOSE", K::Close, "", ""},
    };
    for (const auto& r : good) {
        const auto op = InetFtp::parseOperation(QString::fromUtf8(r.text));
        ASSERT_TRUE(op.has_value()) << r.text;
        EXPECT_EQ(std::tuple(op->kind, op->first, op->second), std::tuple(r.kind, QString(r.first), QString(r.second)));
    }
    for (const char* bad : {"GET image.txt", "GET a b c", "GET \"a b", "GET \"a\"b c", "GET \"\" c",
                            "Delete x.bin\r\nDELE y.bin", "CLOSE now", "\"CD\" x", "MKDIR x", ""})
        EXPECT_FALSE(InetFtp::parseOperation(QString::fromUtf8(bad)).has_value()) << bad;
}

// Start-up removes what the second function accepts, so it must accept every
// name the first one makes and nothing a user could have named so.
TEST(InetFtpPartialName, OnlyTheDownloadsOwnTemporaryNamesAreRecognised)
{
    for (const auto& [target, tag, made] : {std::tuple{"/h/B/qorax_5_7_1_12.bin", 0xdeadbeefu, "/h/B/qorax_5_7_1_12.bin.deadbeef.part"},
                                            std::tuple{"/h/100%1 off/image.txt", 0x12u, "/h/100%1 off/image.txt.00000012.part"}}) {
        const QString name = InetFtp::partialDownloadName(QString::fromUtf8(target), tag);
        EXPECT_EQ(name, QString::fromUtf8(made));
        EXPECT_TRUE(InetFtp::isPartialDownloadName(name.section('/', -1))) << made;
    }
    for (const char* kept : {"qorax_5_7_1_0.bin.part", "x.DEADBEEF.part", "x.deadbee.part", "x.deadbeef0.part",
                             "x.deadbeeg.part", ".deadbeef.part", "xdeadbeef.part", "x.deadbeef.part.bak",
                             "x.deadbeef.PART", "x.deadbeef.part\n", "x.dead beef.part"})
        EXPECT_FALSE(InetFtp::isPartialDownloadName(QString::fromUtf8(kept))) << kept;
}

// ---- a client and what it reported -----------------------------------------

class InetFtpTest : public ::testing::Test {
protected:
    void SetUp() override { Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, 2, 3, 1.0)); }

    void attach(quint16 port, int timeoutMs = -1)
    {
        ftp.setAddress(QStringLiteral("127.0.0.1"));
        ftp.setPort(port);
        ftp.setTimeoutMs(timeoutMs);
        ftp.onStateChanged = [this](int s) {
            states << s;
            if (s == InetFtp::icResponseCompleted && ftp.stillExecuting())
                executingAtCompletion = true;
        };
        ftp.onTrace = [this](const QString& line) { trace << line; };
        ftp.onGuardLog = [this](const QString& line) { guardLines << line; };
    }

    // Runs one operation to its last notification; returns what it reported.
    QList<int> run(const QString& operation, int limitMs = 8000)
    {
        const qsizetype from = states.size();
        EXPECT_TRUE(ftp.execute(operation)) << operation.toStdString();
        // Never from inside execute().
        EXPECT_EQ(states.size(), from) << operation.toStdString();
        const auto ended = [&] {
            const QList<int> got = states.mid(from);
            return got.contains(InetFtp::icError) || got.contains(InetFtp::icResponseCompleted) || got.contains(InetFtp::icDisconnected);
        };
        EXPECT_TRUE(waitUntil(ended, limitMs)) << operation.toStdString() << " did not end";
        return states.mid(from);
    }

    InetFtp ftp;
    QList<int> states;
    QStringList trace, guardLines;
    bool executingAtCompletion = false;
};

using States = QList<int>;
const States kFirstCommand{1, 2, 3, 4, 5, 6, 7, 8, 12};
const States kNextCommand{5, 6, 7, 8, 12};
const States kClose{9, 10};

// ---- against the simulated terminal's FTP server ---------------------------

class InetFtpSim : public InetFtpTest {
protected:
    // The harness points the settings at the simulator, at its time scale.
    void SetUp() override
    {
        Settings s = Settings::get();
        s.timeScale = 1.0;
        Settings::set(s);
    }
    QByteArray flash(const QString& path) { return sim.terminal().flash().read(path).value_or("<missing>"); }
    int logins() { return int(sim.ftpCommands().count(QStringLiteral("USER qorauser"))); }

    SimHarness sim;
    TestHome home;
};

TEST_F(InetFtpSim, EveryOperationOverOneLoginWithTheTerminalsLayout)
{
    const QByteArray exe = binaryContent(3 * 1024 * 1024 + 17);
    home.writeFile("new pkg/qorax_9_9.bin", exe);
    QDir().mkpath(home.file("Backup"));
    attach(Settings::get().ftpPort);

    EXPECT_EQ(run("PUT " + quoted(home.file("new pkg/qorax_9_9.bin")) + " /tffs0/bin/qorax_9_9.bin"), kFirstCommand);
    EXPECT_EQ(flash("/tffs0/bin/qorax_9_9.bin"), exe);
    EXPECT_EQ(ftp.uploadCheck().outcome, InetFtp::UploadCheck::Matched);

    // Relative names start in the login folder /tffs0.
    EXPECT_EQ(run("GET bin/qorax_9_9.bin " + quoted(home.file("Backup/copy of 9.bin"))), kNextCommand);
    EXPECT_EQ(readFile(home.file("Backup/copy of 9.bin")), exe);
    EXPECT_EQ(run("GET /ram0/syslog.log " + quoted(home.file("Backup/sylog.log"))), kNextCommand);
    EXPECT_EQ(readFile(home.file("Backup/sylog.log")), flash("/ram0/syslog.log"));

    EXPECT_EQ(run("CD /tffs0/bin"), kNextCommand);
    EXPECT_EQ(run("LS "), kNextCommand);
    const QString piece = ftp.getChunk(5);
    EXPECT_EQ(piece.size(), 5);
    QStringList names = (piece + ftp.getChunk(1024)).split(QStringLiteral("\r\n"));
    EXPECT_EQ(names.takeLast(), QString());  // every name ends in CR LF
    names.sort();
    EXPECT_EQ(names, (QStringList{"qorax_5_7_1_12.bin", "qorax_9_9.bin"}));
    EXPECT_TRUE(ftp.getChunk(5).isEmpty());

    // The CD holds: a bare name is deleted in /tffs0/bin.
    EXPECT_EQ(run("Delete qorax_5_7_1_12.bin"), kNextCommand);
    EXPECT_FALSE(sim.terminal().flash().exists("/tffs0/bin/qorax_5_7_1_12.bin"));

    EXPECT_EQ(run("CLOSE"), kClose);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_FALSE(executingAtCompletion);
    EXPECT_EQ(logins(), 1);
    const QStringList cmds = sim.ftpCommands();
    for (const char* cmd : {"TYPE I", "SIZE /tffs0/bin/qorax_9_9.bin", "TYPE A", "QUIT"})
        EXPECT_TRUE(cmds.contains(cmd)) << cmd;
    EXPECT_FALSE(trace.join('\n').contains("skywardly"));
    EXPECT_TRUE(trace.contains("> PASS ****"));
    EXPECT_TRUE(partFiles(home.file("Backup")).isEmpty());
}

// %H in the operation is the home folder; info is the start of responseInfo;
// logins are counted after the failure.
struct RefusalCase { const char *name, *password, *operation; int code; const char* info; int logins; bool sessionKept; };

class InetFtpRefusals : public InetFtpSim, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(InetFtpRefusals, ReportTheFailureNumberAndKeepWhatMustBeKept)
{
    const RefusalCase& c = GetParam();
    home.writeFile("keep.bin", "previous backup");
    attach(Settings::get().ftpPort);
    ftp.setCredentials(QStringLiteral("qorauser"), QString::fromUtf8(c.password));

    const States got = run(QString::fromUtf8(c.operation).replace(QLatin1String("%H"), home.path()));
    EXPECT_EQ(std::tuple(got.count(InetFtp::icError), got.last(), ftp.responseCode()), std::tuple(1, InetFtp::icError, c.code));
    EXPECT_TRUE(ftp.responseInfo().startsWith(QString::fromUtf8(c.info))) << ftp.responseInfo().toStdString();
    // A refusal carries the server's reply code; a local failure none, and its file.
    EXPECT_EQ(ftp.replyCode(), c.code == 12003 ? 550 : 0);
    EXPECT_EQ(ftp.localFailure().path.isEmpty(), c.code != 12950);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_EQ(logins(), c.logins);
    // An existing local file survives any failure, and no partial file is left.
    EXPECT_EQ(readFile(home.file("keep.bin")), QByteArray("previous backup"));
    EXPECT_TRUE(partFiles(home.path()).isEmpty());

    EXPECT_EQ(ftp.connected(), c.sessionKept);
    if (c.sessionKept) {
        EXPECT_EQ(run("CD /tffs0"), kNextCommand);
        EXPECT_EQ(logins(), c.logins);
    }
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpSimulated, InetFtpRefusals,
    ::testing::Values(
        RefusalCase{"missing remote file", "skywardly", "GET /tffs0/bin/none.bin \"%Hkeep.bin\"", 12003, "550 ", 1, true},
        RefusalCase{"missing file to delete", "skywardly", "Delete none.bin", 12003, "550 ", 1, true},
        RefusalCase{"wrong password", "wrong", "CD /tffs0/bin", 12014, "530 ", 1, false},
        // Files of this PC fail with a number of their own, before anything is sent.
        RefusalCase{"missing local file to put", "skywardly", "PUT \"%Hnone.bin\" x.bin", 12950, "Local file cannot be read", 0, false},
        RefusalCase{"local folder missing", "skywardly", "GET image.txt \"%Hno/such/image.txt\"", 12950, "Local file cannot be written", 0, false},
        RefusalCase{"a folder where the download goes", "skywardly", "GET image.txt \"%H\"", 12950, "Local file cannot be written", 0, false}),
    tablerows::RowName());

// Nothing listening, a peer hanging up before its greeting, and an address
// the guard refuses: outside 127/8 as the guard reads it, yet a connection
// let through would reach the trap on this machine, never the network.
TEST_F(InetFtpTest, CannotConnectGives12029AndTheGuardSendsNothing)
{
    QTcpServer rude, trap;
    ASSERT_TRUE(rude.listen(QHostAddress::LocalHost, 0) && trap.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&rude, &QTcpServer::newConnection, [&rude] { rude.nextPendingConnection()->close(); });
    const struct { const char* address; quint16 port; States states; } rows[] = {
        {"127.0.0.1", unusedLoopbackPort(), {1, 2, 3, 11}}, {"127.0.0.1", rude.serverPort(), {1, 2, 3, 4, 11}},
        {"0.0.0.0", trap.serverPort(), {11}}};
    for (const auto& r : rows) {
        attach(r.port);
        ftp.setAddress(QString::fromLatin1(r.address));
        EXPECT_EQ(run("CD /tffs0/bin"), r.states) << r.address;
        EXPECT_EQ(ftp.responseCode(), 12029);
        EXPECT_FALSE(ftp.connected());
    }
    ASSERT_EQ(guardLines.size(), 1);
    EXPECT_TRUE(guardLines[0].contains("0.0.0.0"));
    EXPECT_FALSE(trap.hasPendingConnections());
}

// Parameter: a download (true) or an upload (false).
class InetFtpTransfer : public InetFtpSim, public ::testing::WithParamInterface<bool> {};

TEST_P(InetFtpTransfer, ConnectionsResetMidwayLoseNothing)
{
    const bool get = GetParam();
    sim.terminal().flash().putExecutable("5_7_1", binaryContent(4 << 20));
    sim->updateFaults([](qsim::Faults& f) { f.ftpResetAfterBytes = 1 << 20; });
    home.writeFile("Backup/qorax_5_7_1.bin", "the previous backup");
    home.writeFile("qorax_9_9.bin", binaryContent(4 << 20));
    attach(Settings::get().ftpPort);

    const States got = run(get ? "GET /tffs0/bin/qorax_5_7_1.bin " + quoted(home.file("Backup/qorax_5_7_1.bin"))
                               : "PUT " + quoted(home.file("qorax_9_9.bin")) + " /tffs0/bin/qorax_9_9.bin");
    EXPECT_EQ(got.last(), InetFtp::icError);
    EXPECT_EQ(ftp.responseCode(), 12031);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_EQ(readFile(home.file("Backup/qorax_5_7_1.bin")), QByteArray("the previous backup"));
    EXPECT_TRUE(partFiles(home.file("Backup")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(InetFtpSimulated, InetFtpTransfer, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "download" : "upload"); });

// Every reply comes late, the 226 of the transfer too: the event loop keeps turning.
TEST_F(InetFtpSim, EventLoopKeepsTurningWhileTheServerHoldsBackItsReplies)
{
    sim->updateFaults([](qsim::Faults& f) { f.ftp.mode = qsim::ServiceMode::Late; f.ftp.delayMs = 15000; });
    home.writeFile("qorax_9_9.bin", binaryContent(2 << 20));
    attach(Settings::get().ftpPort);

    QElapsedTimer sinceTick, took;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    took.start();
    sinceTick.start();
    ticker.start(10);
    EXPECT_EQ(run("PUT " + quoted(home.file("qorax_9_9.bin")) + " bin/qorax_9_9.bin"), kFirstCommand);
    ticker.stop();
    EXPECT_GE(took.elapsed(), 1000);
    EXPECT_LT(longestGap, 200);
}

// ---- against the scripted peer --------------------------------------------

TEST_F(InetFtpTest, AServerDroppingAnIdleSessionGives10AndTheNextCommandLogsInAgain)
{
    FakeFtpServer peer;
    attach(peer.port());
    EXPECT_EQ(run("CD /tffs0/bin"), kFirstCommand);
    peer.hangUp();
    ASSERT_TRUE(waitUntil([&] { return states.size() > kFirstCommand.size(); }, 4000));
    EXPECT_EQ(states.mid(kFirstCommand.size()), (States{10}));
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(run("CD /tffs0/bin"), kFirstCommand);
    EXPECT_EQ(peer.received.count("USER qorauser"), 2);
}

// A busy client refuses a second operation instead of queueing it; a QUIT
// left unanswered still closes; after cancel nothing is reported and the
// half-done download leaves the old file as it was.
TEST_F(InetFtpTest, BusyRefusesAWithheldQuitClosesNothingIsReportedAfterCancel)
{
    FakeFtpServer peer;
    peer.script["QUIT"] = {};
    peer.script["RETR"] = {};
    TestHome home;
    home.writeFile("qorax_5_7_1.bin", "previous");
    attach(peer.port(), 300);

    ASSERT_TRUE(ftp.execute("CD /tffs0/bin"));
    EXPECT_FALSE(ftp.execute("CD /tffs0"));
    ASSERT_TRUE(waitUntil([&] { return states.contains(InetFtp::icResponseCompleted); }));
    EXPECT_EQ(peer.received.count("CWD /tffs0"), 0);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(run("CLOSE", 3000), kClose);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(peer.received.last(), "QUIT");

    ftp.setTimeoutMs(5000);
    ASSERT_TRUE(ftp.execute("GET bin/qorax_5_7_1.bin " + quoted(home.file("qorax_5_7_1.bin"))));
    ASSERT_TRUE(waitUntil([&] { return peer.received.last().startsWith("RETR"); }));
    ftp.cancel();
    const qsizetype before = states.size();
    serveEventsFor(300);
    EXPECT_EQ(states.size(), before);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(readFile(home.file("qorax_5_7_1.bin")), QByteArray("previous"));
    EXPECT_TRUE(partFiles(home.path()).isEmpty());
    // A CLOSE cancelled before its notifications are delivered stays silent too.
    ASSERT_TRUE(ftp.execute("CLOSE"));
    ftp.cancel();
    serveEventsFor(100);
    EXPECT_EQ(states.size(), before);
}

struct OddReplyCase { const char* name; QList<QByteArray> cwdReply; int code; const char* info; bool sessionKept; };

class InetFtpOddReplies : public InetFtpTest, public ::testing::WithParamInterface<OddReplyCase> {};

TEST_P(InetFtpOddReplies, AreReadAsAServerMeansThem)
{
    const OddReplyCase& c = GetParam();
    FakeFtpServer peer;
    peer.script["CWD"] = c.cwdReply;
    attach(peer.port(), 400);
    const States got = run("CD /tffs0/bin", 3000);
    ASSERT_FALSE(got.isEmpty());
    EXPECT_EQ(got.last(), c.code == 0 ? InetFtp::icResponseCompleted : InetFtp::icError);
    EXPECT_EQ(ftp.responseCode(), c.code);
    EXPECT_EQ(ftp.responseInfo().toStdString().substr(0, strlen(c.info)), c.info);
    EXPECT_EQ(ftp.connected(), c.sessionKept);
    // Whatever came, the client is ready for the next command.
    peer.script.erase("CWD");
    EXPECT_EQ(run("CD /tffs0").last(), InetFtp::icResponseCompleted);
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpScripted, InetFtpOddReplies,
    ::testing::Values(
        OddReplyCase{"preliminary then final", {"150 working\r\n", "250 done\r\n"}, 0, "250 done", true},
        OddReplyCase{"multi-line refusal", {"550-No such folder\r\n550 sorry\r\n"}, 12003, "550-No such folder\r\n550 sorry", true},
        OddReplyCase{"service closing", {"421 Too many users\r\n"}, 12031, "421 Too many users", false},
        OddReplyCase{"withheld reply", {}, 12002, "No answer from the server", false},
        // Every line moves the inactivity mark: only a bound ends such a reply.
        OddReplyCase{"a reply that never ends", {"250-start\r\n", QByteArray("250-and on\r\n").repeated(1200)}, 12031,
                     "The server's reply runs past", false}),
    tablerows::RowName());

// An empty pasvReply leaves the server's own 227.
struct PassiveCase { const char* name; QList<QByteArray> pasvReply; QByteArray pasvAddress; };

class InetFtpPassive : public InetFtpTest, public ::testing::WithParamInterface<PassiveCase> {};

TEST_P(InetFtpPassive, DataComesFromTheControlPeerOnly)
{
    const PassiveCase& c = GetParam();
    FakeFtpServer peer;
    if (!c.pasvReply.isEmpty())
        peer.script["PASV"] = c.pasvReply;
    peer.pasvAddress = c.pasvAddress;
    peer.payload = "qorax.bin\r\nqorax_5_7_1.bin\r\n";
    attach(peer.port(), 2000);
    EXPECT_EQ(run("LS "), kFirstCommand);
    EXPECT_EQ(ftp.getChunk(1024), "qorax.bin\r\nqorax_5_7_1.bin\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpScripted, InetFtpPassive,
    // Nothing listens on 127.0.0.2: following that reply would fail.
    ::testing::Values(PassiveCase{"227 naming the peer", {}, "127,0,0,1"}, PassiveCase{"227 naming another host", {}, "127,0,0,2"},
                      PassiveCase{"no PASV, EPSV instead", {"502 use EPSV\r\n"}, "127,0,0,1"},
                      PassiveCase{"227 without numbers", {"227 passive\r\n"}, "127,0,0,1"}),
    tablerows::RowName());

// A download past its limit stops there and leaves the old file; the limit
// holds for that one download only.
TEST_F(InetFtpTest, DownloadPastItsLimitStopsAndKeepsTheOldFile)
{
    FakeFtpServer peer;
    peer.payload = QByteArray(100000, 'x');
    TestHome home;
    home.writeFile("image.txt", "previous");
    attach(peer.port(), 2000);
    ftp.setDownloadLimit(4096);
    const QString get = "GET image.txt " + quoted(home.file("image.txt"));
    EXPECT_EQ(run(get).last(), InetFtp::icError);
    EXPECT_EQ(ftp.responseCode(), InetFtp::errTooLarge);
    EXPECT_EQ(readFile(home.file("image.txt")), "previous");
    EXPECT_TRUE(partFiles(home.path()).isEmpty());
    EXPECT_EQ(run(get).last(), InetFtp::icResponseCompleted);
    EXPECT_EQ(readFile(home.file("image.txt")), peer.payload);
}

// After the 226 of a PUT the client asks what the server holds: SIZE, else the
// size column of a LIST line. Another size fails the PUT with the session
// kept; a server that gives no size has the upload accepted.
using Outcome = InetFtp::UploadCheck::Outcome;
// listed and listedName make the LIST line; 0 bytes: LIST is refused.
struct UploadCheckCase { const char* name; QByteArray sizeReply; int listed; const char* listedName; Outcome outcome; qint64 remoteBytes; };

class InetFtpUploadCheck : public InetFtpTest, public ::testing::WithParamInterface<UploadCheckCase> {};

TEST_P(InetFtpUploadCheck, ComparesWhatTheServerHoldsWithWhatWasSent)
{
    const UploadCheckCase& c = GetParam();
    FakeFtpServer peer;
    peer.script["SIZE"] = {c.sizeReply};
    if (c.listed == 0)
        peer.script["LIST"] = {"550 no listing\r\n"};
    peer.payload = "-rwxrwxrwx   1 0        0  " + QByteArray::number(c.listed) + " Jan 01 00:00 " + c.listedName + "\r\n";
    TestHome home;
    const QByteArray exe = binaryContent(5000);
    home.writeFile("qorax_9_9.bin", exe);
    attach(peer.port(), 2000);

    const bool mismatch = c.outcome == Outcome::Mismatch;
    const States got = run("PUT " + quoted(home.file("qorax_9_9.bin")) + " /tffs0/bin/qorax_9_9.bin");
    // The check adds no notification: one completion, or one failure.
    EXPECT_EQ(got, mismatch ? (States{1, 2, 3, 4, 5, 6, 7, 8, 11}) : kFirstCommand);
    EXPECT_EQ(ftp.responseCode(), mismatch ? InetFtp::errUploadIncomplete : 0);
    EXPECT_EQ(peer.stored, exe);
    const InetFtp::UploadCheck& check = ftp.uploadCheck();
    EXPECT_EQ(std::tuple(check.outcome, check.remoteBytes, check.sentBytes), std::tuple(c.outcome, c.remoteBytes, qint64(exe.size())));
    EXPECT_EQ(check.remote, "/tffs0/bin/qorax_9_9.bin");
    EXPECT_EQ(peer.received.count("SIZE /tffs0/bin/qorax_9_9.bin"), 1);
    EXPECT_EQ(peer.received.count("LIST /tffs0/bin/qorax_9_9.bin"), c.sizeReply.startsWith("213") ? 0 : 1);
    // Whatever the verdict, the session goes on without a new login.
    EXPECT_EQ(run("CD /tffs0").last(), InetFtp::icResponseCompleted);
    EXPECT_EQ(peer.received.count("USER qorauser"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpScripted, InetFtpUploadCheck,
    ::testing::Values(
        UploadCheckCase{"SIZE gives the whole file", "213 5000\r\n", 0, "", Outcome::Matched, 5000},
        UploadCheckCase{"SIZE gives less", "213 4096\r\n", 0, "", Outcome::Mismatch, 4096},
        UploadCheckCase{"no SIZE, the LIST line gives the whole file", "502 no SIZE\r\n", 5000, "qorax_9_9.bin", Outcome::Matched, 5000},
        UploadCheckCase{"no SIZE, the LIST line gives less", "550 SIZE not allowed\r\n", 4999, "qorax_9_9.bin", Outcome::Mismatch, 4999},
        UploadCheckCase{"neither SIZE nor LIST", "502 no SIZE\r\n", 0, "", Outcome::Unmeasured, -1},
        UploadCheckCase{"the LIST names another file", "502 no SIZE\r\n", 4999, "qorax.bin", Outcome::Unmeasured, -1}),
    tablerows::RowName());

}  // namespace
