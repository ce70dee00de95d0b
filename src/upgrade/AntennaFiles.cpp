// Antenna firmware: the local files, the terminal's antenna information, the
// antenna part of the window, and the upgrade run (upload, ZING request, wait).
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/Files.h"
#include "platform/InetFtp.h"
#include "platform/Timer.h"
#include "upgrade/AntennaLogic.h"
#include "zing/ZingTexts.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString kAtbPattern = QStringLiteral("ATB*.sxm");
const QString kHpaPattern = QStringLiteral("HPA*.sxm");
const QString kIacPattern = QStringLiteral("IAC*.sxm");

}  // namespace

QString frmMain::Util_FetchAntennaClassString(int32_t classId)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_FetchAntennaClassString() ") + QString::number(classId));
    return ant::className(classId);
}

bool frmMain::Util_AntennaInfoCheck(const QString& text)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_AntennaInfoCheck ()"));
    return ant::hasAntennaInfo(text);
}

bool frmMain::antennaFilesFit(bool standalone) const
{
    ant::Firmware files;
    files.ok = isAntennaFwOk;
    if (!strLocAtbFile.isEmpty())
        files.atb = atbAntClassId;
    if (!strLocHpaFile.isEmpty())
        files.hpa = hpaAntClassId;
    if (!strLocIacFile.isEmpty())
        files.iac = iacAntClassId;
    return standalone ? ant::fitsStandalone(files, termAntClassId) : ant::fits(files, termAntClassId);
}

void frmMain::UI_InitTermAntennaFields()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_InitTermAntennaFields()"));
    for (QLineEdit* t : {txtAntATBver, txtAntHPAver, txtAntCLSver})
        t->setText(QStringLiteral("UNKNOWN"));
    chkAntUpg->setEnabled(false);
}

namespace {

void setAntennaFieldsEnabled(frmMain& w, bool on)
{
    w.frameAntenna->setTitle(QStringLiteral("Antenna Info"));
    w.frameAntenna->setEnabled(on);
    for (QWidget* c : std::initializer_list<QWidget*>{w.txtLocAtbVer, w.txtLocHpaVer, w.txtLocAntClass, w.lblLocAtb,
                                                      w.lblLocHPA, w.lblLocCls, w.txtAntATBver, w.txtAntHPAver,
                                                      w.txtAntCLSver, w.lblAntAtb, w.lblAntHPA, w.lblAntClass})
        c->setEnabled(on);
}

}  // namespace

void frmMain::UI_EnableAntennaFunctionality()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_EnableAntennaFunctionality()"));
    setAntennaFieldsEnabled(*this, true);
    chkAntUpg->setEnabled(isAntennaFwOk);
    cmdAntUpgradeMenu->setEnabled(isAntennaFwOk);
}

void frmMain::UI_DisableAntennaFunctionality()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_DisableAntennaFunctionality()"));
    setAntennaFieldsEnabled(*this, false);
    chkAntUpg->setChecked(false);
    chkAntUpg->setEnabled(false);
    cmdAntUpgradeMenu->setEnabled(false);
}

void frmMain::UI_CheckLocalAntennaFirmware()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_CheckLocalAntennaFirmware()"));
    const ant::LocalCheck c = ant::checkLocalFiles(Files::find(strHomeDir, kAtbPattern), Files::find(strHomeDir, kHpaPattern),
                                                   Files::find(strHomeDir, kIacPattern));
    strLocAtbFile = c.atbFile;
    strLocHpaFile = c.hpaFile;
    strLocIacFile = c.iacFile;
    atbAntClassId = c.atbClass;
    hpaAntClassId = c.hpaClass;
    iacAntClassId = c.iacClass;
    strLocAtbVer = c.atbVersion;
    strLocHpaVer = c.hpaVersion;
    strLocIacVer = c.iacVersion;
    if (!c.atbField.isNull())
        txtLocAtbVer->setText(c.atbField);
    if (!c.hpaField.isNull())
        txtLocHpaVer->setText(c.hpaField);
    if (!c.classField.isNull())
        txtLocAntClass->setText(c.classField);
    writeLogLines(c.log);
    if (c.firmwareOk)
        isAntennaFwOk = *c.firmwareOk;
    if (!c.conflictBox.isEmpty())
        msgBox(c.conflictBox, MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    if (c.disable)
        UI_DisableAntennaFunctionality();
    if (c.setControls) {
        cmdAntUpgradeMenu->setEnabled(isAntennaFwOk);
        chkAntUpg->setEnabled(isAntennaFwOk);
        chkAntUpg->setChecked(false);
    }
}

