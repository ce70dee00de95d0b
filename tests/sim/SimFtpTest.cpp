// FTP through the wire, with curl and a raw control connection.

#include "SimHarness.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using namespace simtest;

namespace {

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b)
        c = char(QRandomGenerator::global()->generate() & 0xff);
    return b;
}

QString writeTemp(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.path() + QLatin1Char('/') + name);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

}  // namespace

class SimFtp : public SimTest {};

TEST_F(SimFtp, PathsOutsideTheFlashAreRefused)
{
    QDir(dir_.path()).mkpath(QStringLiteral("outside"));
    QFile secret(dir_.path() + QStringLiteral("/outside/secret"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    ASSERT_TRUE(QFile::link(dir_.path() + QStringLiteral("/outside/secret"),
                            config_.flashDir + QStringLiteral("/tffs0/link")));
    ASSERT_TRUE(QFile::link(dir_.path() + QStringLiteral("/outside"), config_.flashDir + QStringLiteral("/tffs0/out")));

    struct Row {
        const char* line;
        int code;
    };
    const Row rows[] = {
        {"SIZE image.txt", 213},
        {"SIZE /tffs0/image.txt", 213},
        {"SIZE /ram0/syslog.log", 213},
        {"SIZE ../flash/tffs0/image.txt", 550},
        {"SIZE /tffs0/../tffs0/image.txt", 550},
        {"SIZE ../outside/secret", 550},
        {"SIZE /etc/passwd", 550},
        {"SIZE link", 550},
        {"SIZE out/secret", 550},
        {"SIZE bin\\..\\image.txt", 550},
        {"CWD ..", 550},
        {"CWD /", 250},
        {"CWD /etc", 550},
        {"CWD out", 550},
        {"STOR ../evil", 553},
        {"STOR /evil", 553},
        {"STOR out/evil", 553},
        {"DELE ../outside/secret", 550},
    };
    Client c;
    ftpLogin(c);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ftp(c, row.line), row.code);
        ftp(c, "CWD /tffs0");
    }
    EXPECT_TRUE(QFile::exists(dir_.path() + QStringLiteral("/outside/secret")));
    EXPECT_FALSE(QFile::exists(dir_.path() + QStringLiteral("/evil")));
    EXPECT_FALSE(QFile::exists(dir_.path() + QStringLiteral("/outside/evil")));
}

