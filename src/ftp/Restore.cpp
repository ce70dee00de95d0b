// Restore of a version backed up by an earlier upgrade.
#include "app/frmMain.h"

#include "ftp/BackupRecord.h"
#include "ftp/FtpLogic.h"
#include "ident/VersionText.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "ui/SecondaryWindows.h"
#include "zing/ZingTexts.h"

// A damaged copy would boot a broken executable: it never goes to the terminal.
void frmMain::refuseDamagedBackup(const QString& file, const QString& why)
{
    WriteLog(qlog::LOG_ERR, QStringLiteral("Restore refused: Backup/") + file + QStringLiteral(" is damaged: ") + why);
    setStatusText(QStringLiteral("Restore refused: the backup is damaged."));
    msgBox(QStringLiteral("The backup copy ") + file + QStringLiteral(" is damaged: ") + why + QLatin1Char('.') +
               zing::kCrLf + zing::kCrLf +
               QStringLiteral("It is not restored; nothing was sent to the Satellite IP Modem.") + zing::kCrLf +
               QStringLiteral("Choose another version, or remove the damaged copy and its .sha256 record from the "
                              "Backup folder."),
           MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::cmdRestoreMenu_Click()
{
    cmdRestore_Click();
}

void frmMain::cmdRestore_Click()
{
    isGpsBypassAnswered = false;
    if (strIPAddress.isEmpty()) {
        msgBox(QStringLiteral("Please enter Satellite IP Modem's IP address."), MsgButtons::OK, MsgIcon::Information,
               zing::kTitleUserAction);
        return;
    }
    if (!fetchVersionIfUnknown())
        return;
    if (!isOkToFtp)
        return;

    SetMouseCursor(1);
    restoreCount = 0;
    strRestoreVersion.clear();
    // Backups without a version in their name cannot be offered; the file
    // uploaded is the one listed, whatever the letter case of its name.
    const QList<ftp::BackupFile> backups = ftp::restoreCandidates(Files::find(strBackupDir, QStringLiteral("qorax*.bin")));
    QStringList versions;
    QList<backup::Check> checks;
    restoreFiles.clear();
    for (const ftp::BackupFile& b : backups) {
        checks << backup::check(strBackupDir + QLatin1Char('/') + b.fileName);
        versions << backup::shownVersion(ident::SearchAndReplace(b.version, QStringLiteral("_"), QStringLiteral(".")),
                                         checks.last());
        restoreFiles << b.fileName;
    }
    restoreList = versions;
    restoreList.append(QString());
    restoreCount = static_cast<int16_t>(versions.size());
    SetMouseCursor(0);

    if (restoreCount != 0) {
        frmRestore window(*this);
        dialogs_.showModal(window);
    } else {
        msgBox(QStringLiteral("No Restore versions are available."), MsgButtons::OK, MsgIcon::Exclamation,
               zing::kTitleFault);
    }
    for (int i = 0; i < restoreCount && i < restoreList.size(); ++i)
        restoreList[i].clear();
    if (strRestoreVersion.isEmpty() || unloaded_)
        return;

    const qsizetype chosen = versions.indexOf(strRestoreVersion);
    const QString file = restoreFiles.value(chosen);
    strRestoreVersion = ident::SearchAndReplace(backup::versionOfShown(strRestoreVersion), QStringLiteral("."),
                                                QStringLiteral("_"));
    if (file.isEmpty())
        return;
    if (checks.at(chosen).state == backup::State::Damaged) {
        refuseDamagedBackup(file, checks.at(chosen).why);
        return;
    }
    if (!DetectReleaseSeriesConflict(strRestoreVersion)) {
        const QString text = QStringLiteral("Release Series conflict detected.  Upgrade not possible.");
        msgBox(text, MsgButtons::OK, MsgIcon::Critical, zing::kTitleFault);
        setStatusText(text);
        return;
    }
    startReport(QStringLiteral("Restore"), true, false, false, strRestoreVersion);
    beginTerminalWork();
    SetMouseCursor(1);
    setStatusText(QStringLiteral("Restoring Satellite IP Modem with version ") + strRestoreVersion + QStringLiteral("..."));
    setFtpState(ftp::PUT_RESTORE_BIN_CMD);
    inetFTP->setAddress(strIPAddress);
    isFtpDone = false;
    WriteLog(qlog::LOG_DET, QStringLiteral("Putting qorax.bin"));
    issueFtp(QStringLiteral("PUT ") + ftp::quoted(strBackupDir + QLatin1Char('/') + file) +
             QStringLiteral(" /tffs0/bin/qorax_") + strRestoreVersion + QStringLiteral(".bin"));
    WriteLog(qlog::LOG_DET, QStringLiteral("FTP state : ") + ftp::ftpStateName(ftp::PUT_RESTORE_BIN_CMD));
    UI_UpdateUIUpgState(2);
}
