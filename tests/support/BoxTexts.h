#pragma once

#include <QString>

// The connection-problem texts as the user must read them, written out here
// rather than taken from the program, so a changed text fails a test.
namespace boxtext {

inline const QString kConnectionProblemA = QStringLiteral(
    "\r\nWARNING: Connection Problem.\r\n\r\n - Please check the cable connection.\r\n - Restart the Upgrader.\r\n"
    " - Reset the Modem using the 'Tools>Reset Modem' option.\r\n - Retry the Upgrade after the modem Restarts.\r\n\r\n"
    "The upgrader will now close.");

inline const QString kConnectionProblemB = QStringLiteral(
    "\r\nWARNING: Connection Problem.\r\n\r\nPlease check the following: \r\n - Cable connection\r\n"
    " - IP configuration under 'Tools>Configure Modem Interface' \r\n"
    " - Troubleshooting instructions under the Help menu\r\n\r\n"
    "To confirm connectivity, 'Get Software version' using the Tools menu before retrying.\r\n"
    "Power cycle the Satellite IP Modem and restart the Upgrader if problem persists.");

}  // namespace boxtext
