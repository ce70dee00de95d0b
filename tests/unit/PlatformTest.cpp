// The stand-ins for the original platform facilities.
#include "platform/Files.h"
#include "platform/QtDialogs.h"
#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

TEST(Files, WildcardsMatchLikeTheFolderSearch)
{
    const struct { const char* name; const char* pattern; bool matches; } rows[] = {
        {"qorax_5_7_1_12.bin", "*qorax_*.bin", true}, {"old_qorax_5_7.bin", "*qorax_*.bin", true},
        {"QORAX_5_7.BIN", "*qorax_*.bin", true}, {"qorax.bin", "*qorax_*.bin", false}, {"qorax_5.bin.bak", "*qorax_*.bin", false},
        {"pic.s19", "PIC*.s19", true},
        {"xPIC.s19", "PIC*.s19", false}, {"image.txt", "image?.txt", false}, {"imageA.txt", "image?.txt", true},
        {"a+b", "a.b", false}, {"[x].bin", "[x]*", true}, {"", "*", true}, {"a", "", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Files::matches(r.name, r.pattern), r.matches) << r.name << " ~ " << r.pattern;
}

TEST(Files, FindListsRegularFilesInCaseInsensitiveOrderAndReadAtStopsAtTheEnd)
{
    TestHome home;
    for (const char* name : {"qorax_b.bin", "QORAX_A.bin", "qorax_C.bin"})
        home.writeFile(name, "1");
    QDir().mkpath(home.file("qorax_dir.bin"));
    EXPECT_EQ(Files::find(home.path(), "*qorax_*.bin"), (QStringList{"QORAX_A.bin", "qorax_b.bin", "qorax_C.bin"}));
    EXPECT_TRUE(Files::find(home.file("missing"), "*").isEmpty());

    home.writeFile("f.bin", "0123456789");
    EXPECT_EQ(Files::readAt(home.file("f.bin"), 8, 16), QByteArray("89"));
    for (const auto& [file, offset] : {std::pair{"f.bin", -2}, {"f.bin", 20}, {"none.bin", 0}})
        EXPECT_EQ(Files::readAt(home.file(file), offset, 4), QByteArray()) << file << " @" << offset;
}

// Boxes wider than the window once opened with their left part off screen.
TEST(QtDialogsPlacement, CentredOverTheOwnerAndInsideTheScreen)
{
    const QRect screen(0, 0, 1920, 1040);  // a task bar below
    const struct { const char* name; QRect owner; QSize box; QRect available; QPoint topLeft; } rows[] = {
        {"inside", {400, 300, 800, 600}, {300, 200}, screen, {649, 499}}, {"left edge", {0, 100, 400, 300}, {700, 200}, screen, {0, 149}},
        {"right edge", {1600, 100, 320, 300}, {600, 200}, screen, {1320, 149}}, {"top", {500, 0, 400, 200}, {300, 500}, screen, {549, 0}},
        {"bottom edge", {500, 900, 400, 140}, {300, 400}, screen, {549, 640}},
        {"larger than the screen", {400, 300, 800, 600}, {2000, 1200}, screen, {0, 0}},
        {"second screen, owner across the seam", {1800, 400, 400, 300}, {600, 200}, {1920, 0, 1280, 1024}, {1920, 449}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(QtDialogs::placeInside(r.owner, r.box, r.available), r.topLeft) << r.name;
}

TEST(SettingsTest, ParsesEnvironmentAndFallsBackOnNonsense)
{
    for (const auto& [name, value] : {std::pair{"QORA_DEFAULT_TERMINAL_IP", "127.0.0.9"}, {"QORA_ZING_PORT", "4000"},
                                      {"QORA_FTP_PORT", "70000"}, {"QORA_TELNET_PORT", "abc"}, {"QORA_TIME_SCALE", "0.01"}})
        qputenv(name, value);
    Settings s = Settings::fromEnvironment();
    EXPECT_EQ(s.defaultTerminalIp, "127.0.0.9");
    EXPECT_EQ(std::tuple(s.zingPort, s.ftpPort, s.telnetPort), std::tuple(4000, 21, 23));
    EXPECT_DOUBLE_EQ(s.timeScale, 0.01);
    EXPECT_TRUE(s.loopbackOnly);
    EXPECT_EQ(s.scaledMs(40000), 400);
    EXPECT_EQ(s.scaledMs(10), 1);
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
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true}, {"127.255.1.2", true}, {"127.0.0.01", true}, {"192.168.128.100", false}, {"10.0.0.1", false},
        {"localhost", false}, {"", false}, {"127.0. 0.1", false}, {" 127.0.0.1", false}, {"127.1", false},
        {"127.0.0.256", false}, {"127.0.0.1.5", false}, {"128.0.0.1", false}, {"::1", false}, {"abc", false}};
    for (const auto& [host, allowed] : cases)
        EXPECT_EQ(s.isConnectionAllowed(host), allowed) << host;
    s.loopbackOnly = false;
    EXPECT_TRUE(s.isConnectionAllowed("192.168.128.100"));

    // The test process runs loopback-only: settings put in force keep it.
    const Settings before = Settings::get();
    Settings::set(s);
    EXPECT_FALSE(Settings::get().isConnectionAllowed("192.168.128.100"));
    Settings::set(before);
}

// A 2 s timer at time scale 0.1 ticks every 200 ms until its handler disables
// it. Enabling it again at 120 ms keeps its countdown; disabling it first
// restarts it.
TEST(TimerTest, ScaledRepeatingAndReEnabled)
{
    Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 0.1));
    for (bool disableFirst : {false, true}) {
        SCOPED_TRACE(disableFirst);
        Timer t("t", 2000);
        QElapsedTimer clock;
        QList<qint64> ticks;
        t.onTick = [&] {
            ticks << clock.elapsed();
            if (ticks.size() == 3)
                t.disable();
        };
        clock.start();
        t.enable();
        serveEventsFor(120);
        if (disableFirst)
            t.disable();
        t.enable();
        ASSERT_TRUE(waitUntil([&] { return ticks.size() == 3; }, 3000));
        serveEventsFor(300);
        EXPECT_EQ(ticks.size(), 3);
        EXPECT_FALSE(t.enabled());
        EXPECT_GE(ticks[0], disableFirst ? 300 : 150);
        EXPECT_LE(ticks[0], disableFirst ? 1000 : 289);
    }
}

