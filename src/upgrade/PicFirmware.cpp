// The PIC firmware upgrade: the local file, the terminal's PIC version, the
// entries, the transfer, the openers of both telnet phases and their timers.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "ident/VersionText.h"
#include "log/LogFormat.h"
#include "platform/Files.h"
#include "platform/FtpPut.h"
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
    WriteLog(qlog::LOG_INF, QStringLiteral("PIC Version: ") + qlog::printableText(version));
}

void frmMain::cmdPicUpgradeMenu_Click()
{
    const QString question = QStringLiteral("Do you want to proceed with the Standalone PIC upgrade ?") + zing::kCrLf +
                             zing::kCrLf + upg::picWarning(connectedPlatformId, packagedPlatformId);
    // A fitted battery makes Yes harmful: Enter must not mean it.
    if (msgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation, zing::kTitleUserAction, MsgResult::No) !=
        MsgResult::Yes) {
        SetMouseCursor(0);
        return;
    }
    if (!isPicFwOk) {
        msgBox(QStringLiteral("PIC binary Unavailable.  Operation Cancelled."), MsgButtons::OK, MsgIcon::Exclamation,
               zing::kTitleFault);
        return;
    }
    startReport(QStringLiteral("Upgrade"), false, false, true, QString());
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
    // This start consumes the item: whatever becomes of it, nothing starts it again.
    isUpgPicSelected = false;
    if (strLocalPicFile.isEmpty() || !Files::isFile(strHomeDir + strLocalPicFile)) {
        picAttemptEnds(QStringLiteral("PIC Upgrade not done: no PIC file"));
        msgBox(QStringLiteral("Unable to find PIC binary in home directory ") + strHomeDir + QStringLiteral(".") +
                   zing::kCrLf + QStringLiteral("Please copy PIC file into ") + strHomeDir,
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleUserAction);
        return;
    }
    // The file may have changed since start-up: it is checked again before it goes out.
    const qint64 bytes = Files::size(strHomeDir + strLocalPicFile);
    if (bytes < pic::kMinFileBytes) {
        picAttemptEnds(QStringLiteral("PIC Upgrade not done: the PIC file is too short"));
        setStatusText(QStringLiteral("PIC Upgrade cancelled: invalid PIC firmware file."));
        msgBox(QStringLiteral("Invalid PIC firmware file ") + strHomeDir + strLocalPicFile +
                   (bytes < 0 ? QStringLiteral(": it cannot be read.") : QStringLiteral(": it holds only %1 bytes.").arg(bytes)) +
                   zing::kCrLf + QStringLiteral("PIC Upgrade cancelled: nothing was sent to the Satellite IP Modem."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        return;
    }
    beginTerminalWork();
    // Nothing of an earlier attempt counts for this one.
    tmrTelnetConnect->disable();
    tmrPicUpgrCnt->disable();
    picUpgRetryCount = 0;
    picDataAnswers = 0;
    isPicBattRebootWait = false;
    isPicImageSwapped_ = false;
    isPicVerdictDue_ = false;
    picReflash_ = pic::Reflash::NotRun;
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

void frmMain::endItemIfUploading()
{
    const bool pic = currFtpState == ftp::UPGRADE_PIC_SA_CMD;
    const bool antenna = currFtpState == ftp::UPGRADE_ANTENNA_ATB_CMD || currFtpState == ftp::UPGRADE_ANTENNA_HPA_CMD ||
                         currFtpState == ftp::UPGRADE_ANTENNA_IAC_CMD;
    if (!pic && !antenna)
        return;
    isUpgPicSelected = false;
    if (currUpgradeState == UPG_STATE_IDLE)
        return;
    // The items after it are not started: the sequence ends here.
    WriteLog(qlog::LOG_ERR, (pic ? QStringLiteral("PIC") : QStringLiteral("Antenna")) +
                                QStringLiteral(" Upgrade not done: its file was not uploaded.  Upgrade ended."));
    currUpgradeState = UPG_STATE_IDLE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    UI_UpdateUIUpgState(1);
}

void frmMain::openTelnet(const QString& host)
{
    telnetShell->close();
    noteShellLeftOut();
    isPicShellListening_ = true;
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
    if (telnetShell->state() == TcpClient::sckConnected)
        WriteLog(qlog::LOG_DET, QStringLiteral("Init_PIC_Upgrade(): Closing existing open telnet connection."));
    isPicBattRebootWait = false;
    picDataAnswers = 0;
    // A terminal in its Boot ROM may hold the PIC copy as its descriptor
    // until this phase has put the backup back.
    isPicImageSwapped_ = true;
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

QString frmMain::picInterruptedNote() const
{
    return isPicImageSwapped_ ? zing::kCrLf + zing::kCrLf + pic::kBootRomNote : QString();
}

void frmMain::tmrTelnetConnect_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrTelnetConnect_Timer()"));
    const bool reflashPhase = picUpgradeState == PIC_UPG_STATE_INIT_CONNECT;
    picAttemptEnds(QStringLiteral("PIC Upgrade not done: no telnet greeting"));
    setStatusText(QStringLiteral("Telnet Connection failed."));
    if (reflashPhase)
        msgBox(QStringLiteral("Can not send command to upgrade the PIC. ") + zing::kCrLf +
                   QStringLiteral("Please check cable connections, Power cycle the modem.") + zing::kCrLf +
                   QStringLiteral("Repeat upgrade process.") + picInterruptedNote(),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::tmrPicUpgrCnt_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrPicUpgrCnt_Timer()"));
    ++picUpgRetryCount;
    if (picUpgRetryCount <= 10)
        return;
    picAttemptEnds(QStringLiteral("PIC Upgrade not done: no progress"));
    setStatusText(QString());
    msgBox(QStringLiteral("PIC Upgrade failed to connect to: ") + Settings::get().defaultTerminalIp + zing::kCrLf +
               QStringLiteral("Click OK and try again.") + zing::kCrLf +
               QStringLiteral("Please refer to the Help menu if needed.") + picInterruptedNote(),
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
    picAttemptEnds(QStringLiteral("PIC Upgrade aborted"));
    setStatusText(QStringLiteral("PIC Upgrade Failed ! Restart application"));
    DisableFTPbuttons();
    msgBox(QStringLiteral("PIC Upgrade failed.  Click OK and close the upgrader.") + zing::kCrLf + reason +
               picInterruptedNote(),
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::picVerdict(bool answered)
{
    isPicVerdictDue_ = false;
    const pic::Verdict v = pic::judge(picReflash_, answered && isBootRomMode, isPicBackupLeft_,
                                      answered ? txtTermPICVersion->text() : QString(), strLocalPicVersion);
    WriteLog(v.took ? qlog::LOG_INF : qlog::LOG_ERR, v.logLine);
    if (picUpgradeState != PIC_UPG_STATE_INIT_CONNECT)
        setPicState(PIC_UPG_STATE_INIT_CONNECT);
    if (currUpgradeState != UPG_STATE_IDLE) {
        currUpgradeState = UPG_STATE_IDLE;
        WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    }
    UI_UpdateUIUpgState(1);
    setStatusText(v.status);
    if (report_) {
        // Said once, in the report that ends the action.
        if (!v.took) {
            report_->picWhy = v.logLine;
            report_->advice = v.box.mid(v.logLine.size()).trimmed();
        }
        return;
    }
    if (!v.box.isEmpty())
        msgBox(v.box, MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::checkForInterruptedPic()
{
    isPicBackupLeft_ = false;
    const bool atRest = picUpgradeState == 0 || picUpgradeState == PIC_UPG_STATE_INIT_CONNECT;
    if (!isBootRomMode || !isPicFwOk || !atRest || isPicShellListening_ || tmrTelnetConnect->enabled())
        return;
    // The PIC upgrade runs from the Boot ROM and puts back whatever an
    // interrupted one left, whether or not this Boot ROM reports its level.
    UI_EnablePICFunctionality();
    chkPICUpg->setEnabled(true);
    // The backup descriptor exists only between the preparation and the
    // reflash phase: a terminal left with it starts its Boot ROM.
    FtpPut probe = oneShotFtp();
    probe.setTimeoutMs(Settings::scaled(5000));
    const FtpFetchResult found = probe.fetch(QStringLiteral("uimage.txt"), 4096);
    if (!found.ok() || found.absent) {
        WriteLog(qlog::LOG_DET, QStringLiteral("No interrupted PIC Upgrade on the terminal (uimage.txt: ") +
                                    qlog::printableBytes(found.reply.toLatin1(), 120) + QStringLiteral(")"));
        return;
    }
    isPicBackupLeft_ = true;
    WriteLog(qlog::LOG_INF, QStringLiteral("The terminal runs its Boot ROM and holds uimage.txt: a PIC Upgrade was "
                                           "interrupted.  Running the PIC Upgrade again puts its image file back."));
    setStatusText(QStringLiteral("Boot ROM after an interrupted PIC Upgrade: run the PIC Upgrade again."));
}
