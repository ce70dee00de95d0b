// Every ZING answer lands in the data-arrival event: one event is one response.
#include "app/frmMain.h"

#include "ident/VersionText.h"
#include "log/LogFormat.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "zing/ZingMessage.h"
#include "zing/ZingTexts.h"

#include <QLineEdit>
#include <QScopeGuard>

namespace {

bool isHandledResponse(int32_t code)
{
    switch (code) {
    case zing::VERSION_RESPONSE:
    case zing::RELEASE_INFO_CNF:
    case zing::ANT_FW_INFO_CNF:
    case zing::UPGRADE_ANT_FW_CNF:
    case zing::RESTORE_FACTORY_DEFAULTS_CNF:
    case zing::CHKDSK_RESPONSE:
    case zing::HALT_GPRS_STACK_RESPONSE:
    case zing::GPS_BYPASS_MODE_RESPONSE:
    case zing::GPS_TEST_DATA_RESPONSE:
        return true;
    default:
        return false;
    }
}

// The answer to the request in flight; the GPS test data goes out on the
// bypass request's connection, under its code.
bool answersRequest(int32_t code, int32_t request)
{
    return code == request + zing::VERSION_RESPONSE - zing::VERSION_CMD ||
           (code == zing::GPS_TEST_DATA_RESPONSE && request == zing::GPS_BYPASS_MODE_CMD);
}

bool isAcceptedAntennaStatus(int32_t status)
{
    return status == 0 || status == 1 || status == 2;
}

}  // namespace

void frmMain::sckZING_DataArrival(const QByteArray& bytes)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> sckZING_DataArrival()"));
    const zing::ZingResponse r = zing::decodeResponse(bytes);
    if (!r.hasCode) {
        // Not a response at all: the response time-out keeps guarding the request.
        WriteLog(qlog::LOG_ERR, zing::shortResponseNote(r, zing::kCodeOffset));
        return;
    }
    // A code nobody handles leaves the request unanswered; its time-out keeps
    // running, so the exchange cannot hang on it.
    const bool handled = isHandledResponse(r.code);
    const bool answers = answersRequest(r.code, currZingCmd);
    if (handled && answers)
        tmrResponse->disable();
    WriteLog(qlog::LOG_DET, QStringLiteral("ZingResponseCode: /x") + zing::hexUpper(r.code));
    if (handled && !answers) {
        // The answer to another request would drive a sequence the user never
        // started, or loop one: ignored like an unknown code.
        WriteLog(qlog::LOG_ERR, zing::Util_ZingCmdName(r.code) + QStringLiteral(" ignored: not the answer to ") +
                        zing::Util_ZingCmdName(currZingCmd));
        return;
    }
    switch (r.code) {
    case zing::VERSION_RESPONSE:
        handleVersionResponse(bytes);
        break;
    case zing::RELEASE_INFO_CNF:
        handleReleaseInfoCnf(bytes);
        break;
    case zing::ANT_FW_INFO_CNF:
        handleAntFwInfoCnf(bytes);
        break;
    case zing::UPGRADE_ANT_FW_CNF:
        handleUpgradeAntFwCnf(bytes);
        break;
    case zing::RESTORE_FACTORY_DEFAULTS_CNF:
        handleRestoreDefaultsCnf();
        break;
    case zing::CHKDSK_RESPONSE:
        handleChkdskResponse();
        break;
    case zing::HALT_GPRS_STACK_RESPONSE:
        handleHaltStackResponse();
        break;
    case zing::GPS_BYPASS_MODE_RESPONSE:
        handleGpsBypassResponse(bytes);
        break;
    case zing::GPS_TEST_DATA_RESPONSE:
        handleGpsTestDataResponse();
        break;
    default:
        // Not ours to handle; the next request closes the connection.
        break;
    }
}

