// FTP through the wire, with curl and a raw control connection.

#include "SimHarness.h"

#include <QDir>
#include <QFile>

using namespace simtest;

class SimFtp : public SimTest {};

// One raw session from before the login to the root, with paths that try to
// leave the flash (through "..", backslashes and symbolic links), and with
// the greeting and login answered in multi-line replies.
TEST_F(SimFtp, CommandsPathsAndLogin)
{
    QDir(dir_.path()).mkpath(QStringLiteral("outside"));
    const QString secret = localFile(QStringLiteral("outside/secret"), "secret");
    ASSERT_TRUE(QFile::link(secret, config_.flashDir + QStringLiteral("/tffs0/link")));
    ASSERT_TRUE(QFile::link(dir_.path() + QStringLiteral("/outside"), config_.flashDir + QStringLiteral("/tffs0/out")));

    // reply: part of the reply text.
    struct Row { const char* line; int code; const char* reply = ""; };
    const Row rows[] = {
        {"RETR image.txt", 530}, {"PASS skywardly", 503}, {"USER anonymous", 331}, {"PASS skywardly", 530},
        {"USER qorauser", 331}, {"PASS skywardly", 230, "230-"}, {"PWD", 257, "\"/tffs0\""},
        {"SIZE image.txt", 213}, {"SIZE /tffs0/image.txt", 213}, {"SIZE /ram0/syslog.log", 213},
        {"SIZE ../flash/tffs0/image.txt", 550}, {"SIZE /tffs0/../tffs0/image.txt", 550},
        {"SIZE ../outside/secret", 550}, {"SIZE /etc/passwd", 550}, {"SIZE link", 550},
        {"SIZE out/secret", 550}, {"SIZE bin\\..\\image.txt", 550},
        {"CWD ..", 550}, {"CWD /", 250}, {"CWD /tffs0", 250}, {"CWD /etc", 550}, {"CWD out", 550},
        {"STOR ../evil", 553}, {"STOR /evil", 553}, {"STOR out/evil", 553},
        {"DELE ../outside/secret", 550}, {"DELE nothing.txt", 550}, {"SITE CHMOD 777 image.txt", 502},
        {"NLST", 425},  // no data connection was asked for
        {"CWD bin", 250}, {"SIZE qorax_5_7_1_12.bin", 213}, {"CDUP", 250}, {"CDUP", 250}, {"PWD", 257, "\"/\""},
    };
    sim_->updateFaults([](qsim::Faults& f) { f.ftpMultiLineReplies = true; });
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->ftpPort()));
    ASSERT_TRUE(c.readUntil("220 ").startsWith("220-"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        QByteArray text;
        EXPECT_EQ(ftp(c, row.line, &text), row.code);
        EXPECT_TRUE(text.contains(row.reply)) << text.toStdString();
    }
    EXPECT_TRUE(QFile::exists(secret));
    EXPECT_FALSE(QFile::exists(dir_.path() + QStringLiteral("/evil")));
    EXPECT_FALSE(QFile::exists(dir_.path() + QStringLiteral("/outside/evil")));

    // A second session, while the first is still at the root, starts in its own folder.
    Client b;
    ftpLogin(b);
    QByteArray text;
    EXPECT_EQ(ftp(b, "PWD", &text), 257);
    EXPECT_TRUE(text.contains("\"/tffs0\""));
    EXPECT_EQ(ftp(b, "SIZE qorax_5_7_1_12.bin"), 550);
}

