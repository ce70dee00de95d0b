#include "upgrade/PicLogic.h"

#include "app/UpgraderState.h"
#include "ftp/FtpLogic.h"
#include "ident/VersionText.h"
#include "log/LogFormat.h"

#include <algorithm>
#include <utility>

namespace pic {

namespace {

const QString kUnknown = QStringLiteral("UNKNOWN");

// What follows the first ":" and the one character after it, blanks trimmed.
QString afterColon(const QString& text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : text.mid(colon + 2).trimmed();
}

QByteArray line(const QByteArray& text)
{
    return text + "\r\n";
}

const QByteArray kPassword = QByteArrayLiteral("skywardly");

}  // namespace

QString fileVersion(const QString& fileName)
{
    const qsizetype underscore = fileName.indexOf(QLatin1Char('_'));
    const QString rest = underscore < 0 ? fileName : fileName.mid(underscore + 1);
    const qsizetype extension = rest.indexOf(QLatin1String(".s19"), 0, Qt::CaseInsensitive);
    return extension < 0 ? rest : rest.left(extension);
}

QString terminalVersion(const QString& text, bool fromVersionText)
{
    const qsizetype at = text.indexOf(QLatin1String("PIC: "));
    if (at < 0)
        return kUnknown;
    QString entry = text.mid(at);
    if (fromVersionText) {
        // The PIC entry, a line break, then the FPGA entry.
        const qsizetype fpga = entry.indexOf(QLatin1String("FPGA: "));
        if (fpga < 2)
            return kUnknown;
        entry = entry.left(fpga - 2);
    } else {
        const qsizetype end = entry.indexOf(QLatin1String("\r\n"));
        if (end < 0)
            return kUnknown;
        entry = entry.left(end);
    }
    const QString version = afterColon(entry);
    return version.isEmpty() ? kUnknown : version;
}

namespace cmd {
QByteArray userName() { return line("qorauser"); }
QByteArray password() { return line(kPassword); }
QByteArray changeDirectory() { return line("cd \"/tffs0/\""); }
QByteArray batteryQuery() { return line("pic_data_show"); }
QByteArray showDescriptor() { return line("copy \"image.txt\""); }
QByteArray showBackup() { return line("copy \"uimage.txt\""); }
QByteArray backUpDescriptor() { return line("mv \"image.txt\",\"uimage.txt\""); }
QByteArray replaceDescriptor() { return line("copy \"pic.s19\",\"image.txt\""); }
QByteArray restoreCheck() { return line("cd \"/tffs0/\"; copy \"uimage.txt\""); }
QByteArray restoreDescriptor() { return line("mv \"uimage.txt\", \"image.txt\""); }
QByteArray removeDescriptor() { return line("rm \"image.txt\""); }
QByteArray reflash() { return line("pic_driver_reflash 1"); }
QByteArray reboot() { return line("pwd;sleep(4);reboot"); }
QByteArray emptyLine() { return line(QByteArray()); }
}  // namespace cmd

bool isLoginPrompt(const QString& text)
{
    return text.contains(QLatin1String("VxWorks login:")) ||
           (text.contains(QLatin1String("Username:")) &&
            (text.contains(QLatin1String("[BSP 2A]")) || text.contains(QLatin1String("[BSP 2C]"))));
}

bool hasShellPrompt(const QString& text)
{
    return text.contains(QLatin1String("->"));
}

bool isSessionLimit(const QString& text)
{
    return text.contains(QLatin1String("Sorry, session limit reached."));
}

bool isSuccessValue(const QString& text)
{
    return text.contains(QLatin1String("value = 0 = 0x0"));
}

bool isFailureValue(const QString& text)
{
    return text.contains(QLatin1String("value = -1 = 0xffffffff"));
}

bool hasValue(const QString& text)
{
    return text.contains(QLatin1String("value = "));
}

Answer answerOf(const QString& text, int commands)
{
    Answer a;
    qsizetype outputFrom = 0;
    qsizetype at = 0;
    for (int n = 1; n <= commands; ++n) {
        const qsizetype start = text.indexOf(QLatin1String("value = "), at);
        if (start < 0)
            return a;
        const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            return a;  // the line is still arriving
        if (n == commands) {
            a.complete = true;
            a.output = text.mid(outputFrom, start - outputFrom);
            a.value = text.mid(start, end - start).trimmed();
        }
        outputFrom = at = end + 1;
    }
    return a;
}

Battery batteryVerdict(const QString& answer)
{
    if (answer.contains(QLatin1String("BATT_PRESENT=1")))
        return Battery::Present;
    if (answer.contains(QLatin1String("FAIL")) || answer.contains(QLatin1String("BATT_PRESENT=0")) ||
        answer.contains(QLatin1String("ERROR")))
        return Battery::Absent;
    if (answer.contains(QLatin1String("PIC Data Array")) || answer.contains(QLatin1String("pic_poll_data: failed")))
        return Battery::Unknown;
    return Battery::NoVerdict;
}

Shown shown(const Answer& a)
{
    if (a.failed())
        return Shown::Missing;
    // The rule the software upgrade trusts a fetched descriptor by; a file
    // that names no executable cannot start the terminal's software.
    return a.ok() && !ftp::checkImage(a.output.toLatin1()).valid ? Shown::PicCopy : Shown::Descriptor;
}

QString shownName(Shown s)
{
    switch (s) {
    case Shown::Missing:
        return QStringLiteral("missing");
    case Shown::PicCopy:
        return QStringLiteral("no executable named (the PIC file's copy)");
    case Shown::Descriptor:
        break;
    }
    return QStringLiteral("names the executable");
}

PrepAction prepAction(Shown image, Shown backup)
{
    switch (image) {
    case Shown::Descriptor:
        return backup == Shown::Missing ? PrepAction::BackUp : PrepAction::StaleBackup;
    case Shown::PicCopy:
        return PrepAction::AlreadySwapped;
    case Shown::Missing:
        break;
    }
    return PrepAction::Replace;
}

RestoreAction restoreAction(Shown backup, Shown image)
{
    if (backup == Shown::Descriptor)
        return image == Shown::Descriptor ? RestoreAction::Nothing : RestoreAction::Restore;
    return image == Shown::PicCopy ? RestoreAction::Remove : RestoreAction::Nothing;
}

QuietReflash quietReflash(const QString& text)
{
    const Answer a = answerOf(text);
    if (a.complete)
        return a.failed() ? QuietReflash::Failed : QuietReflash::Done;
    const QString echo = QString::fromLatin1(cmd::reflash()).trimmed();
    QString rest = text.trimmed();
    if (echo.startsWith(rest))
        return QuietReflash::Wait;  // the echo, or its start
    if (rest.startsWith(echo))
        rest = rest.mid(echo.size()).trimmed();
    return rest.isEmpty() || hasValue(rest) ? QuietReflash::Wait : QuietReflash::Done;
}

void ShellText::add(const QByteArray& piece)
{
    text_ += piece;
    if (text_.size() > kKeepBytes)
        text_.remove(0, text_.size() - kKeepBytes);
}

bool ShellText::mayLog(qint64 lineBytes)
{
    if (logged_ + lineBytes > kLogBytes) {
        leftOut_ += lineBytes;
        logged_ = kLogBytes;
        return false;
    }
    logged_ += lineBytes;
    return true;
}

QByteArray masked(QByteArray text)
{
    return text.replace(kPassword, "********");
}

QByteArray EchoMask::pass(const QByteArray& piece)
{
    QByteArray text = masked(held_ + piece);
    qsizetype wait = std::min(kPassword.size() - 1, text.size());
    while (wait > 0 && !text.endsWith(kPassword.left(wait)))
        --wait;
    held_ = text.right(wait);
    text.chop(wait);
    return text;
}

qint64 ShellText::restart()
{
    text_.clear();
    logged_ = 0;
    return std::exchange(leftOut_, 0);
}

const QString kBootRomNote = QStringLiteral(
    "The Satellite IP Modem will start in its Boot ROM: running the PIC Upgrade again puts its image file back.");

Verdict judge(Reflash reflash, bool bootRom, bool backupLeft, const QString& reportedPic, const QString& fileVersion)
{
    Verdict v;
    // Both versions reach the log and the boxes: the terminal's as it sent it,
    // the file's from whatever name the folder holds.
    const QString expected = qlog::printableText(QString(fileVersion).replace(QLatin1Char('_'), QLatin1Char('.')));
    const QString reported = qlog::fromTerminal(reportedPic);
    if (reportedPic.isNull()) {
        v.status = QStringLiteral("PIC Upgrade outcome unknown: Satellite IP Modem not answering.");
        v.logLine = QStringLiteral("The Satellite IP Modem did not answer after the PIC Upgrade: whether its PIC was "
                                   "upgraded is not known.");
        v.box = v.logLine + QStringLiteral("\r\nPower cycle the Satellite IP Modem, read its versions with 'Get Software "
                                           "Version' in the Tools menu, and run the PIC Upgrade again if its PIC "
                                           "version is unchanged.");
    } else if (bootRom) {
        v.status = QStringLiteral("PIC Upgrade Failed !  Satellite IP Modem runs its Boot ROM.");
        v.logLine = QStringLiteral("PIC Upgrade failed: the Satellite IP Modem came back in its Boot ROM (BOOTROM MODE).");
        v.box = v.logLine + QStringLiteral("\r\n") +
                (backupLeft ? kBootRomNote
                            : QStringLiteral("Its image file names no software to start: upgrade its software to start "
                                             "it again."));
    } else if (reflash == Reflash::NotRun) {
        v.status = QStringLiteral("PIC Upgrade Failed !  Satellite IP Modem did not restart in its Boot ROM.");
        v.logLine = QStringLiteral("PIC Upgrade failed: the Satellite IP Modem did not restart in its Boot ROM for the "
                                   "reflash.");
        v.box = v.logLine + QStringLiteral("\r\n") + kBootRomNote;
    } else if (reflash == Reflash::Failed) {
        v.status = QStringLiteral("PIC Upgrade Failed !  Software version retrieved.");
        v.logLine = QStringLiteral("PIC Upgrade failed (the reflash reported FAIL).  Software version retrieved.");
    } else if (reflash != Reflash::Done) {
        v.status = QStringLiteral("PIC Upgrade not done.  Software version retrieved.");
        v.logLine = QStringLiteral("PIC Upgrade not done (no reflash).  Software version retrieved.");
    } else if (ident::sameVersion(reportedPic, fileVersion)) {
        v.took = true;
        v.status = QStringLiteral("PIC Upgrade Successful.  Software version retrieved!");
        v.logLine = QStringLiteral("PIC Upgrade was Successful.  Software version retrieved!");
    } else {
        v.status = QStringLiteral("PIC Upgrade Failed !  The PIC reports version ") + reported + QLatin1Char('.');
        v.logLine = QStringLiteral("PIC Upgrade failed: the Satellite IP Modem reports PIC version ") + reported +
                    QStringLiteral(" after the reflash; the PIC file holds ") + expected + QLatin1Char('.');
        v.box = v.logLine + QStringLiteral("\r\nPIC firmware has not been Upgraded.\r\nPlease refer to the Help menu if needed.");
    }
    return v;
}

QString pieceLogPrefix(int32_t state)
{
    switch (state) {
    case PIC_UPG_STATE_PREP_INIT_CONNECT:
    case PIC_UPG_STATE_INIT_CONNECT:
        return QStringLiteral("Connect outcome:");
    case PIC_UPG_STATE_PREP_UNAME_SENT:
    case PIC_UPG_STATE_UNAME_SENT:
        return QStringLiteral("login: ");
    case PIC_UPG_STATE_PREP_PASSWD_SENT:
    case PIC_UPG_STATE_PASSWD_SENT:
        return QStringLiteral("Connect outcome :");
    case PIC_UPG_STATE_PREP_LOGGEDIN:
    case PIC_UPG_STATE_RECOVER_IMG:
        return QStringLiteral("cd outcome: ");
    case PIC_UPG_STATE_PREP_CHECK_BATT:
    case PIC_UPG_STATE_CHECK_BATT:
    case PIC_UPG_STATE_BATT_REBOOT_WAIT:
        return QStringLiteral("cmd outcome: ");
    case PIC_UPG_STATE_PREP_CHK_IMG:
    case PIC_UPG_STATE_PREP_CHK_BKUP_IMG:
    case PIC_UPG_STATE_CHK_IMG:
        return QStringLiteral("ls outcome: ");
    case PIC_UPG_STATE_PREP_BKUP_IMG:
        return QStringLiteral("mv outcome: ");
    case PIC_UPG_STATE_PREP_CREATE_XIMG:
        return QStringLiteral("creat outcome: ");
    case PIC_UPG_STATE_LOGGEDIN:
        return QStringLiteral("cd/copy outcome: ");
    case PIC_UPG_STATE_REFLASH_SENT:
        return QStringLiteral("Reflash: ");
    default:
        return QString();
    }
}

bool isReportingPlatform(int32_t platformId)
{
    return platformId == 8 || platformId == 9 || platformId == 10;
}

bool isManualPowerUpPlatform(int32_t platformId)
{
    return platformId == 8 || platformId == 10;
}

}  // namespace pic