void frmMain::handleVersionResponse(const QByteArray& bytes)
{
    isConnRetryEnabled = false;
    connRetryCount = 0;
    if (currUpgradeState == UPG_STATE_IDLE)
        UI_UpdateUIUpgState(1);

    const zing::ZingResponse r = zing::decodeResponse(bytes);
    const std::optional<QString> text = r.versionText();
    if (!text) {
        // Without its text the answer says nothing: treat it as no answer.
        WriteLog(qlog::LOG_ERR, zing::shortResponseNote(r, zing::kVersionTextOffset));
        sckZING->close();
        startConnectivityProbe();
        return;
    }

    // After a PIC upgrade only what this answer says counts.
    if (isPicVerdictDue_)
        txtTermPICVersion->setText(QStringLiteral("UNKNOWN"));
    Util_InterpretVersionResponse(*text);

    if (isBootRomMode && picUpgradeState == PIC_UPG_STATE_PREP_REBOOT) {
        WriteLog(qlog::LOG_INF, QStringLiteral("Upgrade PIC in BOOTROM mode."));
        Init_PIC_Upgrade();
    } else {
        if (picUpgradeState == PIC_UPG_STATE_PREP_REBOOT) {
            // Back with its application: the reflash phase has no Boot ROM to
            // run in, and the descriptor still sends the next start there.
            WriteLog(qlog::LOG_ERR, QStringLiteral("The terminal did not restart in its Boot ROM for the PIC reflash."));
            tmrPicUpgrCnt->disable();
            picReflash_ = pic::Reflash::NotRun;
            isPicVerdictDue_ = true;
        }
        if (!Util_ApplyCompatibilityRule()) {
            // Refused: the connection is left for the next request to close.
            return;
        }
    }
    bool mayRequestReleaseInfo = false;
    if (!isBootRomMode) {
        qlog::LogLines log;
        mayRequestReleaseInfo = ident::Util_GrabTermDateInfo(*text, isBootRomMode, log);
        const QString dotted = ident::Util_GetVersionString(*text, isBootRomMode, isBromCompatSupported, log);
        writeLogLines(log);
        // No version is no identification: an empty version matches no release
        // series, so nothing can be installed on a terminal that said nothing
        // readable ("0_0_0_0" would pass as a development build).
        strCurrentVersion = dotted;
        txtCurrentSoftwareVersion->setText(dotted.isEmpty() ? QStringLiteral("UNKNOWN") : dotted);
        Util_IdentifyPlatform(dotted);
        if (dotted.isEmpty()) {
            versionNotRead(*text);
            return;
        }
    }
    strCurrentVersion = ident::SearchAndReplace(strCurrentVersion, QStringLiteral("."), QStringLiteral("_"));
    sckZING->close();

    if (isPicVerdictDue_) {
        // Back after the PIC upgrade: judged once its PIC version is known.
        setPicState(PIC_UPG_STATE_INIT_CONNECT);
        currUpgradeState = UPG_STATE_IDLE;
        WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    } else {
        setStatusText(QStringLiteral("Operation Successful.  Software version retrieved!"));
    }
    SetMouseCursor(0);

    if (isFtpTimedOut) {
        // This request checked the connection after an FTP failure.
        isFtpTimedOut = false;
        msgBox(QStringLiteral("FTP timeout.") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("\r\nGet system version using Tools menu before retrying.\r\nPower cycle the Satellite "
                                  "IP Modem if necessary.\r\nClose and restart Upgrader if error persists."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        DisableFTPbuttons();
    }

    if (!isBootRomMode && mayRequestReleaseInfo) {
        WriteLog(qlog::LOG_INF, QStringLiteral("Not in Bootrom mode, request additional Release Info."));
        ZingReq_Fetch_All_Release_Info();
        setOKToFTP(true);
    } else {
        UI_InitTermAntennaFields();
        if (!isBromCompatSupported)
            UI_InitTermPicFields();
        setOKToFTP(true);
        checkForInterruptedPic();
        if (isPicVerdictDue_)
            picVerdict();
    }
}

// The terminal answered, but with no version in its text: it is reachable
// and not identified, so nothing claims success and nothing can be installed.
void frmMain::versionNotRead(const QString& text)
{
    sckZING->close();
    isFtpTimedOut = false;
    setOKToFTP(false);
    setStatusText(QStringLiteral("Unable to read Satellite IP Modem's software version."));
    UI_UpdateUIUpgState(1);
    SetMouseCursor(0);
    msgBox(QStringLiteral("Unable to read Satellite IP Modem's software version.") + zing::kCrLf +
               QStringLiteral("The Satellite IP Modem answered: \"") + qlog::printableBytes(text.toLatin1(), 80) + QStringLiteral("\"") +
               zing::kCrLf + zing::kConnectionProblemB,
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    DisableFTPbuttons();
    if (isPicVerdictDue_)
        picVerdict(false);
}

// Logs the arrival, ends the exchange and gives the controls back.
void frmMain::endZingExchange(const QString& arrived)
{
    WriteLog(qlog::LOG_DET, arrived);
    sckZING->close();
    SetMouseCursor(0);
}

// The field at offset 8, or nothing, with an ERR line, when the answer ends before it.
std::optional<int32_t> frmMain::statusOrLengthField(const zing::ZingResponse& r)
{
    const std::optional<int32_t> v = r.statusOrLength();
    if (!v)
        WriteLog(qlog::LOG_ERR, zing::shortResponseNote(r, zing::kStatusOrLengthOffset));
    return v;
}

void frmMain::handleReleaseInfoCnf(const QByteArray& bytes)
{
    endZingExchange(QStringLiteral("Release Info response has arrived"));
    // A PIC upgrade waits for this answer's PIC version, whatever it holds.
    const auto judged = qScopeGuard([this] {
        if (isPicVerdictDue_)
            picVerdict();
    });
    const zing::ZingResponse r = zing::decodeResponse(bytes);
    const std::optional<int32_t> length = statusOrLengthField(r);
    if (!length)
        return;
    if (*length < 1) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("Invalid Release Info response length."));
        return;
    }
    const QString text = r.text().value_or(QString());
    WriteLog(qlog::LOG_VRB, QStringLiteral("ZING Ant Info:") + zing::kCrLf + qlog::printableLines(text));
    UPG_HandleReleaseInfo(text);
    Handle_UpgradeState();
    setStatusText(QStringLiteral("Operation Successful.  Release Info retrieved!"));
}

void frmMain::handleAntFwInfoCnf(const QByteArray& bytes)
{
    endZingExchange(QStringLiteral("Antenna FW Info response has arrived"));
    const zing::ZingResponse r = zing::decodeResponse(bytes);
    const std::optional<int32_t> status = statusOrLengthField(r);
    if (!status)
        return;
    if (*status != 0) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("Unexpected ANT FW Info response: ") + QString::number(*status));
        return;
    }
    const std::optional<int32_t> length = r.textLength();
    if (!length || *length < 1) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("Invalid Antenna FW Info response length."));
        return;
    }
    const QString text = r.text().value_or(QString());
    WriteLog(qlog::LOG_VRB, QStringLiteral("Ant Info: ") + qlog::printableLines(text));
    Util_GrabTermAntennaVersions(text);
    setStatusText(QStringLiteral("Operation Successful.  Antenna Info retrieved!"));
}

