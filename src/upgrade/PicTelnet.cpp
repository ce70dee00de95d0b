// The telnet dialogue of the PIC upgrade: the preparation phase at the
// configured address (battery check, descriptor swapped for the PIC file,
// reset into the Boot ROM) and the reflash phase at the default address
// (descriptor put back, battery check, reflash).
//
// Each step tests all the text received since its command was sent, so an
// answer that TCP delivers in pieces is read whole, and the descriptor is
// only touched once the shell has shown what image.txt and uimage.txt hold.
#include "app/frmMain.h"

#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "upgrade/PicLogic.h"
#include "zing/ZingTexts.h"

namespace {

// One read of the shell's output takes at most this much; the rest is the next piece.
constexpr int kPieceChars = 4000;
// Verdict-less answers to pic_data_show before the reflash phase gives up.
constexpr int kMaxPicDataAnswers = 10;

const QString kBatteryRemoved = QStringLiteral("PIC Upgrade failure. \r\n\r\n Reason for failure : \r\n     - Battery "
                                               "detected.\r\nPIC firmware has not been Upgraded.\r\n");
const QString kNothingChanged =
    QStringLiteral("The Satellite IP Modem's image file was not changed: it starts its software as before.");

}  // namespace

void frmMain::telnetShell_DataArrival(const QByteArray& bytes)
{
    for (qsizetype at = 0; at < bytes.size() && !unloaded_; at += kPieceChars)
        telnetPiece(bytes.mid(at, kPieceChars));
}

void frmMain::telnetShell_Close()
{
    if (!isPicShellListening_)
        return;
    WriteLog(qlog::LOG_INF, QStringLiteral("The Satellite IP Modem closed the shell session in ") +
                                Util_PicUpgStateName(picUpgradeState) + QLatin1Char('.'));
    switch (picUpgradeState) {
    case PIC_UPG_STATE_PREP_INIT_CONNECT:
    case PIC_UPG_STATE_INIT_CONNECT:
        tmrTelnetConnect_Timer();
        break;
    case PIC_UPG_STATE_REFLASH_SENT:
        // The reflash restarts or switches off the terminal; what it did is
        // read back once the terminal is up again.
        picReflashDone(QStringLiteral("Modem will Restart after PIC Upgrade.  Please DO NOT Interrupt !"));
        break;
    default:
        picStopped(QStringLiteral("PIC Upgrade failed: the Satellite IP Modem closed the shell session."));
        break;
    }
}

void frmMain::sendTelnet(const QByteArray& line, bool secret)
{
    // The next step reads only what answers this line.
    noteShellLeftOut();
    // The password never reaches the log.
    if (!secret)
        WriteLog(qlog::LOG_DET, TraceOut(line, int(line.size())));
    telnetShell->sendData(line);
}

void frmMain::noteShellLeftOut()
{
    if (const qint64 leftOut = picShell_.restart(); leftOut > 0)
        WriteLog(qlog::LOG_INF, QStringLiteral("Shell output: %1 bytes not written to the log").arg(leftOut));
}

void frmMain::logPiece(const QString& prefix, const QByteArray& piece, int level)
{
    // A shell may echo the password, at once, late or in pieces.
    const QByteArray shown = picEcho_.pass(piece);
    logShell(level, prefix + Util_PrintableBytes(shown, int(shown.size())));
}

QString frmMain::shellShown(const QString& text, int length)
{
    const QByteArray shown = pic::masked(text.toLatin1());
    return Util_PrintableBytes(shown, length);
}

// A line written for each piece of the shell's output: within the step's share of the log.
void frmMain::logShell(int level, const QString& line)
{
    if (picShell_.mayLog(line.size()))
        WriteLog(level, line);
}

void frmMain::telnetPiece(const QByteArray& piece)
{
    const int32_t state = picUpgradeState;
    // Once an attempt is over, whatever the shell still says starts nothing.
    if (!isPicShellListening_)
        return;
    if (pic::pieceLogPrefix(state).isNull())
        return;
    picShell_.add(piece);
    const QString header = QString(42, QLatin1Char('_'));
    if (picShell_.mayLog(header.size() + 64)) {
        WriteLog(qlog::LOG_DET, header);
        WriteLog(qlog::LOG_DET, QStringLiteral("telnetShell_DataArrival()"));
        WriteLog(qlog::LOG_INF, QStringLiteral(" ----------- STATE: ") + Util_PicUpgStateName(state));
    }
    logPiece(pic::pieceLogPrefix(state), piece);
    picStepOn(state, picShell_.text());
}

