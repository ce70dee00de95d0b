#include "Listener.h"

#include <QTcpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qsim {

namespace {

// A TCP socket bound to address:port with SO_REUSEADDR, so that a listener
// and the reservation may share the port. -1 on failure.
int boundSocket(const QHostAddress& address, quint16 port, quint16* boundPort, QString* error)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address.toIPv4Address());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        *error = QStringLiteral("%1:%2: %3").arg(address.toString()).arg(port).arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    *boundPort = ntohs(sa.sin_port);
    return fd;
}

}  // namespace

Listener::~Listener()
{
    close();
    release();
}

bool Listener::reserve(const QList<QHostAddress>& addresses, quint16 port, QString* error)
{
    release();
    QList<QHostAddress> unique;
    for (const auto& a : addresses) {
        if (!unique.contains(a))
            unique << a;
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
        quint16 chosen = port;
        bool ok = true;
        for (const auto& a : unique) {
            quint16 bound = 0;
            const int fd = boundSocket(a, chosen, &bound, error);
            if (fd < 0) {
                ok = false;
                break;
            }
            reservations_ << fd;
            chosen = bound;
        }
        if (ok) {
            port_ = chosen;
            return true;
        }
        release();
        if (port != 0)
            return false;  // a given port that is taken stays taken
    }
    return false;
}

void Listener::release()
{
    for (int fd : reservations_)
        ::close(fd);
    reservations_.clear();
}

bool Listener::listen(const QHostAddress& address, QObject* context,
                      const std::function<void(QTcpSocket*)>& onConnection, QString* error)
{
    close();
    quint16 bound = 0;
    const int fd = boundSocket(address, port_, &bound, error);
    if (fd < 0)
        return false;
    if (::listen(fd, 16) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    server_ = new QTcpServer(context);
    if (!server_->setSocketDescriptor(fd)) {
        *error = server_->errorString();
        ::close(fd);
        delete server_;
        server_ = nullptr;
        return false;
    }
    address_ = address;
    QTcpServer* server = server_;
    QObject::connect(server_, &QTcpServer::newConnection, context, [server, onConnection] {
        while (QTcpSocket* s = server->nextPendingConnection())
            onConnection(s);
    });
    return true;
}

void Listener::close()
{
    if (!server_)
        return;
    server_->close();
    delete server_;
    server_ = nullptr;
    address_ = QHostAddress();
}

}  // namespace qsim
