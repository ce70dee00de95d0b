#include "SimState.h"

#include <QDeadlineTimer>

#include <cmath>

namespace qsim {

SimState::SimState(double timeScale) : timeScale_(timeScale > 0 ? timeScale : 1.0)
{
    clock_.start();
}

Model SimState::model() const
{
    QMutexLocker lock(&mutex_);
    return model_;
}

void SimState::setModel(const Model& m)
{
    QMutexLocker lock(&mutex_);
    model_ = m;
}

void SimState::updateModel(const std::function<void(Model&)>& change)
{
    QMutexLocker lock(&mutex_);
    change(model_);
}

Faults SimState::faults() const
{
    QMutexLocker lock(&mutex_);
    return faults_;
}

void SimState::setFaults(const Faults& f)
{
    QMutexLocker lock(&mutex_);
    faults_ = f;
}

void SimState::updateFaults(const std::function<void(Faults&)>& change)
{
    QMutexLocker lock(&mutex_);
    change(faults_);
}

Status SimState::status() const
{
    QMutexLocker lock(&mutex_);
    return status_;
}

void SimState::setStatus(const Status& s)
{
    QMutexLocker lock(&mutex_);
    status_ = s;
    changed_.wakeAll();
}

quint64 SimState::addRecord(Record r)
{
    {
        QMutexLocker lock(&mutex_);
        r.seq = nextSeq_++;
        r.atMs = clock_.elapsed();
        records_.append(r);
        changed_.wakeAll();
    }
    if (onRecord)
        onRecord(r);
    return r.seq;
}

QList<Record> SimState::records() const
{
    QMutexLocker lock(&mutex_);
    return records_;
}

void SimState::clearRecords()
{
    QMutexLocker lock(&mutex_);
    records_.clear();
}

bool SimState::waitFor(const std::function<bool(const Status&, const QList<Record>&)>& done, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&mutex_);
    while (!done(status_, records_)) {
        if (!changed_.wait(&mutex_, deadline))
            return done(status_, records_);
    }
    return true;
}

void SimState::event(const QString& line) const
{
    if (onEvent)
        onEvent(line);
}

int SimState::scaled(int terminalMs) const
{
    if (terminalMs <= 0)
        return 0;
    return qMax(1, int(std::lround(terminalMs * timeScale_)));
}

}  // namespace qsim