void frmMain::picStepOn(int32_t state, const QString& text)
{
    const bool prep = state < PIC_UPG_STATE_PREP_REBOOT || state == PIC_UPG_STATE_PREP_CHK_BKUP_IMG;
    const pic::Answer answer = pic::answerOf(text, state == PIC_UPG_STATE_LOGGEDIN ? 2 : 1);
    switch (state) {
    case PIC_UPG_STATE_PREP_INIT_CONNECT:
    case PIC_UPG_STATE_INIT_CONNECT:
        picLogin(text);
        break;
    case PIC_UPG_STATE_PREP_UNAME_SENT:
    case PIC_UPG_STATE_UNAME_SENT:
        if (text.contains(QLatin1String("Password:"))) {
            WriteLog(qlog::LOG_DET, QStringLiteral("Sending Password..."));
            sendTelnet(pic::cmd::password(), true);
            setPicState(state + 1);
            setStatusText(QStringLiteral("Connecting..."));
        }
        break;
    case PIC_UPG_STATE_PREP_PASSWD_SENT:
    case PIC_UPG_STATE_PASSWD_SENT:
        if (pic::hasShellPrompt(text)) {
            if (prep)
                picStep(pic::cmd::changeDirectory(), PIC_UPG_STATE_PREP_LOGGEDIN, QStringLiteral("Connected"));
            else
                picStep(pic::cmd::restoreCheck(), PIC_UPG_STATE_LOGGEDIN, QStringLiteral("Recovering Image."));
        }
        break;
    case PIC_UPG_STATE_PREP_LOGGEDIN:
        SetMouseCursor(1);
        if (answer.ok())
            picStep(pic::cmd::batteryQuery(), PIC_UPG_STATE_PREP_CHECK_BATT, QStringLiteral("Preparing for PIC Upgrade."));
        else if (answer.complete)
            picStopped(QStringLiteral("PIC Upgrade stopped: the Satellite IP Modem's shell could not change to its flash "
                                      "folder /tffs0/."));
        break;
    case PIC_UPG_STATE_PREP_CHECK_BATT:
        // The rest of an answer that came while the user decides asks nothing twice.
        if (!isPicAskingUser_)
            picPrepBattery(text, answer);
        break;
    case PIC_UPG_STATE_PREP_CHK_IMG:
        SetMouseCursor(1);
        if (answer.complete) {
            picImageShown_ = pic::shown(answer);
            WriteLog(qlog::LOG_INF, QStringLiteral("image.txt on the terminal: ") + pic::shownName(picImageShown_));
            picStep(pic::cmd::showBackup(), PIC_UPG_STATE_PREP_CHK_BKUP_IMG, QStringLiteral("Preparing for PIC Upgrade..."));
        }
        break;
    case PIC_UPG_STATE_PREP_CHK_BKUP_IMG:
        SetMouseCursor(1);
        if (answer.complete)
            picPrepDescriptor(pic::shown(answer));
        break;
    case PIC_UPG_STATE_PREP_BKUP_IMG:
        SetMouseCursor(1);
        if (answer.ok()) {
            picStep(pic::cmd::replaceDescriptor(), PIC_UPG_STATE_PREP_CREATE_XIMG,
                    QStringLiteral("Preparing for PIC Upgrade..."));
        } else if (answer.complete) {
            // A move that failed moved nothing.
            isPicImageSwapped_ = false;
            picStopped(QStringLiteral("PIC Upgrade stopped: the Satellite IP Modem could not back up its image file "
                                      "(image.txt)."));
        }
        break;
    case PIC_UPG_STATE_PREP_CREATE_XIMG:
        SetMouseCursor(1);
        // A failed copy leaves no image.txt: the terminal reaches its Boot ROM all the same.
        if (answer.complete)
            picPrepared();
        break;
    case PIC_UPG_STATE_LOGGEDIN:
        SetMouseCursor(1);
        if (answer.complete) {
            picBackupShown_ = pic::shown(answer);
            WriteLog(qlog::LOG_INF, QStringLiteral("uimage.txt on the terminal: ") + pic::shownName(picBackupShown_));
            picStep(pic::cmd::showDescriptor(), PIC_UPG_STATE_CHK_IMG, QStringLiteral("Recovering Image."));
        } else {
            logShell(qlog::LOG_INF, QStringLiteral("Waiting for response..."));
        }
        break;
    case PIC_UPG_STATE_CHK_IMG:
        SetMouseCursor(1);
        if (answer.complete)
            picRestoreDescriptor(pic::shown(answer));
        break;
    case PIC_UPG_STATE_RECOVER_IMG:
        SetMouseCursor(1);
        if (answer.ok()) {
            isPicImageSwapped_ = false;
            picStep(pic::cmd::batteryQuery(), PIC_UPG_STATE_CHECK_BATT, QStringLiteral("Checking Battery presence."));
        } else if (answer.complete) {
            picStopped(QStringLiteral("PIC Upgrade failed: the Satellite IP Modem could not put its image file "
                                      "(image.txt) back."));
        }
        break;
    case PIC_UPG_STATE_CHECK_BATT:
        picReflashBattery(text, answer);
        break;
    case PIC_UPG_STATE_REFLASH_SENT:
        picReflashOutput(text);
        break;
    default:
        break;
    }
}

