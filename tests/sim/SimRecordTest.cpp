// The record of everything received, the event lines, and the program's
// command line.

#include "Options.h"
#include "SimHarness.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>

using namespace simtest;

class SimRecord : public SimTest {};

TEST_F(SimRecord, KeepsEverythingInOrderWithPasswords)
{
    // Both signals come on the terminal's thread.
    QMutex mutex;
    QString events;
    QAtomicInt signalled = 0;
    QObject::connect(sim_.get(), &qsim::Terminal::event, sim_.get(), [&](const QString& line) {
        QMutexLocker lock(&mutex);
        events += line + QLatin1Char('\n');
    }, Qt::DirectConnection);
    QObject::connect(sim_.get(), &qsim::Terminal::recorded, sim_.get(), [&](const qsim::Record&) { ++signalled; }, Qt::DirectConnection);

    zing(zingRequest(0x04));
    Client f, t;
    ftpLogin(f);
    ftp(f, "CWD bin");
    shellLogin(t);
    t.run("pic_data_show");

    ASSERT_TRUE(sim_->waitForRecordCount(7, 2000));
    const QList<qsim::Record> all = sim_->records();
    // Zing: hex; ftp: command + argument; telnet: line.
    const std::pair<qsim::Service, const char*> expected[] = {
        {qsim::Service::Zing, "0000000400000001"}, {qsim::Service::Ftp, "USER qorauser"},
        {qsim::Service::Ftp, "PASS skywardly"},    {qsim::Service::Ftp, "CWD bin"},
        {qsim::Service::Telnet, "qorauser"},       {qsim::Service::Telnet, "skywardly"},
        {qsim::Service::Telnet, "pic_data_show"},
    };
    ASSERT_EQ(all.size(), int(std::size(expected)));
    for (int i = 0; i < all.size(); ++i) {
        const qsim::Record& r = all.at(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(r.service, expected[i].first);
        EXPECT_EQ(r.address, kApp);
        const QString text = r.service == qsim::Service::Zing ? QString::fromLatin1(r.raw.toHex())
                             : r.service == qsim::Service::Ftp ? r.command + QLatin1Char(' ') + r.argument
                                                               : r.line;
        EXPECT_EQ(text, QLatin1String(expected[i].second));
        EXPECT_TRUE(i == 0 || (r.seq > all.at(i - 1).seq && r.atMs >= all.at(i - 1).atMs));
    }
    EXPECT_EQ(sim_->records(qsim::Service::Ftp).size(), 3);
    EXPECT_EQ(signalled.loadRelaxed(), all.size());
    {
        QMutexLocker lock(&mutex);
        EXPECT_FALSE(events.contains(QLatin1String("skywardly")));
        EXPECT_TRUE(events.contains(QLatin1String("PASS ********")));
    }
    sim_->clearRecords();
    EXPECT_TRUE(sim_->records().isEmpty());
    EXPECT_FALSE(sim_->waitForRecordCount(1, 100));
}

TEST(SimOptions, CommandLine)
{
    // Arguments, result, part of the message.
    const std::tuple<QStringList, qsim::ParseResult, const char*> rows[] = {
        {{}, qsim::ParseResult::Run, ""},
        {{"--app-address", "10.0.0.1"}, qsim::ParseResult::Error, "loopback"},
        {{"--default-address", "192.168.128.100"}, qsim::ParseResult::Error, "loopback"},
        {{"--app-address", "localhost"}, qsim::ParseResult::Error, "loopback"},
        {{"--app-address", "::1"}, qsim::ParseResult::Error, "loopback"},
        {{"--zing-port", "70000"}, qsim::ParseResult::Error, "zing-port"},
        {{"--battery", "maybe"}, qsim::ParseResult::Error, "battery"},
        {{"--zing-status", "0x92"}, qsim::ParseResult::Error, "zing-status"},
        {{"--ftp-fault", "late:x"}, qsim::ParseResult::Error, "ftp-fault"},
        {{"--no-such-option"}, qsim::ParseResult::Error, "no-such-option"},
        {{"--help"}, qsim::ParseResult::Help, "--telnet-session-limit"},
    };
    for (const auto& [args, result, part] : rows) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        qsim::ProgramOptions o;
        QString message;
        EXPECT_EQ(qsim::parseOptions(QStringList{"sim"} + args, &o, &message), result);
        EXPECT_TRUE(message.contains(QLatin1String(part))) << message.toStdString();
    }

    qsim::ProgramOptions o;
    QString message;
    ASSERT_EQ(qsim::parseOptions({"sim", "--app-address", "127.0.0.9", "--zing-port", "18270", "--restart-ms", "300",
                                  "--zing-ignore", "0x0d", "--zing-truncate", "146=6", "--zing-raw", "0x32=0102",
                                  "--ftp-reset-after", "1000:qorax_5_7_2_0.bin", "--ftp-truncate-upload", "500:atb.sxm",
                                  "--telnet-split", "4:10",
                                  "--ftp-fault", "late:250", "--battery", "unknown", "--shell-login", "bsp2c"},
                                 &o, &message),
              qsim::ParseResult::Run)
        << message.toStdString();
    EXPECT_EQ(o.config.appAddress, QHostAddress(QStringLiteral("127.0.0.9")));
    EXPECT_EQ(o.config.zingPort, 18270);
    EXPECT_EQ(o.model.restartMs, 300);
    EXPECT_EQ(o.faults.zingByCode.value(0x0D).kind, qsim::ZingFault::Kind::NoAnswer);
    EXPECT_EQ(o.faults.zingByCode.value(0x92).length, 6);
    EXPECT_EQ(o.faults.zingByCode.value(0x32).raw, QByteArray("\x01\x02"));
    EXPECT_EQ(o.faults.ftpResetAfterBytes, 1000);
    EXPECT_EQ(o.faults.ftpResetFile, QLatin1String("qorax_5_7_2_0.bin"));
    EXPECT_EQ(o.faults.ftpTruncateUploadTo, 500);
    EXPECT_EQ(o.faults.ftpTruncateFile, QLatin1String("atb.sxm"));
    EXPECT_EQ(o.faults.telnetSplitBytes, 4);
    EXPECT_EQ(o.faults.telnetSplitGapMs, 10);
    EXPECT_EQ(o.faults.ftp.mode, qsim::ServiceMode::Late);
    EXPECT_EQ(o.faults.ftp.delayMs, 250);
    EXPECT_EQ(o.model.battery, qsim::Battery::Unknown);
    EXPECT_EQ(o.model.appShellLogin, qsim::ShellLogin::Bsp2C);
}