class TcpClientTest : public ::testing::Test {
protected:
    void SetUp() override { Settings::set(loopbackSettings("127.0.0.1", 1, 2, 3, 1.0)); }

    struct Events { int connects = 0, closes = 0; QList<int> errors; QByteArray data; QStringList guardLines; };
    static void watch(TcpClient& c, Events& e, const char* host, quint16 port)
    {
        c.remoteHost = host;
        c.remotePort = port;
        c.onConnect = [&e] { ++e.connects; };
        c.onClose = [&e] { ++e.closes; };
        c.onError = [&e](int n, const QString&) { e.errors << n; };
        c.onDataArrival = [&e](const QByteArray& b) { e.data += b; };
        c.onGuardLog = [&e](const QString& l) { e.guardLines << l; };
    }
};

// The guard refuses before touching the network, with the same number as a
// refused connection. The guarded hosts are outside 127/8 as the guard reads
// them, yet one let through would reach the trap on this machine, never the
// network.
TEST_F(TcpClientTest, GuardedAndRefusedConnectionsAreError10061)
{
    QTcpServer trap;
    ASSERT_TRUE(trap.listen(QHostAddress::LocalHost, 0));
    const quint16 unused = unusedLoopbackPort();
    for (const auto& [host, guarded] : {std::pair{"0.0.0.0", true}, {"localhost", true}, {"127.0.0.1", false}}) {
        SCOPED_TRACE(host);
        TcpClient c("sckZING");
        Events e;
        watch(c, e, host, guarded ? trap.serverPort() : unused);
        EXPECT_EQ(c.connectToHost(), 0);
        ASSERT_TRUE(waitUntil([&] { return !e.errors.isEmpty(); }, 2000));
        EXPECT_EQ(e.errors, QList<int>{10061});
        EXPECT_EQ(e.connects, 0);
        EXPECT_EQ(c.state(), TcpClient::sckError);
        ASSERT_EQ(e.guardLines.size(), guarded ? 1 : 0);
        EXPECT_TRUE(!guarded || e.guardLines[0].contains(host)) << e.guardLines.join(' ').toStdString();
    }
    EXPECT_FALSE(trap.hasPendingConnections());
}

TEST_F(TcpClientTest, EventsWhileConnectedAndNoneOnceClosed)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpClient c("sckZING");
    Events e;
    watch(c, e, "127.0.0.1", server.serverPort());
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

    // Closed before its connect event could arrive: nothing of that connection
    // is reported, nor a refusal posted by the guard.
    TcpClient early("sckZING");
    Events none;
    watch(early, none, "127.0.0.1", server.serverPort());
    early.connectToHost();
    early.close();
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* latePeer = server.nextPendingConnection();
    latePeer->write("late");
    latePeer->disconnectFromHost();
    early.remoteHost = "0.0.0.0";
    early.connectToHost();
    early.close();
    serveEventsFor(150);
    EXPECT_EQ(std::tuple(none.connects, none.closes, none.errors.size()), std::tuple(0, 0, 0));
    EXPECT_TRUE(none.data.isEmpty());
    EXPECT_EQ(early.state(), TcpClient::sckClosed);
}

}  // namespace
