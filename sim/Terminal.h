#pragma once

// A simulated terminal for tests, the demo and the benchmarks.
//
//   qsim::Config cfg;                    // flash folder, addresses, ports (0 = free)
//   cfg.flashDir = tmp.path();
//   qsim::Terminal t(cfg);
//   t.flash().seedDemo("5_7_1_12");      // or putExecutable / writeDescriptor
//   t.start();                           // ZING, FTP and telnet on t.zingPort() ...
//   t.setFaults(...); t.setModel(...);   // at any time, from any thread
//   t.waitForRecordCount(3, 2000);       // or connect to recorded()
//
// The services run on the terminal's own thread with its own event loop, so
// they keep answering while the thread that drives the client blocks. Every
// method may be called from any thread.

#include "Flash.h"
#include "SimTypes.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QThread;

namespace qsim {

class Core;
class SimState;

class Terminal : public QObject {
    Q_OBJECT
public:
    explicit Terminal(const Config& config, QObject* parent = nullptr);
    ~Terminal() override;

    // Reserves the ports on both addresses and boots (after Config::startDelayMs).
    bool start(QString* error = nullptr);
    // Closes every connection and listener; the ports are released.
    void stop();
    bool isRunning() const { return core_ != nullptr; }

    quint16 zingPort() const { return ports_[0]; }
    quint16 ftpPort() const { return ports_[1]; }
    quint16 telnetPort() const { return ports_[2]; }
    const Config& config() const { return config_; }
    const Flash& flash() const { return flash_; }

    // What runs now.
    Status status() const;
    bool isUp() const;
    bool inBootRom() const { return status().mode == Mode::BootRom; }
    QString runningVersion() const { return status().version; }
    int resetCount() const { return status().resetCount; }

    // Blocks the calling thread (no event processing) until the predicate
    // holds; false on time-out. A client running on the same thread must be
    // waited for with an event-pumping loop over status()/records() instead.
    bool waitForStatus(const std::function<bool(const Status&)>& done, int timeoutMs) const;
    bool waitUntilUp(int timeoutMs) const;
    // Up again after the reset count passed `count` (a restart has completed).
    bool waitForBootAfterReset(int count, int timeoutMs) const;

    // The terminal's buttons.
    void reset();
    void powerOff();
    void powerOn();

    Model model() const;
    void setModel(const Model& model);
    void updateModel(const std::function<void(Model&)>& change);
    Faults faults() const;
    void setFaults(const Faults& faults);
    void updateFaults(const std::function<void(Faults&)>& change);
    void clearFaults() { setFaults(Faults{}); }

    // Everything received, in order.
    QList<Record> records() const;
    QList<Record> records(Service service) const;
    void clearRecords();
    bool waitForRecords(const std::function<bool(const QList<Record>&)>& done, int timeoutMs) const;
    bool waitForRecordCount(int count, int timeoutMs) const;

Q_SIGNALS:
    // Emitted on the terminal's thread; queued to receivers elsewhere.
    void recorded(const qsim::Record& record);
    // One line per event served (passwords masked), for a console.
    void event(const QString& line);

private:
    template <typename F>
    void inCore(F&& f) const;

    Config config_;
    Flash flash_;
    std::unique_ptr<SimState> state_;
    QThread* thread_ = nullptr;
    Core* core_ = nullptr;
    quint16 ports_[3] = {0, 0, 0};
};

}  // namespace qsim
