// The FTP gate and, with the transfer issue, the command engine.
#include "app/frmMain.h"

namespace {
constexpr int kRedLight = 255;
constexpr int kGreenLight = 65280;
}  // namespace

void frmMain::setOKToFTP(bool flag)
{
    WriteLog(2, QStringLiteral(">> setOKToFTP() ") + (flag ? QStringLiteral("True") : QStringLiteral("False")));
    setStatusLedColour(flag ? kGreenLight : kRedLight);
    isOkToFtp = flag;
}
