#include "platform/TcpClient.h"

#include "log/LogFormat.h"
#include "platform/Settings.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

int winsockNumber(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return TcpClient::sckConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return TcpClient::sckHostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return TcpClient::sckTimedout;
    case QAbstractSocket::NetworkError:
        return TcpClient::sckConnectionReset;
    default:
        return TcpClient::sckConnectAborted;
    }
}

}  // namespace

TcpClient::TcpClient(const QString& name, QObject* parent) : QObject(parent), name_(name)
{
    setObjectName(name);
}

TcpClient::~TcpClient()
{
    dropSocket();
}

QString TcpClient::describeError(int number)
{
    switch (number) {
    case sckConnectionRefused:
        return QStringLiteral("Connection is forcefully rejected");
    case sckTimedout:
        return QStringLiteral("Connection timed out");
    case sckHostNotFound:
        return QStringLiteral("Authoritative answer: Host not found");
    case sckConnectionReset:
        return QStringLiteral("Connection is reset by remote side");
    case sckConnectAborted:
        return QStringLiteral("Connection is aborted due to timeout or other failure");
    case sckInvalidOp:
        return QStringLiteral("Invalid operation at current state");
    default:
        return QStringLiteral("Socket error");
    }
}

void TcpClient::dropSocket()
{
    ++generation_;
    if (socket_) {
        QTcpSocket* s = socket_;
        socket_.clear();
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
}

void TcpClient::close()
{
    dropSocket();
    state_ = sckClosed;
}

void TcpClient::deliverError(quint64 generation, int number)
{
    if (generation != generation_)
        return;
    state_ = sckError;
    if (onError)
        onError(number, describeError(number));
}

int TcpClient::connectToHost()
{
    if (state_ != sckClosed)
        return sckInvalidOp;

    dropSocket();
    const quint64 gen = generation_;
    const Settings& settings = Settings::get();
    if (!settings.isConnectionAllowed(remoteHost)) {
        if (onGuardLog)
            onGuardLog(QStringLiteral("%1: connection to '%2' port %3 refused: only loopback addresses are allowed (QORA_LOOPBACK_ONLY=1)")
                           .arg(name_, remoteHost)
                           .arg(remotePort));
        state_ = sckConnecting;
        QTimer::singleShot(0, this, [this, gen] { deliverError(gen, sckConnectionRefused); });
        return 0;
    }

    if (onConnectLog)
        onConnectLog(qlog::connectionLine(name_, remoteHost, remotePort));
    auto* s = new QTcpSocket(this);
    socket_ = s;
    state_ = sckConnecting;

    QObject::connect(s, &QTcpSocket::connected, this, [this, gen] {
        if (gen != generation_)
            return;
        state_ = sckConnected;
        if (onConnect)
            onConnect();
    });
    QObject::connect(s, &QTcpSocket::readyRead, this, [this, gen, s] {
        if (gen != generation_)
            return;
        const QByteArray bytes = s->readAll();
        if (!bytes.isEmpty() && onDataArrival)
            onDataArrival(bytes);
    });
    QObject::connect(s, &QTcpSocket::errorOccurred, this, [this, gen](QAbstractSocket::SocketError e) {
        if (gen != generation_)
            return;
        if (e == QAbstractSocket::RemoteHostClosedError) {
            // The peer closed an established connection: that is the Close event.
            state_ = sckClosing;
            if (onClose)
                onClose();
            return;
        }
        deliverError(gen, winsockNumber(e));
    });

    // Anything but a plain dotted address is a host name to look up, as the
    // original control treated it ("127.0. 0.1" is not an address).
    quint32 literal = 0;
    if (Settings::parseIPv4(remoteHost, &literal))
        s->connectToHost(QHostAddress(literal), remotePort);
    else
        s->connectToHost(remoteHost, remotePort);
    return 0;
}

bool TcpClient::sendData(const QByteArray& bytes)
{
    if (!socket_ || state_ != sckConnected)
        return false;
    const qint64 n = socket_->write(bytes);
    socket_->flush();
    return n == bytes.size();
}
