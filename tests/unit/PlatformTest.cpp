// The stand-ins for the original platform facilities.
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* name;
    const char* pattern;
    bool matches;
};

class WildcardTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardTest, MatchesLikeTheFolderSearch)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(Files::matches(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardTest,
    ::testing::Values(MatchCase{"qorax_5_7_1_12.bin", "*qorax_*.bin", true},
                      MatchCase{"old_qorax_5_7.bin", "*qorax_*.bin", true},
                      MatchCase{"QORAX_5_7.BIN", "*qorax_*.bin", true}, MatchCase{"qorax.bin", "*qorax_*.bin", false},
                      MatchCase{"qorax_5.bin.bak", "*qorax_*.bin", false}, MatchCase{"qorax.bin", "qorax*.bin", true},
                      MatchCase{"PIC_1_2.s19", "PIC*.s19", true}, MatchCase{"pic.s19", "PIC*.s19", true},
                      MatchCase{"xPIC.s19", "PIC*.s19", false}, MatchCase{"image1.txt", "image*.txt", true},
                      MatchCase{"image.txt", "image?.txt", false}, MatchCase{"imageA.txt", "image?.txt", true},
                      MatchCase{"a.b", "a.b", true}, MatchCase{"a+b", "a.b", false},
                      MatchCase{"[x].bin", "[x]*", true}, MatchCase{"", "*", true}, MatchCase{"a", "", false}));

TEST(FilesFind, RegularFilesOnlyInCaseInsensitiveOrder)
{
    TestHome home;
    home.writeFile("qorax_b.bin", "1");
    home.writeFile("QORAX_A.bin", "1");
    home.writeFile("qorax_C.bin", "1");
    QDir().mkpath(home.file("qorax_dir.bin"));
    EXPECT_EQ(Files::find(home.path(), "*qorax_*.bin"), (QStringList{"QORAX_A.bin", "qorax_b.bin", "qorax_C.bin"}));
    EXPECT_TRUE(Files::find(home.file("missing"), "*").isEmpty());
}

TEST(FilesRead, ReadAtNeverPastTheEnd)
{
    TestHome home;
    home.writeFile("f.bin", "0123456789");
    EXPECT_EQ(Files::readAt(home.file("f.bin"), 8, 16), QByteArray("89"));
    EXPECT_EQ(Files::readAt(home.file("f.bin"), -2, 4), QByteArray());
    EXPECT_EQ(Files::readAt(home.file("f.bin"), 20, 4), QByteArray());
    EXPECT_EQ(Files::readAt(home.file("none.bin"), 0, 4), QByteArray());
}

TEST(SettingsTest, ParsesEnvironmentAndFallsBackOnNonsense)
{
    qputenv("QORA_DEFAULT_TERMINAL_IP", "127.0.0.9");
    qputenv("QORA_ZING_PORT", "4000");
    qputenv("QORA_FTP_PORT", "70000");
    qputenv("QORA_TELNET_PORT", "abc");
    qputenv("QORA_TIME_SCALE", "0.01");
    qputenv("QORA_LOOPBACK_ONLY", "1");
    Settings s = Settings::fromEnvironment();
    EXPECT_EQ(s.defaultTerminalIp, "127.0.0.9");
    EXPECT_EQ(s.zingPort, 4000);
    EXPECT_EQ(s.ftpPort, 21);
    EXPECT_EQ(s.telnetPort, 23);
    EXPECT_DOUBLE_EQ(s.timeScale, 0.01);
    EXPECT_TRUE(s.loopbackOnly);
    EXPECT_EQ(s.scaledMs(40000), 400);
    EXPECT_EQ(s.scaledMs(10), 1);
    EXPECT_EQ(s.octet(0), "127");
    EXPECT_EQ(s.octet(3), "9");
    EXPECT_EQ(s.octet(4), "");

    qputenv("QORA_TIME_SCALE", "-1");
    qputenv("QORA_LOOPBACK_ONLY", "yes");
    s = Settings::fromEnvironment();
    EXPECT_DOUBLE_EQ(s.timeScale, 1.0);
    EXPECT_FALSE(s.loopbackOnly);
    qputenv("QORA_LOOPBACK_ONLY", "1");
}

TEST(SettingsTest, LoopbackGuardAllowsOnlyLiteralLoopbackAddresses)
{
    Settings s;
    s.loopbackOnly = true;
    const struct {
        const char* host;
        bool allowed;
    } cases[] = {{"127.0.0.1", true},     {"127.255.1.2", true},  {"192.168.128.100", false}, {"10.0.0.1", false},
                 {"localhost", false},    {"", false},           {"   ", false},               {"127.0. 0.1", false},
                 {" 127.0.0.1", false},   {"127.1", false},      {"127.0.0.256", false},    {"127.0.0.1.5", false},
                 {"127.0.0.01", true},   {"128.0.0.1", false},  {"::1", false},              {"abc", false}};
    for (const auto& c : cases)
        EXPECT_EQ(s.isConnectionAllowed(c.host), c.allowed) << c.host;
    s.loopbackOnly = false;
    EXPECT_TRUE(s.isConnectionAllowed("192.168.128.100"));

    // The test process runs loopback-only: settings put in force keep it.
    const Settings before = Settings::get();
    Settings::set(s);
    EXPECT_TRUE(Settings::get().loopbackOnly);
    EXPECT_FALSE(Settings::get().isConnectionAllowed("192.168.128.100"));
    Settings::set(before);
}

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override { Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 1.0)); }
};

