#include "Terminal.h"

#include "Core.h"
#include "SimState.h"

#include <QThread>

namespace qsim {

Terminal::Terminal(const Config& config, QObject* parent)
    : QObject(parent), config_(config), flash_(config.flashDir), state_(std::make_unique<SimState>(config.timeScale))
{
    qRegisterMetaType<qsim::Record>();
    state_->onRecord = [this](const Record& r) { Q_EMIT recorded(r); };
    state_->onEvent = [this](const QString& line) { Q_EMIT event(line); };
}

Terminal::~Terminal()
{
    stop();
}

template <typename F>
void Terminal::inCore(F&& f) const
{
    if (!core_)
        return;
    if (QThread::currentThread() == thread_)
        f();
    else
        QMetaObject::invokeMethod(core_, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

bool Terminal::start(QString* error)
{
    if (core_)
        return true;
    QString why;
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (config_.flashDir.isEmpty())
        return fail(QStringLiteral("no flash folder given"));
    for (const QHostAddress& a : {config_.appAddress, config_.defaultAddress}) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol || !a.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8))
            return fail(QStringLiteral("%1 is not a loopback address (127.x.x.x)").arg(a.toString()));
    }
    if (!flash_.ensureLayout(&why))
        return fail(why);
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("terminal-sim"));
    core_ = new Core(config_, state_.get(), flash_);
    core_->moveToThread(thread_);
    thread_->start();
    bool ok = false;
    inCore([&] {
        ok = core_->start(&why);
        for (int i = 0; i < 3; ++i)
            ports_[i] = core_->port(Service(i));
    });
    if (!ok) {
        stop();
        return fail(why);
    }
    return true;
}

void Terminal::stop()
{
    if (!core_)
        return;
    Core* core = core_;
    inCore([core] { delete core; });
    core_ = nullptr;
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
}

Status Terminal::status() const
{
    return state_->status();
}

bool Terminal::isUp() const
{
    const Mode m = status().mode;
    return m == Mode::BootRom || m == Mode::Application;
}

bool Terminal::waitForStatus(const std::function<bool(const Status&)>& done, int timeoutMs) const
{
    return state_->waitFor([&](const Status& s, const QList<Record>&) { return done(s); }, timeoutMs);
}

bool Terminal::waitUntilUp(int timeoutMs) const
{
    return waitForStatus([](const Status& s) { return s.mode == Mode::BootRom || s.mode == Mode::Application; },
                         timeoutMs);
}

bool Terminal::waitForBootAfterReset(int count, int timeoutMs) const
{
    return waitForStatus(
        [count](const Status& s) {
            return s.resetCount > count && (s.mode == Mode::BootRom || s.mode == Mode::Application);
        },
        timeoutMs);
}

void Terminal::reset()
{
    inCore([this] { core_->restart(QStringLiteral("reset")); });
}

void Terminal::powerOff()
{
    inCore([this] { core_->powerOff(QStringLiteral("power switch")); });
}

void Terminal::powerOn()
{
    inCore([this] { core_->powerOn(); });
}

Model Terminal::model() const
{
    return state_->model();
}

void Terminal::setModel(const Model& model)
{
    state_->setModel(model);
}

void Terminal::updateModel(const std::function<void(Model&)>& change)
{
    state_->updateModel(change);
}

Faults Terminal::faults() const
{
    return state_->faults();
}

void Terminal::setFaults(const Faults& faults)
{
    state_->setFaults(faults);
    inCore([this] { core_->applyFaults(); });
}

void Terminal::updateFaults(const std::function<void(Faults&)>& change)
{
    Faults f = state_->faults();
    change(f);
    setFaults(f);
}

QList<Record> Terminal::records() const
{
    return state_->records();
}

QList<Record> Terminal::records(Service service) const
{
    QList<Record> out;
    for (const Record& r : state_->records()) {
        if (r.service == service)
            out << r;
    }
    return out;
}

void Terminal::clearRecords()
{
    state_->clearRecords();
}

bool Terminal::waitForRecords(const std::function<bool(const QList<Record>&)>& done, int timeoutMs) const
{
    return state_->waitFor([&](const Status&, const QList<Record>& r) { return done(r); }, timeoutMs);
}

bool Terminal::waitForRecordCount(int count, int timeoutMs) const
{
    return waitForRecords([count](const QList<Record>& r) { return r.size() >= count; }, timeoutMs);
}

}  // namespace qsim
