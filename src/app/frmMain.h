#pragma once

#include "app/UpgraderState.h"
#include "ident/Platform.h"
#include "log/LogEntry.h"
#include "platform/Dialogs.h"
#include "ui/Progress.h"
#include "ui/TerminalWork.h"
#include "upgrade/PicLogic.h"
#include "upgrade/Verdict.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLockFile;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class StatusLight;
class InetFtp;
class FtpPut;
class TcpClient;
class Timer;
class frmUpgrade;
namespace zing {
struct ZingResponse;
}

// The upgrader's main window. All procedures of the program are members of
// this class and share its state; the definitions are split across the
// subsystem folders (app, log, zing, ident, ftp, upgrade, ui).
class frmMain : public QMainWindow, public UpgraderState {
    Q_OBJECT
public:
    // commandLine: everything after the program name, as typed.
    frmMain(Dialogs& dialogs, const QString& commandLine, QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- app: start-up and shutdown ----
    // The load event. Returns false when start-up ended the program.
    bool Form_Load();
    // Closes the window as the program does it itself (runs both shutdown halves).
    void closeMainWindow();
    bool isUnloaded() const { return unloaded_; }
    // For actions that install nothing: start-up goes on when the home folder
    // holds no package at all. Set before Form_Load.
    void setPackageOptional(bool optional) { packageOptional_ = optional; }
    // The folder named on the command line: start-up works there, as if
    // started from it. Set before Form_Load.
    void setStartFolder(const QString& folder) { startFolder_ = folder; }
    // Without a package in its folder the window asks for the package folder;
    // the unattended front end refuses instead. Set before Form_Load.
    void setPackageFolderChooser(bool ask) { isPackageFolderChooser_ = ask; }
    // One upgrader per home folder: the current folder's lock, taken; null
    // when the folder takes no lock file. *otherHolds: another upgrader has it.
    static std::shared_ptr<QLockFile> lockCurrentFolder(bool* otherHolds);
    // A caller that runs one window after another holds the folder across
    // them; each uses that lock. Set before Form_Load.
    void shareHomeLock(std::shared_ptr<QLockFile> lock) { homeLock_ = std::move(lock); }

    // What the last software upgrade saved of the terminal's running software.
    struct BackupNote {
        QString path;       // the backup file, when one was written
        qint64 bytes = -1;
        QString why;        // why there is none
    };
    const BackupNote& lastBackup() const { return lastBackup_; }
    // An upgrade or restore whose verdict is still to come.
    bool verdictPending() const { return report_.has_value() && isTerminalWorkStarted_; }
    // What the terminal is doing while the upgrader changes it; nothing when
    // it is not being changed or nothing of that runs any more.
    std::optional<work::Doing> terminalWork() const;
    // The verdict of the last upgrade or restore: each item, and the box that said it.
    struct VerdictShown {
        QList<verdict::Item> items;
        QString box;
    };
    const std::optional<VerdictShown>& lastVerdict() const { return lastVerdict_; }
    const QString& commandLine() const { return commandLine_; }
    Dialogs& dialogs() { return dialogs_; }
    // Where "/TermDiag" looks for the diagnostics tool, relative to the home folder.
    static QString termDiagRelativePath();

    // ---- log ----
    void InitLogging();
    void WriteLog(int level, const QString& text);
    // The same line with what the terminal sent after the text, shown printable.
    void WriteLog(int level, const QString& text, const QString& said);
    void CloseLogging();
    QString GetLogFileName() const;
    QString TraceOut(const QByteArray& bytes, int length);
    static QString Util_PrintableBytes(const QByteArray& bytes, int length);

    // ---- ui: control states, status light, frames ----
    bool SetMouseCursor(int mode);
    void EnableButtons();
    void DisableButtons();
    void DisableFTPbuttons();
    int mousePointer() const { return mousePointer_; }
    // Status light fill as a colour value of the original (255 red, 65280 green).
    void setStatusLedColour(int colourValue);
    int statusLedColour() const;
    // Frame background: true for the light green of the item in progress.
    void setFrameActive(QGroupBox* frame, bool active);
    static bool isFrameActive(const QGroupBox* frame);
    void setStatusText(const QString& text);
    QString statusText() const;
    // What takes time now (a transfer, a fixed wait), for the window and the front end.
    const progress::Info& progressInfo() const { return progress_; }
    // One message box, through the dialogs service.
    // defaultAnswer: what Enter chooses in a Yes/No box.
    MsgResult msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                     MsgResult defaultAnswer = MsgResult::Yes);

