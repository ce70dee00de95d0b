#pragma once

// One service's port on the terminal's addresses. The port is held on every
// address for the simulator's whole life by a bound socket that does not
// listen, so connections are refused while the terminal is down and nobody
// else can take the port in between; the service listens beside it on the
// address of whatever is booted.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

namespace qsim {

class Listener {
public:
    Listener() = default;
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // port 0: a port free on all the addresses.
    bool reserve(const QList<QHostAddress>& addresses, quint16 port, QString* error);
    void release();
    quint16 port() const { return port_; }

    bool listen(const QHostAddress& address, QObject* context, const std::function<void(QTcpSocket*)>& onConnection,
                QString* error);
    void close();
    bool isListening() const { return server_ != nullptr; }
    QHostAddress address() const { return address_; }

private:
    QList<int> reservations_;
    quint16 port_ = 0;
    QTcpServer* server_ = nullptr;
    QHostAddress address_;
};

}  // namespace qsim
