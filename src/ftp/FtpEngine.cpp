// The FTP command engine: one command at a time on the FTP control; its
// notifications decide the next step from currFtpState.
#include "app/frmMain.h"

#include "ftp/BackupRecord.h"
#include "ftp/FtpLogic.h"
#include "log/LogFormat.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "platform/Timer.h"
#include "zing/ZingTexts.h"

#include <QElapsedTimer>

#include <utility>

namespace {

constexpr int kRedLight = 255;
// Longer than the client allows a QUIT to go unanswered.
constexpr int kCloseWaitMs = 6000;
constexpr int kGreenLight = 65280;

const QString kNothingChanged = QStringLiteral(
    "The upgrade was stopped before anything on the Satellite IP Modem was changed: it still runs its current software.");

}  // namespace

void frmMain::setOKToFTP(bool flag)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> setOKToFTP() ") + (flag ? QStringLiteral("True") : QStringLiteral("False")));
    setStatusLedColour(flag ? kGreenLight : kRedLight);
    isOkToFtp = flag;
}

void frmMain::setFtpState(int32_t state, const QString& suffix)
{
    currFtpState = state;
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP state : ") + ftp::ftpStateName(state) + suffix);
}

// The close of the last operation may still await the server's goodbye: a
// new operation waits for it rather than being refused.
void frmMain::awaitFtpClose()
{
    QElapsedTimer waited;
    waited.start();
    while (inetFTP->closing() && !unloaded_ && waited.elapsed() < Settings::scaled(kCloseWaitMs))
        EventPump::waitForEvents();
}

bool frmMain::issueFtp(const QString& operation)
{
    awaitFtpClose();
    if (inetFTP->execute(operation))
        return true;
    // The control refuses while it still runs a command or when the text is
    // not an operation; both are the program's own mistakes, so say so.
    WriteLog(qlog::LOG_ERR, QStringLiteral("FTP operation not started: ") + operation);
    return false;
}

bool frmMain::ftpExecuting() const
{
    return inetFTP->stillExecuting();
}

void frmMain::ftpClose()
{
    setFtpState(ftp::CLOSE_CONNECTION);
    issueFtp(QStringLiteral("CLOSE"));
}

void frmMain::UPG_CloseFtpForImagePut()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("Closing FTP connection"));
    setFtpState(ftp::CLOSE_CONN_IMAGE_PUT);
    tmrFTPReq->enable();
    issueFtp(QStringLiteral("CLOSE"));
}

void frmMain::inetFTP_StateChanged(int state)
{
    switch (state) {
    case InetFtp::icResolvingHost:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Resolving Host"));
        break;
    case InetFtp::icHostResolved:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Host Resolved"));
        break;
    case InetFtp::icConnecting:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Connecting..."));
        break;
    case InetFtp::icConnected:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Connected"));
        break;
    case InetFtp::icReceivingResponse:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: ReceivingResponse from command = ") + QString::number(currFtpState));
        break;
    case InetFtp::icResponseReceived:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Resp received..."));
        break;
    case InetFtp::icDisconnecting:
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Disconnecting..."));
        break;
    case InetFtp::icDisconnected:
        refreshProgress();
        ftpDisconnected();
        break;
    case InetFtp::icError:
        refreshProgress();
        ftpFailed();
        break;
    case InetFtp::icResponseCompleted:
        refreshProgress();
        ftpCompleted();
        break;
    default:
        break;
    }
}

