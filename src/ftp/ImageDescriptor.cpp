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
    WriteLog(2, QStringLiteral(">> UPG_CheckRetrievedImage()"));
    bool readable = false;
    const QByteArray content = Files::readAll(strHomeDir + QStringLiteral("image.txt"), &readable);
    // A copy that cannot be read counts as an invalid descriptor.
    const ftp::ImageCheck check = ftp::checkImage(readable ? content : QByteArray());
    strCurrentExecutable = check.executable;
    isImageValid = check.valid;
    WriteLog(3, QStringLiteral("Image file content:") + strCurrentExecutable);
    return isImageValid;
}

void frmMain::tmrImagePutTrig_Timer()
{
    WriteLog(2, QStringLiteral(">> tmrImagePutTrig_Timer()"));
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
    WriteLog(0, QStringLiteral("[ Local file error ] : ") + strImageFilePath + QStringLiteral(": ") + why +
                    QStringLiteral("; image.txt not sent, the terminal is not reset"));
    const int32_t operation = isRestoreImage ? ftp::PUT_RESTORE_BIN_CMD : ftp::PUT_NEW_BIN_CMD;
    stopFtpOperation(ftp::operationName(operation) + QStringLiteral(" stopped: file error on this PC."),
                     ftp::localFailureText(operation, strImageFilePath, why, true));
}

void frmMain::createAndSendImageFile()
{
    WriteLog(2, QStringLiteral(">> createAndSendImageFile()"));
    if (!writeImageDescriptor(ftp::imageContent(strNewVersion)))
        return;

    FtpPut put(strIPAddress);
    put.onGuardLog = [this](const QString& line) { WriteLog(0, line); };
    const FtpPutResult r = put.put(strImageFilePath, QStringLiteral("image.txt"));
    if (r.failure == FtpPutResult::Failure::Local) {
        imageDescriptorNotSent(r.reply);
        return;
    }
    if (r.failure == FtpPutResult::Failure::Connect) {
        WriteLog(0, QStringLiteral("[ FTP Error ] : connection for uploading image.txt file failed"));
        WriteLog(0, QStringLiteral("FTP connection establishment failure."));
        fatalImagePut();
        return;
    }
    WriteLog(2, QStringLiteral("[ FTP Command Complete ] : connection for uploading image.txt file succeed"));
    if (!r.ok()) {
        WriteLog(0, QStringLiteral("[ FTP Error ] : new image.txt file upload failure.") + QString::number(r.error));
        fatalImagePut();
        return;
    }
    WriteLog(2, QStringLiteral("[ FTP Command Complete ] : new image.txt file uploaded successfully"));
    isFtpDone = true;
    setStatusText(QStringLiteral("Successfully upgraded! Wait..."));
    currUpgradeState = UPG_STATE_BIN_DONE;
    WriteLog(1, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    chkBinUpg->setChecked(false);
    tmrFiveSecDelayedReset->enable();
    WriteLog(3, QStringLiteral("Resetting terminal in 5 seconds..."));
}

void frmMain::createAndSendRestoreImageFile()
{
    WriteLog(2, QStringLiteral(">> createAndSendRestoreImageFile()"));
    if (!writeImageDescriptor(ftp::imageContent(strRestoreVersion)))
        return;

    FtpPut put(strIPAddress);
    put.onGuardLog = [this](const QString& line) { WriteLog(0, line); };
    const FtpPutResult r = put.put(strImageFilePath, QStringLiteral("image.txt"));
    if (r.failure == FtpPutResult::Failure::Local) {
        imageDescriptorNotSent(r.reply);
        return;
    }
    if (r.failure == FtpPutResult::Failure::Connect) {
        WriteLog(3, QStringLiteral("FTP-Raw connection failure."));
        fatalImagePut();
        return;
    }
    if (!r.ok()) {
        WriteLog(3, QStringLiteral("put image.txt file fail") + QString::number(r.error));
        fatalImagePut();
        return;
    }
    WriteLog(3, QStringLiteral("Image File transfer complete !"));
    setStatusText(QStringLiteral("Successfully upgraded! Wait..."));
    tmrFiveSecDelayedReset->enable();
    UI_UpdateUIUpgState(1);
    WriteLog(3, QStringLiteral("FTP state : Done sending image.txt file to terminal"));
}
