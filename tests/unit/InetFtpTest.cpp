// The asynchronous FTP client against a real FTP server (pyftpdlib) and
// against a scripted peer for the replies a real server will not give.
#include "platform/Files.h"
#include "platform/InetFtp.h"

#include "support/FakeFtpServer.h"
#include "support/PyFtpServer.h"
#include "support/TableRows.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using tablerows::PrintTo;

QByteArray binaryContent(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return b;
}

QString quoted(const QString& path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

QStringList partFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
}

// ---- operation texts -------------------------------------------------------

struct OperationCase {
    const char* text;
    bool understood;
    FtpOperation::Kind kind;
    const char* first;
    const char* second;
};

void PrintTo(const OperationCase& c, std::ostream* os)
{
    *os << c.text;
}

class InetFtpOperationText : public ::testing::TestWithParam<OperationCase> {};

TEST_P(InetFtpOperationText, ParsesLikeTheTransferControl)
{
    const OperationCase& c = GetParam();
    const auto op = InetFtp::parseOperation(QString::fromUtf8(c.text));
    ASSERT_EQ(op.has_value(), c.understood) << c.text;
    if (!op)
        return;
    EXPECT_EQ(op->kind, c.kind) << c.text;
    EXPECT_EQ(op->first, QString::fromUtf8(c.first)) << c.text;
    EXPECT_EQ(op->second, QString::fromUtf8(c.second)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpTexts, InetFtpOperationText,
    ::testing::Values(
        OperationCase{"GET image.txt \"/home/u/my files/image.txt\"", true, FtpOperation::Get, "image.txt", "/home/u/my files/image.txt"},
        OperationCase{"GET \"/tffs0/bin/qorax_5_7_1.bin\" \"/b/qorax_5_7_1.bin\"", true, FtpOperation::Get, "/tffs0/bin/qorax_5_7_1.bin", "/b/qorax_5_7_1.bin"},
        OperationCase{"PUT \"/h/qorax 5.bin\" /tffs0/bin/qorax_5.bin", true, FtpOperation::Put, "/h/qorax 5.bin", "/tffs0/bin/qorax_5.bin"},
        OperationCase{"PUT /h/pic.s19  /tffs0/pic.s19", true, FtpOperation::Put, "/h/pic.s19", "/tffs0/pic.s19"},
        OperationCase{"CD /tffs0/bin", true, FtpOperation::Cd, "/tffs0/bin", ""},
        OperationCase{"LS ", true, FtpOperation::Ls, "", ""},
        OperationCase{"LS", true, FtpOperation::Ls, "", ""},
        OperationCase{"Delete qorax_5_7_1.bin", true, FtpOperation::Delete, "qorax_5_7_1.bin", ""},
        OperationCase{"delete \"a b.bin\"", true, FtpOperation::Delete, "a b.bin", ""},
        OperationCase{"CLOSE", true, FtpOperation::Close, "", ""},
        OperationCase{"GET image.txt", false, FtpOperation::Get, "", ""},
        OperationCase{"GET a b c", false, FtpOperation::Get, "", ""},
        OperationCase{"GET \"a b", false, FtpOperation::Get, "", ""},
        OperationCase{"GET \"a\"b c", false, FtpOperation::Get, "", ""},
        OperationCase{"GET \"\" c", false, FtpOperation::Get, "", ""},
        OperationCase{"Delete x.bin\r\nDELE y.bin", false, FtpOperation::Delete, "", ""},
        OperationCase{"CLOSE now", false, FtpOperation::Close, "", ""},
        OperationCase{"\"CD\" x", false, FtpOperation::Cd, "", ""},
        OperationCase{"MKDIR x", false, FtpOperation::Cd, "", ""},
        OperationCase{"", false, FtpOperation::Cd, "", ""}));

// ---- a client and what it reported -----------------------------------------

class InetFtpTest : public ::testing::Test {
protected:
    void SetUp() override { Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, 2, 3, 1.0)); }

    void attach(quint16 port)
    {
        ftp.setAddress(QStringLiteral("127.0.0.1"));
        ftp.setPort(port);
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
        const bool ended = waitUntil(
            [&] {
                for (qsizetype i = from; i < states.size(); ++i) {
                    const int s = states[i];
                    if (s == InetFtp::icError || s == InetFtp::icResponseCompleted || s == InetFtp::icDisconnected)
                        return true;
                }
                return false;
            },
            limitMs);
        EXPECT_TRUE(ended) << operation.toStdString() << " did not end";
        return states.mid(from);
    }

    InetFtp ftp;
    QList<int> states;
    QStringList trace;
    QStringList guardLines;
    bool executingAtCompletion = false;
};

