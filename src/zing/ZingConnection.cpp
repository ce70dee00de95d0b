// One fresh connection per ZING exchange: connect, send, time-outs, the
// reachability probe on the FTP port and the reset wait.
#include "app/frmMain.h"

#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "zing/ZingMessage.h"
#include "zing/ZingTexts.h"

#include <QLineEdit>

namespace {
constexpr int kRedLight = 255;
constexpr int kMaxAntennaWaits = 6;
constexpr int kMaxConnRetries = 6;
}  // namespace

void frmMain::closeZingIfOpen()
{
    // A connection still being set up is dropped too: the older request is forgotten.
    if (sckZING->state() != TcpClient::sckClosed)
        sckZING->close();
}

void frmMain::openZingExchange(int32_t code, const QString& host)
{
    currZingCmd = code;
    sckZING->remoteHost = host;
    sckZING->remotePort = Settings::get().zingPort;
    tmrConnect->enable();
    const int err = sckZING->connectToHost();
    if (err != 0)
        WriteLog(qlog::LOG_DET, QStringLiteral("\r\n%1: %2\r\nHelp: 0\r\nSource: sckZING").arg(err).arg(TcpClient::describeError(err)));
}

void frmMain::SendZINGCommand(int32_t code)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> SendZINGCommand()"));
    WriteLog(qlog::LOG_DET, QStringLiteral("Code: /x") + zing::hexUpper(code));
    sckZING->sendData(zing::plainRequest(code));
    tmrResponse->enable();
}

void frmMain::SendZINGCommand(int32_t code, quint8 param)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> SendZINGCommand()"));
    WriteLog(qlog::LOG_DET, QStringLiteral("Code: /x") + zing::hexUpper(code) + QStringLiteral(", arg: ") + QString::number(param));
    sckZING->sendData(zing::requestWithByte(code, param));
    // Only the antenna upgrade uses this form; its answer may take several periods.
    isAntUpgRespPending = true;
    antRespRetryCount = 0;
    tmrResponse->enable();
}

void frmMain::SendZINGCommandAndParamLong(int32_t code, int32_t param)
{
    WriteLog(qlog::LOG_DET, QStringLiteral("[Call]: SendZINGCommandAndParamLong()"));
    WriteLog(qlog::LOG_INF, zing::longRequestLogLine(code, param));
    sckZING->sendData(zing::requestWithLong(code, param));
    tmrResponse->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrResponse.Enabled = True"));
}

void frmMain::sckZING_Connect()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> sckZING_Connect()"));
    tmrConnect->disable();
    switch (currZingCmd) {
    case zing::UPGRADE_ANT_FW:
        WriteLog(qlog::LOG_INF, QStringLiteral("Upgrading Antenna Firmware."));
        SendZINGCommand(currZingCmd, 2);
        break;
    case zing::VERSION_CMD:
        SendZINGCommandAndParamLong(currZingCmd, 1);
        break;
    default:
        SendZINGCommand(currZingCmd);
        break;
    }
    if (currZingCmd == zing::RESET_CMD) {
        // The terminal restarts without answering.
        tmrResponse->disable();
        tmr40SecDelay->enable();
        currZingCmd = zing::RESET_DONE;
        isSoftwareResetDue_ = false;
        setStatusText(QStringLiteral("Resetting modem.  Wait 40 seconds."));
        setStatusLedColour(kRedLight);
    }
}

void frmMain::sckZING_Close()
{
    msgBox(QStringLiteral("Satellite IP Modem closed the connection.  Connection lost."), MsgButtons::OK,
           MsgIcon::Critical, QStringLiteral("Error"));
}

void frmMain::sckZING_Error(int number, const QString& description)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> sckZING_Error()"));
    if (number == TcpClient::sckConnectionRefused)
        WriteLog(qlog::LOG_DET, QStringLiteral("Run sysinit_start on UT and try again.  Info: ") + QStringLiteral("64"));
    else
        WriteLog(qlog::LOG_DET, QStringLiteral("Winsock error #") + QString::number(number) + QStringLiteral(": ") + description +
                        QStringLiteral(" Error"));
    zingConnectFailed();
}

void frmMain::tmrConnect_Timer()
{
    zingConnectFailed();
}

