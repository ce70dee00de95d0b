#include "ui/TerminalWork.h"

namespace work {

QString doingText(Doing doing)
{
    switch (doing) {
    case Doing::Software:
        return QStringLiteral("The Satellite IP Modem is receiving its new software; its network stack is halted.");
    case Doing::Antenna:
        return QStringLiteral("The Satellite IP Modem is upgrading its antenna firmware.");
    case Doing::Pic:
        return QStringLiteral("The Satellite IP Modem's PIC firmware is being upgraded.");
    case Doing::Restart:
        return QStringLiteral("The Satellite IP Modem is restarting, and the upgrader is about to read its versions.");
    }
    return {};
}

QString stopCost(Doing doing, Terms terms)
{
    const bool window = terms == Terms::Window;
    switch (doing) {
    case Doing::Software:
        return window ? QStringLiteral("Closing the upgrader now leaves it halted, and may leave it without software it "
                                       "can start: reset it, and run the upgrade again.")
                      : QStringLiteral("Stopping now leaves it halted, and may leave it without software it can start: "
                                       "reset it (--reset), and run the upgrade again.");
    case Doing::Antenna:
        return window ? QStringLiteral("Closing the upgrader does not stop that, but nobody will check how it ended: keep "
                                       "the Satellite IP Modem powered, and read its versions with 'Get Software "
                                       "Version' once it has restarted.")
                      : QStringLiteral("Stopping does not stop that, but nobody will check how it ended: keep the "
                                       "Satellite IP Modem powered, and read its versions with --terminal-version once "
                                       "it has restarted.");
    case Doing::Pic:
        return window ? QStringLiteral("Closing the upgrader now may leave it starting its Boot ROM: running the PIC "
                                       "Upgrade again puts its image file back.")
                      : QStringLiteral("Stopping now may leave it starting its Boot ROM: --upgrade pic puts its image "
                                       "file back.");
    case Doing::Restart:
        return window ? QStringLiteral("Closing now leaves the outcome unchecked: read its versions with 'Get Software "
                                       "Version' when you start the upgrader again.")
                      : QStringLiteral("Stopping now leaves the outcome unchecked: read its versions with "
                                       "--terminal-version.");
    }
    return {};
}

QString closeQuestion(Doing doing)
{
    return doingText(doing) + QStringLiteral("\r\n") + stopCost(doing, Terms::Window) +
           QStringLiteral("\r\n\r\nClose the upgrader anyway?");
}

}  // namespace work