TEST_F(SimFtp, BinaryIsExactAndAsciiConvertsLineEnds)
{
    QTemporaryDir tmp;
    const QByteArray exe = randomBytes(300 * 1024) + "\r\n\n\r";
    ASSERT_EQ(curl({QStringLiteral("-T"), writeTemp(tmp, QStringLiteral("x.bin"), exe),
                    ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_3_0.bin"))}).exitCode, 0);
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_3_0.bin")).value_or(""), exe);
    const CurlResult back = curl({ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_3_0.bin"))});
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_EQ(back.out, exe);


    // Type A: CR LF on the wire, LF on the flash; type I: unchanged.
    sim_->flash().write(QStringLiteral("/tffs0/t.txt"), "a\nb\r\nc");
    Client c;
    ftpLogin(c);
    struct Row {
        const char* type;
        QByteArray wire;
        QByteArray stored;
    };
    const Row rows[] = {{"TYPE A", "a\r\nb\r\nc", "x\ny\n"}, {"TYPE I", "a\nb\r\nc", "x\r\ny\r\n"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        ASSERT_EQ(ftp(c, row.type), 200);
        int code = 0;
        EXPECT_EQ(ftpTransfer(c, "RETR t.txt", nullptr, &code), row.wire);
        EXPECT_EQ(code, 226);
        const QByteArray up = "x\r\ny\r\n";
        ftpTransfer(c, "STOR u.txt", &up, &code);
        EXPECT_EQ(code, 226);
        EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/u.txt")).value_or("-"), row.stored);
    }
}

TEST_F(SimFtp, DataConnectionKinds)
{
    const QStringList kinds[] = {{}, {QStringLiteral("--disable-epsv")}, {QStringLiteral("-P"), kApp}, {QStringLiteral("-P"), kApp, QStringLiteral("--disable-eprt")}};
    for (const QStringList& kind : kinds) {
        SCOPED_TRACE(kind.join(QLatin1Char(' ')).toStdString());
        const CurlResult r = curl(kind + QStringList{ftpUrl(QStringLiteral("/ram0/syslog.log"))});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith("0x")) << r.out.toStdString();
    }
}

TEST_F(SimFtp, ListingDeletingAndMissingFiles)
{
    sim_->flash().putExecutable(QStringLiteral("5_7_0_9"), "old");
    CurlResult list = curl({ftpUrl(QStringLiteral("/tffs0/bin/"))});
    EXPECT_TRUE(list.out.contains(" 3 ") && list.out.contains(" qorax_5_7_0_9.bin\n")) << list.out.toStdString();

    EXPECT_EQ(curl({QStringLiteral("-Q"), QStringLiteral("DELE bin/qorax_5_7_0_9.bin"), ftpUrl(QStringLiteral("/tffs0/"))}).exitCode, 0);
    EXPECT_FALSE(sim_->flash().exists(QStringLiteral("/tffs0/bin/qorax_5_7_0_9.bin")));
    EXPECT_EQ(curl({ftpUrl(QStringLiteral("/tffs0/nothing.txt"))}).exitCode, 78);  // 550: remote file not found

    Client c;
    ftpLogin(c);
    QByteArray text;
    EXPECT_EQ(ftp(c, "PWD", &text), 257);
    EXPECT_TRUE(text.contains("\"/tffs0\""));
    EXPECT_EQ(ftp(c, "DELE nothing.txt"), 550);
    EXPECT_EQ(ftp(c, "SITE CHMOD 777 image.txt"), 502);
    EXPECT_EQ(ftp(c, "NLST"), 425) << "no data connection was asked for";
    int code = 0;
    EXPECT_EQ(ftpTransfer(c, "NLST bin", nullptr, &code), QByteArray("qorax_5_7_1_12.bin\r\n"));
    EXPECT_EQ(ftpTransfer(c, "NLST /tffs0/bin/*.txt", nullptr, &code), QByteArray());
    EXPECT_EQ(code, 226);
    EXPECT_EQ(ftp(c, "CDUP"), 250);
    EXPECT_EQ(ftp(c, "PWD", &text), 257);
    EXPECT_TRUE(text.contains("\"/\""));
}

TEST_F(SimFtp, LoginIsRequiredAndChecked)
{
    EXPECT_EQ(curl({QStringLiteral("ftp://qorauser:wrong@%1:%2/tffs0/image.txt").arg(kApp).arg(sim_->ftpPort())}).exitCode, 67);
    sim_->updateFaults([](qsim::Faults& f) { f.ftpRefuseLogin = true; });
    EXPECT_EQ(curl({ftpUrl(QStringLiteral("/tffs0/image.txt"))}).exitCode, 67);
    sim_->clearFaults();

    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->ftpPort()));
    c.readUntil("220 ");
    EXPECT_EQ(ftp(c, "RETR image.txt"), 530);
    EXPECT_EQ(ftp(c, "PASS skywardly"), 503);
    EXPECT_EQ(ftp(c, "USER anonymous"), 331);
    EXPECT_EQ(ftp(c, "PASS skywardly"), 530);
}

TEST_F(SimFtp, ConcurrentSessionsKeepTheirOwnDirectory)
{
    Client a, b;
    ftpLogin(a);
    ftpLogin(b);
    EXPECT_EQ(ftp(a, "CWD /tffs0/bin"), 250);
    QByteArray text;
    EXPECT_EQ(ftp(b, "PWD", &text), 257);
    EXPECT_TRUE(text.contains("\"/tffs0\""));
    EXPECT_EQ(ftp(a, "SIZE qorax_5_7_1_12.bin"), 213);
    EXPECT_EQ(ftp(b, "SIZE qorax_5_7_1_12.bin"), 550);
}

TEST_F(SimFtp, FailureFaults)
{
    QTemporaryDir tmp;
    const QString upload = writeTemp(tmp, QStringLiteral("u.bin"), randomBytes(200000));
    const QString exeUrl = ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_1_12.bin"));
    struct Row {
        const char* name;
        std::function<void(qsim::Faults&)> set;
        QStringList args;
        int exitCode;
    };
    const Row rows[] = {
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
        if (row.exitCode == 56) {
            EXPECT_LE(r.out.size(), 1000);
        }
        EXPECT_TRUE(sim_->flash().exists(QStringLiteral("/tffs0/image.txt")));
    }
}

TEST_F(SimFtp, ResetDuringUploadLeavesWhatArrived)
{
    QTemporaryDir tmp;
    const QByteArray bytes = randomBytes(500000);
    sim_->updateFaults([](qsim::Faults& f) { f.ftpResetAfterBytes = 100000; });
    const CurlResult r = curl({QStringLiteral("-T"), writeTemp(tmp, QStringLiteral("u.bin"), bytes),
                               ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_4_0.bin"))});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_4_0.bin")).value_or("none"), bytes.left(100000));
    // The server goes on serving new sessions.
    sim_->clearFaults();
    EXPECT_EQ(curl({ftpUrl(QStringLiteral("/tffs0/image.txt"))}).out, QByteArray("/bin/qorax_5_7_1_12.bin"));
}

TEST_F(SimFtp, MultiLineRepliesSeenRaw)
{
    sim_->updateFaults([](qsim::Faults& f) { f.ftpMultiLineReplies = true; });
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->ftpPort()));
    const QByteArray greeting = c.readUntil("220 ");
    EXPECT_TRUE(greeting.startsWith("220-"));
    EXPECT_EQ(ftp(c, "USER qorauser"), 331);
    QByteArray text;
    EXPECT_EQ(ftp(c, "PASS skywardly", &text), 230);
    EXPECT_TRUE(text.startsWith("230-"));
}
