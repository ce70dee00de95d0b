// Upgrade selection and the order of the items: software, antenna, PIC,
// with a terminal restart between them.
#include "app/frmMain.h"

#include "platform/EventPump.h"
#include "upgrade/Sequencing.h"
#include "upgrade/Verdict.h"
#include "zing/ZingTexts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

#include <utility>

namespace {
const QString kStatePrefix = QStringLiteral("currUpgradeState = ");
QString boolText(bool b)
{
    return b ? QStringLiteral("True") : QStringLiteral("False");
}
}  // namespace

void frmMain::cmdUpgrade_Click()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Upgrade Button Clicked()"));
    isGpsBypassAnswered = false;
    if (!fetchVersionIfUnknown())
        return;
    if (!isOkToFtp)
        return;

    isUpgSwSelected = chkBinUpg->isChecked();
    isUpgPicSelected = chkPICUpg->isChecked();
    isUpgAntSelected = chkAntUpg->isChecked();
    if (!isUpgSwSelected && !isUpgPicSelected && !isUpgAntSelected) {
        msgBox(QStringLiteral("Please Select the Item(s) you wish to Upgrade."), MsgButtons::OK, MsgIcon::Critical,
               zing::kTitleUserAction);
        return;
    }
    chkAntUpg->setChecked(false);

    const QString question = upg::confirmationText(isUpgSwSelected, isUpgAntSelected, isUpgPicSelected,
                                                   connectedPlatformId, packagedPlatformId);
    // With the PIC chosen, a fitted battery makes Yes harmful: Enter must not mean it.
    if (msgBox(question, MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction,
               isUpgPicSelected ? MsgResult::No : MsgResult::Yes) != MsgResult::Yes) {
        WriteLog(qlog::LOG_VRB, QStringLiteral("Upgrade Cancelled by User"));
        isUpgSwSelected = false;
        isUpgPicSelected = false;
        isUpgAntSelected = false;
        return;
    }

    startReport(QStringLiteral("Upgrade"), isUpgSwSelected, isUpgAntSelected, isUpgPicSelected, strNewVersion);
    if (isUpgSwSelected) {
        currUpgradeState = UPG_STATE_IDLE;
        WriteLog(qlog::LOG_INF, kStatePrefix + upgStateName(currUpgradeState));
        UPG_UpgradeSoftware();
        WriteLog(qlog::LOG_DET, QStringLiteral("Spawned Software Upgrade."));
    } else if (!isUpgAntSelected) {
        WriteLog(qlog::LOG_INF, QStringLiteral("Initializing PIC Upgrade..."));
        UPG_UpgradePIC();
        WriteLog(qlog::LOG_DET, QStringLiteral("Spawned PIC Upgrade."));
    } else if (antennaFilesFit(false)) {
        WriteLog(qlog::LOG_INF, QStringLiteral("Initializing Antenna Upgrade..."));
        UPG_UpgradeAntennaFW();
        WriteLog(qlog::LOG_DET, QStringLiteral("Spawned Antenna Upgrade."));
    } else {
        UI_DisableAntennaFunctionality();
        isUpgAntSelected = false;
        msgBox(QStringLiteral("Antenna-Type conflict.  Operation Cancelled."), MsgButtons::OK, MsgIcon::Exclamation,
               zing::kTitleFault);
    }
}

bool frmMain::fetchVersionIfUnknown()
{
    // Empty: the terminal answered without a version; ask again.
    if (strCurrentVersion == QLatin1String("0_0_0_0") || strCurrentVersion.isEmpty()) {
        ZingReq_GetCurrentSoftwareVersion();
        // The request shows the busy pointer until it is answered or has failed.
        while (mousePointer() == 13 && !unloaded_) {
            EventPump::doEvents();
            EventPump::wait(100);
        }
    }
    return !unloaded_;
}

void frmMain::UPG_UpgradeAntennaFW()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UPG_UpgradeAntennaFW()"));
    currUpgradeState = UPG_STATE_BIN_DONE;
    WriteLog(qlog::LOG_INF, kStatePrefix + upgStateName(currUpgradeState));
    Handle_UpgradeState();
}

