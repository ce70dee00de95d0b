#include "ui/TerminalWork.h"

namespace work {

QString closeQuestion(Doing doing)
{
    QString what;
    switch (doing) {
    case Doing::Software:
        what = QStringLiteral("The Satellite IP Modem is receiving its new software; its network stack is halted.\r\n"
                              "Closing the upgrader now leaves it halted, and may leave it without software it can "
                              "start: reset it, and run the upgrade again.");
        break;
    case Doing::Antenna:
        what = QStringLiteral("The Satellite IP Modem is upgrading its antenna firmware.\r\n"
                              "Closing the upgrader does not stop that, but nobody will check how it ended: keep the "
                              "Satellite IP Modem powered, and read its versions with 'Get Software Version' once it "
                              "has restarted.");
        break;
    case Doing::Pic:
        what = QStringLiteral("The Satellite IP Modem's PIC firmware is being upgraded.\r\n"
                              "Closing the upgrader now may leave it starting its Boot ROM: running the PIC Upgrade "
                              "again puts its image file back.");
        break;
    case Doing::Restart:
        what = QStringLiteral("The Satellite IP Modem is restarting, and the upgrader is about to read its versions.\r\n"
                              "Closing now leaves the outcome unchecked: read its versions with 'Get Software Version' "
                              "when you start the upgrader again.");
        break;
    }
    return what + QStringLiteral("\r\n\r\nClose the upgrader anyway?");
}

}  // namespace work