// Every default value is printed, whatever line wrapping puts it at the
// end of a line, and no line is wider than a terminal.
TEST(SimOptions, HelpKeepsEveryWord)
{
    qsim::ProgramOptions o;
    QString help;
    ASSERT_EQ(qsim::parseOptions({"sim", "--help"}, &o, &help), qsim::ParseResult::Help);
    const QString flat = help.simplified();
    int defaults = 0;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("Default: (\\S+)")).globalMatch(flat)) {
        ++defaults;
        EXPECT_FALSE(m.captured(1).startsWith(QLatin1String("--"))) << m.captured(0).toStdString();
    }
    EXPECT_GT(defaults, 20);
    EXPECT_TRUE(flat.contains(QLatin1String("--brom-level <N> Boot ROM compatibility level reported. Default: 2 --")));
    for (const QString& line : help.split(QLatin1Char('\n')).mid(1))
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

// The program itself: seeds an empty flash, prints its ports, serves, and
// ends cleanly on SIGTERM.
TEST(SimProgram, StartsServesAndStops)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/qora-terminal-sim");
    if (!QFileInfo::exists(program))
        GTEST_SKIP() << "qora-terminal-sim not built";
    QTemporaryDir dir;
    QProcess p;
    p.start(program, {QStringLiteral("--flash"), dir.path() + QStringLiteral("/flash"), QStringLiteral("--app-address"),
                      kApp, QStringLiteral("--default-address"), kDefault});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    QRegularExpressionMatch ports;
    while (!ports.hasMatch() && p.waitForReadyRead(5000)) {
        out += p.readAllStandardOutput();
        ports = QRegularExpression(QStringLiteral("ports zing=(\\d+) ftp=(\\d+) telnet=(\\d+)")).match(QString::fromLatin1(out));
    }
    ASSERT_TRUE(ports.hasMatch()) << out.toStdString();
    EXPECT_TRUE(out.contains("seeded"));
    Client c;
    ASSERT_TRUE(c.connect(kApp, quint16(ports.captured(1).toUInt())));
    c.send(zingRequest(0x04));
    EXPECT_TRUE(textAt(c.read(), 8).contains("AppSW: 5.7.1.12, "));
    p.waitForReadyRead(1000);
    out += p.readAllStandardOutput();
    EXPECT_TRUE(out.contains("zing#1 <- VERSION_CMD")) << out.toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