void frmMain::Handle_UpgradeState()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Handle_UpgradeState()"));
    WriteLog(qlog::LOG_INF, kStatePrefix + upgStateName(currUpgradeState));
    WriteLog(qlog::LOG_INF, QStringLiteral("Is Antenna Upgrade Pending = ") + boolText(isUpgAntSelected));
    WriteLog(qlog::LOG_INF, QStringLiteral("Is PIC Upgrade Pending = ") + boolText(isUpgPicSelected));
    UI_UpdateUIUpgState(0);

    const upg::NextStep next =
        upg::nextStep(currUpgradeState, isUpgAntSelected, isAntennaFwOk, isUpgPicSelected, isPicFwOk);
    if (next.newState >= 0) {
        currUpgradeState = next.newState;
        WriteLog(qlog::LOG_INF, kStatePrefix + upgStateName(currUpgradeState));
    }
    if (next.clearAntennaPending)
        isUpgAntSelected = false;
    if (next.clearPicPending)
        isUpgPicSelected = false;
    if (!next.logLine.isEmpty())
        WriteLog(qlog::LOG_INF, next.logLine);
    if (!next.statusText.isEmpty())
        setStatusText(next.statusText);
    if (next.displayIdle)
        UI_UpdateUIUpgState(1);
    switch (next.action) {
    case upg::NextStep::StartAntenna:
        UPG_StandaloneAntennaUpgrade();
        break;
    case upg::NextStep::StartPic:
        UPG_StandalonePICUpgrade();
        break;
    case upg::NextStep::None:
        break;
    }
}

void frmMain::UI_UpdateUIUpgState(int displayState)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_UpdateUIUpgState() : ") + QString::number(displayState));
    setFrameActive(frameBin, displayState == 2);
    setFrameActive(frameAntenna, displayState == 3);
    setFrameActive(framePIC, displayState == 4);
    switch (displayState) {
    case 0:
        WriteLog(qlog::LOG_ERR, QStringLiteral("Upgrade Progress State Invalid or Not Available Yet."));
        break;
    case 1:
        WriteLog(qlog::LOG_VRB, QStringLiteral("Upgrade Progress Complete.  Clear Pending requests: ") + QString::number(1));
        isUpgSwSelected = false;
        isUpgAntSelected = false;
        isUpgPicSelected = false;
        break;
    case 2:
    case 3:
    case 4:
        break;
    default:
        WriteLog(qlog::LOG_ERR, QStringLiteral("Unexpected Progress State, Clear Pending requests: ") + QString::number(displayState));
        isUpgSwSelected = false;
        isUpgAntSelected = false;
        isUpgPicSelected = false;
        break;
    }
}

namespace {
QString dottedVersion(const QString& underscored)
{
    return QString(underscored).replace(QLatin1Char('_'), QLatin1Char('.'));
}
}  // namespace

void frmMain::startReport(const QString& action, bool software, bool antenna, bool pic, const QString& newVersion)
{
    PendingReport r;
    r.action = action;
    r.software = software;
    r.antenna = antenna;
    r.pic = pic;
    r.softwareBefore = txtCurrentSoftwareVersion->text();
    r.antennaBefore = QStringLiteral("ATB ") + txtAntATBver->text() + QStringLiteral(", HPA ") + txtAntHPAver->text();
    r.picBefore = txtTermPICVersion->text();
    r.softwareExpected = dottedVersion(newVersion);
    report_ = r;
}

void frmMain::concludeReport()
{
    if (!report_ || unloaded_)
        return;
    const PendingReport r = *std::exchange(report_, std::nullopt);
    QList<verdict::Item> items;
    if (r.software)
        items << verdict::software(r.softwareBefore, txtCurrentSoftwareVersion->text(), r.softwareExpected,
                                   isBootRomMode);
    if (r.antenna) {
        const verdict::AntennaFiles files{strLocAtbFile.isEmpty() ? QString() : strLocAtbVer,
                                          strLocHpaFile.isEmpty() ? QString() : strLocHpaVer,
                                          strLocIacFile.isEmpty() ? QString() : strLocIacVer};
        items << verdict::antenna(r.antennaBefore, txtAntATBver->text(), txtAntHPAver->text(), files, isBootRomMode);
    }
    if (r.pic) {
        verdict::Item i =
            verdict::pic(r.picBefore, txtTermPICVersion->text(), dottedVersion(strLocalPicVersion), isBootRomMode);
        if (!i.took && !r.picWhy.isEmpty())
            i.why = r.picWhy;
        items << i;
    }
    verdict::Summary s = verdict::summarize(r.action, items);
    if (!r.advice.isEmpty())
        s.box += zing::kCrLf + zing::kCrLf + r.advice;
    for (const QString& line : s.box.split(zing::kCrLf, Qt::SkipEmptyParts))
        WriteLog(s.took ? qlog::LOG_INF : qlog::LOG_ERR, line);
    lastVerdict_ = VerdictShown{items, s.box};
    setStatusText(s.status);
    // A terminal left in its Boot ROM is not ready, whatever FTP can still do.
    if (!s.took && isBootRomMode)
        setStatusLedColour(255);
    msgBox(s.box, MsgButtons::OK, s.took ? MsgIcon::Information : MsgIcon::Exclamation,
           s.took ? strWindowTitle : zing::kTitleFault);
}