void frmMain::handleUpgradeAntFwCnf(const QByteArray& bytes)
{
    antRespRetryCount = 0;
    isAntUpgRespPending = false;
    endZingExchange(QStringLiteral("Antenna FW Upgrade response has arrived"));
    const zing::ZingResponse r = zing::decodeResponse(bytes);
    const std::optional<int32_t> status = statusOrLengthField(r);
    if (!status) {
        // Taken, but with no status: the terminal may be flashing the antenna.
        antennaNotConfirmed(QStringLiteral("Antenna FW Upgrade response without its status."));
        return;
    }
    WriteLog(qlog::LOG_VRB, QStringLiteral("Ant Upgrade Status Response: ") + QString::number(*status));
    const std::optional<int32_t> length = r.textLength();
    if (length && *length > 0)
        WriteLog(qlog::LOG_VRB, QStringLiteral("Ant Upgrade Data Response: ") + qlog::printableLines(r.text().value_or(QString())));
    currUpgradeState = UPG_STATE_ANT_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    if (isAcceptedAntennaStatus(*status)) {
        setStatusText(QStringLiteral("Modem will Restart after Antenna Upgrade.  Please DO NOT Interrupt !"));
        tmrAntUpgDelay->enable();
        return;
    }
    WriteLog(qlog::LOG_ERR, QStringLiteral("Antenna Upgrade Status response indicates ERROR has occurred (") +
                    QString::number(*status) + QStringLiteral(")"));
    msgBox(QStringLiteral("Antenna Upgrade failed (Error Code ") + QString::number(*status) +
               QStringLiteral(").  Check documentation and try again.") + zing::kCrLf,
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    setStatusText(QStringLiteral("Antenna Upgrade Failed !"));
    Handle_UpgradeState();
}

void frmMain::handleRestoreDefaultsCnf()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("Restore defaults response has arrived"));
    sckZING->close();
    tmrFiveSecDelayedReset->enable();
    setStatusText(QStringLiteral("Restore in Progress.  Please Wait... "));
}

void frmMain::handleChkdskResponse()
{
    endZingExchange(QStringLiteral("check disk response has arrived"));
    upgPrepState = UPG_PREP_FS_READY;
    WriteLog(qlog::LOG_DET, QStringLiteral("upgPrepState = ") + upgPrepStateName(upgPrepState));
    UPG_HandleSwUpgradePreparation();
}

void frmMain::handleHaltStackResponse()
{
    endZingExchange(QStringLiteral("Halt GPRS Stack response has arrived"));
    if (upgPrepState == UPG_PREP_FS_READY) {
        upgPrepState = UPG_PREP_STACK_READY;
        WriteLog(qlog::LOG_DET, QStringLiteral("upgPrepState = ") + upgPrepStateName(upgPrepState));
        UPG_HandleSwUpgradePreparation();
    }
}

void frmMain::handleGpsBypassResponse(const QByteArray& bytes)
{
    WriteLog(qlog::LOG_DET, QStringLiteral("GPS_BYPASS_MODE_RESPONSE received"));
    isGpsBypassAnswered = true;
    const zing::ZingResponse r = zing::decodeResponse(bytes);
    const std::optional<int32_t> status = statusOrLengthField(r);
    if (!status || *status != 0) {
        setStatusText(QStringLiteral("Unable to upgrade the Satellite IP Modem."));
        sckZING->close();
        SetMouseCursor(0);
        msgBox(QStringLiteral("Unable to upgrade the Satellite IP Modem.") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("Please turn the Modem off and on again before retrying."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        return;
    }
    WriteLog(qlog::LOG_VRB, QStringLiteral("Zing: GPS stall request."));
    // Same connection; no response time-out for this one.
    sckZING->sendData(zing::gpsTestDataRequest());
}

void frmMain::handleGpsTestDataResponse()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("GPS_TEST_DATA_RESPONSE received"));
    if (isGpsBypassAnswered) {
        sckZING->close();
        SetMouseCursor(0);
    }
}
