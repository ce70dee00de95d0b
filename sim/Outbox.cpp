#include "Outbox.h"

#include "SimState.h"

#include <sys/socket.h>

namespace qsim {

Outbox::Outbox(QTcpSocket* socket, const SimState* state, Service service, QObject* parent)
    : QObject(parent), socket_(socket), state_(state), service_(service)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &Outbox::pump);
    clock_.start();
}

void Outbox::send(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const Faults faults = state_->faults();
    const ServiceFault& f = service_ == Service::Zing ? faults.zing
                            : service_ == Service::Ftp ? faults.ftp
                                                       : faults.telnet;
    if (f.mode == ServiceMode::Silent || (service_ == Service::Telnet && faults.telnetSilenced))
        return;
    const qint64 now = clock_.elapsed();
    qint64 due = now;
    if (f.mode == ServiceMode::Late)
        due += state_->scaled(f.delayMs);
    due = qMax(due, lastDue_);
    const int piece = service_ == Service::Telnet ? faults.telnetSplitBytes : 0;
    if (piece > 0 && bytes.size() > piece) {
        for (int at = 0; at < bytes.size(); at += piece) {
            queue_.append({due, bytes.mid(at, piece)});
            lastDue_ = due;
            due += qMax(1, faults.telnetSplitGapMs);
        }
    } else {
        queue_.append({due, bytes});
        lastDue_ = due;
    }
    pump();
}

void Outbox::closeWhenSent()
{
    closeWhenSent_ = true;
    pump();
}

void Outbox::drop()
{
    queue_.clear();
    timer_.stop();
    closeWhenSent_ = false;
}

qint64 Outbox::backlog() const
{
    qint64 n = socket_ ? socket_->bytesToWrite() : 0;
    for (const Item& i : queue_)
        n += i.bytes.size();
    return n;
}

bool Outbox::silenced() const
{
    return service_ == Service::Telnet && state_->faults().telnetSilenced;
}

void Outbox::pump()
{
    if (!socket_)
        return;
    // A shell silenced meanwhile writes nothing more, not even what it queued.
    if (!queue_.isEmpty() && silenced()) {
        queue_.clear();
        timer_.stop();
    }
    const qint64 now = clock_.elapsed();
    while (!queue_.isEmpty() && queue_.first().due <= now) {
        socket_->write(queue_.takeFirst().bytes);
        // Separate pieces must leave as separate segments.
        if (!queue_.isEmpty())
            socket_->flush();
    }
    if (!queue_.isEmpty()) {
        timer_.start(int(queue_.first().due - now));
        return;
    }
    if (closeWhenSent_)
        socket_->disconnectFromHost();
}

void resetConnection(QTcpSocket* socket)
{
    if (!socket)
        return;
    const qintptr fd = socket->socketDescriptor();
    if (fd >= 0) {
        struct linger lg { 1, 0 };
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    }
    socket->abort();
}

void sendWithoutDelay(QTcpSocket* socket)
{
    if (socket)
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

}  // namespace qsim
