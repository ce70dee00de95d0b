#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTcpSocket;

// A TCP client socket that behaves like the Winsock control the program was
// written against: numbered states, four events, Winsock error numbers.
// After close() no event of that connection is delivered any more.
class TcpClient : public QObject {
    Q_OBJECT
public:
    enum State {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };

    enum ErrorNumber {
        sckInvalidOp = 40020,
        sckConnectAborted = 10053,
        sckConnectionReset = 10054,
        sckTimedout = 10060,
        sckConnectionRefused = 10061,
        sckHostNotFound = 11001,
    };

    explicit TcpClient(const QString& name, QObject* parent = nullptr);
    ~TcpClient() override;

    QString remoteHost;
    quint16 remotePort = 0;

    int state() const { return state_; }
    // Starts connecting to remoteHost:remotePort. Returns 0, or sckInvalidOp
    // when the socket is not closed (as the original control raised).
    int connectToHost();
    void close();
    // Writes the bytes in one send; false when not connected.
    bool sendData(const QByteArray& bytes);

    std::function<void()> onConnect;
    std::function<void(const QByteArray&)> onDataArrival;
    std::function<void()> onClose;
    std::function<void(int number, const QString& description)> onError;
    // Receives the line explaining a connection refused by the loopback guard.
    std::function<void(const QString&)> onGuardLog;
    // Receives the line naming the address of each connection opened.
    std::function<void(const QString&)> onConnectLog;

    static QString describeError(int number);

private:
    void dropSocket();
    void deliverError(quint64 generation, int number);

    QString name_;
    QPointer<QTcpSocket> socket_;
    quint64 generation_ = 0;
    int state_ = sckClosed;
};
