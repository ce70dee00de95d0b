// The one-shot put of image.txt against a real FTP server (pyftpdlib).
#include "platform/FtpPut.h"

#include "support/PyFtpServer.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

using Failure = FtpPutResult::Failure;

TEST(FtpPut, PutsImageTxtInTheLoginFolderWithTypeA)
{
    const struct {
        const char *name, *password;
        const char* content;  // nullptr: no local file
        Failure failure;
        int error;
        const char* reply;   // the start of the reply text
        const char* stored;  // what the server holds afterwards (nullptr: nothing)
    } rows[] = {
        {"image", "skywardly", "/bin/qorax_5_7_1_12.bin", Failure::None, 0, "221", "/bin/qorax_5_7_1_12.bin"},
        // ASCII type: lines go out as CR LF and the server stores its own line ends.
        {"text lines", "skywardly", "one\ntwo\r\nthree", Failure::None, 0, "221", "one\ntwo\nthree"},
        {"login refused", "other", "/bin/qorax_5.bin", Failure::Connect, 12014, "530", nullptr},
        {"no local file", "skywardly", nullptr, Failure::Local, 12950, "Local file cannot be read", nullptr},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(c.name);
        PyFtpServer server({.password = QString::fromUtf8(c.password)});
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        // The put goes to the FTP port of the settings, as the program uses it.
        Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, server.port(), 3, 1.0));
        TestHome home;
        if (c.content)
            home.writeFile("image.txt", c.content);

        FtpPut put(QStringLiteral("127.0.0.1"));
        put.setTimeoutMs(5000);
        const FtpPutResult r = put.put(home.file("image.txt"));
        EXPECT_EQ(r.failure, c.failure);
        EXPECT_EQ(r.ok(), c.failure == Failure::None);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.reply.startsWith(QString::fromUtf8(c.reply))) << r.reply.toStdString();
        if (c.stored) {
            EXPECT_EQ(server.readFile("tffs0/image.txt"), QByteArray(c.stored));
            ASSERT_TRUE(server.waitForEvent("CMD QUIT"));
            for (const char* cmd : {"TYPE A", "STOR image.txt"})
                EXPECT_TRUE(server.commands().contains(cmd)) << cmd;
        } else {
            EXPECT_FALSE(server.exists("tffs0/image.txt"));
        }
        EXPECT_EQ(server.logins(), c.failure == Failure::Connect || !c.content ? 0 : 1);
    }
}

TEST(FtpPutFaults, NothingListeningOrGuardedIsAConnectFailure)
{
    TestHome home;
    home.writeFile("image.txt", "/bin/qorax_5.bin");
    Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, unusedLoopbackPort(), 3, 1.0));
    FtpPut refused(QStringLiteral("127.0.0.1"));
    const FtpPutResult r = refused.put(home.file("image.txt"));
    EXPECT_EQ(r.failure, Failure::Connect);
    EXPECT_EQ(r.error, 12029);

    QTcpServer trap;  // would see a connection if the guard let one through
    ASSERT_TRUE(trap.listen(QHostAddress::LocalHost, 0));
    FtpPut guarded(QStringLiteral("192.168.128.100"));
    guarded.setPort(trap.serverPort());
    QStringList lines;
    guarded.onGuardLog = [&](const QString& l) { lines << l; };
    const FtpPutResult g = guarded.put(home.file("image.txt"));
    EXPECT_EQ(g.failure, Failure::Connect);
    EXPECT_EQ(g.error, 12029);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("192.168.128.100"));
    EXPECT_FALSE(trap.waitForNewConnection(50));
}

TEST(FtpPutFaults, SilentServerIsBoundedByTheTimeOutInEitherStep)
{
    TestHome home;
    home.writeFile("image.txt", "/bin/qorax_5.bin");
    // Accepted by the kernel, never greeted.
    QTcpServer mute;
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost, 0));
    Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, mute.serverPort(), 3, 0.01));
    QElapsedTimer t;
    t.start();
    FtpPut put(QStringLiteral("127.0.0.1"));  // 60 s at time scale 0.01
    const FtpPutResult r = put.put(home.file("image.txt"));
    EXPECT_EQ(r.failure, Failure::Connect);
    EXPECT_EQ(r.error, 12002);
    EXPECT_GE(t.elapsed(), 550);
    EXPECT_LT(t.elapsed(), 1500);

    // Logged in, then the 226 never comes in time.
    PyFtpServer server({.delay226 = 5});
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    FtpPut late(QStringLiteral("127.0.0.1"));
    late.setPort(server.port());
    late.setTimeoutMs(800);
    t.restart();
    const FtpPutResult l = late.put(home.file("image.txt"));
    EXPECT_EQ(l.failure, Failure::Put);
    EXPECT_EQ(l.error, 12002);
    EXPECT_LT(t.elapsed(), 1500);
}

}  // namespace