void frmMain::armPicWatchdog()
{
    tmrPicUpgrCnt->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = True"));
}

void frmMain::closePicShell()
{
    isPicShellListening_ = false;
    noteShellLeftOut();
    telnetShell->close();
}

// Every way out of an attempt that ends it here: the shell closed and deaf,
// the watchdogs stopped, the state at rest and the sequence ended, so that
// nothing starts the chain again unless the user asks.
void frmMain::picAttemptEnds(const QString& why)
{
    if (report_ && report_->picWhy.isEmpty())
        report_->picWhy = why;
    closePicShell();
    tmrTelnetConnect->disable();
    tmrPicUpgrCnt->disable();
    picUpgRetryCount = 0;
    if (picUpgradeState != PIC_UPG_STATE_INIT_CONNECT)
        setPicState(PIC_UPG_STATE_INIT_CONNECT);
    WriteLog(qlog::LOG_INF, why + QStringLiteral(".  Upgrade ended."));
    currUpgradeState = UPG_STATE_IDLE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    UI_UpdateUIUpgState(1);
    SetMouseCursor(0);
}

// A stop with a box that says what became of the descriptor.
void frmMain::picStopped(const QString& reason)
{
    const bool prep = picUpgradeState < PIC_UPG_STATE_PREP_REBOOT || picUpgradeState == PIC_UPG_STATE_PREP_CHK_BKUP_IMG;
    WriteLog(qlog::LOG_ERR, reason);
    if (report_)
        report_->picWhy = reason;
    picAttemptEnds(QStringLiteral("PIC Upgrade stopped"));
    setStatusText(QStringLiteral("PIC Upgrade Failed !"));
    QString box = reason;
    if (isPicImageSwapped_)
        box += zing::kCrLf + pic::kBootRomNote;
    else if (prep)
        box += zing::kCrLf + kNothingChanged;
    msgBox(box + zing::kCrLf + QStringLiteral("Please refer to the Help menu if needed."), MsgButtons::OK,
           MsgIcon::Exclamation, zing::kTitleFault);
}

void frmMain::picStep(const QByteArray& line, int32_t next, const QString& status)
{
    sendTelnet(line);
    setPicState(next);
    setStatusText(status);
    armPicWatchdog();
}

void frmMain::picLogin(const QString& text)
{
    const bool prep = picUpgradeState == PIC_UPG_STATE_PREP_INIT_CONNECT;
    if (pic::isLoginPrompt(text)) {
        tmrTelnetConnect->disable();
        // A shell that falls silent during the login must not leave the upgrade waiting.
        picStep(pic::cmd::userName(), prep ? PIC_UPG_STATE_PREP_UNAME_SENT : PIC_UPG_STATE_UNAME_SENT,
                QStringLiteral("Connecting..."));
    } else if (pic::hasShellPrompt(text)) {
        tmrTelnetConnect->disable();
        WriteLog(qlog::LOG_INF, QStringLiteral("Connect outcome:") + shellShown(text, 200));
        // Without a login the reflash phase still looks for the backup before it touches anything.
        if (prep)
            picStep(pic::cmd::changeDirectory(), PIC_UPG_STATE_PREP_LOGGEDIN, QStringLiteral("Connected"));
        else
            picStep(pic::cmd::restoreCheck(), PIC_UPG_STATE_LOGGEDIN, QStringLiteral("Recovering Image."));
    } else if (pic::isSessionLimit(text)) {
        tmrTelnetConnect->disable();
        UPG_AbortPICUpgrade(QStringLiteral("Make sure there is no other active Telnet session to the TE."));
    }
}

