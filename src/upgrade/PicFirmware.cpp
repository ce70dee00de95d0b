// The PIC firmware upgrade: the local file, the terminal's PIC version, the
// entries, the transfer, the openers of both telnet phases and their timers.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "ident/VersionText.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "upgrade/PicLogic.h"
#include "upgrade/Sequencing.h"
#include "zing/ZingTexts.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

bool manualPowerUp(int32_t connected, int32_t packaged)
{
    return pic::isManualPowerUpPlatform(connected) || pic::isManualPowerUpPlatform(packaged);
}

}  // namespace

void frmMain::UI_CheckLocalPICFirmware()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_CheckLocalPICFirmware()"));
    strLocalPicFile = Files::find(strHomeDir, QStringLiteral("PIC*.s19")).value(0);
    const bool found = !strLocalPicFile.isEmpty();
    const bool bigEnough = found && Files::size(strHomeDir + strLocalPicFile) >= pic::kMinFileBytes;
    if (!bigEnough) {
        isPicFwOk = false;
        cmdPicUpgradeMenu->setEnabled(false);
        txtLocPICVer->setText(QStringLiteral("UNAVAILABLE"));
        UI_DisablePICFunctionality(false);
        if (found)
            WriteLog(qlog::LOG_ERR, QStringLiteral("Invalid PIC firmware file !! PIC Upgrade capability disabled."));
    } else {
        isPicFwOk = true;
        cmdPicUpgradeMenu->setEnabled(true);
        strLocalPicVersion = pic::fileVersion(strLocalPicFile);
        txtLocPICVer->setText(ident::SearchAndReplace(strLocalPicVersion, QStringLiteral("_"), QStringLiteral(".")));
        UI_EnablePICFunctionality();
    }
    chkPICUpg->setChecked(false);
    cmdPicUpgradeMenu->setEnabled(isPicFwOk);
    chkPICUpg->setEnabled(isPicFwOk);
}

void frmMain::UI_DisablePICFunctionality(bool alsoTerminalFields)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_DisablePICFunctionality()"));
    framePIC->setTitle(QStringLiteral("PIC Info"));
    lblLocPICVer->setEnabled(false);
    txtLocPICVer->setEnabled(false);
    if (alsoTerminalFields) {
        lblTermPICVersion->setEnabled(false);
        txtTermPICVersion->setEnabled(false);
    }
    chkPICUpg->setChecked(false);
    chkPICUpg->setEnabled(false);
}

void frmMain::UI_EnablePICFunctionality()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_EnablePICFunctionality()"));
    framePIC->setTitle(QStringLiteral("PIC Info"));
    framePIC->setEnabled(true);
    for (QWidget* c : std::initializer_list<QWidget*>{lblLocPICVer, txtLocPICVer, lblTermPICVersion, txtTermPICVersion})
        c->setEnabled(true);
    chkPICUpg->setEnabled(isPicFwOk);
}

void frmMain::UI_InitTermPicFields()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_InitTermPicFields()"));
    txtTermPICVersion->setText(QStringLiteral("UNKNOWN"));
    chkPICUpg->setEnabled(false);
}

void frmMain::Util_GrabTermPICVersion(const QString& responseText, bool fromVersionText)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_GrabTermPICVersion()"));
    const QString version = pic::terminalVersion(responseText, fromVersionText);
    txtTermPICVersion->setText(version);
    WriteLog(qlog::LOG_INF, QStringLiteral("PIC Version: ") + version);
}

void frmMain::cmdPicUpgradeMenu_Click()
{
    const QString question = QStringLiteral("Do you want to proceed with the Standalone PIC upgrade ?") + zing::kCrLf +
                             zing::kCrLf + upg::picWarning(connectedPlatformId, packagedPlatformId);
    if (msgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation, zing::kTitleUserAction) != MsgResult::Yes) {
        SetMouseCursor(0);
        return;
    }
    if (!isPicFwOk) {
        msgBox(QStringLiteral("PIC binary Unavailable.  Operation Cancelled."), MsgButtons::OK, MsgIcon::Exclamation,
               zing::kTitleFault);
        return;
    }
    UPG_StandalonePICUpgrade();
}

void frmMain::UPG_UpgradePIC()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_UpgradePIC()"));
    currUpgradeState = UPG_STATE_UPG_PIC;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    Handle_UpgradeState();
}

void frmMain::UPG_StandalonePICUpgrade()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_StandalonePICUpgrade()"));
    SetMouseCursor(1);
    if (strLocalPicFile.isEmpty()) {
        msgBox(QStringLiteral("Unable to find PIC binary in home directory ") + strHomeDir + QStringLiteral(".") +
                   zing::kCrLf + QStringLiteral("Please copy PIC file into ") + strHomeDir,
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleUserAction);
        SetMouseCursor(0);
        return;
    }
    isPicReflashFailed = false;
    setFtpState(ftp::UPGRADE_PIC_SA_CMD);
    setStatusText(QStringLiteral("Uploading PIC software! Wait..."));
    inetFTP->setAddress(strIPAddress);
    tmrFTPReq->enable();
    // A failure of this upload must end the step, also after an earlier FTP
    // operation of the same run has set the flag.
    isFtpDone = false;
    issueFtp(QStringLiteral("PUT ") + ftp::quoted(strHomeDir + strLocalPicFile) + QStringLiteral(" /tffs0/pic.s19"));
    UI_UpdateUIUpgState(4);
}

