// The software upgrade: release-series check, preparation over ZING, image
// descriptor, listing, deletions, backup and upload.
#include "app/frmMain.h"

#include "app/TextUtil.h"
#include "ftp/BackupRecord.h"
#include "ftp/FtpLogic.h"
#include "log/LogFormat.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Timer.h"
#include "zing/ZingTexts.h"

#include <QCheckBox>
#include <QFile>

namespace {

const QString kRule = QString(29, QLatin1Char('-'));
const QString kSeriesConflict = QStringLiteral("Release Series conflict detected.  Upgrade not possible.");
const QString kPackageChangedStatus = QStringLiteral("Upgrade stopped: the release package changed.");

// The backup folder's file of that exact name (letter case ignored, as the
// folder search does), or empty.
QString findInFolder(const QString& dir, const QString& name)
{
    if (name.isEmpty())
        return {};
    for (const QString& f : Files::find(dir, QStringLiteral("*"))) {
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return {};
}

}  // namespace

void frmMain::UPG_UpgradeSoftware()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_UpgradeSoftware()"));
    lastBackup_ = {QString(), -1, QStringLiteral("the upgrade did not reach the backup")};
    if (!DetectReleaseSeriesConflict(strNewVersion)) {
        msgBox(kSeriesConflict, MsgButtons::OK, MsgIcon::Critical, zing::kTitleFault);
        setStatusText(kSeriesConflict);
        return;
    }
    if (const QString why = packageChange(); !why.isEmpty()) {
        WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : the release package changed since start-up: ") +
                                    why + QStringLiteral("; nothing is sent"));
        setStatusText(kPackageChangedStatus);
        msgBox(packageChangedText(why), MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        return;
    }
    Util_CleanUpHomeDirectory();
    beginTerminalWork();
    upgPrepState = isBootRomMode ? UPG_PREP_STACK_READY : UPG_PREP_IDLE;
    WriteLog(qlog::LOG_DET, QStringLiteral("upgPrepState = ") + upgPrepStateName(upgPrepState));
    UPG_HandleSwUpgradePreparation();
    UI_UpdateUIUpgState(2);
}

void frmMain::UPG_HandleSwUpgradePreparation()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_HandleSwUpgradePreparation()"));
    WriteLog(qlog::LOG_DET, QStringLiteral("UpgPrepState: ") + upgPrepStateName(upgPrepState));
    switch (upgPrepState) {
    case UPG_PREP_IDLE:
        ZingReq_PrepareTerminalFileSystem();
        break;
    case UPG_PREP_FS_READY:
        ZingReq_HaltStack();
        break;
    case UPG_PREP_STACK_READY:
        upgPrepState = UPG_PREP_ALL_DONE;
        WriteLog(qlog::LOG_DET, QStringLiteral("upgPrepState = ") + upgPrepStateName(upgPrepState));
        if (!isBootRomMode) {
            WriteLog(qlog::LOG_VRB, QStringLiteral("Proceeeding with Regular Upgrade..."));
            tmrDelayedSwUpgIgnite->enable();
        } else {
            WriteLog(qlog::LOG_VRB, QStringLiteral("BOOTROM mode, no-backup required, start upload new binary."));
            lastBackup_.why = QStringLiteral("the terminal ran its Boot ROM: no software to back up");
            UPG_UploadQoraxBinToTarget();
        }
        break;
    default:
        WriteLog(qlog::LOG_ERR, QStringLiteral("Unexpected Preparation State: ") + QString::number(upgPrepState));
        break;
    }
}

void frmMain::tmrDelayedSwUpgIgnite_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrDelayedSwUpgIgnite() "));
    tmrDelayedSwUpgIgnite->disable();
    UPG_SoftwareUpgradeIgnite();
}

void frmMain::UPG_SoftwareUpgradeIgnite()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_SoftwareUpgradeIgnite()"));
    const QString backup = QStringLiteral("qorax_") + strCurrentVersion + QStringLiteral(".bin");
    if (Files::find(strBackupDir, QStringLiteral("qorax*.bin")).contains(backup))
        WriteLog(qlog::LOG_INF, QStringLiteral("Backup binary exists."));
    inetFTP->setAddress(strIPAddress);
    strImageFilePath = ftp::quoted(strHomeDir + QStringLiteral("image.txt"));
    WriteLog(qlog::LOG_DET, QStringLiteral("Image path: ") + strImageFilePath);
    setFtpState(ftp::GET_IMG_CMD);
    setStatusText(QStringLiteral("Downloading Satellite IP Modem Image to PC..."));
    isFtpDone = false;
    tmrFTPReq->enable();
    inetFTP->setDownloadLimit(ftp::kMaxImageDownload);
    issueFtp(QStringLiteral("GET image.txt ") + strImageFilePath);
    EventPump::doEvents();
}

