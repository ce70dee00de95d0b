// Upgrade selection and the order of the items.
#include "app/frmMain.h"

void frmMain::cmdUpgrade_Click()
{
}
