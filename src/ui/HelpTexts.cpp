#include "ui/HelpTexts.h"

#include <QStringList>

namespace ui {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString joinLines(const QStringList& lines)
{
    return lines.join(kCrLf);
}

QStringList intro()
{
    return {QStringLiteral("If the Upgrader and QORA Terminal are configured properly, but there still is a "
                           "connectivity issue, please follow the procedures below to restore connectivity."),
            QString()};
}

QStringList commonTail()
{
    return {QStringLiteral(" - At this point the terminal should be in BOOTROM mode."),
            QStringLiteral(" - If connectivity still fails, repeat the procedure."),
            QStringLiteral(" - Once the Upgrade is complete, the Terminal will return to normal operation.")};
}

const QString kForce = QStringLiteral(" - Force the unit into BOOTROM mode by performing the following:");

}  // namespace

QString aboutText(const QString& newSoftwareVersion, const QString& binFileDate)
{
    return QStringLiteral("Upgrader tool for Vantor QORA terminals, to") + kCrLf +
           QStringLiteral("install satellite IP modem software components.") + kCrLf + kCrLf +
           QStringLiteral("For software version: ") + newSoftwareVersion + QStringLiteral(", ") + binFileDate + kCrLf +
           kCrLf + QStringLiteral("Tool version: ") + QString::fromLatin1(kToolVersion) + QStringLiteral(", ") +
           QString::fromLatin1(kToolDate);
}

int resolvedPlatformId(int connectedPlatformId, int packagedPlatformId)
{
    return connectedPlatformId == 14 ? packagedPlatformId : connectedPlatformId;
}

QString troubleshootingText(int resolvedPlatformId)
{
    QStringList lines = intro();
    switch (resolvedPlatformId) {
    case 7:
    case 12:
        lines << QStringLiteral("7460 Platform:") << kForce
              << QStringLiteral("    1. Turn off the power switch on the terminal and wait for complete shutdown.")
              << QStringLiteral("    2. With a small pin, press and hold the 'Boot ROM' button, located to the left "
                                "of the SAT connector.")
              << QStringLiteral("    3. While pressing the 'Boot ROM' button, power on the terminal.")
              << QStringLiteral("    4. Release the 'Boot ROM' button after 15 seconds.") << commonTail();
        break;
    case 8:
    case 10:
        lines << QStringLiteral("7120/7130 Platform:") << kForce
              << QStringLiteral("    1. Remove the Battery and DC-cord.")
              << QStringLiteral("    2. Press and hold the 'Audio' (right-most) button.")
              << QStringLiteral("    3. Plug in the DC-cord and press the power button if the unit doesn't power on "
                                "automatically.")
              << QStringLiteral("         Leave the 'Audio' button depressed for at least 20 sec.")
              << QStringLiteral("    4. Release the 'Audio' button.")
              << QStringLiteral(" -  At this point the Terminal's LCD display should show 'ManualBypass' indicating "
                                "BOOTROM mode.")
              << QStringLiteral(" -  Even if the display shows nothing, connect and re-attempt the Upgrade in this mode.")
              << QStringLiteral(" -  If connectivity still fails, repeat the procedure.")
              << QStringLiteral(" -  Once the Upgrade is complete, the Terminal will return to normal operation.");
        break;
    case 9:
        lines << QStringLiteral("7520 Platform:") << kForce
              << QStringLiteral("    1. Remove power to the terminal (disconnect power that comes through the DC-cord).")
              << QStringLiteral("    2. With a small pin, press and hold the 'Boot ROM' button, located under the SIM "
                                "card cover.")
              << QStringLiteral("    3. While pressing the 'Boot ROM' button, power on the terminal.")
              << QStringLiteral("    4. Release the 'Boot ROM' button after 15 seconds.") << commonTail();
        break;
    default:
        lines << QStringLiteral("Generic Platform:") << kForce
              << QStringLiteral("    1. Remove power to the terminal (either by powering off or by removing the "
                                "battery and/or DC-cord).")
              << QStringLiteral("    2. With a small pin (if needed), press and hold the 'Boot ROM' button.")
              << QStringLiteral("    3. While pressing the 'Boot ROM' button, power on the terminal.")
              << QStringLiteral("    4. Release the 'Boot ROM' button after 15-20 seconds.") << commonTail();
        break;
    }
    return joinLines(lines);
}

}  // namespace ui
