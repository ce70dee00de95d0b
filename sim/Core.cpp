#include "Core.h"

#include "FtpService.h"
#include "Outbox.h"
#include "TelnetService.h"
#include "TerminalTexts.h"
#include "ZingService.h"

#include <QTcpSocket>

namespace qsim {

Core::Core(const Config& config, SimState* state, const Flash& flash)
    : config_(config), state_(state), flash_(flash)
{
    // Children, so that they move to the simulator's thread with this object.
    bootTimer_.setParent(this);
    powerOnTimer_.setParent(this);
    bootTimer_.setSingleShot(true);
    connect(&bootTimer_, &QTimer::timeout, this, &Core::boot);
    powerOnTimer_.setSingleShot(true);
    connect(&powerOnTimer_, &QTimer::timeout, this, &Core::powerOn);
}

Core::~Core()
{
    stop();
    // Sessions tell this object when they go, so they must go first.
    QList<QPointer<QObject>> kids;
    for (QObject* c : children()) {
        if (c != &bootTimer_ && c != &powerOnTimer_)
            kids << c;
    }
    for (const auto& c : kids)
        delete c.data();
}

bool Core::start(QString* error)
{
    const QList<QHostAddress> addresses{config_.appAddress, config_.defaultAddress};
    const quint16 ports[3] = {config_.zingPort, config_.ftpPort, config_.telnetPort};
    for (int i = 0; i < 3; ++i) {
        if (!listeners_[i].reserve(addresses, ports[i], error)) {
            *error = QStringLiteral("%1 port: %2").arg(serviceName(Service(i)), *error);
            for (auto& l : listeners_)
                l.release();
            return false;
        }
    }
    status_.mode = Mode::Restarting;
    status_.platform = platform();
    publish();
    const int delay = scaled(config_.startDelayMs);
    if (delay > 0)
        bootTimer_.start(delay);
    else
        boot();
    return true;
}

void Core::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    bootTimer_.stop();
    powerOnTimer_.stop();
    Q_EMIT goingDown();
    for (auto& t : pending_)
        delete t.data();
    pending_.clear();
    for (auto& l : listeners_) {
        l.close();
        l.release();
    }
    // Buried connections are children of this object and go with it.
    status_.mode = Mode::Off;
    status_.address.clear();
    status_.version.clear();
    publish();
}

quint16 Core::port(Service s) const
{
    return listeners_[int(s)].port();
}

void Core::goDown(Mode next, const QString& why)
{
    Q_EMIT goingDown();
    for (auto& t : pending_)
        delete t.data();
    pending_.clear();
    for (auto& l : listeners_)
        l.close();
    status_.mode = next;
    status_.address.clear();
    status_.version.clear();
    if (next == Mode::Restarting)
        ++status_.resetCount;
    publish();
    event(why);
}

void Core::restart(const QString& reason)
{
    if (stopped_ || status_.mode == Mode::Off)
        return;
    const Model m = state_->model();
    goDown(Mode::Restarting, QStringLiteral("restart (%1), back in %2 ms").arg(reason).arg(scaled(m.restartMs)));
    bootTimer_.start(scaled(m.restartMs));
}

void Core::requestRestart(const QString& reason)
{
    QMetaObject::invokeMethod(this, [this, reason] { restart(reason); }, Qt::QueuedConnection);
}

void Core::powerOff(const QString& reason)
{
    if (stopped_)
        return;
    bootTimer_.stop();
    goDown(Mode::Off, QStringLiteral("power off (%1)").arg(reason));
    const int autoOn = state_->model().autoPowerOnMs;
    if (autoOn >= 0)
        powerOnTimer_.start(scaled(autoOn));
}

void Core::powerOn()
{
    if (stopped_ || status_.mode != Mode::Off)
        return;
    powerOnTimer_.stop();
    status_.mode = Mode::Restarting;
    publish();
    const int ms = scaled(state_->model().restartMs);
    event(QStringLiteral("power on, up in %1 ms").arg(ms));
    bootTimer_.start(ms);
}

void Core::boot()
{
    if (stopped_)
        return;
    const Model m = state_->model();
    const Flash::BootChoice choice = flash_.bootChoice(m.minExecutableBytes);
    if (choice.application) {
        status_.mode = Mode::Application;
        status_.version = dottedVersion(choice.version);
        status_.address = config_.appAddress.toString();
        lastAppVersion_ = status_.version;
    } else {
        status_.mode = Mode::BootRom;
        status_.version.clear();
        status_.address = config_.defaultAddress.toString();
    }
    ++status_.bootCount;
    status_.platform = platform();
    updateListening();
    publish();
    if (choice.application)
        event(QStringLiteral("boot application %1 at %2").arg(status_.version, status_.address));
    else
        event(QStringLiteral("boot Boot ROM at %1 (%2)").arg(status_.address, choice.reason));
}

