// ZING request procedures and the maintenance commands of the Tools menu.
// Each only starts the exchange; the connect event sends the request.
#include "app/frmMain.h"

#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "zing/ZingMessage.h"
#include "zing/ZingTexts.h"

#include <QLineEdit>

#include <utility>

namespace {
const QString kRetrievingVersion = QStringLiteral("Retrieving Terminal software version...");
}  // namespace

void frmMain::runCommonZingRequest(const char* name, int32_t code, const QString& status)
{
    const bool isHalt = code == zing::HALT_GPRS_STACK;
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> ") + QString::fromLatin1(name) + QStringLiteral("()"));
    if (sckZING->state() != TcpClient::sckClosed) {
        if (isHalt)
            WriteLog(qlog::LOG_DET, QStringLiteral("Closing the open Zing Socket."));
        sckZING->close();
    }
    SetMouseCursor(1);
    if (strIPAddress.isEmpty()) {
        // Nothing is sent; the busy state stays until another operation ends it.
        msgBox(QStringLiteral("Please enter Satellite IP Modem's IP address."), MsgButtons::OK, MsgIcon::Information,
               zing::kTitleUserAction);
        return;
    }
    setStatusText(status);
    currZingCmd = code;
    sckZING->remoteHost = strIPAddress;
    sckZING->remotePort = Settings::get().zingPort;
    tmrConnect->enable();
    if (isHalt)
        WriteLog(qlog::LOG_DET, QStringLiteral("Zing Socket State.") + QString::number(sckZING->state()));
    const int err = sckZING->connectToHost();
    if (err != 0)
        WriteLog(qlog::LOG_DET, QStringLiteral("\r\n%1: %2\r\nHelp: 0\r\nSource: sckZING").arg(err).arg(TcpClient::describeError(err)));
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrConnect.Enabled = True"));
}

void frmMain::ZingReq_PrepareTerminalFileSystem()
{
    runCommonZingRequest("ZingReq_PrepareTerminalFileSystem", zing::CHKDSK_CMD,
                         QStringLiteral("Preparing Terminal filesystem for Upgrade..."));
    setStatusText(QStringLiteral("Preparing Terminal File System for Upgrade..."));
}

void frmMain::ZingReq_HaltStack()
{
    runCommonZingRequest("ZingReq_HaltStack", zing::HALT_GPRS_STACK,
                         QStringLiteral("Preparing Terminal software for Upgrade..."));
}

void frmMain::ZingReq_UpgradeAntennaFW()
{
    runCommonZingRequest("ZingReq_UpgradeAntennaFW", zing::UPGRADE_ANT_FW,
                         QStringLiteral("Upgrading Antenna Firmware..."));
}

void frmMain::ZingReq_Fetch_All_Release_Info()
{
    runCommonZingRequest("ZingReq_Fetch_All_Release_Info", zing::RELEASE_INFO,
                         QStringLiteral("Fetching Terminal Release Info..."));
}

void frmMain::ZingReq_Fetch_Antenna_Info()
{
    runCommonZingRequest("ZingReq_Fetch_Antenna_Info", zing::ANT_FW_INFO, QStringLiteral("Fetching Antenna Info..."));
}

void frmMain::SendGPSBypassModeCommand()
{
    runCommonZingRequest("SendGPSBypassModeCommand", zing::GPS_BYPASS_MODE_CMD,
                         QStringLiteral("Upgrading Satellite IP Modem with version ") + txtNewSoftwareVersion->text() +
                             QStringLiteral("..."));
}

void frmMain::ZingReq_GetCurrentSoftwareVersion()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> ZingReq_GetCurrentSoftwareVersion()"));
    closeZingIfOpen();
    SetMouseCursor(1);
    strCurrentVersion = QStringLiteral("0_0_0_0");
    txtCurrentSoftwareVersion->setText(QStringLiteral("UNKNOWN"));
    setStatusText(kRetrievingVersion);
    QString host = strIPAddress;
    if (isUseDefaultIp) {
        // Once only: the terminal comes back in its Boot ROM at the default address.
        isUseDefaultIp = false;
        host = Settings::get().defaultTerminalIp;
    }
    openZingExchange(zing::VERSION_CMD, host);
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrConnect.Enabled = True"));
}

void frmMain::ZingReq_RestoreFactoryDefaults()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> ZingReq_RestoreFactoryDefaults()"));
    beginTerminalWork();
    closeZingIfOpen();
    SetMouseCursor(1);
    setStatusText(kRetrievingVersion);
    openZingExchange(zing::RESTORE_FACTORY_DEFAULTS, strIPAddress);
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrConnect.Enabled = True"));
}

void frmMain::ResetTerminal()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> ResetTerminal()"));
    beginTerminalWork();
    WriteLog(qlog::LOG_VRB, QString(38, QLatin1Char('-')));
    closeZingIfOpen();
    txtCurrentSoftwareVersion->setText(QStringLiteral("UNKNOWN"));
    strCurrentVersion = QStringLiteral("0_0_0_0");
    SetMouseCursor(1);
    QString host = strIPAddress;
    if (std::exchange(isResetAtDefaultIp_, false))
        host = Settings::get().defaultTerminalIp;
    openZingExchange(zing::RESET_CMD, host);
}

void frmMain::tmrFiveSecDelayedReset_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrFiveSecDelayedReset_Timer()"));
    tmrFiveSecDelayedReset->disable();
    isConnRetryEnabled = true;
    connRetryCount = 0;
    ResetTerminal();
}

void frmMain::cmdGetSoftwareVersion_Click()
{
    report_.reset();
    currUpgradeState = UPG_STATE_IDLE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    ZingReq_GetCurrentSoftwareVersion();
}

void frmMain::cmdRestoreDefaults_Click()
{
    report_.reset();
    // Nothing that wipes the terminal's configuration runs on one key press.
    if (msgBox(QStringLiteral("Restore the Satellite IP Modem's factory defaults?") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("Its configuration is set back to the factory state, and it restarts."),
               MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No) != MsgResult::Yes)
        return;
    ZingReq_RestoreFactoryDefaults();
}

void frmMain::cmdResetModem_Click()
{
    report_.reset();
    if (!strIPAddress.isEmpty() &&
        msgBox(QStringLiteral("Reset the Satellite IP Modem?") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("It restarts, and does not answer for about 40 seconds."),
               MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No) != MsgResult::Yes)
        return;
    if (!strIPAddress.isEmpty()) {
        setStatusText(QStringLiteral("Resetting Satellite IP Modem..."));
        ResetTerminal();
    } else {
        msgBox(QStringLiteral("Please enter Satellite IP Modem's IP Address."), MsgButtons::OK, MsgIcon::Information,
               zing::kTitleUserAction);
    }
}
