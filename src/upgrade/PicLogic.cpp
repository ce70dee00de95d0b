#include "upgrade/PicLogic.h"

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
QByteArray password() { return line("skywardly"); }
QByteArray changeDirectory() { return line("cd \"/tffs0/\""); }
QByteArray batteryQuery() { return line("pic_data_show"); }
QByteArray showDescriptor() { return line("copy \"image.txt\""); }
QByteArray backUpDescriptor() { return line("mv \"image.txt\",\"uimage.txt\""); }
QByteArray replaceDescriptor() { return line("copy \"pic.s19\",\"image.txt\""); }
QByteArray restoreCheck() { return line("cd \"/tffs0/\"; copy \"uimage.txt\""); }
QByteArray restoreDescriptor() { return line("mv \"uimage.txt\", \"image.txt\""); }
QByteArray removeDescriptor() { return line("rm \"image.txt\""); }
QByteArray reflash() { return line("pic_driver_reflash 1"); }
QByteArray reboot() { return line("pwd;sleep(4);reboot"); }
QByteArray emptyLine() { return line(QByteArray()); }
}  // namespace cmd

bool isLoginPrompt(const QString& piece)
{
    return piece.contains(QLatin1String("VxWorks login:")) ||
           (piece.contains(QLatin1String("Username:")) &&
            (piece.contains(QLatin1String("[BSP 2A]")) || piece.contains(QLatin1String("[BSP 2C]"))));
}

bool hasShellPrompt(const QString& piece)
{
    return piece.contains(QLatin1String("->"));
}

bool isSessionLimit(const QString& piece)
{
    return piece.contains(QLatin1String("Sorry, session limit reached."));
}

bool isSuccessValue(const QString& piece)
{
    return piece.contains(QLatin1String("value = 0 = 0x0"));
}

bool isFailureValue(const QString& piece)
{
    return piece.contains(QLatin1String("value = -1 = 0xffffffff"));
}

bool hasValue(const QString& piece)
{
    return piece.contains(QLatin1String("value = "));
}

Battery batteryVerdict(const QString& piece)
{
    if (piece.contains(QLatin1String("FAIL")) || piece.contains(QLatin1String("BATT_PRESENT=0")) ||
        piece.contains(QLatin1String("ERROR")))
        return Battery::Absent;
    if (piece.contains(QLatin1String("BATT_PRESENT=1")))
        return Battery::Present;
    if (piece.contains(QLatin1String("PIC Data Array")) || piece.contains(QLatin1String("pic_poll_data: failed")))
        return Battery::Unknown;
    return Battery::NoVerdict;
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