    // ---- ui: secondary windows and menu handlers ----
    void UpdateModemIPAddress(const QString& address);
    void cmdSetModemIP_Click();
    void mnuHelpAbout_Click();
    void mnuHelpTs_Click();
    void mnuFileExit_Click();
    void Form_KeyPress(int keyAscii);
    frmUpgrade& upgradeNotice();

    // ---- ident: version texts, platform, package, factory mode ----
    void Util_InterpretVersionResponse(const QString& versionText);
    bool Util_ApplyCompatibilityRule();
    void Util_IdentifyPlatform(const QString& dottedVersion);
    void Util_IdentifyPackagedPlatformBin(const QString& dottedVersion);
    bool DetectReleaseSeriesConflict(const QString& versionToInstall);
    bool Util_LocatePackagedBin();
    // False, with the user told, when the package cannot be read.
    bool Util_ReadPackageCompatLevel(const QString& fileName);
    void Util_CleanUpHomeDirectory();
    void UI_CheckFactoryMode();

    // ---- zing: message format ----
    void SendZINGCommand(int32_t code);
    void SendZINGCommand(int32_t code, quint8 param);
    void SendZINGCommandAndParamLong(int32_t code, int32_t param);

    // ---- zing: connection and time-outs ----
    void sckZING_Connect();
    void sckZING_Close();
    void sckZING_Error(int number, const QString& description);
    void tmrConnect_Timer();
    void tmrResponse_Timer();
    void tmr40SecDelay_Timer();
    void startConnectivityProbe();
    void sckTest_Connect();
    void tmrConneTest_Timer();

    // ---- zing: response handling ----
    void sckZING_DataArrival(const QByteArray& bytes);

    // ---- zing: requests and maintenance commands ----
    void ZingReq_GetCurrentSoftwareVersion();
    void ZingReq_RestoreFactoryDefaults();
    void ResetTerminal();
    void ZingReq_PrepareTerminalFileSystem();
    void ZingReq_HaltStack();
    void ZingReq_UpgradeAntennaFW();
    void ZingReq_Fetch_All_Release_Info();
    void ZingReq_Fetch_Antenna_Info();
    void SendGPSBypassModeCommand();
    void tmrFiveSecDelayedReset_Timer();
    void cmdGetSoftwareVersion_Click();
    void cmdRestoreDefaults_Click();
    void cmdResetModem_Click();

    // ---- ftp: command engine ----
    void setOKToFTP(bool flag);
    void inetFTP_StateChanged(int state);
    void UPG_CloseFtpForImagePut();
    void tmrFTPReq_Timer();

    // ---- ftp: software upgrade ----
    void UPG_UpgradeSoftware();
    void UPG_HandleSwUpgradePreparation();
    void tmrDelayedSwUpgIgnite_Timer();
    void UPG_SoftwareUpgradeIgnite();
    QStringList Util_getBinFileList();
    void UPG_ReadBinFileList();
    void UPG_HandleOldBinDeletions();
    void UPG_HandleSwBackupAndProceed();
    void UPG_DeleteOldBinsThenUpload();
    void UPG_CleanupFolder4Backup(const QString& fileName);
    void UPG_GetCurrentQoraxBintoPc();
    void UPG_UploadQoraxBinToTarget();

    // ---- ftp: image descriptor ----
    bool UPG_CheckRetrievedImage();
    void tmrImagePutTrig_Timer();
    void createAndSendImageFile();
    void createAndSendRestoreImageFile();

    // ---- ftp: restore and terminal log ----
    void cmdRestore_Click();
    void cmdRestoreMenu_Click();
    void DownloadTerminalLog();
    // Where the newest terminal log is kept.
    QString terminalLogPath() const;