using States = QList<int>;
const States kFirstCommand{1, 2, 3, 4, 5, 6, 7, 8, 12};
const States kNextCommand{5, 6, 7, 8, 12};
const States kClose{9, 10};

// ---- against pyftpdlib ---------------------------------------------------

TEST_F(InetFtpTest, EveryOperationOverOneLoginWithTheTerminalsLayout)
{
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    server.writeFile("tffs0/bin/qorax_5_7_1.bin", "running executable");
    server.writeFile("ram0/syslog.log", "boot\r\nlink up\r\n");
    TestHome home;
    const QByteArray exe = binaryContent(3 * 1024 * 1024 + 17);
    home.writeFile("new pkg/qorax_9_9.bin", exe);
    QDir().mkpath(home.file("Backup"));
    attach(server.port());

    EXPECT_EQ(run("PUT " + quoted(home.file("new pkg/qorax_9_9.bin")) + " /tffs0/bin/qorax_9_9.bin"), kFirstCommand);
    EXPECT_EQ(server.readFile("tffs0/bin/qorax_9_9.bin"), exe);

    // Relative names start in the login folder /tffs0.
    EXPECT_EQ(run("GET bin/qorax_9_9.bin " + quoted(home.file("Backup/copy of 9.bin"))), kNextCommand);
    EXPECT_EQ(Files::readAt(home.file("Backup/copy of 9.bin"), 0, exe.size() + 1), exe);

    EXPECT_EQ(run("GET /ram0/syslog.log " + quoted(home.file("Backup/sylog.log"))), kNextCommand);
    EXPECT_EQ(Files::readAt(home.file("Backup/sylog.log"), 0, 100), QByteArray("boot\r\nlink up\r\n"));

    EXPECT_EQ(run("CD /tffs0/bin"), kNextCommand);
    EXPECT_EQ(run("LS "), kNextCommand);
    QString listing;
    for (QString piece = ftp.getChunk(5); !piece.isEmpty(); piece = ftp.getChunk(5)) {
        EXPECT_LE(piece.size(), 5);
        listing += piece;
    }
    QStringList names = listing.split(QStringLiteral("\r\n"));
    EXPECT_EQ(names.takeLast(), QString());  // every name ends in CR LF
    names.sort();
    EXPECT_EQ(names, (QStringList{"qorax_5_7_1.bin", "qorax_9_9.bin"}));
    EXPECT_TRUE(ftp.getChunk().isEmpty());

    // The CD holds: a bare name is deleted in /tffs0/bin.
    EXPECT_EQ(run("Delete qorax_5_7_1.bin"), kNextCommand);
    EXPECT_FALSE(server.exists("tffs0/bin/qorax_5_7_1.bin"));
    EXPECT_EQ(ftp.responseCode(), 0);

    EXPECT_EQ(run("CLOSE"), kClose);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_FALSE(executingAtCompletion);
    EXPECT_EQ(server.logins(), 1);
    const QStringList cmds = server.commands();
    EXPECT_TRUE(cmds.contains("TYPE I"));
    EXPECT_TRUE(cmds.contains("TYPE A"));
    EXPECT_TRUE(cmds.contains("QUIT"));
    EXPECT_FALSE(trace.join('\n').contains("skywardly"));
    EXPECT_TRUE(trace.contains("> PASS ****"));
    EXPECT_TRUE(partFiles(home.file("Backup")).isEmpty());
}

struct RefusalCase {
    const char* name;
    const char* password;
    const char* operation;  // %H is the home folder
    int code;
    const char* info;       // the start of responseInfo
    int logins;             // after the failure
    bool sessionKept;
};

class InetFtpRefusals : public InetFtpTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(InetFtpRefusals, ReportTheWinInetNumberAndKeepWhatMustBeKept)
{
    const RefusalCase& c = GetParam();
    PyFtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    TestHome home;
    home.writeFile("keep.bin", "previous backup");
    attach(server.port());
    ftp.setCredentials(QStringLiteral("qorauser"), QString::fromUtf8(c.password));

