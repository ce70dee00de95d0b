// Busy, idle and no-FTP states of the window's commands; status light,
// status line and frame colours.
#include "app/frmMain.h"

#include "ftp/FtpLogic.h"
#include "platform/EventPump.h"
#include "platform/Timer.h"
#include "ui/StatusLight.h"
#include "ui/TerminalWork.h"
#include "zing/ZingMessage.h"
#include "zing/ZingTexts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

namespace {
// Mouse pointer codes of the original: default and arrow with hourglass.
constexpr int kPointerDefault = 0;
constexpr int kPointerBusy = 13;
const QColor kFrameActive(192, 255, 192);
}  // namespace

bool frmMain::SetMouseCursor(int mode)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> SetMouseCursor()"));
    switch (mode) {
    case 1:
        mousePointer_ = kPointerBusy;
        if (!busyCursorShown_) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
            busyCursorShown_ = true;
        }
        DisableButtons();
        return true;
    case 0:
        mousePointer_ = kPointerDefault;
        if (busyCursorShown_) {
            QApplication::restoreOverrideCursor();
            busyCursorShown_ = false;
        }
        EnableButtons();
        return true;
    default:
        return false;
    }
}

void frmMain::EnableButtons()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> EnableButtons()"));
    for (QAction* a : {cmdSetModemIP, cmdGetSoftwareVersion, cmdDownloadLog, cmdRestoreDefaults, cmdResetModem})
        a->setEnabled(true);
    cmdUpgrade->setEnabled(true);
    cmdRestore->setEnabled(true);
    for (QAction* a : {cmdUpgradeMenu, cmdRestoreMenu, mnuFileExit, mnuHelpAbout})
        a->setEnabled(true);
    txtIPAddress->setEnabled(true);
    chkBinUpg->setEnabled(true);
    if (!isPicFwOk) {
        cmdPicUpgradeMenu->setEnabled(false);
        chkPICUpg->setChecked(false);
        chkPICUpg->setEnabled(false);
    } else {
        cmdPicUpgradeMenu->setEnabled(true);
        if (!isUpgPicSelected)
            chkPICUpg->setChecked(false);
        chkPICUpg->setEnabled(true);
    }
    if (isAntennaFwOk) {
        cmdAntUpgradeMenu->setEnabled(true);
        chkAntUpg->setEnabled(true);
    }
    setMenuEnabled(mnuFile, true);
    setMenuEnabled(mnuTools, true);
    setMenuEnabled(mnuHelp, true);
    mnuFileExit->setEnabled(true);
    setEnabled(true);
    if (terminalAtWork())
        keepTerminalAtWork();
}

void frmMain::beginTerminalWork()
{
    isTerminalWorkStarted_ = true;
    workGuard_->start();
}

bool frmMain::terminalAtWork() const
{
    return isTerminalWorkStarted_ && !unloaded_;
}

// Between the busy steps of a change to the terminal, nothing that would
// interfere with it may be started; Help stays, and closing asks first.
void frmMain::keepTerminalAtWork()
{
    for (QAction* a : {cmdSetModemIP, cmdGetSoftwareVersion, cmdRestoreDefaults, cmdResetModem, cmdUpgradeMenu,
                       cmdRestoreMenu, cmdAntUpgradeMenu, cmdPicUpgradeMenu})
        a->setEnabled(false);
    cmdUpgrade->setEnabled(false);
    cmdRestore->setEnabled(false);
    txtIPAddress->setEnabled(false);
    for (QCheckBox* c : {chkBinUpg, chkAntUpg, chkPICUpg})
        c->setEnabled(false);
    setMenuEnabled(mnuTools, false);
    workGuard_->start();
    // Looked at again as soon as this handler is done, when it was the work's last step.
    QTimer::singleShot(0, this, [this] { workGuard_Timer(); });
}

