// Download of the terminal's system log (Ctrl+G, Ctrl+L).
#include "app/frmMain.h"

void frmMain::DownloadTerminalLog()
{
}