void frmMain::ftpCompleted()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("Current FTP Command: ") + QString::number(currFtpState));
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Command Complete"));
    tmrFTPReq->disable();
    logUploadCheck();

    switch (currFtpState) {
    case ftp::GET_BIN_CMD: {
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : back up current executable successfully in backup folder"));
        const QString path = strBackupDir + QStringLiteral("/qorax_") + strCurrentVersion + QStringLiteral(".bin");
        lastBackup_ = {path, Files::size(path), QString()};
        if (!recordBackup(path))
            break;
        UPG_DeleteOldBinsThenUpload();
        break;
    }
    case ftp::PUT_NEW_BIN_CMD:
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : upload new software completed"));
        isRestoreImage = false;
        UPG_CloseFtpForImagePut();
        break;
    case ftp::GET_IMG_CMD:
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : Get image.txt file successful."));
        WriteLog(qlog::LOG_DET, QStringLiteral("We have the image file downloaded, start processing it"));
        if (!UPG_CheckRetrievedImage()) {
            lastBackup_.why = QStringLiteral("the terminal's image.txt names no executable");
            WriteLog(qlog::LOG_ERR, QStringLiteral("Retrieved Image file Corrupt.  Bypassing Binary retieval."));
            WriteLog(qlog::LOG_VRB, QStringLiteral("Continuing with binary Upload..."));
            UPG_UploadQoraxBinToTarget();
            break;
        }
        setStatusText(QStringLiteral("searching qorax.bin lists"));
        WriteLog(qlog::LOG_DET, QStringLiteral("Retrieved Image file valid.  Continue..."));
        setFtpState(ftp::CD_TO_BIN_FOLDER);
        issueFtp(QStringLiteral("CD /tffs0/bin"));
        EventPump::doEvents();
        break;
    case ftp::CD_TO_BIN_FOLDER:
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : Change Directory to bin folder"));
        setStatusText(QStringLiteral("Retrieving binary list from Terminal."));
        setFtpState(ftp::SEARCH_ALL_BIN_FILE);
        issueFtp(QStringLiteral("LS "));
        EventPump::doEvents();
        break;
    case ftp::DELETE_OLD_BIN_FILE:
        // The deletion loop waits for the control to become idle.
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : delete old .bin file successfully"));
        break;
    case ftp::SEARCH_ALL_BIN_FILE:
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : Lists of qorax.bin files retrieved"));
        // The backup comes first: nothing on the terminal is deleted until the
        // running executable is safe on this PC.
        UPG_ReadBinFileList();
        if (unloaded_)
            break;
        setStatusText(QStringLiteral("Downloading Satellite IP Modem software to PC..."));
        WriteLog(qlog::LOG_DET, QStringLiteral("current executable: ") + qlog::fromTerminal(strCurrentExecutable) +
                                    QStringLiteral("**"));
        WriteLog(qlog::LOG_DET, QStringLiteral("current SoftwareFile : ") +
                        ftp::quoted(strBackupDir + QStringLiteral("/qorax_") + strCurrentVersion + QStringLiteral(".bin")));
        UPG_HandleSwBackupAndProceed();
        break;
    case ftp::PUT_RESTORE_BIN_CMD:
        WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : restore software version completed"));
        isRestoreImage = true;
        UPG_CloseFtpForImagePut();
        break;
    case ftp::GET_LOG_CMD:
        isFtpDone = true;
        WriteLog(qlog::LOG_DET, QStringLiteral("Closing FTP connection"));
        tmrFTPReq->enable();
        ftpClose();
        setStatusText(ftp::logDownloadedText(terminalLogPath()));
        break;
    case ftp::UPGRADE_PIC_SA_CMD:
        isFtpDone = true;
        WriteLog(qlog::LOG_DET, QStringLiteral("Closing FTP connection"));
        ftpClose();
        setStatusText(QStringLiteral("PIC successfully uploaded! Wait..."));
        picUpgradeState = PIC_UPG_STATE_PREP_INIT_CONNECT;
        WriteLog(qlog::LOG_DET, QStringLiteral("picUpgradeState = ") + Util_PicUpgStateName(picUpgradeState));
        // Only the close of this upload goes on to the telnet phases.
        isPicUploadClosing_ = true;
        break;
    case ftp::UPGRADE_ANTENNA_ATB_CMD:
        isFtpDone = true;
        if (!strLocHpaFile.isEmpty()) {
            setFtpState(ftp::UPGRADE_ANTENNA_HPA_CMD);
            setStatusText(QStringLiteral("Uploading Antenna software! Wait..."));
            WriteLog(qlog::LOG_VRB, QStringLiteral("Uploaded ATB file Successfully ! Continue with HPA."));
            tmrFTPReq->enable();
            // As every upload: a failure of this one must end the step.
            isFtpDone = false;
            issueFtp(antennaPut(strLocHpaFile, QStringLiteral("hpa.sxm")));
            break;
        }
        WriteLog(qlog::LOG_DET, QStringLiteral("Closing FTP connection"));
        ftpClose();
        setStatusText(QStringLiteral("Antenna files successfully uploaded!  Please Wait..."));
        WriteLog(qlog::LOG_VRB, QStringLiteral("Uploaded ATB file Successfully !"));
        ZingReq_UpgradeAntennaFW();
        break;
    case ftp::UPGRADE_ANTENNA_IAC_CMD:
        isFtpDone = true;
        [[fallthrough]];
    case ftp::UPGRADE_ANTENNA_HPA_CMD: {
        const bool iac = currFtpState == ftp::UPGRADE_ANTENNA_IAC_CMD;
        WriteLog(qlog::LOG_DET, QStringLiteral("Closing FTP connection"));
        ftpClose();
        setStatusText(QStringLiteral("Antenna files successfully uploaded!  Please Wait..."));
        WriteLog(qlog::LOG_VRB, iac ? QStringLiteral("Uploaded IAC file Successfully !") : QStringLiteral("Uploaded HPA file Successfully !"));
        ZingReq_UpgradeAntennaFW();
        break;
    }
    default:
        isFtpDone = true;
        SetMouseCursor(0);
        msgBox(QStringLiteral("Unknown FTP failure.  Click OK and close the upgrader.  ") +
                   QStringLiteral("Check connection before retrying upgrade.  Upgrader FTP state : ") +
                   QString::number(currFtpState),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        break;
    }
}

