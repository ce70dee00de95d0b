#pragma once

// The terminal itself, living on the simulator's thread: the boot model,
// the three listeners and the connections they accept. Everything here runs
// on that one thread; the Terminal facade calls in with queued invocations.

#include "Flash.h"
#include "Listener.h"
#include "SimState.h"
#include "SimTypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>

class QTcpSocket;

namespace qsim {

class TelnetSession;

class Core : public QObject {
    Q_OBJECT
public:
    Core(const Config& config, SimState* state, const Flash& flash);
    ~Core() override;

    bool start(QString* error);
    void stop();

    quint16 port(Service s) const;

    // Goes down now (connections fall silent) and boots after the restart time.
    void restart(const QString& reason);
    // The same, posted: for a session that asks from inside its own handler.
    void requestRestart(const QString& reason);
    void powerOff(const QString& reason);
    void powerOn();
    // Faults changed: a refused service stops or starts listening.
    void applyFaults();

    // For the services.
    SimState* state() const { return state_; }
    const Flash& flash() const { return flash_; }
    Mode mode() const { return status_.mode; }
    bool isUp() const { return status_.mode == Mode::BootRom || status_.mode == Mode::Application; }
    QString runningVersion() const { return status_.version; }  // dotted
    int platform() const;
    int scaled(int terminalMs) const { return state_->scaled(terminalMs); }
    void event(const QString& line) const { state_->event(line); }
    // Records what a service received. False when the record cut the
    // terminal off (Faults::cut): the service must not act on it. A transfer
    // to be cut inside its data gets the byte count in *cutAfterBytes (else -1).
    bool record(Record r, qint64* cutAfterBytes = nullptr);
    // Makes the cut of Faults::cut now (a transfer reached its byte count).
    void cutNow(const QString& where);
    // Runs fn after a terminal duration unless the terminal goes down first.
    void later(int terminalMs, const std::function<void()>& fn);
    // Keeps a connection of a terminal that went down open but deaf: a real
    // one that loses power sends no FIN; data arriving after the terminal is
    // back meets a reset.
    void bury(QTcpSocket* socket);

    bool telnetBusy() const { return !shells_.isEmpty(); }
    void shellOpened(TelnetSession* s) { shells_.insert(s); }
    void shellClosed(TelnetSession* s) { shells_.remove(s); }

Q_SIGNALS:
    // The terminal goes down: sessions hand their sockets to bury() and go.
    void goingDown();
    // Every connection is reset; the terminal stays up.
    void linksCut();
    // Every shell session closes; the rest of the terminal goes on.
    void shellsClosed();

private:
    void goDown(Mode next, const QString& why);
    void boot();
    void updateListening();
    void accept(Service s, QTcpSocket* socket);
    void publish();

    Config config_;
    SimState* state_;
    Flash flash_;
    Listener listeners_[3];
    QTimer bootTimer_;
    QTimer powerOnTimer_;
    Status status_;
    QString lastAppVersion_;
    int connections_[3] = {0, 0, 0};
    QList<QPointer<QTimer>> pending_;
    QSet<TelnetSession*> shells_;
    bool stopped_ = false;
};

}  // namespace qsim
