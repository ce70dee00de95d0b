#include "platform/FtpPut.h"

#include "log/LogFormat.h"
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

void FtpPut::logConnection(const QString& who, const QString& host, quint16 port) const
{
    if (onConnectLog)
        onConnectLog(qlog::connectionLine(who, host, port));
}

// One session of the one-shot calls: the control connection logged in, in
// the given type, with a passive data connection open. Each failure fills
// the result as the original call reported it.
class FtpPut::Session {
public:
    Session(const FtpPut& owner, FtpPutResult& result, int limitMs)
        : owner_(owner), result_(result), session_(control_, clock_, limitMs, result.reply)
    {
        clock_.start();
    }

    bool failed(Failure f, int code, const QString& text = {})
    {
        result_.failure = f;
        result_.error = code;
        if (!text.isEmpty())
            result_.reply = text;
        return false;
    }
    // A silent peer ends in a time-out; one that hangs up made no connection
    // before the login and reset it after.
    int lost() const { return session_.expired() ? InetFtp::errTimeout : InetFtp::errConnectionReset; }
    int unreachable() const { return session_.expired() ? InetFtp::errTimeout : InetFtp::errCannotConnect; }
    static int refusedCode(const FtpReply& r) { return r.code == 421 ? InetFtp::errConnectionReset : InetFtp::errRefused; }

    bool open(const char* type) { return logIn() && openData(type); }

    bool logIn()
    {
        const quint16 port = owner_.port_ ? owner_.port_ : Settings::get().ftpPort;
        if (const QString refusal = InetFtp::guardRefusal("FtpPut", owner_.host_, port); !refusal.isEmpty()) {
            if (owner_.onGuardLog)
                owner_.onGuardLog(refusal);
            return failed(Failure::Connect, InetFtp::errCannotConnect,
                          QStringLiteral("Cannot connect to %1 port %2: not a loopback address").arg(owner_.host_).arg(port));
        }
        owner_.logConnection(QStringLiteral("FtpPut"), owner_.host_, port);
        quint32 literal = 0;
        if (Settings::parseIPv4(owner_.host_, &literal))
            control_.connectToHost(QHostAddress(literal), port);
        else
            control_.connectToHost(owner_.host_, port);
        if (!control_.waitForConnected(session_.left())) {
            int code = InetFtp::errCannotConnect;
            if (session_.expired() || control_.error() == QAbstractSocket::SocketTimeoutError)
                code = InetFtp::errTimeout;
            else if (control_.error() == QAbstractSocket::HostNotFoundError)
                code = InetFtp::errNameNotResolved;
            return failed(Failure::Connect, code,
                          QStringLiteral("Cannot connect to %1: %2").arg(owner_.host_, control_.errorString()));
        }

        // Connection and login make the "connection" of the original call.
        auto greeting = session_.reply(true);
        if (!greeting)
            return failed(Failure::Connect, unreachable());
        if (!greeting->positive())
            return failed(Failure::Connect, InetFtp::errCannotConnect);
        session_.send("USER", owner_.user_);
        auto login = session_.reply(true);
        if (login && login->intermediate()) {
            session_.send("PASS", owner_.password_);
            login = session_.reply(true);
        }
        if (!login)
            return failed(Failure::Connect, unreachable());
        if (!login->positive())
            return failed(Failure::Connect, InetFtp::errLoginRefused);
        return true;
    }

    bool openData(const char* type)
    {
        session_.send("TYPE", QLatin1String(type));
        const auto typeReply = session_.reply(true);
        if (!typeReply)
            return failed(Failure::Put, lost());
        if (!typeReply->positive())
            return failed(Failure::Put, refusedCode(*typeReply));

        session_.send("PASV");
        auto passive = session_.reply(true);
        std::optional<quint16> dataPort;
        if (passive && passive->positive())
            dataPort = parsePasvReply(passive->text);
        if (passive && !dataPort) {
            session_.send("EPSV");
            passive = session_.reply(true);
            if (passive && passive->positive())
                dataPort = parseEpsvReply(passive->text);
        }
        if (!passive)
            return failed(Failure::Put, lost());
        if (!dataPort)
            return failed(Failure::Put, refusedCode(*passive));

        // As in InetFtp: data goes to the control connection's peer only.
        owner_.logConnection(QStringLiteral("FtpPut data"), control_.peerAddress().toString(), *dataPort);
        data_.connectToHost(control_.peerAddress(), *dataPort);
        if (!data_.waitForConnected(session_.left()))
            return failed(Failure::Put, session_.expired() ? InetFtp::errTimeout : InetFtp::errCannotConnect,
                          QStringLiteral("Cannot open the data connection: %1").arg(data_.errorString()));
        return true;
    }

    // The goodbye is a courtesy that must not hold the window.
    void quit()
    {
        session_.send("QUIT");
        session_.reply(true, Settings::scaled(2000));
        control_.disconnectFromHost();
    }

    const FtpPut& owner_;
    FtpPutResult& result_;
    QElapsedTimer clock_;
    QTcpSocket control_;
    QTcpSocket data_;
    BlockingSession session_;
};

int FtpPut::limitMs() const
{
    return timeoutMs_ >= 0 ? std::max(1, timeoutMs_) : Settings::scaled(60000);
}