void frmMain::ftpDisconnected()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Disconnected"));
    tmrFTPReq->disable();
    isFtpDone = true;
    SetMouseCursor(0);
    const bool picUploaded = std::exchange(isPicUploadClosing_, false);
    if (currFtpState == ftp::CLOSE_CONNECTION) {
        if (picUploaded && picUpgradeState == PIC_UPG_STATE_PREP_INIT_CONNECT) {
            if (!isBootRomMode) {
                WriteLog(qlog::LOG_INF, QStringLiteral("Start Preparing for PIC Upgrade"));
                UI_UpdateUIUpgState(4);
                UPG_Prepare4PICUpgrade();
            } else {
                WriteLog(qlog::LOG_INF, QStringLiteral("Initializing PIC Upgrade."));
                UI_UpdateUIUpgState(4);
                Init_PIC_Upgrade();
            }
        }
    } else if (currFtpState != ftp::CLOSE_CONN_IMAGE_PUT) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("FTP connection was suddenly closed."));
        endItemIfUploading();
        setStatusText(QString());
    } else {
        tmrImagePutTrig->enable();
        currFtpState = ftp::CLOSE_CONNECTION;
    }
    WriteLog(qlog::LOG_DET, QStringLiteral("CLOSE: current ftp command: ") + QString::number(currFtpState));
    WriteLog(qlog::LOG_DET, QStringLiteral("The result code: ") + QString::number(inetFTP->responseCode()));
}