void frmMain::picPrepBattery(const QString& text, const pic::Answer& answer)
{
    SetMouseCursor(1);
    const pic::Battery verdict = pic::batteryVerdict(text);
    if (verdict == pic::Battery::Present) {
        WriteLog(qlog::LOG_DET, QStringLiteral("PIC UPGRADE FAILURE (BATT_PRESENT): ") + shellShown(text, 200));
        picAttemptEnds(QStringLiteral("PIC Upgrade not done: battery present"));
        setStatusText(QStringLiteral("Battery Present.  PIC Upgrade prevented."));
        msgBox(kBatteryRemoved + QStringLiteral("Remove the Battery and retry the PIC Upgrade.\r\nAlso refer to the Help "
                                                "menu if needed.\r\n"),
               MsgButtons::OK, MsgIcon::Critical, zing::kTitleUserAction);
        return;
    }
    // The rest of the answer may still say the battery is there.
    if (!answer.complete) {
        logShell(qlog::LOG_DET, QStringLiteral("Just waiting for PIC info."));
        return;
    }
    if (verdict == pic::Battery::Absent) {
        WriteLog(qlog::LOG_DET, QStringLiteral("cd outcome: ") + shellShown(answer.value, 80));
        picStep(pic::cmd::showDescriptor(), PIC_UPG_STATE_PREP_CHK_IMG, QStringLiteral("Continuing with PIC Upgrade."));
        return;
    }
    WriteLog(qlog::LOG_INF, QStringLiteral("Warning: unable to determine Battery Presence (pic_data_show failed)"));
    // The watchdog must not give up while the user decides, and an answer
    // that comes after the upgrade moved on changes nothing.
    tmrPicUpgrCnt->disable();
    isPicAskingUser_ = true;
    const MsgResult choice =
        msgBox(QStringLiteral("Battery Presence Could NOT Be Determined!\r\n\r\nUpgrading PIC with battery present may "
                              "damage the terminal.\r\n\r\nDo you want to proceed upgrading the PIC anyway?"),
               MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No);
    isPicAskingUser_ = false;
    if (unloaded_ || !isPicShellListening_ || picUpgradeState != PIC_UPG_STATE_PREP_CHECK_BATT)
        return;
    if (choice != MsgResult::Yes) {
        const QString why = QStringLiteral("Battery Presence unknown and user opted to stop.  PIC Upgrade aborted.");
        WriteLog(qlog::LOG_INF, why);
        picAttemptEnds(why);
        setStatusText(why);
        return;
    }
    WriteLog(qlog::LOG_INF, QStringLiteral("Battery Presence unknown and user opted to proceed anyway."));
    picStep(pic::cmd::showDescriptor(), PIC_UPG_STATE_PREP_CHK_IMG,
            QStringLiteral("Continuing with PIC Upgrade (at risk - unknown battery presence)."));
}

// Both descriptors shown: the one step that may change image.txt, chosen so
// that whatever names the executable is never overwritten or removed.
void frmMain::picPrepDescriptor(pic::Shown backup)
{
    WriteLog(qlog::LOG_INF, QStringLiteral("uimage.txt on the terminal: ") + pic::shownName(backup));
    const QString status = QStringLiteral("Preparing for PIC Upgrade...");
    switch (pic::prepAction(picImageShown_, backup)) {
    case pic::PrepAction::BackUp:
        isPicImageSwapped_ = true;
        picStep(pic::cmd::backUpDescriptor(), PIC_UPG_STATE_PREP_BKUP_IMG, status);
        return;
    case pic::PrepAction::Replace:
        isPicImageSwapped_ = true;
        picStep(pic::cmd::replaceDescriptor(), PIC_UPG_STATE_PREP_CREATE_XIMG, status);
        return;
    case pic::PrepAction::AlreadySwapped:
        WriteLog(qlog::LOG_INF, QStringLiteral("image.txt already holds the PIC file: restarting into the Boot ROM."));
        isPicImageSwapped_ = true;
        picPrepared();
        return;
    case pic::PrepAction::StaleBackup:
        picStopped(QStringLiteral("PIC Upgrade stopped: the Satellite IP Modem holds a backup image file (uimage.txt) "
                                  "beside its image file (image.txt), both naming software, left by an earlier PIC "
                                  "Upgrade; neither may be overwritten."));
        return;
    }
}

