#include "platform/FtpPut.h"

#include "platform/FtpReply.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <algorithm>
#include <optional>

namespace {

using Failure = FtpPutResult::Failure;

// The blocking exchange on one control connection, every wait cut to what is
// left of the put's limit.
class BlockingSession {
public:
    BlockingSession(QTcpSocket& socket, const QElapsedTimer& clock, int limitMs, QString& lastReply)
        : socket_(socket), clock_(clock), limitMs_(limitMs), lastReply_(lastReply)
    {
    }

    int left() const { return static_cast<int>(std::max<qint64>(0, limitMs_ - clock_.elapsed())); }
    bool expired() const { return left() == 0; }

    void send(const char* command, const QString& argument = {})
    {
        QByteArray line(command);
        if (!argument.isEmpty())
            line += ' ' + argument.toUtf8();
        socket_.write(line + "\r\n");
    }

    // The next reply; with finalOnly, 1xx replies are passed over. Nothing on
    // time-out or when the server closed the connection.
    std::optional<FtpReply> reply(bool finalOnly, int limitMs = -1)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            while (auto r = parser_.next()) {
                lastReply_ = r->text;
                if (!(finalOnly && r->preliminary()))
                    return r;
            }
            int wait = left();
            if (limitMs >= 0)
                wait = std::min<int>(wait, static_cast<int>(std::max<qint64>(0, limitMs - waited.elapsed())));
            if (wait == 0)
                return std::nullopt;
            if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(wait))
                return std::nullopt;
            parser_.feed(socket_.readAll());
            if (parser_.overflowed()) {
                // No server sends that much for one reply: the session is broken.
                lastReply_ = QStringLiteral("The server's reply runs past %1 lines or %2 bytes")
                                 .arg(FtpReplyParser::kMaxReplyLines)
                                 .arg(FtpReplyParser::kMaxReplyBytes);
                return std::nullopt;
            }
        }
    }

private:
    QTcpSocket& socket_;
    const QElapsedTimer& clock_;
    int limitMs_;
    QString& lastReply_;
    FtpReplyParser parser_;
};

// ASCII type: every line ends in CR LF on the wire. pendingCr carries a CR
// that ended the previous piece.
QByteArray toNetworkText(const char* data, qint64 n, bool& pendingCr)
{
    QByteArray out;
    out.reserve(n + n / 16 + 1);
    for (qint64 i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == '\n' && !pendingCr)
            out += '\r';
        out += c;
        pendingCr = c == '\r';
    }
    return out;
}

}  // namespace

FtpPut::FtpPut(const QString& host) : host_(host) {}

void FtpPut::setCredentials(const QString& user, const QString& password)
{
    user_ = user;
    password_ = password;
}