    const QString op = QString::fromUtf8(c.operation).replace(QLatin1String("%H"), home.path());
    const States got = run(op);
    ASSERT_FALSE(got.isEmpty());
    EXPECT_EQ(got.last(), InetFtp::icError) << c.name;
    EXPECT_EQ(got.count(InetFtp::icError), 1) << c.name;
    EXPECT_EQ(ftp.responseCode(), c.code) << c.name;
    EXPECT_TRUE(ftp.responseInfo().startsWith(QString::fromUtf8(c.info))) << c.name << ": " << ftp.responseInfo().toStdString();
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_EQ(server.logins(), c.logins) << c.name;
    // An existing local file survives any failure, and no partial file is left.
    EXPECT_EQ(Files::readAt(home.file("keep.bin"), 0, 100), QByteArray("previous backup")) << c.name;
    EXPECT_TRUE(partFiles(home.path()).isEmpty()) << c.name;

    EXPECT_EQ(ftp.connected(), c.sessionKept) << c.name;
    if (c.sessionKept) {
        EXPECT_EQ(run("CD /tffs0"), kNextCommand) << c.name;
        EXPECT_EQ(server.logins(), c.logins) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpPyftpdlib, InetFtpRefusals,
    ::testing::Values(
        RefusalCase{"missing remote file", "skywardly", "GET /tffs0/bin/none.bin \"%Hkeep.bin\"", 12003, "550 ", 1, true},
        RefusalCase{"missing file to delete", "skywardly", "Delete none.bin", 12003, "550 ", 1, true},
        RefusalCase{"missing folder", "skywardly", "CD /tffs0/none", 12003, "550 ", 1, true},
        RefusalCase{"wrong password", "wrong", "CD /tffs0/bin", 12014, "530 ", 0, false},
        RefusalCase{"missing local file to put", "skywardly", "PUT \"%Hnone.bin\" x.bin", 12003, "Local file cannot be read", 0, false},
        RefusalCase{"local folder missing", "skywardly", "GET image.txt \"%Hno/such/image.txt\"", 12003, "Local file cannot be written", 0, false}),
    tablerows::RowName());

TEST_F(InetFtpTest, CannotConnectGives12029AndTheGuardSendsNothing)
{
    attach(unusedLoopbackPort());
    EXPECT_EQ(run("GET image.txt image.txt"), (States{1, 2, 3, 11}));
    EXPECT_EQ(ftp.responseCode(), 12029);
    EXPECT_FALSE(ftp.connected());
    EXPECT_TRUE(guardLines.isEmpty());

    // A server that hangs up before its greeting made no session either.
    QTcpServer rude;
    ASSERT_TRUE(rude.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&rude, &QTcpServer::newConnection, [&rude] { rude.nextPendingConnection()->close(); });
    ftp.setPort(rude.serverPort());
    EXPECT_EQ(run("CD /tffs0/bin"), (States{1, 2, 3, 4, 11}));
    EXPECT_EQ(ftp.responseCode(), 12029);

    QTcpServer trap;  // would see a connection if the guard let one through
    ASSERT_TRUE(trap.listen(QHostAddress::LocalHost, 0));
    ftp.setPort(trap.serverPort());
    ftp.setAddress(QStringLiteral("192.168.128.100"));
    EXPECT_EQ(run("CD /tffs0/bin"), (States{11}));
    EXPECT_EQ(ftp.responseCode(), 12029);
    ASSERT_EQ(guardLines.size(), 1);
    EXPECT_TRUE(guardLines[0].contains("192.168.128.100"));
}

struct KillCase {
    const char* name;
    bool download;
};

class InetFtpServerKilled : public InetFtpTest, public ::testing::WithParamInterface<KillCase> {};

TEST_P(InetFtpServerKilled, MidTransferGivesAResetAndLosesNothing)
{
    PyFtpServer::Options options;
    options.bytesPerSecond = 256 * 1024;
    PyFtpServer server(options);
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    server.writeFile("tffs0/bin/qorax_5_7_1.bin", binaryContent(4 << 20));
    TestHome home;
    home.writeFile("Backup/qorax_5_7_1.bin", "the previous backup");
    home.writeFile("qorax_9_9.bin", binaryContent(4 << 20));
    attach(server.port());

    const bool get = GetParam().download;
    ASSERT_TRUE(ftp.execute(get ? "GET /tffs0/bin/qorax_5_7_1.bin " + quoted(home.file("Backup/qorax_5_7_1.bin"))
                                : "PUT " + quoted(home.file("qorax_9_9.bin")) + " /tffs0/bin/qorax_9_9.bin"));
    ASSERT_TRUE(server.waitForEvent(get ? "CMD RETR" : "CMD STOR"));
    if (get) {
        // Kill it only once a part of the file has arrived.
        ASSERT_TRUE(waitUntil([&] {
            const QStringList parts = partFiles(home.file("Backup"));
            return !parts.isEmpty() && QFileInfo(home.file("Backup/" + parts[0])).size() > 0;
        }));
    } else {
        serveEventsFor(200);
    }
    server.kill();
    ASSERT_TRUE(waitUntil([&] { return states.contains(InetFtp::icError); }));
    EXPECT_EQ(ftp.responseCode(), 12031);
    EXPECT_FALSE(states.contains(InetFtp::icResponseCompleted));
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_EQ(Files::readAt(home.file("Backup/qorax_5_7_1.bin"), 0, 100), QByteArray("the previous backup"));
    EXPECT_TRUE(partFiles(home.file("Backup")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(InetFtpPyftpdlib, InetFtpServerKilled,
                         ::testing::Values(KillCase{"download", true}, KillCase{"upload", false}),
                         tablerows::RowName());

class InetFtpHeld226 : public InetFtpTest, public ::testing::WithParamInterface<bool> {};

TEST_P(InetFtpHeld226, EventLoopKeepsTurningWhileTheServerHoldsBackThe226)
{
    PyFtpServer::Options options;
    options.delay226 = 1.5;
    PyFtpServer server(options);
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    server.writeFile("tffs0/bin/qorax_5_7_1.bin", binaryContent(2 << 20));
    TestHome home;
    home.writeFile("qorax_9_9.bin", binaryContent(2 << 20));
    attach(server.port());

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    QElapsedTimer took;
    took.start();
    sinceTick.start();
    ticker.start(10);
    const bool get = GetParam();
    const States got = run(get ? "GET bin/qorax_5_7_1.bin " + quoted(home.file("copy.bin"))
                               : "PUT " + quoted(home.file("qorax_9_9.bin")) + " bin/qorax_9_9.bin");
    ticker.stop();
    EXPECT_EQ(got, kFirstCommand);
    EXPECT_GE(took.elapsed(), 1400);
    EXPECT_LT(longestGap, 200);
}

INSTANTIATE_TEST_SUITE_P(InetFtpPyftpdlib, InetFtpHeld226, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "download" : "upload"); });

TEST_F(InetFtpTest, ServerDroppingAnIdleSessionGives10AndTheNextCommandLogsInAgain)
{
    PyFtpServer::Options options;
    options.idleTimeout = 0.5;
    PyFtpServer server(options);
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    attach(server.port());
    EXPECT_EQ(run("CD /tffs0/bin"), kFirstCommand);
    ASSERT_TRUE(waitUntil([&] { return states.size() > kFirstCommand.size(); }, 4000));
    EXPECT_EQ(states.mid(kFirstCommand.size()), (States{10}));
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(run("CD /tffs0/bin"), kFirstCommand);
    EXPECT_EQ(server.logins(), 2);
}

TEST_F(InetFtpTest, NothingIsReportedAfterCancel)
{
    PyFtpServer::Options options;
    options.bytesPerSecond = 128 * 1024;
    PyFtpServer server(options);
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    server.writeFile("tffs0/bin/qorax_5_7_1.bin", binaryContent(2 << 20));
    TestHome home;
    home.writeFile("qorax_5_7_1.bin", "previous");
    attach(server.port());

    ASSERT_TRUE(ftp.execute("GET bin/qorax_5_7_1.bin " + quoted(home.file("qorax_5_7_1.bin"))));
    ASSERT_TRUE(server.waitForEvent("CMD RETR"));
    ftp.cancel();
    const qsizetype before = states.size();
    serveEventsFor(300);
    EXPECT_EQ(states.size(), before);
    EXPECT_FALSE(ftp.stillExecuting());
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(Files::readAt(home.file("qorax_5_7_1.bin"), 0, 100), QByteArray("previous"));
    EXPECT_TRUE(partFiles(home.path()).isEmpty());

    // A CLOSE cancelled before its notifications are delivered stays silent too.
    ASSERT_TRUE(ftp.execute("CLOSE"));
    ftp.cancel();
    serveEventsFor(100);
    EXPECT_EQ(states.size(), before);
}

// ---- against the scripted peer --------------------------------------------

struct OddReplyCase {
    const char* name;
    QList<QByteArray> cwdReply;
    int code;
    const char* info;
    bool sessionKept;
};

class InetFtpOddReplies : public InetFtpTest, public ::testing::WithParamInterface<OddReplyCase> {};

TEST_P(InetFtpOddReplies, AreReadAsAServerMeansThem)
{
    const OddReplyCase& c = GetParam();
    FakeFtpServer peer;
    peer.script["CWD"] = c.cwdReply;
    attach(peer.port());
    ftp.setTimeoutMs(400);
    const States got = run("CD /tffs0/bin", 3000);
    ASSERT_FALSE(got.isEmpty()) << c.name;
    EXPECT_EQ(got.last(), c.code == 0 ? InetFtp::icResponseCompleted : InetFtp::icError) << c.name;
    EXPECT_EQ(ftp.responseCode(), c.code) << c.name;
    EXPECT_EQ(ftp.responseInfo().toStdString().substr(0, strlen(c.info)), c.info) << c.name;
    EXPECT_EQ(ftp.connected(), c.sessionKept) << c.name;
    // Whatever came, the client is ready for the next command.
    peer.script.erase("CWD");
    EXPECT_EQ(run("CD /tffs0").last(), InetFtp::icResponseCompleted) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpScripted, InetFtpOddReplies,
    ::testing::Values(
        OddReplyCase{"multi-line", {"250-first\r\n250-second\r\n250 done\r\n"}, 0, "250-first\r\n250-second\r\n250 done", true},
        OddReplyCase{"LF only", {"250 ok\n"}, 0, "250 ok", true},
        OddReplyCase{"split over reads", {"2", "50 chan", "ged\r\n"}, 0, "250 changed", true},
        OddReplyCase{"preliminary then final", {"150 working\r\n", "250 done\r\n"}, 0, "250 done", true},
        OddReplyCase{"garbage before the reply", {"hello there\r\n250 ok\r\n"}, 0, "250 ok", true},
        OddReplyCase{"multi-line refusal", {"550-No such folder\r\n550 sorry\r\n"}, 12003, "550-No such folder\r\n550 sorry", true},
        OddReplyCase{"service closing", {"421 Too many users\r\n"}, 12031, "421 Too many users", false},
        OddReplyCase{"withheld reply", {}, 12002, "No answer from the server", false},
        OddReplyCase{"preliminary only", {"150 working\r\n"}, 12002, "No answer from the server", false}),
    tablerows::RowName());

struct PassiveCase {
    const char* name;
    QList<QByteArray> pasvReply;  // empty: the server's own 227
    QByteArray pasvAddress;
};

class InetFtpPassive : public InetFtpTest, public ::testing::WithParamInterface<PassiveCase> {};

TEST_P(InetFtpPassive, DataComesFromTheControlPeerOnly)
{
    const PassiveCase& c = GetParam();
    FakeFtpServer peer;
    if (!c.pasvReply.isEmpty())
        peer.script["PASV"] = c.pasvReply;
    peer.pasvAddress = c.pasvAddress;
    peer.payload = "qorax.bin\r\nqorax_5_7_1.bin\r\n";
    attach(peer.port());
    ftp.setTimeoutMs(2000);
    EXPECT_EQ(run("LS "), kFirstCommand) << c.name;
    EXPECT_EQ(ftp.getChunk(1024), "qorax.bin\r\nqorax_5_7_1.bin\r\n") << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    InetFtpScripted, InetFtpPassive,
    ::testing::Values(PassiveCase{"227 naming the peer", {}, "127,0,0,1"},
                      // Nothing listens on 127.0.0.2: following the reply would fail.
                      PassiveCase{"227 naming another host", {}, "127,0,0,2"},
                      PassiveCase{"no PASV, EPSV instead", {"502 use EPSV\r\n"}, "127,0,0,1"},
                      PassiveCase{"227 without numbers", {"227 passive\r\n"}, "127,0,0,1"}),
    tablerows::RowName());

TEST_F(InetFtpTest, BusyClientRefusesASecondOperationAndAWithheldQuitStillCloses)
{
    FakeFtpServer peer;
    peer.script["QUIT"] = {};
    attach(peer.port());
    ftp.setTimeoutMs(300);
    ASSERT_TRUE(ftp.execute("CD /tffs0/bin"));
    EXPECT_TRUE(ftp.stillExecuting());
    EXPECT_FALSE(ftp.execute("CD /tffs0"));
    ASSERT_TRUE(waitUntil([&] { return states.contains(InetFtp::icResponseCompleted); }));
    EXPECT_EQ(peer.received.count("CWD /tffs0"), 0);
    EXPECT_FALSE(ftp.execute("FORMAT /tffs0"));

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(run("CLOSE", 3000), kClose);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(ftp.connected());
    EXPECT_EQ(peer.received.last(), "QUIT");
}

}  // namespace
