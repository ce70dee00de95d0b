// Discovery of the application package in the home folder.
#include "app/frmMain.h"

bool frmMain::Util_LocatePackagedBin()
{
    // Filled in with the package identification.
    return true;
}

void frmMain::UI_CheckFactoryMode()
{
}
