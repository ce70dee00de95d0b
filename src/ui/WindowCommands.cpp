// Menu commands of the window that open secondary windows or boxes, the
// address change and the key handler.
#include "app/frmMain.h"

#include "ui/HelpTexts.h"
#include "app/TextUtil.h"
#include "ui/SecondaryWindows.h"

#include <QLineEdit>

frmUpgrade& frmMain::upgradeNotice()
{
    if (!upgradeNotice_)
        upgradeNotice_ = std::make_unique<frmUpgrade>();
    return *upgradeNotice_;
}

void frmMain::cmdSetModemIP_Click()
{
    UpdateModemIP window(*this);
    dialogs_.showModal(window);
}

void frmMain::UpdateModemIPAddress(const QString& address)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UpdateModemIPAddress()"));
    WriteLog(qlog::LOG_INF, QStringLiteral("Modem IP Address: ") + address);
    txtIPAddress->setText(address);
    strIPAddress = txt::trimBlanks(txtIPAddress->text());
}

void frmMain::mnuHelpAbout_Click()
{
    msgBox(ui::aboutText(txtNewSoftwareVersion->text(), strBinFileDate), MsgButtons::OK, MsgIcon::Information,
           strWindowTitle);
}

void frmMain::mnuHelpTs_Click()
{
    const int resolved = ui::resolvedPlatformId(connectedPlatformId, packagedPlatformId);
    WriteLog(qlog::LOG_INF, QStringLiteral("resolvedPlatformId = ") + QString::number(resolved));
    msgBox(ui::troubleshootingText(resolved), MsgButtons::OK, MsgIcon::Information,
           QStringLiteral("Troubleshooting Instructions for Connectivity Issues"));
}

void frmMain::Form_KeyPress(int keyAscii)
{
    constexpr int kCtrlG = 7;
    constexpr int kCtrlL = 12;
    if (keyAscii == kCtrlG && !isLogKeyArmed) {
        isLogKeyArmed = true;
        return;
    }
    if (keyAscii == kCtrlL && isLogKeyArmed) {
        isLogKeyArmed = false;
        // The keys work while the window does, but an FTP session of their own
        // must not cut into a terminal at work.
        if (terminalAtWork()) {
            WriteLog(qlog::LOG_INF, QStringLiteral("Terminal log not downloaded: the terminal is at work."));
            return;
        }
        DownloadTerminalLog();
        return;
    }
    isLogKeyArmed = false;
}