FtpPutResult FtpPut::put(const QString& localPath, const QString& remoteName)
{
    FtpPutResult result;
    auto failed = [&result](Failure f, int code, const QString& text = {}) {
        result.failure = f;
        result.error = code;
        if (!text.isEmpty())
            result.reply = text;
        return result;
    };

    // The local file is opened before anything goes on the wire: a file this
    // PC cannot read must not cost the terminal its descriptor.
    QFile file(localPath);
    if (!QFileInfo(localPath).isFile() || !file.open(QIODevice::ReadOnly))
        return failed(Failure::Local, InetFtp::errLocalFile,
                      QStringLiteral("Local file cannot be read: %1 (%2)")
                          .arg(localPath, QFileInfo(localPath).isFile() ? file.errorString() : QStringLiteral("not a file")));
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('\r')) || remoteName.contains(QLatin1Char('\n')))
        return failed(Failure::Put, InetFtp::errRefused, QStringLiteral("Not a remote file name: %1").arg(remoteName));

    const quint16 port = port_ ? port_ : Settings::get().ftpPort;
    if (const QString refusal = InetFtp::guardRefusal("FtpPut", host_, port); !refusal.isEmpty()) {
        if (onGuardLog)
            onGuardLog(refusal);
        return failed(Failure::Connect, InetFtp::errCannotConnect,
                      QStringLiteral("Cannot connect to %1 port %2: not a loopback address").arg(host_).arg(port));
    }

    QElapsedTimer clock;
    clock.start();
    const int limit = timeoutMs_ >= 0 ? std::max(1, timeoutMs_) : Settings::scaled(60000);
    QTcpSocket control;
    BlockingSession session(control, clock, limit, result.reply);
    // A silent peer ends in a time-out; one that hangs up made no connection
    // before the login and reset it after.
    auto lost = [&session] { return session.expired() ? InetFtp::errTimeout : InetFtp::errConnectionReset; };
    auto unreachable = [&session] { return session.expired() ? InetFtp::errTimeout : InetFtp::errCannotConnect; };

    quint32 literal = 0;
    if (Settings::parseIPv4(host_, &literal))
        control.connectToHost(QHostAddress(literal), port);
    else
        control.connectToHost(host_, port);
    if (!control.waitForConnected(session.left())) {
        int code = InetFtp::errCannotConnect;
        if (session.expired() || control.error() == QAbstractSocket::SocketTimeoutError)
            code = InetFtp::errTimeout;
        else if (control.error() == QAbstractSocket::HostNotFoundError)
            code = InetFtp::errNameNotResolved;
        return failed(Failure::Connect, code, QStringLiteral("Cannot connect to %1: %2").arg(host_, control.errorString()));
    }

    // Connection and login make the "connection" of the original call.
    auto greeting = session.reply(true);
    if (!greeting)
        return failed(Failure::Connect, unreachable());
    if (!greeting->positive())
        return failed(Failure::Connect, InetFtp::errCannotConnect);
    session.send("USER", user_);
    auto login = session.reply(true);
    if (login && login->intermediate()) {
        session.send("PASS", password_);
        login = session.reply(true);
    }
    if (!login)
        return failed(Failure::Connect, unreachable());
    if (!login->positive())
        return failed(Failure::Connect, InetFtp::errLoginRefused);

    auto refusedCode = [](const FtpReply& r) { return r.code == 421 ? InetFtp::errConnectionReset : InetFtp::errRefused; };
    session.send("TYPE", QStringLiteral("A"));
    const auto type = session.reply(true);
    if (!type)
        return failed(Failure::Put, lost());
    if (!type->positive())
        return failed(Failure::Put, refusedCode(*type));

    session.send("PASV");
    auto passive = session.reply(true);
    std::optional<quint16> dataPort;
    if (passive && passive->positive())
        dataPort = parsePasvReply(passive->text);
    if (passive && !dataPort) {
        session.send("EPSV");
        passive = session.reply(true);
        if (passive && passive->positive())
            dataPort = parseEpsvReply(passive->text);
    }
    if (!passive)
        return failed(Failure::Put, lost());
    if (!dataPort)
        return failed(Failure::Put, refusedCode(*passive));

    // As in InetFtp: data goes to the control connection's peer only.
    QTcpSocket data;
    data.connectToHost(control.peerAddress(), *dataPort);
    if (!data.waitForConnected(session.left()))
        return failed(Failure::Put, session.expired() ? InetFtp::errTimeout : InetFtp::errCannotConnect,
                      QStringLiteral("Cannot open the data connection: %1").arg(data.errorString()));

    session.send("STOR", remoteName);
    const auto opened = session.reply(false);
    if (!opened)
        return failed(Failure::Put, lost());
    if (!opened->preliminary())
        return failed(Failure::Put, opened->positive() ? InetFtp::errConnectionReset : refusedCode(*opened));

    bool pendingCr = false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return failed(Failure::Local, InetFtp::errLocalFile,
                          QStringLiteral("Local file cannot be read: %1 (%2)").arg(localPath, file.errorString()));
        if (n == 0)
            break;
        data.write(toNetworkText(buffer.constData(), n, pendingCr));
        while (data.bytesToWrite() > 0) {
            if (!data.waitForBytesWritten(session.left()))
                return failed(Failure::Put, lost(), QStringLiteral("Data connection: %1").arg(data.errorString()));
        }
    }
    data.disconnectFromHost();
    if (data.state() != QAbstractSocket::UnconnectedState && !data.waitForDisconnected(session.left()))
        return failed(Failure::Put, lost(), QStringLiteral("Data connection: %1").arg(data.errorString()));

    const auto stored = session.reply(true);
    if (!stored)
        return failed(Failure::Put, lost());
    if (!stored->positive())
        return failed(Failure::Put, refusedCode(*stored));

    // The file is there; the goodbye is a courtesy that must not hold the window.
    session.send("QUIT");
    session.reply(true, Settings::scaled(2000));
    control.disconnectFromHost();
    return result;
}
