#pragma once

// What the simulator thread and the test thread share: model, faults, status
// and the record, behind one lock. Waiters are woken on every change.

#include "SimTypes.h"

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QWaitCondition>

#include <functional>

namespace qsim {

class SimState {
public:
    explicit SimState(double timeScale);

    Model model() const;
    void setModel(const Model& m);
    void updateModel(const std::function<void(Model&)>& change);
    Faults faults() const;
    void setFaults(const Faults& f);
    void updateFaults(const std::function<void(Faults&)>& change);
    Status status() const;
    void setStatus(const Status& s);

    // Stamps the record with its sequence number and time, then tells
    // onRecord; returns the number.
    quint64 addRecord(Record r);
    QList<Record> records() const;
    void clearRecords();

    // Blocks the calling thread until the predicate (run under the lock on
    // every change) holds or the time is up.
    bool waitFor(const std::function<bool(const Status&, const QList<Record>&)>& done, int timeoutMs) const;

    void event(const QString& line) const;

    double timeScale() const { return timeScale_; }
    // A terminal duration in real milliseconds (never below 1 when positive).
    int scaled(int terminalMs) const;

    // Set before the simulator starts; called on the simulator thread.
    std::function<void(const Record&)> onRecord;
    std::function<void(const QString&)> onEvent;

private:
    mutable QMutex mutex_;
    mutable QWaitCondition changed_;
    Model model_;
    Faults faults_;
    Status status_;
    QList<Record> records_;
    quint64 nextSeq_ = 1;
    QElapsedTimer clock_;
    double timeScale_;
};

}  // namespace qsim
