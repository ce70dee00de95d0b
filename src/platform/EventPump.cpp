#include "platform/EventPump.h"

#include "platform/Settings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace EventPump {

void doEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void waitUnscaled(int ms)
{
    if (ms <= 0) {
        doEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

void wait(int ms)
{
    waitUnscaled(Settings::scaled(ms));
}

}  // namespace EventPump
