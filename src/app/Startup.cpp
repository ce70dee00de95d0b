// Start-up (the load event) and the two halves of shutdown.
#include "app/frmMain.h"

#include "app/TextUtil.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/InetFtp.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "ui/SecondaryWindows.h"
#include "zing/ZingTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QThread>

namespace {
const QString kUpgradeNoticeSwitch = QStringLiteral("-u");
const QString kTermDiagSwitch = QStringLiteral("/TermDiag");
// Hidden, and outside every name the program searches its home folder for.
const QString kHomeLockName = QStringLiteral(".qora-upgrader.lock");
}  // namespace

bool frmMain::Form_Load()
{
    // The package folder first: nothing is written anywhere until there is one.
    if (!enterPackageFolder()) {
        closeMainWindow();
        return false;
    }

    // 0. One upgrader per home folder, before anything is written: a second
    // one would run the same upgrade against the terminal and share the log.
    if (!lockHomeFolder()) {
        refusedAsSecond_ = true;
        msgBox(QStringLiteral("Another upgrader is already running in ") + Files::currentDirWithSeparator() +
                   zing::kCrLf + QStringLiteral("Please close it first."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        closeMainWindow();
        return false;
    }

    // 1. Start values, the window title first.
    static_cast<UpgraderState&>(*this) = UpgraderState{};
    const Settings& settings = Settings::get();
    strIpOctet1 = settings.octet(0);
    strIpOctet2 = settings.octet(1);
    strIpOctet3 = settings.octet(2);
    strIpOctet4 = settings.octet(3);
    txtCurrentSoftwareVersion->setText(QStringLiteral("UNKNOWN"));
    strIPAddress = txt::trimBlanks(txtIPAddress->text());

    // 2. Log folder, file and header.
    InitLogging();

    // 3. The upgrade notice, only for exactly "-u".
    upgradeNotice().upgradeChoice = 0;
    if (commandLine_ == kUpgradeNoticeSwitch) {
        dialogs_.showModal(upgradeNotice());
        if (upgradeNotice().upgradeChoice == 1) {
            closeMainWindow();
            return false;
        }
    }

    // 4. Home folder. A trailing blank is part of a folder name here, so the
    // name is taken as it is rather than trimmed.
    strHomeDir = Files::currentDirWithSeparator();
    if (homeLock_)
        removeStalePartialDownloads();

    // 5. Exactly one application package (none at all for an action that installs nothing).
    if (packageOptional_ && Files::find(strHomeDir, QStringLiteral("*qorax_*.bin")).isEmpty()) {
        WriteLog(qlog::LOG_INF, QStringLiteral("No package in ") + strHomeDir + QStringLiteral(": nothing can be installed"));
    } else if (!Util_LocatePackagedBin()) {
        closeMainWindow();
        return false;
    }

    // 6. Backup folder.
    strBackupDir = strHomeDir + QStringLiteral("Backup");
    if (!Files::isDir(strBackupDir))
        Files::makeDir(strBackupDir);

    // 7. Terminal fields unknown until the terminal answers.
    UI_InitTermAntennaFields();
    UI_InitTermPicFields();

    // 8. Ask the terminal; the answer arrives later.
    ZingReq_GetCurrentSoftwareVersion();

    // 9.-11.
    UI_CheckFactoryMode();
    UI_DisablePICFunctionality(false);
    UI_CheckLocalPICFirmware();
    UI_DisableAntennaFunctionality();
    UI_CheckLocalAntennaFirmware();
    return !unloaded_;
}

bool frmMain::lockHomeFolder()
{
    // Shared by the caller, who holds it.
    if (homeLock_)
        return true;
    bool otherHolds = false;
    homeLock_ = lockCurrentFolder(&otherHolds);
    return !otherHolds;
}

std::shared_ptr<QLockFile> frmMain::lockCurrentFolder(bool* otherHolds)
{
    auto lock = std::make_shared<QLockFile>(Files::currentDirWithSeparator() + kHomeLockName);
    // An upgrade may take long: only a dead owner frees the lock, never its age.
    lock->setStaleLockTime(0);
    *otherHolds = false;
    if (lock->tryLock(0)) {
        // Readable by all (0644), whatever the umask: another user's upgrader
        // in a shared folder reads the holder's process from it, and without
        // that a dead holder's lock would keep them out for good. It holds
        // no more than a process id and the machine's name.
        QFile::setPermissions(lock->fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return lock;
    }
    // A folder that takes no lock file takes no log or download either; the
    // run reports its first failed write, and no second writer can share it.
    *otherHolds = lock->error() == QLockFile::LockFailedError;
    return nullptr;
}

// Only this instance can own them now: a killed run left them mid-transfer.
void frmMain::removeStalePartialDownloads()
{
    for (const QString& dir : {strHomeDir, strHomeDir + QStringLiteral("Backup/")}) {
        for (const QString& name : Files::find(dir, QStringLiteral("*.part"))) {
            if (!InetFtp::isPartialDownloadName(name))
                continue;
            if (Files::remove(dir + name))
                WriteLog(qlog::LOG_INF, QStringLiteral("Removed a partial download of an interrupted run: ") + dir + name);
            else
                WriteLog(qlog::LOG_ERR, QStringLiteral("Unable to remove a partial download: ") + dir + name);
        }
    }
}

void frmMain::closeMainWindow()
{
    if (closing_ || unloaded_)
        return;
    closing_ = true;
    Form_QueryUnload();
}

void frmMain::Form_QueryUnload()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Form_QueryUnload()"));
    if (sckZING->state() == TcpClient::sckConnected)
        sckZING->close();
    for (Timer* t : {tmrConnect, tmrResponse, tmrFiveSecDelayedReset, tmr40SecDelay, tmrFTPReq, tmrConneTest,
                     tmrPicUpgradeDelay, tmrPicUpgrCnt, tmrTelnetConnect, tmrAntUpgDelay, tmrDelayedSwUpgIgnite,
                     tmrImagePutTrig})
        t->disable();
    // No confirmation, also not while an upgrade runs.
    Form_Unload();
}

QString frmMain::termDiagRelativePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("../TermDiag/TermDiagUpgrader.exe");
#else
    return QStringLiteral("../TermDiag/TermDiagUpgrader");
#endif
}

void frmMain::Form_Unload()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Form_Unload()"));

    // A refused second instance leaves the tool to the one that runs.
    if (commandLine_ == kTermDiagSwitch && !refusedAsSecond_) {
        // Started from the home folder's sibling "TermDiag", in that folder.
        // The process's own current folder is left alone.
        const QString base = strHomeDir.isEmpty() ? Files::currentDirWithSeparator() : strHomeDir;
        const QString workDir = QDir::cleanPath(base + QStringLiteral("../TermDiag"));
        const QString program = QDir::cleanPath(base + termDiagRelativePath());
        if (!QFileInfo(program).isFile() || !QProcess::startDetached(program, {}, workDir))
            WriteLog(qlog::LOG_ERR, QStringLiteral("Unable to start the diagnostics tool '") + program + QStringLiteral("'"));
    }

    if (sckZING->state() == TcpClient::sckConnected)
        sckZING->close();
    for (Timer* t : {tmrConnect, tmrResponse, tmrFiveSecDelayedReset, tmrFTPReq, tmrConneTest})
        t->disable();
    inetFTP->cancel();
    CloseLogging();
    endOfProgram();
}

void frmMain::endOfProgram()
{
    // The window is gone and with it the program: nothing may run any more.
    unloaded_ = true;
    homeLock_.reset();
    for (Timer* t : allTimers())
        t->disable();
    for (TcpClient* s : {sckZING, sckTest, telnetShell})
        s->close();
    if (upgradeNotice_)
        upgradeNotice_->close();
    hide();
    Q_EMIT unloaded();
}

void frmMain::mnuFileExit_Click()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> mnuFileExit_Click()"));
    if (!mayCloseNow())
        return;
    QThread::msleep(10);
    closeMainWindow();
}
