// Local antenna firmware files and the antenna part of the window.
#include "app/frmMain.h"

void frmMain::UI_InitTermAntennaFields()
{
}

void frmMain::UI_DisableAntennaFunctionality()
{
}

void frmMain::UI_CheckLocalAntennaFirmware()
{
}

void frmMain::cmdAntUpgradeMenu_Click()
{
}

void frmMain::UPG_HandleReleaseInfo(const QString&)
{
}

void frmMain::Util_GrabTermAntennaVersions(const QString&)
{
}

void frmMain::UPG_StandaloneAntennaUpgrade()
{
}