TEST_F(SimFtp, Transfers)
{
    // Binary through curl is exact, over every kind of data connection.
    const QByteArray exe = randomBytes(300 * 1024) + "\r\n\n\r";
    const QString url = ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_3_0.bin"));
    ASSERT_EQ(curl({QStringLiteral("-T"), localFile(QStringLiteral("x.bin"), exe), url}).exitCode, 0);
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_3_0.bin")).value_or(""), exe);
    const QStringList kinds[] = {{}, {QStringLiteral("--disable-epsv")}, {QStringLiteral("-P"), kApp}, {QStringLiteral("-P"), kApp, QStringLiteral("--disable-eprt")}};
    for (const QStringList& kind : kinds) {
        SCOPED_TRACE(kind.join(QLatin1Char(' ')).toStdString());
        const CurlResult r = curl(kind + QStringList{url});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, exe);
    }
    sim_->flash().putExecutable(QStringLiteral("5_7_0_9"), "old");
    const CurlResult list = curl({ftpUrl(QStringLiteral("/tffs0/bin/"))});
    EXPECT_TRUE(list.out.contains(" 3 ") && list.out.contains(" qorax_5_7_0_9.bin\n")) << list.out.toStdString();
    EXPECT_EQ(curl({QStringLiteral("-Q"), QStringLiteral("DELE bin/qorax_5_7_0_9.bin"), ftpUrl(QStringLiteral("/tffs0/"))}).exitCode, 0);
    EXPECT_FALSE(sim_->flash().exists(QStringLiteral("/tffs0/bin/qorax_5_7_0_9.bin")));

    // Type A: CR LF on the wire, LF on the flash; type I: unchanged.
    sim_->flash().write(QStringLiteral("/tffs0/t.txt"), "a\nb\r\nc");
    Client c;
    ftpLogin(c);
    // The type, the file on the wire, and "x\r\ny\r\n" stored.
    const std::tuple<const char*, QByteArray, QByteArray> rows[] = {{"TYPE A", "a\r\nb\r\nc", "x\ny\n"}, {"TYPE I", "a\nb\r\nc", "x\r\ny\r\n"}};
    const QByteArray up = "x\r\ny\r\n";
    for (const auto& [type, wire, stored] : rows) {
        SCOPED_TRACE(type);
        ASSERT_EQ(ftp(c, type), 200);
        EXPECT_EQ(ftpTransfer(c, "RETR t.txt"), wire);
        ftpTransfer(c, "STOR u.txt", &up);
        EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/u.txt")).value_or("-"), stored);
    }
    EXPECT_EQ(ftpTransfer(c, "NLST bin"), QByteArray("qorax_5_7_1_12.bin\r\nqorax_5_7_3_0.bin\r\n"));
    EXPECT_EQ(ftpTransfer(c, "NLST /tffs0/bin/*.txt"), QByteArray());
    // A canned name listing replaces NLST only; a full listing still shows the folder.
    const QByteArray names("a b\r\n\"q\"\r\n../x\r\n" + QByteArray(5000, 'n') + "\r\n");
    sim_->updateFaults([&](qsim::Faults& f) { f.ftpNameListing = names; });
    EXPECT_EQ(ftpTransfer(c, "NLST"), names);
    EXPECT_TRUE(ftpTransfer(c, "LIST").contains("image.txt"));
}

// What curl makes of the login and of each failure fault (its exit codes).
TEST_F(SimFtp, CurlSeesLoginAndFailureFaults)
{
    const QString exeUrl = ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_1_12.bin"));
    struct Row { const char* name; std::function<void(qsim::Faults&)> set; QStringList args; int exitCode; };
    const auto none = [](qsim::Faults&) {};
    const Row rows[] = {
        {"wrong password", none, {QStringLiteral("ftp://qorauser:wrong@%1:%2/tffs0/image.txt").arg(kApp).arg(sim_->ftpPort())}, 67},
        {"login refused", [](qsim::Faults& f) { f.ftpRefuseLogin = true; }, {exeUrl}, 67},
        {"missing file", none, {ftpUrl(QStringLiteral("/tffs0/nothing.txt"))}, 78},  // 550
        {"550 on a file", [](qsim::Faults& f) { f.ftpFail550File = QStringLiteral("qorax_5_7_1_12.bin"); }, {exeUrl}, 78},
        {"550 on a command", [](qsim::Faults& f) { f.ftpFail550Command = QStringLiteral("DELE"); },
         {QStringLiteral("-Q"), QStringLiteral("DELE image.txt"), ftpUrl(QStringLiteral("/tffs0/"))}, 21},
        {"withheld 226", [](qsim::Faults& f) { f.ftpWithholdReplyFor = QStringLiteral("RETR"); },
         {QStringLiteral("--max-time"), QStringLiteral("2"), exeUrl}, 28},
        {"reset in a download", [](qsim::Faults& f) { f.ftpResetAfterBytes = 1000; }, {exeUrl}, 56},
        {"reset of another file only", [](qsim::Faults& f) { f.ftpResetAfterBytes = 1000; f.ftpResetFile = QStringLiteral("other.bin"); },
         {exeUrl}, 0},
        {"multi-line replies", [](qsim::Faults& f) { f.ftpMultiLineReplies = true; }, {exeUrl}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        qsim::Faults f;
        row.set(f);
        sim_->setFaults(f);
        const CurlResult r = curl(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err.toStdString();
        EXPECT_TRUE(row.exitCode != 56 || r.out.size() <= 1000) << r.out.size();
        EXPECT_TRUE(sim_->flash().exists(QStringLiteral("/tffs0/image.txt")));
    }
    // A reset in an upload (a send or a receive failure to curl) leaves what
    // arrived, and the server goes on serving.
    sim_->clearFaults();
    sim_->updateFaults([](qsim::Faults& f) { f.ftpResetAfterBytes = 100000; });
    const QByteArray upload = randomBytes(500000);
    EXPECT_NE(curl({QStringLiteral("-T"), localFile(QStringLiteral("u.bin"), upload), ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_4_0.bin"))}).exitCode, 0);
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_4_0.bin")).value_or("none"), upload.left(100000));
    sim_->clearFaults();
    EXPECT_EQ(curl({ftpUrl(QStringLiteral("/tffs0/image.txt"))}).out, QByteArray("/bin/qorax_5_7_1_12.bin"));
}
