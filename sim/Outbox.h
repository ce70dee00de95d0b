#pragma once

// Everything a service writes to its client goes through here, so the
// service faults act in one place: silent services (and silenced shells)
// drop it, late ones delay it (in order), and the telnet split cuts it into
// separate writes.

#include "SimTypes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace qsim {

class SimState;

class Outbox : public QObject {
    Q_OBJECT
public:
    Outbox(QTcpSocket* socket, const SimState* state, Service service, QObject* parent);

    void send(const QByteArray& bytes);
    // Closes the connection (FIN) once everything queued has been written.
    void closeWhenSent();
    // Forgets what is still queued.
    void drop();
    // Bytes queued here or in the socket, not yet handed to the system.
    qint64 backlog() const;

private:
    void pump();
    bool silenced() const;

    QPointer<QTcpSocket> socket_;
    const SimState* state_;
    Service service_;
    struct Item {
        qint64 due;
        QByteArray bytes;
    };
    QList<Item> queue_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastDue_ = 0;
    bool closeWhenSent_ = false;
};

// Drops a connection with a reset (RST) instead of the orderly FIN.
void resetConnection(QTcpSocket* socket);

// For every connection the terminal accepts or opens: without it a reply
// written right behind another (150, then 226) waits for the client's delayed
// ACK, some 40 ms on Linux.
void sendWithoutDelay(QTcpSocket* socket);

}  // namespace qsim
