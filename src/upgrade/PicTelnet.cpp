// The telnet dialogue of the PIC upgrade: the preparation phase at the
// configured address (battery check, descriptor swapped for the PIC file,
// reset into the Boot ROM) and the reflash phase at the default address
// (descriptor put back, battery check, reflash).
#include "app/frmMain.h"

#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "upgrade/PicLogic.h"
#include "zing/ZingTexts.h"

namespace {

// One read of the shell's output takes at most this much; the rest is the next piece.
constexpr int kPieceChars = 4000;

const QString kBatteryRemoved = QStringLiteral("PIC Upgrade failure. \r\n\r\n Reason for failure : \r\n     - Battery "
                                               "detected.\r\nPIC firmware has not been Upgraded.\r\n");

}  // namespace

void frmMain::telnetShell_DataArrival(const QByteArray& bytes)
{
    for (qsizetype at = 0; at < bytes.size() && !unloaded_; at += kPieceChars) {
        WriteLog(qlog::LOG_DET, QString(42, QLatin1Char('_')));
        WriteLog(qlog::LOG_DET, QStringLiteral("telnetShell_DataArrival()"));
        telnetPiece(bytes.mid(at, kPieceChars));
    }
}

void frmMain::sendTelnet(const QByteArray& line, bool secret)
{
    // The password never reaches the log.
    if (!secret)
        WriteLog(qlog::LOG_DET, TraceOut(line, int(line.size())));
    telnetShell->sendData(line);
}

void frmMain::logPiece(const QString& prefix, const QByteArray& piece, int level)
{
    WriteLog(level, prefix + Util_PrintableBytes(piece, int(piece.size())));
}