    // ---- upgrade: sequencing, antenna, PIC ----
    void cmdUpgrade_Click();
    void Handle_UpgradeState();
    void UPG_UpgradeAntennaFW();
    void UPG_StandaloneAntennaUpgrade();
    void UPG_UpgradePIC();
    void UPG_StandalonePICUpgrade();
    void UPG_Prepare4PICUpgrade();
    void UI_UpdateUIUpgState(int displayState);
    void UPG_HandleReleaseInfo(const QString& releaseInfoText);
    void Util_GrabTermAntennaVersions(const QString& text);
    void Util_GrabTermPICVersion(const QString& responseText, bool fromVersionText);
    void Init_PIC_Upgrade();
    void cmdAntUpgradeMenu_Click();
    void cmdPicUpgradeMenu_Click();
    void Antenna_SpawnUpgrade();
    void tmrAntUpgDelay_Timer();
    bool Util_AntennaInfoCheck(const QString& text);
    QString Util_FetchAntennaClassString(int32_t classId);
    void UI_InitTermAntennaFields();
    void UI_EnableAntennaFunctionality();
    void UI_DisableAntennaFunctionality();
    void UI_CheckLocalAntennaFirmware();
    // Whether the local antenna files fit the terminal's antenna; the
    // standalone menu asks the stricter question.
    bool antennaFilesFit(bool standalone) const;
    void UI_InitTermPicFields();
    void UI_DisablePICFunctionality(bool alsoTerminalFields);
    void UI_EnablePICFunctionality();
    void UI_CheckLocalPICFirmware();
    void UPG_AbortPICUpgrade(const QString& reason);
    void telnetShell_DataArrival(const QByteArray& bytes);
    void telnetShell_Close();
    void tmrTelnetConnect_Timer();
    void tmrPicUpgrCnt_Timer();
    void tmrPicUpgResetDelay_Timer();

    // ---- controls (names as the procedures use them) ----
    QLabel* lblIPAddress = nullptr;
    QLineEdit* txtIPAddress = nullptr;
    StatusLight* statusLED = nullptr;
    QGroupBox* frameBin = nullptr;
    QLabel* lblNewVersion = nullptr;
    QLineEdit* txtNewSoftwareVersion = nullptr;
    QLabel* lblCurrentVersion = nullptr;
    QLineEdit* txtCurrentSoftwareVersion = nullptr;
    QPushButton* cmdRestore = nullptr;
    QCheckBox* chkBinUpg = nullptr;
    QGroupBox* framePIC = nullptr;
    QLabel* lblLocPICVer = nullptr;
    QLineEdit* txtLocPICVer = nullptr;
    QLabel* lblTermPICVersion = nullptr;
    QLineEdit* txtTermPICVersion = nullptr;
    QCheckBox* chkPICUpg = nullptr;
    QGroupBox* frameAntenna = nullptr;
    QLabel* lblLocAtb = nullptr;
    QLineEdit* txtLocAtbVer = nullptr;
    QLabel* lblLocHPA = nullptr;
    QLineEdit* txtLocHpaVer = nullptr;
    QLabel* lblLocCls = nullptr;
    QLineEdit* txtLocAntClass = nullptr;
    QLabel* lblAntAtb = nullptr;
    QLineEdit* txtAntATBver = nullptr;
    QLabel* lblAntHPA = nullptr;
    QLineEdit* txtAntHPAver = nullptr;
    QLabel* lblAntClass = nullptr;
    QLineEdit* txtAntCLSver = nullptr;
    QCheckBox* chkAntUpg = nullptr;
    QLineEdit* txtAntASNver = nullptr;
    QLineEdit* txtAntAHWver = nullptr;
    QLabel* lblUpgHelp = nullptr;
    QPushButton* cmdUpgrade = nullptr;
    QLineEdit* sbUpgrade = nullptr;
    // Under the status line while a transfer or a fixed wait runs.
    QProgressBar* barProgress = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* cmdUpgradeMenu = nullptr;
    QAction* cmdRestoreMenu = nullptr;
    QAction* cmdAntUpgradeMenu = nullptr;
    QAction* cmdPicUpgradeMenu = nullptr;
    QAction* cmdSeperator1 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* cmdSetModemIP = nullptr;
    QAction* cmdGetSoftwareVersion = nullptr;
    QAction* cmdDownloadLog = nullptr;
    QAction* cmdRestoreDefaults = nullptr;
    QAction* cmdSeperator2 = nullptr;
    QAction* cmdResetModem = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuHelpTs = nullptr;

    // ---- sockets, FTP control and timers ----
    InetFtp* inetFTP = nullptr;
    TcpClient* sckZING = nullptr;
    TcpClient* sckTest = nullptr;
    TcpClient* telnetShell = nullptr;

