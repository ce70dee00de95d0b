#include "platform/Timer.h"

#include "platform/Settings.h"

#include <QTimer>

Timer::Timer(const QString& name, int intervalMs, QObject* parent)
    : QObject(parent), name_(name), intervalMs_(intervalMs), timer_(new QTimer(this))
{
    setObjectName(name);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(false);
    timer_->setInterval(Settings::scaled(intervalMs_));
    QObject::connect(timer_, &QTimer::timeout, this, &Timer::tick);
}

void Timer::setInterval(int ms)
{
    intervalMs_ = ms;
    const bool running = timer_->isActive();
    timer_->setInterval(Settings::scaled(ms));
    if (running)
        timer_->start();
}

bool Timer::enabled() const
{
    return timer_->isActive();
}

void Timer::setEnabled(bool on)
{
    if (on == timer_->isActive())
        return;
    if (on) {
        timer_->setInterval(Settings::scaled(intervalMs_));
        timer_->start();
    } else {
        timer_->stop();
    }
    if (onEnabledChanged)
        onEnabledChanged(on);
}

int Timer::remainingMs() const
{
    return timer_->remainingTime();
}

int Timer::scaledInterval() const
{
    return timer_->interval();
}

void Timer::tick()
{
    if (onTick)
        onTick();
}