void frmMain::zingConnectFailed()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrConnect_Timer()"));
    sckZING->close();
    tmrConnect->disable();
    tmrResponse->disable();

    switch (currZingCmd) {
    case zing::HALT_GPRS_STACK:
    case zing::CHKDSK_CMD: {
        const QString text = currZingCmd == zing::HALT_GPRS_STACK ? QStringLiteral("No response for halt stack")
                                                                  : QStringLiteral("No response for chkdsk");
        setStatusText(text);
        WriteLog(qlog::LOG_DET, text);
        msgBox(zing::kConnectionProblemA + zing::kCrLf, MsgButtons::OK, MsgIcon::Critical, zing::kTitleFault);
        closeMainWindow();
        break;
    }
    case zing::ANT_FW_INFO:
        setStatusText(QStringLiteral("No response to Antenna Firmware Info request."));
        WriteLog(qlog::LOG_DET, QStringLiteral("No response to ANT_FW_INFO"));
        break;
    case zing::GPS_BYPASS_MODE_CMD:
        SetMouseCursor(0);
        msgBox(QStringLiteral("Could not switch off GPS. ") + zing::kCrLf +
                   QStringLiteral("You may still upgrade Satellite IP Modem or restore old software on Satellite IP Modem."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        break;
    case zing::RESET_DONE:
        tmr40SecDelay->enable();
        WriteLog(qlog::LOG_DET, QStringLiteral("tmr40SecDelay.Enabled = True"));
        setStatusText(QStringLiteral("Reset done.  Please wait..."));
        break;
    case zing::VERSION_CMD:
        strCurrentVersion = QStringLiteral("0_0_0_0");
        txtCurrentSoftwareVersion->setText(QStringLiteral("UNKNOWN"));
        if (isConnRetryEnabled && connRetryCount < kMaxConnRetries) {
            ++connRetryCount;
            WriteLog(qlog::LOG_INF, QStringLiteral("Retry Connecting"));
            setStatusText(QStringLiteral("Retrying connection.  Please Wait..."));
            tmr40SecDelay->enable();
            WriteLog(qlog::LOG_DET, QStringLiteral("tmr40SecDelay.Enabled = True"));
        } else {
            startConnectivityProbe();
            setStatusText(QStringLiteral("ZING Connection failed."));
            WriteLog(qlog::LOG_DET, QStringLiteral("tmrConneTest.Enabled = True"));
        }
        break;
    case zing::RESET_CMD:
        SetMouseCursor(0);
        msgBox(QStringLiteral("Unable to reset Satellite IP Modem.") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("Please power down and power up the Satellite IP Modem."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        break;
    default:
        // Factory defaults, antenna upgrade, release information: the
        // connection is closed and the busy state stays until the next operation.
        break;
    }
}

void frmMain::tmrResponse_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrResponse_Timer()   ... timeout for ZING cmd /x") + zing::hexUpper(currZingCmd));
    if (currZingCmd == zing::UPGRADE_ANT_FW && isAntUpgRespPending) {
        if (antRespRetryCount < kMaxAntennaWaits) {
            // Still flashing the antenna: give it another period, connection open.
            ++antRespRetryCount;
            WriteLog(qlog::LOG_INF, QStringLiteral("Waiting a little longer for Antenna Response.  Retry #") +
                            QString::number(antRespRetryCount));
            return;
        }
        antRespRetryCount = 0;
        isAntUpgRespPending = false;
        sckZING->close();
        tmrResponse->disable();
        antennaNotConfirmed(QStringLiteral("No Antenna FW Upgrade response after ") +
                            QString::number(kMaxAntennaWaits + 1) + QStringLiteral(" response periods."));
        startConnectivityProbe();
        return;
    }
    if (currZingCmd == zing::CHKDSK_CMD || currZingCmd == zing::HALT_GPRS_STACK) {
        // No answer to a preparation request counts as done.
        sckZING->close();
        tmrResponse->disable();
        upgPrepState = UPG_PREP_STACK_READY;
        WriteLog(qlog::LOG_DET, QStringLiteral("upgPrepState = ") + upgPrepStateName(upgPrepState));
        UPG_HandleSwUpgradePreparation();
        return;
    }
    sckZING->close();
    tmrResponse->disable();
    startConnectivityProbe();
}

// The terminal took the antenna request but never said how it went: the
// sequence stops there, and the user is told what to do, for the terminal
// may still be flashing.
void frmMain::antennaNotConfirmed(const QString& why)
{
    WriteLog(qlog::LOG_ERR, why);
    currUpgradeState = UPG_STATE_IDLE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    UI_UpdateUIUpgState(1);
    setStatusText(QStringLiteral("Antenna Upgrade not confirmed !"));
    msgBox(QStringLiteral("The Satellite IP Modem did not confirm the Antenna Upgrade.") + zing::kCrLf + zing::kCrLf +
               QStringLiteral("It may still be upgrading the antenna: do not switch it off.") + zing::kCrLf +
               QStringLiteral("Once it has restarted, use 'Get Software Version' in the Tools menu to read the antenna "
                              "versions, then retry the Antenna Upgrade if they are unchanged."),
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::tmr40SecDelay_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmr40SecDelay_Timer()"));
    tmr40SecDelay->disable();
    if (isPicBattRebootWait) {
        isPicBattRebootWait = false;
        telnetShell->close();
        WriteLog(qlog::LOG_INF, QStringLiteral("Closing Telnet connection used earlier for PIC Upgrade."));
        picUpgradeState = PIC_UPG_STATE_INIT_CONNECT;
        WriteLog(qlog::LOG_DET, QStringLiteral("picUpgradeState = ") + Util_PicUpgStateName(picUpgradeState));
    }
    ZingReq_GetCurrentSoftwareVersion();
    tmrPicUpgrCnt->disable();
    picUpgRetryCount = 0;
    SetMouseCursor(0);
}

void frmMain::startConnectivityProbe()
{
    sckTest->close();
    sckTest->remoteHost = strIPAddress;
    sckTest->remotePort = Settings::get().ftpPort;
    sckTest->connectToHost();
    tmrConneTest->enable();
}

void frmMain::sckTest_Connect()
{
    sckTest->close();
    tmrConneTest->disable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrConneTest.Enabled = False"));
    setOKToFTP(true);
    if (!isFtpTimedOut) {
        if (currZingCmd == zing::VERSION_CMD) {
            isBromCompatSupported = false;
            isConnectedWithoutVersion = true;
            msgBox(QStringLiteral("Unable to get Satellite IP Modem's software version.") + zing::kCrLf +
                       zing::kConnectionProblemB,
                   MsgButtons::OK, MsgIcon::Information, zing::kTitleUserAction);
            UI_UpdateUIUpgState(1);
        }
        SetMouseCursor(0);
    } else {
        // The FTP command timed out and ZING does not answer, yet the FTP port
        // accepts: the operation is over, so say so and give the window back.
        isFtpTimedOut = false;
        setStatusText(QStringLiteral("FTP timeout."));
        UI_UpdateUIUpgState(1);
        SetMouseCursor(0);
        msgBox(QStringLiteral("FTP timeout.") + zing::kCrLf + QStringLiteral("Unable to get Satellite IP Modem's software version.") +
                   zing::kCrLf + zing::kConnectionProblemB,
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        DisableFTPbuttons();
    }
    WriteLog(qlog::LOG_DET, QStringLiteral("sckTestConnect: Connection succeed."));
    if (isPicVerdictDue_ && currZingCmd == zing::VERSION_CMD)
        picVerdict(false);
}

void frmMain::tmrConneTest_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrConneTest_Timer()"));
    sckTest->close();
    tmrConneTest->disable();
    setOKToFTP(false);
    if (currZingCmd == zing::VERSION_CMD) {
        if (!isFtpTimedOut) {
            msgBox(QStringLiteral("Unable to get Satellite IP Modem's software version.") + zing::kCrLf +
                       zing::kConnectionProblemB,
                   MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        } else {
            isFtpTimedOut = false;
            msgBox(QStringLiteral("FTP timeout.") + zing::kCrLf + QStringLiteral("Cannot connect to the Satellite IP Modem.") +
                       zing::kCrLf + zing::kConnectionProblemB,
                   MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        }
    }
    setStatusText(QStringLiteral("Connection failed."));
    UI_UpdateUIUpgState(1);
    SetMouseCursor(0);
    DisableFTPbuttons();
    if (isPicVerdictDue_)
        picVerdict(false);
}
