#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// Serves events until the predicate holds or the limit has passed.
inline bool waitUntil(const std::function<bool()>& predicate, int limitMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!predicate()) {
        if (t.elapsed() > limitMs)
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// Serves events for a while (for checking that something does NOT happen).
inline void serveEventsFor(int ms)
{
    waitUntil([] { return false; }, ms);
}