// The descriptor now sends the terminal to its Boot ROM: reset it there.
void frmMain::picPrepared()
{
    tmrFiveSecDelayedReset->enable();
    isUseDefaultIp = true;
    WriteLog(qlog::LOG_DET, QStringLiteral("Bootmode PIC Upgrade Reset: True"));
    setPicState(PIC_UPG_STATE_PREP_REBOOT);
    setStatusText(QStringLiteral("Restart terminal prior to PIC reflash."));
    closePicShell();
    setStatusText(QStringLiteral("PIC Upgrade will continue after Restart.  Please DO NOT Interrupt !"));
}

void frmMain::picRestoreDescriptor(pic::Shown image)
{
    WriteLog(qlog::LOG_INF, QStringLiteral("image.txt on the terminal: ") + pic::shownName(image));
    switch (pic::restoreAction(picBackupShown_, image)) {
    case pic::RestoreAction::Restore:
        picStep(pic::cmd::restoreDescriptor(), PIC_UPG_STATE_RECOVER_IMG, QStringLiteral("Recovering Image..."));
        return;
    case pic::RestoreAction::Remove:
        picStep(pic::cmd::removeDescriptor(), PIC_UPG_STATE_RECOVER_IMG, QStringLiteral("Recovering Image..."));
        return;
    case pic::RestoreAction::Nothing:
        // image.txt is the terminal's own (an earlier attempt put it back), or there is none to put back.
        WriteLog(qlog::LOG_INF, QStringLiteral("Nothing to put back: the descriptors stay as they are."));
        isPicImageSwapped_ = false;
        picStep(pic::cmd::batteryQuery(), PIC_UPG_STATE_CHECK_BATT, QStringLiteral("Checking Battery presence."));
        return;
    }
}

void frmMain::picReflashBattery(const QString& text, const pic::Answer& answer)
{
    SetMouseCursor(1);
    const pic::Battery verdict = pic::batteryVerdict(text);
    if (verdict == pic::Battery::Present) {
        WriteLog(qlog::LOG_DET, QStringLiteral("FAILURE: battery present"));
        tmrPicUpgrCnt->disable();
        WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
        setPicState(PIC_UPG_STATE_BATT_REBOOT_WAIT);
        msgBox(kBatteryRemoved + QStringLiteral("Remove the Battery and retry the PIC Upgrade after the Powerup.\r\nAlso "
                                                "refer to the Help menu if needed.\r\n\r\nClick 'OK' to Restart Modem and "
                                                "continue.\r\n"),
               MsgButtons::OK, MsgIcon::Critical, zing::kTitleUserAction);
        if (unloaded_ || !isPicShellListening_)
            return;
        picRebootWithoutReflash(QStringLiteral("Battery present, skipping PIC Upgrade."));
        return;
    }
    if (!answer.complete)
        return;
    if (verdict == pic::Battery::Absent) {
        picStep(pic::cmd::reflash(), PIC_UPG_STATE_REFLASH_SENT, QStringLiteral("Sending PIC reflash command."));
        isConnRetryEnabled = true;
        connRetryCount = 0;
        return;
    }
    // Counted per whole answer; the query goes again until one has a verdict.
    ++picDataAnswers;
    WriteLog(qlog::LOG_DET, QStringLiteral("[") + QString::number(picDataAnswers) + QStringLiteral("] <<display pic-data: ") +
                                shellShown(answer.output, 200));
    if (picDataAnswers <= kMaxPicDataAnswers) {
        sendTelnet(pic::cmd::batteryQuery());
        return;
    }
    WriteLog(qlog::LOG_ERR, QStringLiteral("Unexpected PIC data.  Upgrade aborted."));
    tmrPicUpgrCnt->disable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgrCnt.Enabled = False"));
    setPicState(PIC_UPG_STATE_BATT_REBOOT_WAIT);
    msgBox(QStringLiteral("Unexpected PIC data.  PIC Upgrade aborted."), MsgButtons::OK, MsgIcon::Critical,
           zing::kTitleFault);
    if (!unloaded_ && isPicShellListening_)
        picRebootWithoutReflash(QStringLiteral("PIC Upgrade aborted.  Resetting Modem."));
}