FtpPutResult FtpPut::put(const QString& localPath, const QString& remoteName)
{
    FtpPutResult result;
    Session s(*this, result, limitMs());

    // The local file is opened before anything goes on the wire: a file this
    // PC cannot read must not cost the terminal its descriptor.
    QFile file(localPath);
    if (!QFileInfo(localPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        s.failed(Failure::Local, InetFtp::errLocalFile,
                 QStringLiteral("Local file cannot be read: %1 (%2)")
                     .arg(localPath, QFileInfo(localPath).isFile() ? file.errorString() : QStringLiteral("not a file")));
        return result;
    }
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('\r')) || remoteName.contains(QLatin1Char('\n'))) {
        s.failed(Failure::Put, InetFtp::errRefused, QStringLiteral("Not a remote file name: %1").arg(remoteName));
        return result;
    }
    if (!s.open("A"))
        return result;

    s.session_.send("STOR", remoteName);
    const auto opened = s.session_.reply(false);
    if (!opened) {
        s.failed(Failure::Put, s.lost());
        return result;
    }
    if (!opened->preliminary()) {
        s.failed(Failure::Put, opened->positive() ? InetFtp::errConnectionReset : Session::refusedCode(*opened));
        return result;
    }

    bool pendingCr = false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0) {
            s.failed(Failure::Local, InetFtp::errLocalFile,
                     QStringLiteral("Local file cannot be read: %1 (%2)").arg(localPath, file.errorString()));
            return result;
        }
        if (n == 0)
            break;
        s.data_.write(toNetworkText(buffer.constData(), n, pendingCr));
        while (s.data_.bytesToWrite() > 0) {
            if (!s.data_.waitForBytesWritten(s.session_.left())) {
                s.failed(Failure::Put, s.lost(), QStringLiteral("Data connection: %1").arg(s.data_.errorString()));
                return result;
            }
        }
    }
    s.data_.disconnectFromHost();
    if (s.data_.state() != QAbstractSocket::UnconnectedState && !s.data_.waitForDisconnected(s.session_.left())) {
        s.failed(Failure::Put, s.lost(), QStringLiteral("Data connection: %1").arg(s.data_.errorString()));
        return result;
    }

    const auto stored = s.session_.reply(true);
    if (!stored) {
        s.failed(Failure::Put, s.lost());
        return result;
    }
    if (!stored->positive()) {
        s.failed(Failure::Put, Session::refusedCode(*stored));
        return result;
    }
    s.quit();
    return result;
}

FtpPutResult FtpPut::remove(const QString& remoteName)
{
    FtpPutResult result;
    Session s(*this, result, limitMs());
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('\r')) || remoteName.contains(QLatin1Char('\n'))) {
        s.failed(Failure::Put, InetFtp::errRefused, QStringLiteral("Not a remote file name: %1").arg(remoteName));
        return result;
    }
    if (!s.logIn())
        return result;
    s.session_.send("DELE", remoteName);
    const auto deleted = s.session_.reply(true);
    if (!deleted)
        s.failed(Failure::Put, s.lost());
    else if (!deleted->positive())
        s.failed(Failure::Put, Session::refusedCode(*deleted));
    else
        s.quit();
    return result;
}

FtpFetchResult FtpPut::fetch(const QString& remoteName, qint64 maxBytes)
{
    FtpFetchResult result;
    Session s(*this, result, limitMs());
    if (remoteName.isEmpty() || remoteName.contains(QLatin1Char('\r')) || remoteName.contains(QLatin1Char('\n'))) {
        s.failed(Failure::Put, InetFtp::errRefused, QStringLiteral("Not a remote file name: %1").arg(remoteName));
        return result;
    }
    if (!s.open("I"))
        return result;
    s.session_.send("RETR", remoteName);
    const auto opened = s.session_.reply(false);
    if (!opened) {
        s.failed(Failure::Put, s.lost());
        return result;
    }
    if (!opened->preliminary()) {
        // 550: the file is not there, which is an answer, not a failure.
        if (opened->code == 550) {
            result.absent = true;
            s.quit();
        } else {
            s.failed(Failure::Put, opened->positive() ? InetFtp::errConnectionReset : Session::refusedCode(*opened));
        }
        return result;
    }
    // Enough to tell what the file is; the rest stays on the terminal.
    for (;;) {
        if (s.data_.bytesAvailable() > 0) {
            result.bytes += s.data_.read(maxBytes - result.bytes.size());
            if (result.bytes.size() >= maxBytes)
                break;
            continue;
        }
        if (s.data_.state() != QAbstractSocket::ConnectedState)
            break;  // the server closed the data connection: all of it is here
        if (!s.data_.waitForReadyRead(s.session_.left()) && s.data_.bytesAvailable() == 0 &&
            s.data_.state() == QAbstractSocket::ConnectedState) {
            s.failed(Failure::Put, s.lost());
            return result;
        }
    }
    result.truncated = result.bytes.size() >= maxBytes;
    s.data_.abort();
    // A transfer cut short may be answered 426 rather than 226: the bytes read stand.
    s.session_.reply(true, Settings::scaled(2000));
    s.quit();
    return result;
}