TEST_F(TimerTest, RepeatsWhileEnabledAndStopsWhenTheHandlerDisablesIt)
{
    Timer t("t", 20);
    int ticks = 0;
    t.onTick = [&] {
        if (++ticks == 3)
            t.disable();
    };
    t.enable();
    ASSERT_TRUE(waitUntil([&] { return ticks == 3; }, 2000));
    serveEventsFor(100);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(t.enabled());
}

// Enabling an enabled timer keeps its countdown; disabling first restarts it.
TEST_F(TimerTest, ReEnablingKeepsOrRestartsTheCountdown)
{
    const struct {
        bool disableFirst;
        qint64 earliest, latest;  // of the tick, timer of 200 ms re-enabled at 120 ms
    } rows[] = {{false, 0, 289}, {true, 300, 2000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.disableFirst);
        Timer t("t", 200);
        QElapsedTimer clock;
        qint64 firedAt = -1;
        t.onTick = [&] {
            firedAt = clock.elapsed();
            t.disable();
        };
        clock.start();
        t.enable();
        serveEventsFor(120);
        if (row.disableFirst)
            t.disable();
        t.enable();
        ASSERT_TRUE(waitUntil([&] { return firedAt >= 0; }, 2000));
        EXPECT_GE(firedAt, row.earliest);
        EXPECT_LE(firedAt, row.latest);
    }
}

TEST(TimerScale, IntervalsAreScaled)
{
    Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 0.01));
    Timer t("t40", 40000);
    bool fired = false;
    t.onTick = [&] {
        fired = true;
        t.disable();
    };
    t.enable();
    EXPECT_TRUE(waitUntil([&] { return fired; }, 2000));
}

class TcpClientTest : public ::testing::Test {
protected:
    void SetUp() override { Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 1.0)); }

    struct Events {
        int connects = 0;
        int closes = 0;
        QList<int> errors;
        QByteArray data;
        QStringList guardLines;
    };
    static void watch(TcpClient& c, Events& e)
    {
        c.onConnect = [&e] { ++e.connects; };
        c.onClose = [&e] { ++e.closes; };
        c.onError = [&e](int n, const QString&) { e.errors << n; };
        c.onDataArrival = [&e](const QByteArray& b) { e.data += b; };
        c.onGuardLog = [&e](const QString& l) { e.guardLines << l; };
    }
};

TEST_F(TcpClientTest, GuardRefusesAddressesOutsideLoopbackWithoutTouchingTheNetwork)
{
    for (const char* host : {"192.168.128.100", "10.1.2.3", "localhost", "   "}) {
        TcpClient c("sckZING");
        Events e;
        watch(c, e);
        c.remoteHost = host;
        c.remotePort = 1827;
        EXPECT_EQ(c.connectToHost(), 0);
        ASSERT_TRUE(waitUntil([&] { return !e.errors.isEmpty(); }, 1000)) << host;
        EXPECT_EQ(e.errors, QList<int>{10061}) << host;
        ASSERT_EQ(e.guardLines.size(), 1);
        EXPECT_TRUE(e.guardLines[0].contains(host)) << e.guardLines[0].toStdString();
        EXPECT_EQ(c.state(), TcpClient::sckError);
    }
}

TEST_F(TcpClientTest, RefusedConnectionIsError10061)
{
    TcpClient c("sckTest");
    Events e;
    watch(c, e);
    c.remoteHost = "127.0.0.1";
    c.remotePort = unusedLoopbackPort();
    c.connectToHost();
    ASSERT_TRUE(waitUntil([&] { return !e.errors.isEmpty(); }));
    EXPECT_EQ(e.errors.first(), 10061);
    EXPECT_EQ(e.connects, 0);
}

TEST_F(TcpClientTest, ConnectDataAndPeerCloseEvents)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpClient c("sckZING");
    Events e;
    watch(c, e);
    c.remoteHost = "127.0.0.1";
    c.remotePort = server.serverPort();
    c.connectToHost();
    EXPECT_EQ(c.connectToHost(), TcpClient::sckInvalidOp);  // busy: as the original control refused
    ASSERT_TRUE(waitUntil([&] { return e.connects == 1 && server.hasPendingConnections(); }));
    EXPECT_EQ(c.state(), TcpClient::sckConnected);
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(c.sendData(QByteArray("\x00\x00\x00\x04", 4)));
    ASSERT_TRUE(waitUntil([&] { return peer->bytesAvailable() == 4; }));
    peer->write("answer");
    ASSERT_TRUE(waitUntil([&] { return e.data == "answer"; }));
    peer->disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return e.closes == 1; }));
    EXPECT_TRUE(e.errors.isEmpty());
    EXPECT_EQ(c.state(), TcpClient::sckClosing);
}

TEST_F(TcpClientTest, NoEventOfAConnectionAfterItWasClosed)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpClient c("sckZING");
    Events e;
    watch(c, e);
    c.remoteHost = "127.0.0.1";
    c.remotePort = server.serverPort();
    c.connectToHost();
    c.close();  // before the connect event could arrive
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("late");
    peer->disconnectFromHost();
    serveEventsFor(150);
    EXPECT_EQ(e.connects, 0);
    EXPECT_EQ(e.closes, 0);
    EXPECT_TRUE(e.data.isEmpty());
    EXPECT_TRUE(e.errors.isEmpty());
    EXPECT_EQ(c.state(), TcpClient::sckClosed);

    // A refusal posted by the guard is dropped too when the socket is closed first.
    Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 1.0));
    c.remoteHost = "10.0.0.1";
    c.connectToHost();
    c.close();
    serveEventsFor(50);
    EXPECT_TRUE(e.errors.isEmpty());
}

}  // namespace