QStringList frmMain::Util_getBinFileList()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("[Call]: Util_getBinFileList()"));
    auto flag = [this] { return ftpExecuting() ? QStringLiteral("True") : QStringLiteral("False"); };
    WriteLog(qlog::LOG_DET, QStringLiteral("Still Exec: ") + flag());
    while (ftpExecuting() && !unloaded_) {
        WriteLog(qlog::LOG_DET, QStringLiteral("Still Exec: ") + flag());
        WriteLog(qlog::LOG_DET, QStringLiteral("Data: ") + QStringLiteral("0"));
        EventPump::waitForEvents();
    }
    QString chunk = inetFTP->getChunk(1024);
    EventPump::doEvents();
    if (chunk.isEmpty())
        WriteLog(qlog::LOG_INF, QStringLiteral("Missing bin file on terminal!!!"));
    QString listing;
    for (;;) {
        WriteLog(qlog::LOG_DET, QStringLiteral("\r\nRaw Search Response: \r\n") + kRule + QStringLiteral("\r\n") +
                                    qlog::fromTerminal(chunk) + QStringLiteral("\r\n") + kRule);
        listing += chunk;
        chunk = inetFTP->getChunk(1024);
        EventPump::doEvents();
        if (chunk.isEmpty())
            break;
    }
    const ftp::BinFileList files = ftp::parseBinFileList(listing);
    WriteLog(qlog::LOG_INF, QStringLiteral("\r\nFile List: \r\n") + kRule + QStringLiteral("\r\n") +
                                qlog::fromTerminal(files.listing) + QStringLiteral("\r\n") + kRule);
    writeLogLines(files.log);
    return files.entries;
}

void frmMain::UPG_ReadBinFileList()
{
    binFilesOnTerminal = Util_getBinFileList();
    // The path as the deletions and the backup compare it.
    if (isImageValid) {
        strCurrentExecutable.replace(QLatin1Char('\n'), QLatin1Char(' '));
        strCurrentExecutable = txt::trimBlanks(strCurrentExecutable);
    }
}

void frmMain::UPG_HandleOldBinDeletions()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_HandleOldBinDeletions()"));
    WriteLog(qlog::LOG_INF, QStringLiteral("Current running release: ") + qlog::fromTerminal(strCurrentExecutable) +
                                QStringLiteral("**"));
    setStatusText(QStringLiteral("Cleaning Up Flash Memory..."));

    const QString keep = isImageValid ? strCurrentExecutable : QStringLiteral("qorax.bin");
    const QString runningName = QStringLiteral("qorax_") + strCurrentVersion + QStringLiteral(".bin");
    for (const ftp::Deletion& d : ftp::planDeletions(binFilesOnTerminal, keep)) {
        if (unloaded_)
            return;
        const QString entry = qlog::fromTerminal(d.entry);
        WriteLog(qlog::LOG_DET, QStringLiteral("**") + entry + QStringLiteral("**"));
        switch (d.action) {
        case ftp::Deletion::Keep:
            WriteLog(qlog::LOG_VRB, QStringLiteral("Skip deleting this file: ") + entry);
            break;
        case ftp::Deletion::SkipBlank:
            break;
        case ftp::Deletion::RefuseOddName:
            WriteLog(qlog::LOG_ERR, QStringLiteral("Not deleting a file whose name cannot be passed on safely: ") + entry);
            break;
        case ftp::Deletion::Delete:
            if (d.entry == runningName && isImageValid) {
                // The descriptor names another executable, so this one cannot be
                // backed up: deleting it would lose the version that runs now.
                WriteLog(qlog::LOG_ERR, QStringLiteral("Skip deleting this file: ") + entry +
                                QStringLiteral(" (the running version, not named by image.txt)"));
                break;
            }
            setFtpState(ftp::DELETE_OLD_BIN_FILE, QStringLiteral(" >> ") + entry);
            issueFtp(QStringLiteral("Delete ") + ftp::deleteArgument(d.entry));
            while (ftpExecuting() && !unloaded_)
                EventPump::waitForEvents();
            WriteLog(qlog::LOG_DET, QStringLiteral("FTP state : ") + ftp::ftpStateName(ftp::DELETE_OLD_BIN_FILE));
            break;
        }
    }
}

void frmMain::UPG_HandleSwBackupAndProceed()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_HandleSwBackupAndProceed()"));
    QString found;
    if (!isImageValid) {
        found = findInFolder(strBackupDir, QStringLiteral("qorax_") + strCurrentVersion + QStringLiteral(".bin"));
        WriteLog(qlog::LOG_DET, QStringLiteral("No Image file, check default: ") + found);
    } else {
        WriteLog(qlog::LOG_DET, QStringLiteral("(Image) Current executable file is "), strCurrentExecutable);
        found = findInFolder(strBackupDir, ftp::safeFileName(strCurrentExecutable));
    }
    UPG_CleanupFolder4Backup(found);
    UPG_GetCurrentQoraxBintoPc();
    EventPump::doEvents();
}

ident::PackageSight frmMain::sightPackage() const
{
    const QString path = strHomeDir + strLocalBinFile;
    ident::PackageSight s{Files::size(path), Files::lastModified(path), {}};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.read(1).size() != std::min<qint64>(1, f.size()))
        s.unreadable = f.errorString();
    return s;
}

