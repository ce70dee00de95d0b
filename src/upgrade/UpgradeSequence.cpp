// Upgrade selection and the order of the items.
#include "app/frmMain.h"

#include <QGroupBox>

void frmMain::cmdUpgrade_Click()
{
}

void frmMain::Handle_UpgradeState()
{
}

void frmMain::UI_UpdateUIUpgState(int displayState)
{
    WriteLog(2, QStringLiteral(">> UI_UpdateUIUpgState() : ") + QString::number(displayState));
    setFrameActive(frameBin, displayState == 2);
    setFrameActive(frameAntenna, displayState == 3);
    setFrameActive(framePIC, displayState == 4);
    switch (displayState) {
    case 0:
        WriteLog(0, QStringLiteral("Upgrade Progress State Invalid or Not Available Yet."));
        break;
    case 1:
        WriteLog(2, QStringLiteral("Upgrade Progress Complete.  Clear Pending requests: ") + QString::number(1));
        isUpgSwSelected = false;
        isUpgAntSelected = false;
        isUpgPicSelected = false;
        break;
    case 2:
    case 3:
    case 4:
        break;
    default:
        WriteLog(0, QStringLiteral("Unexpected Progress State, Clear Pending requests: ") + QString::number(displayState));
        isUpgSwSelected = false;
        isUpgAntSelected = false;
        isUpgPicSelected = false;
        break;
    }
}