void frmMain::openTelnet(const QString& host)
{
    telnetShell->remoteHost = host;
    telnetShell->remotePort = Settings::get().telnetPort;
    telnetShell->connectToHost();
    setStatusText(QStringLiteral("Attempting PIC Upgrade.  Connecting..."));
    tmrTelnetConnect->enable();
}

void frmMain::UPG_Prepare4PICUpgrade()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_Prepare4PICUpgrade()"));
    openTelnet(strIPAddress);
}

void frmMain::Init_PIC_Upgrade()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Init_PIC_Upgrade()"));
    setPicState(PIC_UPG_STATE_INIT_CONNECT);
    if (telnetShell->state() == TcpClient::sckConnected) {
        telnetShell->close();
        WriteLog(qlog::LOG_DET, QStringLiteral("Init_PIC_Upgrade(): Closing existing open telnet connection."));
    }
    telnetShell->close();
    isPicBattRebootWait = false;
    picDataAnswers = 0;
    const QString host = Settings::get().defaultTerminalIp;
    WriteLog(qlog::LOG_DET, QStringLiteral("Init_PIC_Upgrade(): open telnet connection: ") + host);
    openTelnet(host);
}

void frmMain::setPicState(int32_t state)
{
    picUpgradeState = state;
    WriteLog(qlog::LOG_DET, QStringLiteral("picUpgradeState = ") + Util_PicUpgStateName(state));
    if (state == PIC_UPG_STATE_REFLASH_SENT) {
        reflashClock_.start();
        refreshProgress();
    }
}

void frmMain::tmrTelnetConnect_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrTelnetConnect_Timer()"));
    telnetShell->close();
    tmrTelnetConnect->disable();
    SetMouseCursor(0);
    setStatusText(QStringLiteral("Telnet Connection failed."));
    if (picUpgradeState == PIC_UPG_STATE_INIT_CONNECT)
        msgBox(QStringLiteral("Can not send command to upgrade the PIC. ") + zing::kCrLf +
                   QStringLiteral("Please check cable connections, Power cycle the modem.") + zing::kCrLf +
                   QStringLiteral("Repeat upgrade process."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::tmrPicUpgrCnt_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrPicUpgrCnt_Timer()"));
    ++picUpgRetryCount;
    if (picUpgRetryCount <= 10)
        return;
    tmrPicUpgrCnt->disable();
    SetMouseCursor(0);
    telnetShell->close();
    setPicState(PIC_UPG_STATE_INIT_CONNECT);
    UI_UpdateUIUpgState(1);
    setStatusText(QString());
    msgBox(QStringLiteral("PIC Upgrade failed to connect to: ") + Settings::get().defaultTerminalIp + zing::kCrLf +
               QStringLiteral("Click OK and try again.") + zing::kCrLf +
               QStringLiteral("Please refer to the Help menu if needed."),
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::tmrPicUpgResetDelay_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrPicUpgResetDelay_Timer()"));
    tmrPicUpgResetDelay->disable();
    tmrPicUpgrCnt->disable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
    picUpgRetryCount = 0;
    SetMouseCursor(0);
    WriteLog(qlog::LOG_DET, QStringLiteral("isPicPostUpgVerFetch = True"));
    if (manualPowerUp(connectedPlatformId, packagedPlatformId)) {
        // The terminal stays off after the reflash until someone presses its button.
        setStatusText(QStringLiteral("Please wait while the unit powers up... "));
        msgBox(QStringLiteral("Please perform the following steps in this order:\r\n\r\n - Power-up the Terminal manually by "
                              "pressing the Power-button.\r\n - Wait until the the unit is Powered up (2 min).\r\n - Click "
                              "'OK' to continue when the unit is Up.\r\n\r\n"),
               MsgButtons::OK, MsgIcon::Information, zing::kTitleUserAction);
        if (unloaded_)
            return;
        setStatusText(QStringLiteral("Reconnecting...  Please wait !"));
    }
    ZingReq_GetCurrentSoftwareVersion();
}

void frmMain::UPG_AbortPICUpgrade(const QString& reason)
{
    setStatusText(QStringLiteral("PIC Upgrade Failed ! Restart application"));
    telnetShell->close();
    tmrPicUpgrCnt->disable();
    SetMouseCursor(0);
    DisableFTPbuttons();
    msgBox(QStringLiteral("PIC Upgrade failed.  Click OK and close the upgrader.") + zing::kCrLf + reason, MsgButtons::OK,
           MsgIcon::Exclamation, zing::kTitleFault);
}