void frmMain::Util_GrabTermAntennaVersions(const QString& text)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_GrabTermAntennaVersions()"));
    const ant::TerminalAntenna a = ant::terminalAntenna(text, connectedPlatformId, termAntClassId);
    txtAntATBver->setText(a.atb);
    txtAntAHWver->setText(a.ahw);
    txtAntHPAver->setText(a.hpa);
    txtAntASNver->setText(a.asn);
    termAntClassId = a.classId;
    txtAntCLSver->setText(Util_FetchAntennaClassString(termAntClassId));
}

void frmMain::UPG_HandleReleaseInfo(const QString& text)
{
    termAntClassId = ant::CLASS_UNKNOWN;
    Util_GrabTermPICVersion(text, false);
    if (!Util_AntennaInfoCheck(text)) {
        UI_DisableAntennaFunctionality();
        return;
    }
    Util_GrabTermAntennaVersions(text);
    if (isAntennaFwOk && !antennaFilesFit(false)) {
        UI_DisableAntennaFunctionality();
        isUpgAntSelected = false;
        return;
    }
    // Without usable files the terminal's fields still become readable.
    UI_EnableAntennaFunctionality();
}

void frmMain::cmdAntUpgradeMenu_Click()
{
    const QString question = QStringLiteral("Do you want to proceed with the Standalone Antenna upgrade ?") + zing::kCrLf +
                             zing::kCrLf +
                             QStringLiteral("Note: Modem will automatically restart after successful Antenna Upgrade.");
    if (msgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation, zing::kTitleUserAction) != MsgResult::Yes) {
        SetMouseCursor(0);
        return;
    }
    if (antennaFilesFit(true)) {
        startReport(QStringLiteral("Upgrade"), false, true, false, QString());
        Antenna_SpawnUpgrade();
        return;
    }
    msgBox(QStringLiteral("Antenna-Type conflict.  Operation Cancelled."), MsgButtons::OK, MsgIcon::Exclamation,
           zing::kTitleFault);
}

void frmMain::Antenna_SpawnUpgrade()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Antenna_SpawnUpgrade()"));
    SetMouseCursor(1);
    strLocAtbFile = Files::find(strHomeDir, kAtbPattern).value(0);
    strLocHpaFile = Files::find(strHomeDir, kHpaPattern).value(0);
    strLocIacFile = Files::find(strHomeDir, kIacPattern).value(0);
    if (!strLocAtbFile.isEmpty() || !strLocHpaFile.isEmpty() || !strLocIacFile.isEmpty()) {
        UPG_StandaloneAntennaUpgrade();
        return;
    }
    WriteLog(qlog::LOG_DET, QStringLiteral("Unable to find Antenna-binary ATB/HPA/IAC"));
    msgBox(QStringLiteral("Antenna Firmware files Unavailable.  Operation Cancelled."), MsgButtons::OK,
           MsgIcon::Exclamation, zing::kTitleFault);
    SetMouseCursor(0);
}

void frmMain::UPG_StandaloneAntennaUpgrade()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_StandaloneAntennaUpgrade()"));
    beginTerminalWork();
    struct Image {
        const QString& file;
        int32_t state;
        const char* target;
    };
    const Image images[] = {{strLocAtbFile, ftp::UPGRADE_ANTENNA_ATB_CMD, "atb.sxm"},
                            {strLocHpaFile, ftp::UPGRADE_ANTENNA_HPA_CMD, "hpa.sxm"},
                            {strLocIacFile, ftp::UPGRADE_ANTENNA_IAC_CMD, "iac.sxm"}};
    for (const Image& image : images) {
        if (image.file.isEmpty())
            continue;
        setFtpState(image.state);
        setStatusText(QStringLiteral("Uploading Antenna software!  Wait..."));
        tmrFTPReq->enable();
        inetFTP->setAddress(strIPAddress);
        // A failure of this upload must end the step, also after an earlier
        // FTP operation of the same run has set the flag.
        isFtpDone = false;
        issueFtp(antennaPut(image.file, QLatin1String(image.target)));
        UI_UpdateUIUpgState(3);
        return;
    }
    // Nothing to send: the antenna step ends as a failed one, so the sequence
    // goes on with its next item or ends, and the window is usable again.
    WriteLog(qlog::LOG_ERR, QStringLiteral("No Antenna files."));
    currUpgradeState = UPG_STATE_ANT_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    SetMouseCursor(0);
    setStatusText(QStringLiteral("Antenna Upgrade Failed !"));
    Handle_UpgradeState();
}

QString frmMain::antennaPut(const QString& localFile, const QString& target) const
{
    return QStringLiteral("PUT ") + ftp::quoted(strHomeDir + localFile) + QLatin1Char(' ') + target;
}

void frmMain::tmrAntUpgDelay_Timer()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> tmrAntUpgDelay_Timer()"));
    tmrAntUpgDelay->disable();
    isConnRetryEnabled = true;
    connRetryCount = 0;
    ZingReq_GetCurrentSoftwareVersion();
    SetMouseCursor(0);
}
