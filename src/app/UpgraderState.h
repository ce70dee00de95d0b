#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// Upgrade sequence states (currUpgradeState).
enum UpgState : int32_t {
    UPG_STATE_INVALID = 0,
    UPG_STATE_IDLE = 1,
    UPG_STATE_BIN_DONE = 2,
    UPG_STATE_ANT_DONE = 3,
    UPG_STATE_UPG_PIC = 4,
    UPG_STATE_PIC_DONE = 5,
};

// Software-upgrade preparation states (upgPrepState).
enum UpgPrepState : int32_t {
    UPG_PREP_INVALID = 0,
    UPG_PREP_IDLE = 1,
    UPG_PREP_FS_READY = 2,
    UPG_PREP_STACK_READY = 3,
    UPG_PREP_ALL_DONE = 4,
};

// PIC upgrade states (picUpgradeState); 0 means no PIC upgrade has run.
enum PicUpgState : int32_t {
    PIC_UPG_STATE_PREP_INIT_CONNECT = 1,
    PIC_UPG_STATE_PREP_UNAME_SENT = 2,
    PIC_UPG_STATE_PREP_PASSWD_SENT = 3,
    PIC_UPG_STATE_PREP_LOGGEDIN = 4,
    PIC_UPG_STATE_PREP_CHECK_BATT = 5,
    PIC_UPG_STATE_PREP_CHK_IMG = 6,
    PIC_UPG_STATE_PREP_BKUP_IMG = 7,
    PIC_UPG_STATE_PREP_CREATE_XIMG = 8,
    PIC_UPG_STATE_PREP_REBOOT = 9,
    PIC_UPG_STATE_INIT_CONNECT = 10,
    PIC_UPG_STATE_UNAME_SENT = 11,
    PIC_UPG_STATE_PASSWD_SENT = 12,
    PIC_UPG_STATE_LOGGEDIN = 13,
    PIC_UPG_STATE_RECOVER_IMG = 14,
    PIC_UPG_STATE_CHECK_BATT = 15,
    PIC_UPG_STATE_BATT_REBOOT_WAIT = 16,
    PIC_UPG_STATE_REFLASH_SENT = 17,
    PIC_UPG_STATE_WAIT_RESET = 18,
    // The shell has shown image.txt; uimage.txt is asked for next.
    PIC_UPG_STATE_PREP_CHK_BKUP_IMG = 19,
    // The reflash phase: the shell has shown uimage.txt; image.txt next.
    PIC_UPG_STATE_CHK_IMG = 20,
};

// Names as the log shows them; "INVALID" for any value outside the tables.
QString upgStateName(int32_t state);
QString upgPrepStateName(int32_t state);
QString Util_PicUpgStateName(int32_t state);

// Every variable the procedures of the main window share, with its start
// value. The load event gives a fresh copy of this to the window.
struct UpgraderState {
    QString strIpOctet3 = QStringLiteral("128");
    QString strIpOctet4 = QStringLiteral("100");
    QString strIpOctet1 = QStringLiteral("192");
    QString strIpOctet2 = QStringLiteral("168");
    QString strWindowTitle = QStringLiteral("Vantor QORA Upgrader");
    QString strLocalBinFile;
    QString strCurrentExecutable;
    bool isImageValid = false;
    // The qorax executables the terminal listed; at least one entry, "" when none.
    QStringList binFilesOnTerminal;
    QString strImageFilePath;
    QString strLogFilePath;
    int32_t logLevel = 4;
    QString strHomeDir;
    QString strBackupDir;
    QString strNewVersion;
    QString strCurrentVersion = QStringLiteral("0_0_0_0");
    QString strBinFileDate;
    QString strLocalPicFile;
    QString strFactoryFile;
    int32_t currZingCmd = 0;
    int32_t currFtpState = 0;
    QString strIPAddress = QStringLiteral("192.168.128.100");
    QString strLocAtbFile;
    QString strLocHpaFile;
    QString strLocIacFile;
    bool isPicFwOk = false;
    bool isFactoryMode = false;
    bool isAntennaFwOk = false;
    bool isGpsBypassAnswered = false;
    bool isFtpDone = false;
    bool isFtpTimedOut = false;
    bool isOkToFtp = false;
    bool isBootRomMode = false;
    bool isBromCompatSupported = false;
    bool isConnectedWithoutVersion = false;
    bool isUpgSwSelected = false;
    bool isUpgPicSelected = false;
    bool isUpgAntSelected = false;
    bool isLogKeyArmed = false;
    int16_t picUpgRetryCount = 0;
    int32_t picUpgradeState = 0;
    int32_t upgPrepState = 0;
    int32_t atbAntClassId = 0;
    int32_t hpaAntClassId = 0;
    int32_t iacAntClassId = 0;
    int32_t termAntClassId = 6;
    QString strLocAtbVer;
    QString strLocHpaVer;
    QString strLocIacVer;
    bool isAntUpgRespPending = false;
    int16_t antRespRetryCount = 0;
    QString strLocalPicVersion;
    int32_t currUpgradeState = UPG_STATE_IDLE;
    int32_t connectedPlatformId = 14;
    int32_t packagedPlatformId = 14;
    QString strPackagedPlatformName = QStringLiteral("QORA");
    bool isConnRetryEnabled = false;
    int16_t connRetryCount = 0;
    bool isPicBattRebootWait = false;
    // Answers to pic_data_show without a battery verdict in this reflash phase.
    int picDataAnswers = 0;
    bool isUseDefaultIp = false;
    bool isRestoreImage = false;
    QString strLogFileName;
    QString strLogDir;
    int16_t binBootCompatLevel = -1;
    int16_t termBootCompatLevel = -1;

    // Shared with the restore window.
    QStringList restoreList;
    // The backup file behind each offered version.
    QStringList restoreFiles;
    int16_t restoreCount = 0;
    QString strRestoreVersion;
};
