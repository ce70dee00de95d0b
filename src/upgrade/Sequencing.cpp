#include "upgrade/Sequencing.h"

#include "app/UpgraderState.h"

namespace upg {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

bool isBatteryPlatform(int32_t id)
{
    return id == 8 || id == 10;
}
}  // namespace

QString picWarning(int32_t connectedPlatformId, int32_t packagedPlatformId)
{
    if (isBatteryPlatform(connectedPlatformId) || isBatteryPlatform(packagedPlatformId))
        return QStringLiteral(
            "WARNING: \r\n - Make sure the Terminal has DC-power cord connected.\r\n - Make sure the Battery is NOT "
            "connected.\r\n - Please Close all active Telnet connections to the Terminal.\r\n\r\nNote: \r\n - The unit "
            "may display 'No Software' momentarily during the PIC Upgrade process.\r\n - The Terminal DOES NOT "
            "automatically restart after PIC Upgrade.\r\n - The user needs to manually Power-up the Unit following the "
            "PIC Upgrade when prompted.");
    return QStringLiteral("WARNING: \r\n - Make sure the Terminal has DC-power cord connected.\r\n - Please Close all "
                          "active Telnet connections to the Terminal.\r\n");
}

QString confirmationText(bool software, bool antenna, bool pic, int32_t connectedPlatformId,
                         int32_t packagedPlatformId)
{
    QString items;
    if (software)
        items += QStringLiteral(" - Software") + kCrLf;
    if (antenna)
        items += QStringLiteral(" - Antenna Firmware") + kCrLf;
    if (pic)
        items += QStringLiteral(" - PIC") + kCrLf + kCrLf + picWarning(connectedPlatformId, packagedPlatformId);
    if (int(software) + int(antenna) + int(pic) > 1)
        items += kCrLf + QStringLiteral("Note: Terminal will Upgrade each chosen Item in the order shown above.") + kCrLf +
                 QStringLiteral("Please Note that the Terminal will Reset between each Upgrade Item.") + kCrLf;
    return QStringLiteral("Please Confirm your selections.") + kCrLf +
           QStringLiteral("Do you want to proceed upgrading the following items ?") + kCrLf + kCrLf + items;
}

NextStep nextStep(int32_t state, bool isUpgAntSelected, bool isAntennaFwOk, bool isUpgPicSelected, bool isPicFwOk)
{
    NextStep n;
    switch (state) {
    case UPG_STATE_BIN_DONE:
        if (isUpgAntSelected && isAntennaFwOk) {
            n.action = NextStep::StartAntenna;
            n.clearAntennaPending = true;
            n.logLine = QStringLiteral("Attempting pending Antenna Upgrade...");
        } else if (isPicFwOk && isUpgPicSelected) {
            n.action = NextStep::StartPic;
            n.clearPicPending = true;
            n.newState = UPG_STATE_UPG_PIC;
            n.logLine = QStringLiteral("Skipped Antenna Upgrade.  Attempting pending PIC Upgrade...");
        } else {
            n.newState = UPG_STATE_IDLE;
            n.logLine = QStringLiteral("Skipped Antenna & PIC Upgrades.  Upgrade Complete.");
            n.displayIdle = true;
        }
        break;
    case UPG_STATE_ANT_DONE:
        if (isPicFwOk && isUpgPicSelected) {
            n.action = NextStep::StartPic;
            n.newState = UPG_STATE_UPG_PIC;
            n.clearPicPending = true;
            n.logLine = QStringLiteral("Antenna Upgrade done.  Attempting pending PIC Upgrade...");
        } else {
            n.newState = UPG_STATE_IDLE;
            n.logLine = QStringLiteral("No Antenna or PIC Upgrades left to perform.  Upgrade Complete.");
            n.displayIdle = true;
        }
        break;
    case UPG_STATE_UPG_PIC:
        if (isPicFwOk && isUpgPicSelected) {
            n.action = NextStep::StartPic;
            n.logLine = QStringLiteral("Attempting pending PIC Upgrade...");
        } else {
            n.newState = UPG_STATE_IDLE;
            n.logLine = QStringLiteral("Skip PIC Upgrades.  Upgrade Complete");
            n.statusText = QStringLiteral("Upgrade Complete !");
            n.displayIdle = true;
        }
        break;
    case UPG_STATE_PIC_DONE:
        n.newState = UPG_STATE_IDLE;
        n.logLine = QStringLiteral("All Upgrades Complete.");
        n.statusText = QStringLiteral("Upgrade Complete !");
        n.displayIdle = true;
        break;
    default:
        n.newState = UPG_STATE_IDLE;
        n.displayIdle = true;
        break;
    }
    return n;
}

}  // namespace upg