void Core::applyFaults()
{
    updateListening();
}

void Core::updateListening()
{
    if (stopped_)
        return;
    const Faults f = state_->faults();
    const ServiceMode modes[3] = {f.zing.mode, f.ftp.mode, f.telnet.mode};
    const QHostAddress address(status_.address);
    for (int i = 0; i < 3; ++i) {
        Listener& l = listeners_[i];
        const bool wanted = isUp() && modes[i] != ServiceMode::Refuse;
        if (!wanted || (l.isListening() && l.address() != address))
            l.close();
        if (wanted && !l.isListening()) {
            QString error;
            const Service s = Service(i);
            if (!l.listen(address, this, [this, s](QTcpSocket* socket) { accept(s, socket); }, &error))
                event(QStringLiteral("%1 cannot listen: %2").arg(serviceName(s), error));
        }
    }
}

void Core::accept(Service s, QTcpSocket* socket)
{
    const int id = ++connections_[int(s)];
    socket->setParent(nullptr);
    sendWithoutDelay(socket);
    event(QStringLiteral("%1#%2 connected from %3:%4 to %5")
              .arg(serviceName(s))
              .arg(id)
              .arg(socket->peerAddress().toString())
              .arg(socket->peerPort())
              .arg(socket->localAddress().toString()));
    switch (s) {
    case Service::Zing: new ZingSession(socket, this, id); break;
    case Service::Ftp: new FtpSession(socket, this, id); break;
    case Service::Telnet: new TelnetSession(socket, this, id); break;
    }
}

int Core::platform() const
{
    const Model m = state_->model();
    if (!m.platformVersion.isEmpty())
        return platformOf(dottedVersion(m.platformVersion));
    if (!lastAppVersion_.isEmpty())
        return platformOf(lastAppVersion_);
    const QStringList versions = flash_.executableVersions();
    return versions.isEmpty() ? 14 : platformOf(dottedVersion(versions.first()));
}

void Core::later(int terminalMs, const std::function<void()>& fn)
{
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [timer, fn] {
        timer->deleteLater();
        fn();
    });
    pending_.removeAll(nullptr);
    pending_ << timer;
    timer->start(scaled(terminalMs));
}

bool Core::record(Record r, qint64* cutAfterBytes)
{
    if (cutAfterBytes)
        *cutAfterBytes = -1;
    const bool transfer = r.service == Service::Ftp &&
                          QStringList{QStringLiteral("RETR"), QStringLiteral("STOR"), QStringLiteral("NLST"),
                                      QStringLiteral("LIST")}
                              .contains(r.command);
    const Service service = r.service;
    const quint64 seq = state_->addRecord(std::move(r));
    const Faults::Cut cut = state_->faults().cut;
    if (cut.action == Faults::Cut::Action::None || seq != cut.atSeq)
        return true;
    if (cut.action == Faults::Cut::Action::CloseShell || cut.action == Faults::Cut::Action::SilenceShell) {
        // Only the shells are hit: a ZING or FTP item is served as usual.
        cutNow(QStringLiteral("record %1").arg(seq));
        return service != Service::Telnet;
    }
    if (transfer && cut.afterBytes >= 0 && cutAfterBytes) {
        *cutAfterBytes = cut.afterBytes;
        return true;
    }
    cutNow(QStringLiteral("record %1").arg(seq));
    return false;
}

void Core::cutNow(const QString& where)
{
    const Faults::Cut cut = state_->faults().cut;
    ++status_.cuts;
    switch (cut.action) {
    case Faults::Cut::Action::PowerOff:
        powerOff(QStringLiteral("cut at ") + where);  // publishes
        return;
    case Faults::Cut::Action::CloseShell:
        // Counted before the FIN goes: a client that sees its shell close
        // must find the cut made.
        publish();
        event(QStringLiteral("shells closed at %1 (cut)").arg(where));
        Q_EMIT shellsClosed();
        return;
    case Faults::Cut::Action::SilenceShell:
        // In the faults, so that shells opened later are dead too and
        // setting the faults again brings them back.
        state_->updateFaults([](Faults& f) { f.telnetSilenced = true; });
        event(QStringLiteral("shells silenced at %1 (cut)").arg(where));
        break;
    case Faults::Cut::Action::None:
    case Faults::Cut::Action::ResetLinks:
        event(QStringLiteral("connections reset at %1 (cut)").arg(where));
        Q_EMIT linksCut();
        break;
    }
    publish();  // after the sessions let go, so a waiter finds their files closed
}

void Core::bury(QTcpSocket* socket)
{
    if (!socket)
        return;
    socket->disconnect();
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        socket->readAll();
        if (isUp()) {
            resetConnection(socket);
            socket->deleteLater();
        }
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

void Core::publish()
{
    state_->setStatus(status_);
}

}  // namespace qsim