void frmMain::telnetPiece(const QByteArray& piece)
{
    const int32_t state = picUpgradeState;
    if ((state < PIC_UPG_STATE_PREP_INIT_CONNECT || state > PIC_UPG_STATE_WAIT_RESET) ||
        state == PIC_UPG_STATE_PREP_REBOOT) {
        SetMouseCursor(1);
        return;
    }
    WriteLog(qlog::LOG_INF, QStringLiteral(" ----------- STATE: ") + Util_PicUpgStateName(state));
    const QString text = QString::fromLatin1(piece);
    switch (state) {
    case PIC_UPG_STATE_PREP_INIT_CONNECT:
    case PIC_UPG_STATE_INIT_CONNECT:
        picLogin(text);
        break;
    case PIC_UPG_STATE_PREP_UNAME_SENT:
    case PIC_UPG_STATE_UNAME_SENT:
        if (text.contains(QLatin1String("Password:"))) {
            WriteLog(qlog::LOG_DET, QStringLiteral("Sending Password..."));
            sendTelnet(pic::cmd::password(), true);
            setPicState(state + 1);
            setStatusText(QStringLiteral("Connecting..."));
        }
        break;
    case PIC_UPG_STATE_PREP_PASSWD_SENT:
    case PIC_UPG_STATE_PASSWD_SENT:
        if (pic::hasShellPrompt(text)) {
            logPiece(QStringLiteral("Connect outcome :"), piece);
            const bool prep = state == PIC_UPG_STATE_PREP_PASSWD_SENT;
            if (prep)
                picStep(pic::cmd::changeDirectory(), PIC_UPG_STATE_PREP_LOGGEDIN, QStringLiteral("Connected"));
            else
                picStep(pic::cmd::restoreCheck(), PIC_UPG_STATE_LOGGEDIN, QStringLiteral("Recovering Image."));
        }
        break;
    case PIC_UPG_STATE_PREP_LOGGEDIN:
        SetMouseCursor(1);
        if (pic::isSuccessValue(text)) {
            logPiece(QStringLiteral("cd outcome: "), piece);
            picStep(pic::cmd::batteryQuery(), PIC_UPG_STATE_PREP_CHECK_BATT, QStringLiteral("Preparing for PIC Upgrade."));
        }
        break;
    case PIC_UPG_STATE_PREP_CHECK_BATT:
        picPrepBattery(piece, text);
        break;
    case PIC_UPG_STATE_PREP_CHK_IMG:
        SetMouseCursor(1);
        if (pic::isSuccessValue(text) || pic::isFailureValue(text)) {
            logPiece(QStringLiteral("ls outcome: "), piece);
            // Keep the descriptor there is; without one there is nothing to keep.
            const bool exists = pic::isSuccessValue(text);
            picStep(exists ? pic::cmd::backUpDescriptor() : pic::cmd::replaceDescriptor(),
                    exists ? PIC_UPG_STATE_PREP_BKUP_IMG : PIC_UPG_STATE_PREP_CREATE_XIMG,
                    QStringLiteral("Preparing for PIC Upgrade..."));
        }
        break;
    case PIC_UPG_STATE_PREP_BKUP_IMG:
        SetMouseCursor(1);
        if (pic::isSuccessValue(text)) {
            logPiece(QStringLiteral("mv outcome: "), piece);
            picStep(pic::cmd::replaceDescriptor(), PIC_UPG_STATE_PREP_CREATE_XIMG,
                    QStringLiteral("Preparing for PIC Upgrade..."));
        }
        break;
    case PIC_UPG_STATE_PREP_CREATE_XIMG:
        SetMouseCursor(1);
        if (pic::hasValue(text)) {
            logPiece(QStringLiteral("creat outcome: "), piece);
            tmrFiveSecDelayedReset->enable();
            isUseDefaultIp = true;
            WriteLog(qlog::LOG_DET, QStringLiteral("Bootmode PIC Upgrade Reset: True"));
            setPicState(PIC_UPG_STATE_PREP_REBOOT);
            setStatusText(QStringLiteral("Restart terminal prior to PIC reflash."));
            telnetShell->close();
            setStatusText(QStringLiteral("PIC Upgrade will continue after Restart.  Please DO NOT Interrupt !"));
        }
        break;
    case PIC_UPG_STATE_LOGGEDIN:
        SetMouseCursor(1);
        if (pic::isFailureValue(text) || pic::isSuccessValue(text)) {
            // No backup: the descriptor in place is the PIC file's copy, so it goes.
            const bool noBackup = pic::isFailureValue(text);
            logPiece(noBackup ? QStringLiteral("cd outcome: ") : QStringLiteral("cd/copy outcome: "), piece);
            picStep(noBackup ? pic::cmd::removeDescriptor() : pic::cmd::restoreDescriptor(), PIC_UPG_STATE_RECOVER_IMG,
                    QStringLiteral("Recovering Image..."));
        } else {
            WriteLog(qlog::LOG_INF, QStringLiteral("Waiting for response..."));
        }
        break;
    case PIC_UPG_STATE_RECOVER_IMG:
        SetMouseCursor(1);
        logPiece(QStringLiteral("cd outcome: "), piece);
        if (pic::hasValue(text)) {
            sendTelnet(pic::cmd::batteryQuery());
            setPicState(PIC_UPG_STATE_CHECK_BATT);
            setStatusText(QStringLiteral("Checking Battery presence."));
        }
        break;
    case PIC_UPG_STATE_CHECK_BATT:
        picReflashBattery(piece, text);
        break;
    case PIC_UPG_STATE_BATT_REBOOT_WAIT:
        SetMouseCursor(1);
        logPiece(QStringLiteral("cmd outcome: "), piece);
        setPicState(PIC_UPG_STATE_WAIT_RESET);
        WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
        currUpgradeState = UPG_STATE_PIC_DONE;
        WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
        isPicBattRebootWait = true;
        tmr40SecDelay->enable();
        WriteLog(qlog::LOG_DET, QStringLiteral("tmr40SecDelay.Enabled = True"));
        setStatusText(QStringLiteral("Resetting Modem.  Please wait..."));
        break;
    case PIC_UPG_STATE_REFLASH_SENT:
        picReflashOutput(piece, text);
        break;
    case PIC_UPG_STATE_WAIT_RESET:
        // Late output: the next version answer must not be taken for the end of a reflash.
        picUpgradeState = PIC_UPG_STATE_INIT_CONNECT;
        break;
    default:
        break;
    }
}

void frmMain::armPicWatchdog()
{
    tmrPicUpgrCnt->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = True"));
}

void frmMain::picStep(const QByteArray& line, int32_t next, const QString& status)
{
    sendTelnet(line);
    setPicState(next);
    setStatusText(status);
    armPicWatchdog();
}

void frmMain::picLogin(const QString& text)
{
    const bool prep = picUpgradeState == PIC_UPG_STATE_PREP_INIT_CONNECT;
    if (pic::isLoginPrompt(text)) {
        tmrTelnetConnect->disable();
        sendTelnet(pic::cmd::userName());
        setPicState(prep ? PIC_UPG_STATE_PREP_UNAME_SENT : PIC_UPG_STATE_UNAME_SENT);
        // A shell that falls silent during the login must not leave the upgrade waiting.
        armPicWatchdog();
    } else if (pic::hasShellPrompt(text)) {
        tmrTelnetConnect->disable();
        WriteLog(qlog::LOG_INF, QStringLiteral("Connect outcome:") + text);
        sendTelnet(pic::cmd::changeDirectory());
        setPicState(prep ? PIC_UPG_STATE_PREP_LOGGEDIN : PIC_UPG_STATE_LOGGEDIN);
        // The answer to the cd is awaited under the watchdog too.
        armPicWatchdog();
    } else if (pic::isSessionLimit(text)) {
        tmrTelnetConnect->disable();
        UPG_AbortPICUpgrade(QStringLiteral("Make sure there is no other active Telnet session to the TE."));
    }
}