std::optional<work::Doing> frmMain::terminalWork() const
{
    if (!terminalAtWork() || nothingRunning())
        return std::nullopt;
    const int32_t ftp = isFtpDone ? 0 : currFtpState;
    if (isPicShellListening_ || isPicVerdictDue_ || ftp == ftp::UPGRADE_PIC_SA_CMD || tmrPicUpgrCnt->enabled() ||
        tmrTelnetConnect->enabled() || tmrPicUpgResetDelay->enabled() ||
        (picUpgradeState > 0 && picUpgradeState < PIC_UPG_STATE_INIT_CONNECT))
        return work::Doing::Pic;
    // The antenna request counts from its connect on, before its answer is awaited.
    const bool antennaAsked = currZingCmd == zing::UPGRADE_ANT_FW && (tmrConnect->enabled() || tmrResponse->enabled());
    if (antennaAsked || isAntUpgRespPending || tmrAntUpgDelay->enabled() || ftp == ftp::UPGRADE_ANTENNA_ATB_CMD ||
        ftp == ftp::UPGRADE_ANTENNA_HPA_CMD || ftp == ftp::UPGRADE_ANTENNA_IAC_CMD)
        return work::Doing::Antenna;
    // The close after a log download or an antenna upload is no software work.
    if ((ftp != 0 && ftp != ftp::CLOSE_CONNECTION && ftp != ftp::GET_LOG_CMD) || tmrDelayedSwUpgIgnite->enabled() ||
        tmrImagePutTrig->enabled() ||
        upgPrepState == UPG_PREP_FS_READY || upgPrepState == UPG_PREP_STACK_READY || isSoftwareResetDue_)
        return work::Doing::Software;
    return work::Doing::Restart;
}

bool frmMain::mayCloseNow()
{
    const std::optional<work::Doing> doing = terminalWork();
    if (!doing)
        return true;
    return msgBox(work::closeQuestion(*doing), MsgButtons::YesNo, MsgIcon::Exclamation, zing::kTitleUserAction,
                  MsgResult::No) == MsgResult::Yes;
}

// Looked at from the event loop only: inside a handler, the next step of the
// work may not be armed yet.
void frmMain::workGuard_Timer()
{
    // The work is over once nothing of it runs any more. A handler waiting
    // halfway through its step has not armed its next one yet.
    if (isTerminalWorkStarted_ && (!nothingRunning() || EventPump::depth() > 0))
        return;
    isTerminalWorkStarted_ = false;
    workGuard_->stop();
    concludeReport();
    // The controls come back as the end of the work left them.
    if (mousePointer_ == 0 && !unloaded_)
        EnableButtons();
}

void frmMain::DisableButtons()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> DisableButtons()"));
    for (QAction* a : {cmdSetModemIP, cmdGetSoftwareVersion, cmdDownloadLog, cmdRestoreDefaults, cmdResetModem})
        a->setEnabled(false);
    cmdUpgrade->setEnabled(false);
    cmdRestore->setEnabled(false);
    for (QAction* a : {cmdUpgradeMenu, cmdRestoreMenu, cmdPicUpgradeMenu, mnuHelpAbout, mnuFileExit})
        a->setEnabled(false);
    txtIPAddress->setEnabled(false);
    cmdAntUpgradeMenu->setEnabled(false);
    for (QCheckBox* c : {chkBinUpg, chkAntUpg, chkPICUpg})
        c->setEnabled(false);
    setMenuEnabled(mnuFile, false);
    setMenuEnabled(mnuTools, false);
    setMenuEnabled(mnuHelp, false);
    setEnabled(false);
}

void frmMain::DisableFTPbuttons()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> DisableFTPbuttons()"));
    cmdUpgrade->setEnabled(false);
    cmdRestore->setEnabled(false);
    cmdUpgradeMenu->setEnabled(false);
    cmdRestoreMenu->setEnabled(false);
    txtIPAddress->setEnabled(false);
    cmdPicUpgradeMenu->setEnabled(false);
    cmdAntUpgradeMenu->setEnabled(false);
}

void frmMain::setStatusLedColour(int colourValue)
{
    statusLED->setFillColour(colourValue);
}

int frmMain::statusLedColour() const
{
    return statusLED->fillColour();
}

void frmMain::setFrameActive(QGroupBox* frame, bool active)
{
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, active ? kFrameActive : QApplication::palette().color(QPalette::Button));
    frame->setPalette(pal);
    frame->setProperty("active", active);
}

bool frmMain::isFrameActive(const QGroupBox* frame)
{
    return frame->property("active").toBool();
}

void frmMain::setStatusText(const QString& text)
{
    sbUpgrade->setText(text);
    // A text longer than the line shows its beginning, where it says what
    // happened; the whole of it is in the tool tip.
    sbUpgrade->setCursorPosition(0);
    sbUpgrade->setToolTip(text);
}

QString frmMain::statusText() const
{
    return sbUpgrade->text();
}