    Timer* tmrConnect = nullptr;
    Timer* tmrConneTest = nullptr;
    Timer* tmrResponse = nullptr;
    Timer* tmrFTPReq = nullptr;
    Timer* tmrImagePutTrig = nullptr;
    Timer* tmrDelayedSwUpgIgnite = nullptr;
    Timer* tmrFiveSecDelayedReset = nullptr;
    Timer* tmr40SecDelay = nullptr;
    Timer* tmrAntUpgDelay = nullptr;
    Timer* tmrPicUpgResetDelay = nullptr;
    Timer* tmrPicUpgradeDelay = nullptr;
    Timer* tmrPicUpgrCnt = nullptr;
    Timer* tmrTelnetConnect = nullptr;
    QList<Timer*> allTimers() const;
    // No timer armed, no transfer, no connection being made: only the user can
    // make something happen now.
    bool nothingRunning() const;

Q_SIGNALS:
    // The main window has been unloaded: the program ends.
    void unloaded();
    // progressInfo() changed.
    void progressChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- zing (private steps) ----
    void openZingExchange(int32_t code, const QString& host);
    void closeZingIfOpen();
    void zingConnectFailed();
    void endZingExchange(const QString& arrived);
    void antennaNotConfirmed(const QString& why);
    std::optional<int32_t> statusOrLengthField(const zing::ZingResponse& r);
    void handleVersionResponse(const QByteArray& bytes);
    void versionNotRead(const QString& text);
    void handleReleaseInfoCnf(const QByteArray& bytes);
    void handleAntFwInfoCnf(const QByteArray& bytes);
    void handleUpgradeAntFwCnf(const QByteArray& bytes);
    void handleRestoreDefaultsCnf();
    void handleChkdskResponse();
    void handleHaltStackResponse();
    void handleGpsBypassResponse(const QByteArray& bytes);
    void handleGpsTestDataResponse();
    void writeLogLines(const qlog::LogLines& lines);
    void runCommonZingRequest(const char* name, int32_t code, const QString& status);

    // ---- ftp (private steps) ----
    void setFtpState(int32_t state, const QString& suffix = QString());
    bool issueFtp(const QString& operation);
    void ftpCompleted();
    void ftpDisconnected();
    void ftpFailed();
    void ftpClose();
    void ftpFileNotFound();
    void ftpLocalFailure();
    void ftpTooLarge();
    void ftpUploadIncomplete();
    // The log line on how the server's copy of the last upload compared.
    void logUploadCheck();
    void backupNotMade(const QString& why);
    bool recordBackup(const QString& path);
    ident::PackageSight sightPackage() const;
    QString packageChange() const;
    QString packageChangedText(const QString& why) const;
    bool packageStillSame();
    QString takeBackRestoredCopy();
    void awaitFtpClose();
    void refuseDamagedBackup(const QString& file, const QString& why);
    // Ends the FTP operation in progress, and the upgrade it belongs to, with
    // no further step on the terminal; tells the user.
    void stopFtpOperation(const QString& status, const QString& box);
    // False, with the user told, when the descriptor could not be written here.
    bool writeImageDescriptor(const QByteArray& content);
    void imageDescriptorNotSent(const QString& why);
    void ftpFatalConnectionReset();
    // ---- ftp: terminal log (private steps) ----
    bool setEarlierLogAside(const QString& local, QString* aside);
    void fetchTerminalLog(const QString& local);
    void putEarlierLogBack(const QString& local, const QString& aside);
    // ---- upgrade: PIC (private steps) ----
    void openTelnet(const QString& host);
    void setPicState(int32_t state);
    void telnetPiece(const QByteArray& piece);
    void picStepOn(int32_t state, const QString& text);
    void sendTelnet(const QByteArray& line, bool secret = false);
    void noteShellLeftOut();
    void logPiece(const QString& prefix, const QByteArray& piece, int level = qlog::LOG_DET);
    // Text the shell sent, for a log line: the password masked, the first length bytes printable.
    static QString shellShown(const QString& text, int length);
    void logShell(int level, const QString& line);
    void armPicWatchdog();
    // One step of a telnet phase: the line sent, the state it waits in, the
    // status shown, under the watchdog.
    void picStep(const QByteArray& line, int32_t next, const QString& status);
    void closePicShell();
    void picAttemptEnds(const QString& why);
    void picStopped(const QString& reason);
    void picLogin(const QString& text);
    void picPrepBattery(const QString& text, const pic::Answer& answer);
    void picPrepDescriptor(pic::Shown backup);
    void picPrepared();
    void picRestoreDescriptor(pic::Shown image);
    void picReflashBattery(const QString& text, const pic::Answer& answer);
    void picRebootWithoutReflash(const QString& status);
    void picReflashOutput(const QString& text);
    void picReflashDone(const QString& status);
    void picReflashFailed();
    // The PIC upgrade judged by the versions the terminal reports now, or,
    // when it did not answer, reported as not known.
    void picVerdict(bool answered = true);
    // In the Boot ROM: whether the flash shows a PIC upgrade cut short, which
    // only the PIC upgrade puts right.
    void checkForInterruptedPic();
    // Added to the boxes of an attempt that stopped with the descriptor swapped.
    QString picInterruptedNote() const;
    // An antenna or PIC upload that failed ends its item and the sequence.
    void endItemIfUploading();

