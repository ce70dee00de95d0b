#pragma once

// One ZING connection: requests in, one write per response out.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace qsim {

class Core;
class Outbox;

class ZingSession : public QObject {
    Q_OBJECT
public:
    ZingSession(QTcpSocket* socket, Core* core, int id);

    // Writes a response now (the antenna confirmation comes later than its request).
    void respond(quint32 requestCode, const QByteArray& normal);

private:
    void onReadyRead();
    void onShortTimeout();
    void handle(const QByteArray& raw, int length, const QString& note);
    void serve(quint32 code, const QByteArray& request);
    void upgradeAntenna();
    void goAway();
    void cutLink();

    Core* core_;
    QTcpSocket* socket_;
    Outbox* out_;
    int id_;
    QByteArray buffer_;
    QTimer shortTimer_;
};

}  // namespace qsim