// No reflash: the shell restarts the terminal, whose descriptor is already
// back; the session stays open until the reboot has run, but nothing it
// says moves the dialogue any more.
void frmMain::picRebootWithoutReflash(const QString& status)
{
    sendTelnet(pic::cmd::reboot());
    setStatusText(status);
    isPicShellListening_ = false;
    picReflash_ = pic::Reflash::Skipped;
    isPicVerdictDue_ = true;
    setPicState(PIC_UPG_STATE_WAIT_RESET);
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    isPicBattRebootWait = true;
    tmr40SecDelay->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmr40SecDelay.Enabled = True"));
    setStatusText(QStringLiteral("Resetting Modem.  Please wait..."));
}

void frmMain::picReflashOutput(const QString& text)
{
    SetMouseCursor(1);
    const bool reporting = pic::isReportingPlatform(connectedPlatformId) || pic::isReportingPlatform(packagedPlatformId);
    if (!reporting) {
        // These platforms print nothing more: their first answer ends the phase.
        // A failure value is a failed reflash, not a reason to wait for a success.
        switch (pic::quietReflash(text)) {
        case pic::QuietReflash::Wait:
            logShell(qlog::LOG_VRB, QStringLiteral("PIC Upgrade progressing..."));
            return;
        case pic::QuietReflash::Failed:
            picReflashFailed();
            return;
        case pic::QuietReflash::Done:
            picReflashDone(QStringLiteral("Modem will Restart after PIC Upgrade.  Please DO NOT Interrupt !"));
            return;
        }
        return;
    }
    if (text.contains(QLatin1String("PIC Reflash Completed"))) {
        const bool restarts = connectedPlatformId == 9 || packagedPlatformId == 9;
        picReflashDone(restarts ? QStringLiteral("Modem will Restart after PIC Upgrade.  Please DO NOT Interrupt !")
                                : QStringLiteral("Modem will Power Off after PIC Upgrade.  Please DO NOT Interrupt !"));
    } else if (text.contains(QLatin1String("FAIL"))) {
        picReflashFailed();
    } else if (text.contains(QLatin1String("Recovery Mode"))) {
        // The empty line starts the next step's text: a later "Recovery Mode" is a new one.
        sendTelnet(pic::cmd::emptyLine());
        WriteLog(qlog::LOG_DET, QStringLiteral("Recovery-Mode: picUpgradeState = ") + Util_PicUpgStateName(picUpgradeState));
        setStatusText(QStringLiteral("Continuing PIC reflash..."));
    } else {
        logShell(qlog::LOG_VRB, QStringLiteral("PIC Upgrade progressing..."));
    }
}

void frmMain::picReflashFailed()
{
    WriteLog(qlog::LOG_DET, QStringLiteral("FAILURE: the reflash reported a failure"));
    picReflash_ = pic::Reflash::Failed;
    isPicVerdictDue_ = true;
    setPicState(PIC_UPG_STATE_WAIT_RESET);
    closePicShell();
    tmrPicUpgrCnt->disable();
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
    setStatusText(QStringLiteral("Modem will Restart momentarily.  Please DO NOT Interrupt !"));
    msgBox(QStringLiteral("PIC Upgrade failure. \r\n\r\n Possible reasons for failure : \r\n     - Battery only "
                          "operation.\r\n     - Corrupt PIC firmware.\r\n\r\nPIC firmware has not been Upgraded.\r\n"
                          "Please refer to the Help menu if needed.\r\n\r\nClick 'OK' to Restart Modem and continue.\r\n"),
           MsgButtons::OK, MsgIcon::Critical, zing::kTitleFault);
    if (unloaded_)
        return;
    // The Boot ROM answers at the default address, not at the configured one.
    isResetAtDefaultIp_ = true;
    tmrFiveSecDelayedReset->enable();
}

void frmMain::picReflashDone(const QString& status)
{
    picReflash_ = pic::Reflash::Done;
    isPicVerdictDue_ = true;
    setPicState(PIC_UPG_STATE_WAIT_RESET);
    closePicShell();
    setStatusText(status);
    tmrPicUpgResetDelay->enable();
    WriteLog(qlog::LOG_DET, QStringLiteral("tmrPicUpgResetDelay.Enabled = True"));
    currUpgradeState = UPG_STATE_PIC_DONE;
    WriteLog(qlog::LOG_INF, QStringLiteral("currUpgradeState = ") + upgStateName(currUpgradeState));
}