    // The operation text that puts a home-folder antenna file under its name on the terminal.
    QString antennaPut(const QString& localFile, const QString& target) const;
    void fatalImagePut();
    // Asks for the version when it is not known and waits for the answer.
    // False when the program ended meanwhile.
    bool fetchVersionIfUnknown();
    bool ftpExecuting() const;

    // ---- app ----
    // Closing by the user while the terminal is at work asks first; false
    // when the user keeps the upgrader open.
    bool mayCloseNow();
    // Makes the package folder the current one: the one named on the command
    // line, or the one the user chooses. False when the user gave up.
    bool enterPackageFolder();
    bool enterFolder(const QString& folder);
    void noPackageIn(const QString& dir);
    // The one-shot FTP session to the terminal, its connections logged.
    FtpPut oneShotFtp();
    // False when another upgrader holds the home folder.
    bool lockHomeFolder();
    void removeStalePartialDownloads();
    void Form_QueryUnload();
    void Form_Unload();
    void createTimersAndSockets();
    void wireEvents();
    void endOfProgram();

    // ---- ui ----
    // The terminal is being changed (from the first step that changes it
    // until nothing of that operation runs any more): the window keeps the
    // commands that would interfere disabled between the busy steps.
    void beginTerminalWork();
    bool terminalAtWork() const;
    void keepTerminalAtWork();
    void workGuard_Timer();
    // The verdict of an upgrade or restore: the versions before are noted at
    // its start, and what the terminal reports when its work is over decides.
    void startReport(const QString& action, bool software, bool antenna, bool pic, const QString& newVersion);
    void concludeReport();
    void setupProgress();
    void refreshProgress();
    QString transferName() const;
    void buildControls();
    void buildMenus();
    void setMenuEnabled(QMenu* menu, bool on);
    bool handleMenuShortcut(int key, Qt::KeyboardModifiers mods);

    Dialogs& dialogs_;
    QString commandLine_;
    std::unique_ptr<frmUpgrade> upgradeNotice_;
    // Held from start-up to unload; empty when the home folder cannot take a lock file.
    std::shared_ptr<QLockFile> homeLock_;
    progress::Info progress_;
    progress::Info transfer_;
    QElapsedTimer transferClock_;
    QElapsedTimer reflashClock_;
    QTimer* progressTicker_ = nullptr;
    QTimer* workGuard_ = nullptr;
    bool isTerminalWorkStarted_ = false;
    // A new image.txt is on the terminal, its stack halted, and the reset that
    // starts the new software has not been sent yet.
    bool isSoftwareResetDue_ = false;
    struct PendingReport {
        QString action;
        bool software = false, antenna = false, pic = false;
        QString softwareBefore, antennaBefore, picBefore;
        QString softwareExpected;  // dotted
        QString picWhy;            // what the PIC upgrade's own verdict said
        QString advice;            // and what it advised
    };
    std::optional<PendingReport> report_;
    std::optional<VerdictShown> lastVerdict_;
    // The release package as found at start-up, looked at again before the flash changes.
    ident::PackageSight packageAtStart_;
    bool refusedAsSecond_ = false;
    bool packageOptional_ = false;
    QString startFolder_;
    bool isPackageFolderChooser_ = true;
    // Log lines of the time before the log file exists.
    QByteArray earlyLog_;
    BackupNote lastBackup_;
    // The PIC dialogue: what the current step has received, whether the
    // shell is still listened to, and what became of the descriptor.
    pic::ShellText picShell_;
    pic::EchoMask picEcho_;
    bool isPicShellListening_ = false;
    bool isPicAskingUser_ = false;
    bool isPicUploadClosing_ = false;
    bool isPicImageSwapped_ = false;
    pic::Shown picImageShown_ = pic::Shown::Missing;
    pic::Shown picBackupShown_ = pic::Shown::Missing;
    pic::Reflash picReflash_ = pic::Reflash::NotRun;
    bool isPicVerdictDue_ = false;
    // The Boot ROM terminal holds the backup of an interrupted PIC upgrade.
    bool isPicBackupLeft_ = false;
    // The next reset goes to the Boot ROM's default address.
    bool isResetAtDefaultIp_ = false;
    int mousePointer_ = 0;
    bool busyCursorShown_ = false;
    bool closing_ = false;
    bool unloaded_ = false;
};
