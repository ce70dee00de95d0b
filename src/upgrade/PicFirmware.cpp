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
