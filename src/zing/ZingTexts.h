#pragma once

#include <QString>

// Message texts of the ZING exchanges, shared by several handlers.
namespace zing {

inline const QString kCrLf = QStringLiteral("\r\n");

// The terminal could not be reached during an upgrade; the upgrader closes.
inline const QString kConnectionProblemA = QStringLiteral(
    "\r\nWARNING: Connection Problem.\r\n\r\n - Please check the cable connection.\r\n - Restart the Upgrader.\r\n"
    " - Reset the Modem using the 'Tools>Reset Modem' option.\r\n - Retry the Upgrade after the modem Restarts.\r\n\r\n"
    "The upgrader will now close.");

// The terminal did not answer a request.
inline const QString kConnectionProblemB = QStringLiteral(
    "\r\nWARNING: Connection Problem.\r\n\r\nPlease check the following: \r\n - Cable connection\r\n"
    " - IP configuration under 'Tools>Configure Modem Interface' \r\n"
    " - Troubleshooting instructions under the Help menu\r\n\r\n"
    "To confirm connectivity, 'Get Software version' using the Tools menu before retrying.\r\n"
    "Power cycle the Satellite IP Modem and restart the Upgrader if problem persists.");

inline const QString kTitleFault = QStringLiteral("Upgrader: FAULT");
inline const QString kTitleUserAction = QStringLiteral("Upgrader: user action required");

}  // namespace zing
