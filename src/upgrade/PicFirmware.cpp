// Local PIC firmware and the PIC part of the window.
#include "app/frmMain.h"

void frmMain::UI_InitTermPicFields()
{
}

void frmMain::UI_DisablePICFunctionality(bool)
{
}

void frmMain::UI_CheckLocalPICFirmware()
{
}

void frmMain::cmdPicUpgradeMenu_Click()
{
}

void frmMain::Util_GrabTermPICVersion(const QString&, bool)
{
}

void frmMain::Init_PIC_Upgrade()
{
}

void frmMain::UPG_UpgradePIC()
{
}

void frmMain::UPG_StandalonePICUpgrade()
{
}

void frmMain::UPG_Prepare4PICUpgrade()
{
}
