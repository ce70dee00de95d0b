// Restore of a backed-up version.
#include "app/frmMain.h"

void frmMain::cmdRestore_Click()
{
}

void frmMain::cmdRestoreMenu_Click()
{
    cmdRestore_Click();
}
