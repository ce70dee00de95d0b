// ZING request procedures and the maintenance commands of the Tools menu.
#include "app/frmMain.h"

void frmMain::ZingReq_GetCurrentSoftwareVersion()
{
}

void frmMain::cmdGetSoftwareVersion_Click()
{
}

void frmMain::cmdRestoreDefaults_Click()
{
}

void frmMain::cmdResetModem_Click()
{
}