void frmMain::ftpFailed()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP-State: Error"));
    tmrFTPReq->disable();
    const int code = inetFTP->responseCode();
    const QString info = inetFTP->responseInfo();
    if (!isFtpDone && currFtpState != ftp::GET_IMG_CMD)
        WriteLog(qlog::LOG_ERR, QStringLiteral("Command not complete, Error code: ") + QString::number(code) + QLatin1Char(' ') + info +
                        QStringLiteral(" ftp command: ") + QString::number(currFtpState));
    if (isFtpDone)
        return;
    endItemIfUploading();

    switch (code) {
    case InetFtp::errLocalFile:
        ftpLocalFailure();
        break;
    case InetFtp::errTooLarge:
        ftpTooLarge();
        break;
    case InetFtp::errUploadIncomplete:
        ftpUploadIncomplete();
        break;
    case InetFtp::errDownloadIncomplete:
        // Only the backup is measured: a short copy is no backup.
        backupNotMade(info);
        break;
    case InetFtp::errTimeout:
        isFtpDone = true;
        inetFTP->cancel();
        SetMouseCursor(0);
        setStatusText(QStringLiteral("FTP Timeout.  Checking connection..."));
        WriteLog(qlog::LOG_DET, QStringLiteral("Inside inetFtp_stateChanged, icerror"));
        strCurrentVersion = QStringLiteral("0_0_0_0");
        isFtpTimedOut = true;
        ZingReq_GetCurrentSoftwareVersion();
        break;
    case InetFtp::errRefused:
        WriteLog(qlog::LOG_DET, QStringLiteral("File not found on modem, FTP state : ") + QString::number(currFtpState));
        ftpFileNotFound();
        break;
    case InetFtp::errLoginRefused:
        isFtpDone = true;
        SetMouseCursor(0);
        msgBox(QStringLiteral("Incorrect Username or Password!"), MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        break;
    case InetFtp::errCannotConnect:
        isFtpDone = true;
        inetFTP->cancel();
        SetMouseCursor(0);
        msgBox(QStringLiteral("Cannot connect to Satellite IP Modem.  Please check cable connection and retry."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        strCurrentVersion = QStringLiteral("0_0_0_0");
        break;
    case InetFtp::errConnectionReset:
        ftpFatalConnectionReset();
        break;
    default:
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : unexpected FTP error occurred"));
        isFtpDone = true;
        inetFTP->cancel();
        SetMouseCursor(0);
        msgBox(QStringLiteral("An unexpected FTP error occurred.") + zing::kCrLf + QStringLiteral("Operation cancelled.") +
                   zing::kCrLf + zing::kCrLf + QStringLiteral("Error Code:  ") + QString::number(code) +
                   QStringLiteral(" : ") + info,
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        strCurrentVersion = QStringLiteral("0_0_0_0");
        break;
    }
}

void frmMain::ftpFileNotFound()
{
    const bool absent = inetFTP->replyCode() == ftp::kReplyFileUnavailable;
    switch (currFtpState) {
    case ftp::GET_BIN_CMD:
        if (!absent) {
            backupNotMade(inetFTP->responseInfo());
            break;
        }
        SetMouseCursor(0);
        lastBackup_.why = QStringLiteral("the terminal holds no file of its running software");
        WriteLog(qlog::LOG_DET, QStringLiteral("qorax bin not found, continuing"));
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : qorax*.bin file does not exist in flash memory, will upload current "
                                   "new version to terminal"));
        UPG_DeleteOldBinsThenUpload();
        break;
    case ftp::GET_IMG_CMD:
        if (!absent) {
            // Only a missing descriptor leads to the default executable; a failed
            // fetch of one that is there must not decide what gets deleted.
            WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : image.txt could not be fetched: ") + inetFTP->responseInfo());
            stopFtpOperation(QStringLiteral("Upgrade stopped: image file not read."),
                             QStringLiteral("The Satellite IP Modem's image file (image.txt) could not be fetched:") +
                                 zing::kCrLf + inetFTP->responseInfo() + zing::kCrLf + zing::kCrLf + kNothingChanged +
                                 zing::kCrLf + QStringLiteral("Check the connection, then try again."));
            break;
        }
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : image.txt file does not exist in flash memory, default name to "
                                   "qorax.bin"));
        WriteLog(qlog::LOG_DET, QStringLiteral("Enter GET_IMG_CMD: File Not Found"));
        setStatusText(QStringLiteral("image file does not exist on terminal, use default software"));
        isImageValid = false;
        setFtpState(ftp::CD_TO_BIN_FOLDER);
        issueFtp(QStringLiteral("CD /tffs0/bin"));
        setStatusText(QStringLiteral("Searching qorax.bin lists"));
        WriteLog(qlog::LOG_DET, QStringLiteral("Leaving GET_IMG_CMD: File Not Found"));
        break;
    case ftp::GET_LOG_CMD:
        isFtpDone = true;
        SetMouseCursor(0);
        setStatusText(QStringLiteral("Log file doesn't exist."));
        break;
    default:
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : unexpected FTP error occurred"));
        isFtpDone = true;
        SetMouseCursor(0);
        msgBox(QStringLiteral("An unexpected FTP error occurred.  Operation cancelled.") + zing::kCrLf + zing::kCrLf +
                   QStringLiteral("Error Code:  ") + QString::number(inetFTP->responseCode()) + QStringLiteral(" : ") +
                   inetFTP->responseInfo(),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        setStatusText(QString());
        break;
    }
}

