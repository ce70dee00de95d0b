#include "platform/EventPump.h"

#include "platform/Settings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace EventPump {

namespace {
int g_depth = 0;

struct Nested {
    Nested() { ++g_depth; }
    ~Nested() { --g_depth; }
};
}  // namespace

int depth()
{
    return g_depth;
}

void doEvents()
{
    const Nested n;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitForEvents()
{
    const Nested n;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void waitUnscaled(int ms)
{
    if (ms <= 0) {
        doEvents();
        return;
    }
    const Nested n;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

void wait(int ms)
{
    waitUnscaled(Settings::scaled(ms));
}

}  // namespace EventPump