void frmMain::picPrepBattery(const QByteArray& piece, const QString& text)
{
    SetMouseCursor(1);
    logPiece(QStringLiteral("cmd outcome: "), piece);
    switch (pic::batteryVerdict(text)) {
    case pic::Battery::Absent:
        logPiece(QStringLiteral("cd outcome: "), piece);
        sendTelnet(pic::cmd::showDescriptor());
        setPicState(PIC_UPG_STATE_PREP_CHK_IMG);
        setStatusText(QStringLiteral("Continuing with PIC Upgrade."));
        return;
    case pic::Battery::Present:
        logPiece(QStringLiteral("PIC UPGRADE FAILURE (BATT_PRESENT): "), piece);
        picStoppedByBattery(QStringLiteral("Battery Present.  PIC Upgrade prevented."), false);
        msgBox(kBatteryRemoved + QStringLiteral("Remove the Battery and retry the PIC Upgrade.\r\nAlso refer to the Help "
                                                "menu if needed.\r\n"),
               MsgButtons::OK, MsgIcon::Critical, zing::kTitleUserAction);
        return;
    case pic::Battery::Unknown: {
        WriteLog(qlog::LOG_INF, QStringLiteral("Warning: unable to determine Battery Presence (pic_data_show failed)"));
        // The watchdog must not give up while the user decides, and an answer
        // that comes after the upgrade moved on changes nothing.
        tmrPicUpgrCnt->disable();
        const MsgResult answer =
            msgBox(QStringLiteral("Battery Presence Could NOT Be Determined!\r\n\r\nUpgrading PIC with battery present may "
                                  "damage the terminal.\r\n\r\nDo you want to proceed upgrading the PIC anyway?"),
                   MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction);
        if (unloaded_ || picUpgradeState != PIC_UPG_STATE_PREP_CHECK_BATT)
            return;
        if (answer != MsgResult::Yes) {
            WriteLog(qlog::LOG_INF, QStringLiteral("Battery Presence unknown and user opted to stop.  PIC Upgrade aborted."));
            picStoppedByBattery(QStringLiteral("Battery Presence unknown and user opted to stop.  PIC Upgrade aborted."),
                                true);
            return;
        }
        WriteLog(qlog::LOG_INF, QStringLiteral("Battery Presence unknown and user opted to proceed anyway."));
        armPicWatchdog();
        sendTelnet(pic::cmd::showDescriptor());
        setPicState(PIC_UPG_STATE_PREP_CHK_IMG);
        setStatusText(QStringLiteral("Continuing with PIC Upgrade (at risk - unknown battery presence)."));
        return;
    }
    case pic::Battery::NoVerdict:
        WriteLog(qlog::LOG_DET, QStringLiteral("Just waiting for PIC info."));
        WriteLog(qlog::LOG_DET, QStringLiteral(" ----------- STATE: ") + Util_PicUpgStateName(picUpgradeState));
        return;
    }
}

// The preparation stops before the descriptor is touched: the sequence goes
// on or ends, and the telnet connection is closed.
void frmMain::picStoppedByBattery(const QString& status, bool clearPending)
{
    if (clearPending) {
        isUpgSwSelected = false;
        isUpgPicSelected = false;
        isUpgAntSelected = false;
    }
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    tmrPicUpgrCnt->disable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
    setPicState(PIC_UPG_STATE_INIT_CONNECT);
    telnetShell->close();
    Handle_UpgradeState();
    setStatusText(status);
    SetMouseCursor(0);
}