void frmMain::ftpLocalFailure()
{
    const InetFtp::LocalFailure& f = inetFTP->localFailure();
    if (currFtpState == ftp::GET_BIN_CMD)
        lastBackup_.why = QStringLiteral("the backup could not be written: ") + f.path + QStringLiteral(": ") + f.reason;
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : ") + f.path + QStringLiteral(": ") + f.reason + QStringLiteral(" (") +
                    ftp::ftpStateName(currFtpState) + QStringLiteral("); nothing more is sent for it"));
    stopFtpOperation(ftp::operationName(currFtpState) + QStringLiteral(" stopped: file error on this PC."),
                     ftp::localFailureText(currFtpState, f.path, f.reason, f.writing));
}

void frmMain::ftpTooLarge()
{
    const QString info = inetFTP->responseInfo();
    switch (currFtpState) {
    case ftp::GET_IMG_CMD:
        // A descriptor is one line: this is no descriptor.
        lastBackup_.why = QStringLiteral("the terminal's image.txt names no executable");
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : ") + info);
        isImageValid = false;
        strCurrentExecutable = ftp::kDefaultExecutable;
        WriteLog(qlog::LOG_ERR, QStringLiteral("Retrieved Image file Corrupt.  Bypassing Binary retieval."));
        WriteLog(qlog::LOG_VRB, QStringLiteral("Continuing with binary Upload..."));
        UPG_UploadQoraxBinToTarget();
        break;
    case ftp::GET_BIN_CMD:
        backupNotMade(info);
        break;
    default:
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : ") + info);
        stopFtpOperation(ftp::operationName(currFtpState) + QStringLiteral(" stopped: file too large."),
                         ftp::operationName(currFtpState) + QStringLiteral(" stopped:") + zing::kCrLf + info);
        break;
    }
}

// Only PUT compares sizes, and every PUT state ends here the same way: the
// step that would rely on the file (the descriptor put, the antenna request,
// the PIC reflash) is never reached.
void frmMain::ftpUploadIncomplete()
{
    const InetFtp::UploadCheck& c = inetFTP->uploadCheck();
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : upload incomplete: the terminal holds %1 bytes of %2, the file on "
                                           "this PC %3 has %4 (%5); nothing is switched over")
                                .arg(QString::number(c.remoteBytes), c.remote, c.local, QString::number(c.sentBytes),
                                     ftp::ftpStateName(currFtpState)));
    stopFtpOperation(ftp::operationName(currFtpState) + QStringLiteral(" stopped: upload incomplete."),
                     ftp::uploadIncompleteText(currFtpState, c.remote, c.local, c.remoteBytes, c.sentBytes));
}

