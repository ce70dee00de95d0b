#include "SimHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace simtest {

bool Client::connect(const QString& address, quint16 port)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
    error_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : errno;
    eof_ = false;
    if (error_)
        close();
    return !error_;
}

void Client::send(const QByteArray& bytes)
{
    if (fd_ >= 0)
        (void)::send(fd_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
}

QByteArray Client::readOnce(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&p, 1, timeoutMs) <= 0)
        return {};
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    eof_ = eof_ || n <= 0;
    return QByteArray(buf, int(qMax<ssize_t>(n, 0)));
}

QByteArray Client::read(int firstMs, int quietMs)
{
    QByteArray all = readOnce(firstMs);
    for (QByteArray more = all; !more.isEmpty(); all += more)
        more = readOnce(quietMs);
    return all;
}

QByteArray Client::readUntil(const QByteArray& needle, int timeoutMs)
{
    QByteArray all;
    QElapsedTimer t;
    t.start();
    while (!all.contains(needle) && t.elapsed() < timeoutMs && !eof_)
        all += readOnce(int(qMax<qint64>(1, timeoutMs - t.elapsed())));
    return all;
}

bool Client::closedWithin(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (fd_ >= 0 && !eof_ && t.elapsed() <= timeoutMs)
        readOnce(int(qMax<qint64>(0, timeoutMs - t.elapsed())));
    return fd_ < 0 || eof_;
}

void Client::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

QByteArray be32(qint32 v)
{
    const quint32 big = qToBigEndian(quint32(v));
    return QByteArray(reinterpret_cast<const char*>(&big), 4);
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator::global()->generate(b.begin(), b.end());
    return b;
}

QByteArray zingRequest(quint32 code)
{
    QByteArray r = be32(qint32(code));
    if (code == 0x04)
        r += be32(1);
    else if (code == 0x90)
        r += char(2);
    else if (code == 0x326)
        r += QByteArray::fromHex("40404862002A0D0A");
    return r;
}

void SimTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    config_.flashDir = dir_.path() + QStringLiteral("/flash");
    config_.appAddress = QHostAddress(kApp);
    config_.defaultAddress = QHostAddress(kDefault);
    // Terminal times are multiplied by this: a 5000 ms restart takes 50 ms.
    config_.timeScale = 0.01;
    qsim::Flash(config_.flashDir).seedDemo(QStringLiteral("5_7_1_12"), 4096);
    startSim();
}

void SimTest::startSim()
{
    sim_.reset();
    sim_ = std::make_unique<qsim::Terminal>(config_);
    sim_->updateModel([](qsim::Model& m) { m.restartMs = 5000; m.antennaFlashMs = 10000; m.reflashMs = 10000; });
    QString error;
    ASSERT_TRUE(sim_->start(&error)) << error.toStdString();
    ASSERT_TRUE(sim_->waitUntilUp(2000));
}

void SimTest::resetAndWait()
{
    const int resets = sim_->resetCount();
    sim_->reset();
    ASSERT_TRUE(sim_->waitForBootAfterReset(resets, 2000));
}

void SimTest::bootRom()
{
    sim_->flash().remove(QStringLiteral("/tffs0/image.txt"));
    resetAndWait();
    ASSERT_TRUE(sim_->inBootRom());
}

QString SimTest::localFile(const QString& name, const QByteArray& bytes) const
{
    QFile f(dir_.path() + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

QByteArray SimTest::zing(const QByteArray& request, const QString& address, int firstMs)
{
    Client c;
    if (c.connect(address, sim_->zingPort()))
        c.send(request);
    return c.read(firstMs);
}

CurlResult SimTest::curl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("curl"), QStringList{QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("10")} + args);
    p.closeWriteChannel();
    const bool done = p.waitForFinished(15000);
    if (!done)
        p.kill();
    return {done ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

QString SimTest::ftpUrl(const QString& path) const
{
    // curl takes the URL path relative to the login folder; %2F makes it absolute.
    const QString absolute = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/%2F") + path.mid(1) : path;
    return QStringLiteral("ftp://qorauser:skywardly@%1:%2%3").arg(kApp).arg(sim_->ftpPort()).arg(absolute);
}

void SimTest::ftpLogin(Client& c)
{
    ASSERT_TRUE(c.connect(kApp, sim_->ftpPort()));
    ASSERT_TRUE(c.said("220 "));
    ASSERT_EQ(ftp(c, "USER qorauser"), 331);
    ASSERT_EQ(ftp(c, "PASS skywardly"), 230);
}

int SimTest::ftpReply(Client& c, QByteArray* replyText)
{
    // The final line of a reply is "NNN text"; "NNN-" lines continue it
    // and 1xx replies announce a transfer.
    static const QRegularExpression last(QStringLiteral("(?:^|\n)([2-5]\\d\\d) [^\r\n]*\r\n"));
    QByteArray all;
    QRegularExpressionMatch m;
    QElapsedTimer t;
    t.start();
    while (!(m = last.match(QString::fromLatin1(all))).hasMatch() && t.elapsed() < 3000 && !c.atEnd())
        all += c.readOnce(int(qMax<qint64>(1, 3000 - t.elapsed())));
    if (replyText)
        *replyText = all;
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

bool SimTest::openData(Client& c, Client& data)
{
    QByteArray text;
    if (ftp(c, "PASV", &text) != 227)
        return false;
    const auto m = QRegularExpression(QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)")).match(QString::fromLatin1(text));
    return m.hasMatch() && data.connect(QStringLiteral("%1.%2.%3.%4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4)),
                                        quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt()));
}

QByteArray SimTest::ftpTransfer(Client& c, const QByteArray& command, const QByteArray* upload)
{
    Client data;
    EXPECT_TRUE(openData(c, data));
    c.sendLine(command);
    if (upload)
        data.send(*upload);
    const QByteArray received = upload ? QByteArray() : data.read(3000, 3000);
    data.close();
    EXPECT_EQ(ftpReply(c), 226) << command.toStdString();
    return received;
}

void SimTest::shellLogin(Client& c, const QString& address)
{
    ASSERT_TRUE(c.connect(address, sim_->telnetPort()));
    ASSERT_TRUE(c.said("VxWorks login: "));
    c.sendLine("qorauser");
    ASSERT_TRUE(c.said("Password:"));
    c.sendLine("skywardly");
    ASSERT_TRUE(c.said("-> "));
}

}  // namespace simtest