void frmMain::picReflashBattery(const QByteArray& piece, const QString& text)
{
    SetMouseCursor(1);
    logPiece(QStringLiteral("cmd outcome: "), piece);
    switch (pic::batteryVerdict(text)) {
    case pic::Battery::Absent:
        picStep(pic::cmd::reflash(), PIC_UPG_STATE_REFLASH_SENT, QStringLiteral("Sending PIC reflash command."));
        isConnRetryEnabled = true;
        connRetryCount = 0;
        return;
    case pic::Battery::Present:
        logPiece(QStringLiteral("FAILURE: "), piece);
        tmrPicUpgrCnt->disable();
        WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
        setPicState(PIC_UPG_STATE_BATT_REBOOT_WAIT);
        msgBox(kBatteryRemoved + QStringLiteral("Remove the Battery and retry the PIC Upgrade after the Powerup.\r\nAlso "
                                                "refer to the Help menu if needed.\r\n\r\nClick 'OK' to Restart Modem and "
                                                "continue.\r\n"),
               MsgButtons::OK, MsgIcon::Critical, zing::kTitleUserAction);
        if (unloaded_)
            return;
        sendTelnet(pic::cmd::reboot());
        setStatusText(QStringLiteral("Battery present, skipping PIC Upgrade."));
        return;
    case pic::Battery::Unknown:
    case pic::Battery::NoVerdict:
        // Counted over the phase: a terminal that never gives a verdict ends here.
        ++picDataAnswers;
        WriteLog(qlog::LOG_DET, QStringLiteral("[") + QString::number(picDataAnswers) +
                                    QStringLiteral("] <<display pic-data: ") + text);
        WriteLog(qlog::LOG_DET, QStringLiteral(" ----------- STATE: ") + Util_PicUpgStateName(picUpgradeState));
        if (picDataAnswers <= 10)
            return;
        WriteLog(qlog::LOG_ERR, QStringLiteral("Unexpected PIC data.  Upgrade aborted."));
        tmrPicUpgrCnt->disable();
        WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
        setPicState(PIC_UPG_STATE_BATT_REBOOT_WAIT);
        msgBox(QStringLiteral("Unexpected PIC data.  PIC Upgrade aborted."), MsgButtons::OK, MsgIcon::Critical,
               zing::kTitleFault);
        if (!unloaded_)
            sendTelnet(pic::cmd::reboot());
        return;
    }
}

void frmMain::picReflashOutput(const QByteArray& piece, const QString& text)
{
    SetMouseCursor(1);
    const bool reporting = pic::isReportingPlatform(connectedPlatformId) || pic::isReportingPlatform(packagedPlatformId);
    if (!reporting) {
        // These platforms print nothing more: the first answer ends the phase.
        // A failure value is a failed reflash, not a reason to wait for a success.
        if (pic::isFailureValue(text)) {
            picReflashFailed(piece);
            return;
        }
        if (pic::isSuccessValue(text))
            logPiece(QStringLiteral("Reflash: "), piece);
        picReflashDone(QStringLiteral("Modem will Restart after PIC Upgrade.  Please DO NOT Interrupt !"));
        return;
    }
    logPiece(QStringLiteral("Reflash: "), piece);
    if (text.contains(QLatin1String("PIC Reflash Completed"))) {
        const bool restarts = connectedPlatformId == 9 || packagedPlatformId == 9;
        picReflashDone(restarts ? QStringLiteral("Modem will Restart after PIC Upgrade.  Please DO NOT Interrupt !")
                                : QStringLiteral("Modem will Power Off after PIC Upgrade.  Please DO NOT Interrupt !"));
    } else if (text.contains(QLatin1String("FAIL"))) {
        picReflashFailed(piece);
    } else if (text.contains(QLatin1String("Recovery Mode"))) {
        sendTelnet(pic::cmd::emptyLine());
        WriteLog(qlog::LOG_DET, QStringLiteral("Recovery-Mode: picUpgradeState = ") + Util_PicUpgStateName(picUpgradeState));
        setStatusText(QStringLiteral("Continuing PIC reflash..."));
    } else {
        WriteLog(qlog::LOG_VRB, QStringLiteral("PIC Upgrade progressing..."));
    }
}

void frmMain::picReflashFailed(const QByteArray& piece)
{
    logPiece(QStringLiteral("FAILURE: "), piece);
    // Remembered, so the version answer after the reset does not announce a success.
    isPicReflashFailed = true;
    setPicState(PIC_UPG_STATE_WAIT_RESET);
    telnetShell->close();
    tmrPicUpgrCnt->disable();
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    setStatusText(QStringLiteral("Modem will Restart momentarily.  Please DO NOT Interrupt !"));
    msgBox(QStringLiteral("PIC Upgrade failure. \r\n\r\n Possible reasons for failure : \r\n     - Battery only "
                          "operation.\r\n     - Corrupt PIC firmware.\r\n\r\nPIC firmware has not been Upgraded.\r\n"
                          "Please refer to the Help menu if needed.\r\n\r\nClick 'OK' to Restart Modem and continue.\r\n"),
           MsgButtons::OK, MsgIcon::Critical, zing::kTitleFault);
    if (!unloaded_)
        tmrFiveSecDelayedReset->enable();
}

void frmMain::picReflashDone(const QString& status)
{
    setPicState(PIC_UPG_STATE_WAIT_RESET);
    telnetShell->close();
    setStatusText(status);
    tmrPicUpgResetDelay->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgResetDelay.Enabled = True"));
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
}
