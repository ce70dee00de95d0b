#include "SimHarness.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace simtest {

Client::~Client()
{
    close();
}

bool Client::connect(const QString& address, quint16 port)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error_ = errno;
        close();
        return false;
    }
    error_ = 0;
    eof_ = false;
    return true;
}

void Client::send(const QByteArray& bytes)
{
    if (fd_ >= 0)
        (void)::send(fd_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
}

QByteArray Client::readOnce(int timeoutMs)
{
    if (fd_ < 0)
        return {};
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return {};
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0)
        eof_ = true;
    return n > 0 ? QByteArray(buf, int(n)) : QByteArray();
}

QByteArray Client::read(int firstMs, int quietMs)
{
    QByteArray all = readOnce(firstMs);
    if (all.isEmpty())
        return all;
    while (true) {
        const QByteArray more = readOnce(quietMs);
        if (more.isEmpty())
            return all;
        all += more;
    }
}

QByteArray Client::readUntil(const QByteArray& needle, int timeoutMs)
{
    QByteArray all;
    QElapsedTimer t;
    t.start();
    while (!all.contains(needle) && t.elapsed() < timeoutMs) {
        all += readOnce(int(qMax<qint64>(1, timeoutMs - t.elapsed())));
        if (eof_)
            break;
    }
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
    const quint32 u = quint32(v);
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((u >> (24 - 8 * i)) & 0xff);
    return b;
}

qint32 be32At(const QByteArray& b, int offset)
{
    if (b.size() < offset + 4)
        return -99999;
    quint32 u = 0;
    for (int i = 0; i < 4; ++i)
        u = (u << 8) | quint8(b[offset + i]);
    return qint32(u);
}

QByteArray textAt(const QByteArray& b, int offset)
{
    const QByteArray rest = b.mid(offset);
    const int nul = rest.indexOf('\0');
    return nul < 0 ? rest : rest.left(nul);
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
    // Terminal times below are multiplied by this: 5000 ms restart = 50 ms.
    config_.timeScale = 0.01;
    model_.restartMs = 5000;
    model_.antennaFlashMs = 10000;
    model_.reflashMs = 10000;
    qsim::Flash(config_.flashDir).seedDemo(QStringLiteral("5_7_1_12"), 4096);
    startSim();
}

void SimTest::TearDown()
{
    sim_.reset();
}

void SimTest::startSim()
{
    sim_.reset();
    sim_ = std::make_unique<qsim::Terminal>(config_);
    sim_->setModel(model_);
    QString error;
    ASSERT_TRUE(sim_->start(&error)) << error.toStdString();
    ASSERT_TRUE(sim_->waitUntilUp(2000));
}

QByteArray SimTest::zing(const QByteArray& request, const QString& address, int firstMs)
{
    Client c;
    if (!c.connect(address, sim_->zingPort()))
        return {};
    c.send(request);
    return c.read(firstMs);
}

CurlResult SimTest::curl(const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.start(QStringLiteral("curl"), QStringList{QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("10")} + args);
    p.closeWriteChannel();
    CurlResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString SimTest::ftpUrl(const QString& path, const QString& address) const
{
    // curl takes the URL path relative to the login folder; %2F makes it absolute.
    const QString absolute = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/%2F") + path.mid(1) : path;
    return QStringLiteral("ftp://qorauser:skywardly@%1:%2%3").arg(address).arg(sim_->ftpPort()).arg(absolute);
}

void SimTest::ftpLogin(Client& c, const QString& address)
{
    ASSERT_TRUE(c.connect(address, sim_->ftpPort()));
    ASSERT_TRUE(c.readUntil("220 ").contains("220 "));
    ASSERT_EQ(ftp(c, "USER qorauser"), 331);
    ASSERT_EQ(ftp(c, "PASS skywardly"), 230);
}

int SimTest::ftp(Client& c, const QByteArray& line, QByteArray* replyText, int timeoutMs)
{
    c.sendLine(line);
    return ftpReply(c, replyText, timeoutMs);
}

int SimTest::ftpReply(Client& c, QByteArray* replyText, int timeoutMs)
{
    QByteArray all;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        // The final line of a reply is "NNN text"; "NNN-" lines continue it
        // and 1xx replies announce a transfer.
        for (const QByteArray& l : all.split('\n')) {
            if (l.size() >= 4 && l.endsWith('\r') && l[3] == ' ' && !l.startsWith('1')) {
                if (replyText)
                    *replyText = all;
                return l.left(3).toInt();
            }
        }
        const QByteArray more = c.readOnce(int(qMax<qint64>(1, timeoutMs - t.elapsed())));
        if (c.atEnd())
            break;
        all += more;
    }
    if (replyText)
        *replyText = all;
    return -1;
}

QByteArray SimTest::ftpTransfer(Client& c, const QByteArray& command, const QByteArray* upload, int* code)
{
    *code = -1;
    QByteArray text;
    if (ftp(c, "PASV", &text) != 227)
        return {};
    const auto m = QRegularExpression(QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)")).match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return {};
    Client data;
    const QString host = QStringLiteral("%1.%2.%3.%4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4));
    if (!data.connect(host, quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt())))
        return {};
    c.sendLine(command);
    QByteArray received;
    if (upload) {
        data.send(*upload);
        data.close();
    } else {
        for (QByteArray more = data.readOnce(3000); !more.isEmpty(); more = data.readOnce(3000))
            received += more;
    }
    *code = ftpReply(c);
    return received;
}

void SimTest::shellLogin(Client& c, const QString& address)
{
    ASSERT_TRUE(c.connect(address, sim_->telnetPort()));
    ASSERT_TRUE(c.readUntil("login: ").contains("VxWorks login: "));
    c.sendLine("qorauser");
    ASSERT_TRUE(c.readUntil("Password:").contains("Password:"));
    c.sendLine("skywardly");
    ASSERT_TRUE(c.readUntil("-> ").contains("-> "));
}

}  // namespace simtest
