// The one-shot put of image.txt against the simulated terminal.
#include "platform/FtpPut.h"

#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

using Failure = FtpPutResult::Failure;

TEST(FtpPut, PutsImageTxtInTheLoginFolderWithTypeA)
{
    // No content: no local file; reply: the start of the reply text; stored:
    // what the server holds afterwards.
    const struct { const char *name, *password, *content; Failure failure; int error; const char *reply, *stored; } rows[] = {
        // ASCII type: lines go out as CR LF and the server stores its own line
        // ends; in the login folder, under the name image.txt.
        {"image", "skywardly", "/bin/qorax_5_7_1_12.bin\nsecond\r\nthird", Failure::None, 0, "221",
         "/bin/qorax_5_7_1_12.bin\nsecond\nthird"},
        {"login refused", "other", "/bin/qorax_5.bin", Failure::Connect, 12014, "530", nullptr},
        {"no local file", "skywardly", nullptr, Failure::Local, 12950, "Local file cannot be read", nullptr},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(c.name);
        // The put goes to the FTP port of the settings, as the program uses it.
        SimHarness sim;
        TestHome home;
        if (c.content)
            home.writeFile("image.txt", c.content);

        FtpPut put(QStringLiteral("127.0.0.1"));
        put.setCredentials(QStringLiteral("qorauser"), QString::fromUtf8(c.password));
        put.setTimeoutMs(5000);
        const FtpPutResult r = put.put(home.file("image.txt"));
        EXPECT_EQ(std::tuple(r.failure, r.ok(), r.error), std::tuple(c.failure, c.failure == Failure::None, c.error));
        EXPECT_TRUE(r.reply.startsWith(QString::fromUtf8(c.reply))) << r.reply.toStdString();
        EXPECT_EQ(sim.terminal().flash().read("/tffs0/image.txt"), QByteArray(c.stored ? c.stored : "/bin/qorax_5_7_1_12.bin"));
        EXPECT_EQ(sim.ftpCommands().contains("QUIT"), c.stored != nullptr);
    }
}

// Nothing listening, an address the guard refuses (the trap would see a
// connection it let through), a peer that accepts and never greets, and a
// server whose 226 never comes: each a failure, bounded by the default
// time-out of 60 s (at time scale 0.01).
TEST(FtpPutFaults, NothingListeningGuardedOrSilentIsBoundedByTheTimeOut)
{
    TestHome home;
    home.writeFile("image.txt", "/bin/qorax_5.bin");
    QTcpServer trap, mute;
    ASSERT_TRUE(trap.listen(QHostAddress::LocalHost, 0) && mute.listen(QHostAddress::LocalHost, 0));
    SimHarness late;
    late->updateFaults([](qsim::Faults& f) { f.ftpWithholdReplyFor = "STOR"; });
    Settings::set(loopbackSettings(QStringLiteral("127.0.0.1"), 1, 2, 3, 0.01));
    const struct { const char* host; quint16 port; Failure failure; int error; } rows[] = {
        {"127.0.0.1", unusedLoopbackPort(), Failure::Connect, 12029}, {"0.0.0.0", trap.serverPort(), Failure::Connect, 12029},
        {"127.0.0.1", mute.serverPort(), Failure::Connect, 12002}, {"127.0.0.1", late->ftpPort(), Failure::Put, 12002},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.port);
        FtpPut put(QString::fromLatin1(r.host));
        put.setPort(r.port);
        QStringList guardLines;
        put.onGuardLog = [&](const QString& l) { guardLines << l; };
        QElapsedTimer t;
        t.start();
        const FtpPutResult result = put.put(home.file("image.txt"));
        EXPECT_EQ(std::tuple(result.failure, result.error), std::tuple(r.failure, r.error));
        EXPECT_GE(t.elapsed(), r.error == 12002 ? 550 : 0);
        EXPECT_LT(t.elapsed(), 1500);
        EXPECT_EQ(guardLines.size(), r.host == std::string("0.0.0.0") ? 1 : 0);
    }
    EXPECT_FALSE(trap.waitForNewConnection(50));
}

}  // namespace
