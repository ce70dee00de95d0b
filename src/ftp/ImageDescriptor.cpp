// The terminal's image descriptor: reading the fetched one, writing and
// putting the new one.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/Files.h"
#include "platform/FtpPut.h"
#include "platform/Timer.h"

#include "zing/ZingTexts.h"

#include <QCheckBox>

bool frmMain::UPG_CheckRetrievedImage()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_CheckRetrievedImage()"));
    bool readable = false;
    const QByteArray content = Files::readAll(strHomeDir + QStringLiteral("image.txt"), &readable);
    // A copy that cannot be read counts as an invalid descriptor.
    const ftp::ImageCheck check = ftp::checkImage(readable ? content : QByteArray());
    strCurrentExecutable = check.executable;
    isImageValid = check.valid;
    WriteLog(qlog::LOG_DET, QStringLiteral("Image file content:"), strCurrentExecutable);
    return isImageValid;
}

void frmMain::tmrImagePutTrig_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrImagePutTrig_Timer()"));
    tmrImagePutTrig->disable();
    if (!isRestoreImage)
        createAndSendImageFile();
    else
        createAndSendRestoreImageFile();
    isRestoreImage = false;
}

// The put sends whatever the file holds: an empty or short file would leave
// the terminal nothing to boot, so the file is read back before it goes.
bool frmMain::writeImageDescriptor(const QByteArray& content)
{
    strImageFilePath = strHomeDir + QStringLiteral("image.txt");
    QString why;
    if (Files::writeAll(strImageFilePath, content, &why)) {
        bool readable = false;
        if (Files::readAll(strImageFilePath, &readable) == content)
            return true;
        why = readable ? QStringLiteral("the file does not hold what was written") : QStringLiteral("it cannot be read back");
    }
    imageDescriptorNotSent(why);
    return false;
}

void frmMain::imageDescriptorNotSent(const QString& why)
{
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : ") + strImageFilePath + QStringLiteral(": ") + why +
                    QStringLiteral("; image.txt not sent, the terminal is not reset"));
    const int32_t operation = isRestoreImage ? ftp::PUT_RESTORE_BIN_CMD : ftp::PUT_NEW_BIN_CMD;
    QString box = ftp::localFailureText(operation, strImageFilePath, why, true);
    if (isRestoreImage)
        box += zing::kCrLf + zing::kCrLf + takeBackRestoredCopy();
    stopFtpOperation(ftp::operationName(operation) + QStringLiteral(" stopped: file error on this PC."), box);
}

// A restored executable that no descriptor names only takes flash space: it
// goes again, unless it is the very file the terminal runs (a restore of the
// running version overwrites it in place, and it stays what it boots).
QString frmMain::takeBackRestoredCopy()
{
    const QString remote = QStringLiteral("/tffs0/bin/qorax_") + strRestoreVersion + QStringLiteral(".bin");
    if (strRestoreVersion == strCurrentVersion) {
        WriteLog(qlog::LOG_INF, remote + QStringLiteral(" stays: it is the running software's own file"));
        return QStringLiteral("The restored copy ") + remote +
               QStringLiteral(" is the file of the software the Satellite IP Modem runs: it stays, and starts as before.");
    }
    FtpPut put = oneShotFtp();
    const FtpPutResult r = put.remove(remote);
    if (r.ok()) {
        WriteLog(qlog::LOG_INF, QStringLiteral("Restored copy removed again: ") + remote);
        return QStringLiteral("The restored copy ") + remote +
               QStringLiteral(" was removed from the Satellite IP Modem again.");
    }
    WriteLog(qlog::LOG_ERR, QStringLiteral("Restored copy could not be removed: ") + remote + QStringLiteral(": ") +
                                QString::number(r.error) + QLatin1Char(' ') + r.reply);
    return QStringLiteral("The restored copy ") + remote +
           QStringLiteral(" stayed on the Satellite IP Modem, unused: no image file names it, and the modem starts its "
                          "software as before.");
}

void frmMain::createAndSendImageFile()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> createAndSendImageFile()"));
    if (!writeImageDescriptor(ftp::imageContent(strNewVersion)))
        return;

    FtpPut put = oneShotFtp();
    const FtpPutResult r = put.put(strImageFilePath, QStringLiteral("image.txt"));
    if (r.failure == FtpPutResult::Failure::Local) {
        imageDescriptorNotSent(r.reply);
        return;
    }
    if (r.failure == FtpPutResult::Failure::Connect) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP Error ] : connection for uploading image.txt file failed"));
        WriteLog(qlog::LOG_ERR, QStringLiteral("FTP connection establishment failure."));
        fatalImagePut();
        return;
    }
    WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : connection for uploading image.txt file succeed"));
    if (!r.ok()) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ FTP Error ] : new image.txt file upload failure.") + QString::number(r.error));
        fatalImagePut();
        return;
    }
    WriteLog(qlog::LOG_VRB, QStringLiteral("[ FTP Command Complete ] : new image.txt file uploaded successfully"));
    isFtpDone = true;
    setStatusText(QStringLiteral("Successfully upgraded! Wait..."));
    currUpgradeState = UPG_STATE_BIN_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    chkBinUpg->setChecked(false);
    isSoftwareResetDue_ = true;
    tmrFiveSecDelayedReset->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("Resetting terminal in 5 seconds..."));
}

void frmMain::createAndSendRestoreImageFile()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> createAndSendRestoreImageFile()"));
    if (!writeImageDescriptor(ftp::imageContent(strRestoreVersion)))
        return;

    FtpPut put = oneShotFtp();
    const FtpPutResult r = put.put(strImageFilePath, QStringLiteral("image.txt"));
    if (r.failure == FtpPutResult::Failure::Local) {
        imageDescriptorNotSent(r.reply);
        return;
    }
    if (r.failure == FtpPutResult::Failure::Connect) {
        WriteLog(qlog::LOG_DET, QStringLiteral("FTP-Raw connection failure."));
        fatalImagePut();
        return;
    }
    if (!r.ok()) {
        WriteLog(qlog::LOG_DET, QStringLiteral("put image.txt file fail") + QString::number(r.error));
        fatalImagePut();
        return;
    }
    WriteLog(qlog::LOG_DET, QStringLiteral("Image File transfer complete !"));
    setStatusText(QStringLiteral("Successfully upgraded! Wait..."));
    isSoftwareResetDue_ = true;
    tmrFiveSecDelayedReset->enable();
    UI_UpdateUIUpgState(1);
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP state : Done sending image.txt file to terminal"));
}