// Nothing on the terminal changes before the backup's record is on the disk.
bool frmMain::recordBackup(const QString& path)
{
    QString why;
    if (backup::writeRecord(path, strIPAddress, &why)) {
        WriteLog(qlog::LOG_DET, QStringLiteral("Backup recorded in ") + backup::recordPath(path));
        return true;
    }
    const QString record = backup::recordPath(path);
    lastBackup_.why = QStringLiteral("the backup's record could not be written: ") + record + QStringLiteral(": ") + why;
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : ") + record + QStringLiteral(": ") + why +
                                QStringLiteral(" (GET_BIN_CMD); nothing more is sent"));
    stopFtpOperation(ftp::operationName(ftp::GET_BIN_CMD) + QStringLiteral(" stopped: file error on this PC."),
                     ftp::localFailureText(ftp::GET_BIN_CMD, record, why, true));
    return false;
}

void frmMain::logUploadCheck()
{
    const InetFtp::UploadCheck& c = inetFTP->uploadCheck();
    // Only the backup is a measured download.
    const bool backup = currFtpState == ftp::GET_BIN_CMD;
    if (c.outcome == InetFtp::UploadCheck::Matched)
        WriteLog(qlog::LOG_DET, (backup ? QStringLiteral("Backup of %1 verified: all %2 bytes the terminal holds")
                                        : QStringLiteral("Upload of %1 verified: the terminal holds all %2 bytes"))
                                    .arg(c.remote, QString::number(c.sentBytes)));
    else if (c.outcome == InetFtp::UploadCheck::Unmeasured)
        WriteLog(qlog::LOG_INF, (backup ? QStringLiteral("Backup") : QStringLiteral("Upload")) +
                                    QStringLiteral(" of %1 could not be verified: the terminal reports no size for it "
                                                   "(%2); accepted on its transfer confirmation")
                                        .arg(c.remote, c.unmeasuredWhy));
}

void frmMain::backupNotMade(const QString& why)
{
    lastBackup_.why = QStringLiteral("the backup failed: ") + why;
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP ERROR ] : backup of the running software failed: ") + why);
    stopFtpOperation(QStringLiteral("Upgrade stopped: no backup could be made."),
                     QStringLiteral("The backup copy of the Satellite IP Modem's software could not be made:") +
                         zing::kCrLf + why + zing::kCrLf + zing::kCrLf + kNothingChanged + zing::kCrLf +
                         QStringLiteral("Check the connection and the free disk space, then try again."));
}

void frmMain::stopFtpOperation(const QString& status, const QString& box)
{
    isFtpDone = true;
    tmrFTPReq->disable();
    inetFTP->cancel();
    SetMouseCursor(0);
    if (currFtpState != ftp::GET_LOG_CMD) {
        currUpgradeState = UPG_STATE_IDLE;
        WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
        UI_UpdateUIUpgState(1);
    }
    setStatusText(status);
    msgBox(box, MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::ftpFatalConnectionReset()
{
    WriteLog(qlog::LOG_ERR, QStringLiteral("FTP connection lost: ") + inetFTP->responseInfo());
    setStatusText(QStringLiteral("Please check the connections to the terminal, Plug in power and try again"));
    msgBox(zing::kConnectionProblemA + zing::kCrLf, MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    closeMainWindow();
}

void frmMain::fatalImagePut()
{
    msgBox(QStringLiteral("Unexpected FTP Error.") + zing::kCrLf + zing::kConnectionProblemA, MsgButtons::OK,
           MsgIcon::Critical, zing::kTitleFault);
    closeMainWindow();
}

void frmMain::tmrFTPReq_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrFTPReq_Timer()"));
    endItemIfUploading();
    isFtpDone = true;
    tmrFTPReq->disable();
    inetFTP->cancel();
    SetMouseCursor(0);
    setStatusText(QStringLiteral("Timer expired.  Checking connection..."));
    isFtpTimedOut = true;
    strCurrentVersion = QStringLiteral("0_0_0_0");
    ZingReq_GetCurrentSoftwareVersion();
}
