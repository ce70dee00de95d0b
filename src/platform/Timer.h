#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

// A timer with the semantics of the original event model: it ticks repeatedly
// while enabled; enabling an enabled timer does not restart its countdown;
// disabling and enabling again does. Intervals are scaled by the time scale.
class Timer : public QObject {
    Q_OBJECT
public:
    Timer(const QString& name, int intervalMs, QObject* parent = nullptr);

    const QString& name() const { return name_; }
    int interval() const { return intervalMs_; }
    void setInterval(int ms);
    bool enabled() const;
    void setEnabled(bool on);
    void enable() { setEnabled(true); }
    void disable() { setEnabled(false); }

    // Time left until the next tick, in real milliseconds; -1 while disabled.
    int remainingMs() const;
    // The interval as it is waited, scaled.
    int scaledInterval() const;

    std::function<void()> onTick;
    // Told whenever the timer is switched on or off.
    std::function<void(bool on)> onEnabledChanged;

private:
    void tick();

    QString name_;
    int intervalMs_;
    QTimer* timer_;
};