QString frmMain::packageChange() const
{
    return ident::packageChange(packageAtStart_, sightPackage());
}

QString frmMain::packageChangedText(const QString& why) const
{
    return QStringLiteral("The release package ") + strHomeDir + strLocalBinFile +
           QStringLiteral(" is not the one the upgrader found at start-up: ") + why + QLatin1Char('.') + zing::kCrLf +
           zing::kCrLf + QStringLiteral("Nothing of it was sent: the Satellite IP Modem still runs its current software.") +
           zing::kCrLf + QStringLiteral("Put the release package back in place, then close the upgrader and start it again.");
}

// The package is looked at again right before the terminal's flash is
// changed: a file replaced or gone since start-up is found before the old
// executables are deleted, not at the upload.
bool frmMain::packageStillSame()
{
    const QString why = packageChange();
    if (why.isEmpty())
        return true;
    WriteLog(qlog::LOG_ERR, QStringLiteral("[ Local file error ] : the release package changed since start-up: ") + why +
                                QStringLiteral("; nothing more is sent"));
    stopFtpOperation(kPackageChangedStatus, packageChangedText(why));
    return false;
}

void frmMain::UPG_DeleteOldBinsThenUpload()
{
    if (!packageStillSame())
        return;
    UPG_HandleOldBinDeletions();
    if (unloaded_)
        return;
    UPG_UploadQoraxBinToTarget();
}

void frmMain::UPG_CleanupFolder4Backup(const QString& fileName)
{
    WriteLog(qlog::LOG_DET, QStringLiteral(">> UPG_CleanupFolder4Backup() File: '") + fileName + QStringLiteral("'"));
    // The old backup is not deleted here: the download replaces it only once
    // the new copy is complete, so a failed fetch never loses the old one.
    // Its record goes, though: a record left beside a new copy would call a
    // whole backup damaged, while a copy without one is still offered.
    Files::remove(backup::recordPath(strBackupDir + QStringLiteral("/qorax_") + strCurrentVersion + QStringLiteral(".bin")));
}

void frmMain::UPG_GetCurrentQoraxBintoPc()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_GetCurrentQoraxBintoPc()"));
    const QString target = ftp::quoted(strBackupDir + QStringLiteral("/qorax_") + strCurrentVersion + QStringLiteral(".bin"));
    setFtpState(ftp::GET_BIN_CMD);
    SetMouseCursor(1);
    setStatusText(QStringLiteral("Downloading backup copy of terminal software..."));
    isFtpDone = false;
    tmrFTPReq->enable();

    QString command;
    if (isImageValid) {
        const QString constructedBinName = QStringLiteral("/bin/qorax_") + strCurrentVersion + QStringLiteral(".bin");
        if (constructedBinName == strCurrentExecutable) {
            command = QStringLiteral("GET ") +
                      ftp::quoted(QStringLiteral("/tffs0/bin/qorax_") + strCurrentVersion + QStringLiteral(".bin")) +
                      QLatin1Char(' ') + target;
        } else {
            WriteLog(qlog::LOG_ERR, QStringLiteral("Error: FTP backup not possible because constructedBinName (") + constructedBinName +
                            QStringLiteral(") <> strCurrentExecutable (") + qlog::fromTerminal(strCurrentExecutable) + QStringLiteral(")"));
            lastBackup_.why = QStringLiteral("image.txt names ") + qlog::fromTerminal(strCurrentExecutable) +
                              QStringLiteral(", not the running version's file");
            // Nothing to fetch under a name the upgrader can restore: go on
            // with the upload instead of waiting for the watchdog.
            tmrFTPReq->disable();
            UPG_DeleteOldBinsThenUpload();
            return;
        }
    } else {
        command = QStringLiteral("GET ") + ftp::quoted(QStringLiteral("/tffs0/bin/qorax.bin")) + QLatin1Char(' ') + target;
    }
    WriteLog(qlog::LOG_DET, QStringLiteral("UPG_GetCurrentQoraxBintoPc(): ") + command);
    inetFTP->setDownloadLimit(ftp::kMaxBackupDownload);
    // A backup is what a restore relies on: it must hold all the terminal holds.
    inetFTP->setMeasureDownload(true);
    issueFtp(command);
}

void frmMain::UPG_UploadQoraxBinToTarget()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_UploadQoraxBinToTarget()"));
    if (!packageStillSame())
        return;
    setFtpState(ftp::PUT_NEW_BIN_CMD);
    SetMouseCursor(1);
    setStatusText(QStringLiteral("Uploading Satellite IP Modem Binary to Terminal..."));
    inetFTP->setAddress(strIPAddress);
    isFtpDone = false;
    const QString command = QStringLiteral("PUT ") +
                            ftp::quoted(strHomeDir + QStringLiteral("qorax_") + strNewVersion + QStringLiteral(".bin")) +
                            QStringLiteral(" /tffs0/bin/qorax_") + strNewVersion + QStringLiteral(".bin");
    WriteLog(qlog::LOG_DET, QStringLiteral("UPG_UploadQoraxBinToTarget(): ") + command);
    issueFtp(command);
}
