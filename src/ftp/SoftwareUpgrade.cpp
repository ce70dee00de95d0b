// The software upgrade sequence.
#include "app/frmMain.h"

void frmMain::UPG_HandleSwUpgradePreparation()
{
}
