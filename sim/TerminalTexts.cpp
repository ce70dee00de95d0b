#include "TerminalTexts.h"

#include <QRegularExpression>

namespace qsim {

QString serviceName(Service s)
{
    switch (s) {
    case Service::Zing: return QStringLiteral("zing");
    case Service::Ftp: return QStringLiteral("ftp");
    case Service::Telnet: return QStringLiteral("telnet");
    }
    return QStringLiteral("?");
}

QString modeName(Mode m)
{
    switch (m) {
    case Mode::Off: return QStringLiteral("off");
    case Mode::Restarting: return QStringLiteral("restarting");
    case Mode::BootRom: return QStringLiteral("Boot ROM");
    case Mode::Application: return QStringLiteral("application");
    }
    return QStringLiteral("?");
}

double Config::timeScaleFromEnvironment()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("QORA_TIME_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

QString dottedVersion(const QString& version)
{
    return QString(version).replace(QLatin1Char('_'), QLatin1Char('.'));
}

QString underscoredVersion(const QString& version)
{
    return QString(version).replace(QLatin1Char('.'), QLatin1Char('_'));
}

QString executableName(const QString& version)
{
    return QStringLiteral("qorax_") + underscoredVersion(version) + QStringLiteral(".bin");
}

std::optional<QString> descriptorVersion(const QByteArray& content)
{
    static const QRegularExpression re(QStringLiteral("^/bin/qorax_([0-9A-Za-z_]+)\\.bin$"));
    const auto match = re.match(QString::fromLatin1(content).trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

std::optional<QString> imageVersion(const QByteArray& image)
{
    QByteArray text = image;
    if (image.startsWith("S0")) {
        // S0, byte count, a 16-bit address, the text, a checksum: all in hex.
        const QByteArray record = image.left(image.indexOf('\n')).trimmed();
        text = QByteArray::fromHex(record.mid(8, record.size() - 10));
    }
    const qsizetype tag = text.indexOf("version=");
    if (tag < 0)
        return std::nullopt;
    static const QRegularExpression re(QStringLiteral("^[0-9A-Za-z._]+"));
    const auto match = re.match(QString::fromLatin1(text.mid(tag + 8, 64)));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(0);
}

namespace {
struct PlatformRow {
    const char* prefix;
    int number;
    const char* name;
};
constexpr PlatformRow kPlatforms[] = {
    {"5.0", 0, "KVR"},    {"5.1", 1, "Melwin"},   {"5.2", 2, "TQB"},   {"5.3", 3, "SRX"},
    {"5.4", 4, "Calverd"}, {"5.5", 5, "Pentar"},  {"5.6", 6, "RZ"},    {"5.7", 7, "7460"},
    {"5.8", 8, "7120"},   {"5.9", 9, "7520"},     {"6.0", 10, "7130"}, {"6.1", 11, "MelwinV2"},
    {"6.7", 12, "7460LW/TW"}, {"0.0", 13, "DEV"},
};
}  // namespace

int platformOf(const QString& dotted)
{
    const QString head = dotted.left(4);
    for (const auto& row : kPlatforms) {
        if (head.contains(QLatin1String(row.prefix)))
            return row.number;
    }
    return 14;
}

QString platformName(int platform)
{
    for (const auto& row : kPlatforms) {
        if (row.number == platform)
            return QString::fromLatin1(row.name);
    }
    return QStringLiteral("UKN");
}

bool platformReportsReflash(int platform)
{
    return platform == 8 || platform == 9 || platform == 10;
}

bool platformPowersOffAfterReflash(int platform)
{
    return platform == 8 || platform == 10;
}

QString versionText(const Model& m, bool bootRom, const QString& version)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString picFpga = QStringLiteral("PIC: ") + m.pic + crlf + QStringLiteral("FPGA: ") + m.fpga;
    if (bootRom) {
        if (m.bootRomStyle == BootRomStyle::Old)
            return QStringLiteral("BOOTROM ") + m.bootRomVersion + QStringLiteral(" (rel), ") + m.releaseDate;
        return QStringLiteral("BROMSW: ") + m.bootRomVersion + QStringLiteral(", ") + m.releaseDate + crlf
               + QStringLiteral("BROMCompatLevel: ") + QString::number(m.bootRomCompatLevel) + crlf + picFpga;
    }
    switch (m.appStyle) {
    case AppStyle::Old:
        return version + QStringLiteral(" (rel), ") + m.releaseDate + QStringLiteral(" fpga ") + m.fpga;
    case AppStyle::NewNumeric:
    case AppStyle::NewUnknown: {
        const QString level = m.appStyle == AppStyle::NewUnknown ? QStringLiteral("UNKNOWN")
                                                                 : QString::number(m.bootRomCompatLevel);
        // One separator character between the date and "AppCompatLevel: ".
        return QStringLiteral("AppSW: ") + version + QStringLiteral(", ") + m.releaseDate
               + QStringLiteral(" AppCompatLevel: ") + QString::number(m.appCompatLevel) + crlf
               + QStringLiteral("BROMCompatLevel: ") + level + crlf + picFpga;
    }
    }
    return version;
}

QString antennaLines(const Model& m)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("ATB: ") + m.atb + crlf + QStringLiteral("AHW: ") + m.ahw + crlf
           + QStringLiteral("HPA: ") + m.hpa + crlf + QStringLiteral("ASN: ") + m.asn + crlf
           + QStringLiteral("CLASS: ") + m.antennaClass + crlf + QStringLiteral("AHV: ") + m.ahv + crlf;
}

QString releaseInfoText(const Model& m)
{
    QString text = m.releaseInfoHasAntenna ? antennaLines(m) : QString();
    return text + QStringLiteral("PIC: ") + m.pic + QStringLiteral("\r\nFPGA: ") + m.fpga + QStringLiteral("\r\n");
}

QString picDataShowText(Battery b, const QString& pic)
{
    if (b == Battery::PollFailed)
        return QStringLiteral("pic_poll_data: failed\r\n");
    QString text = QStringLiteral("PIC Data Array:\r\n  FW_VER=") + pic
                   + QStringLiteral("\r\n  VIN_MV=12100\r\n  TEMP_C=31\r\n");
    if (b == Battery::Absent)
        text += QStringLiteral("  BATT_PRESENT=0\r\n");
    else if (b == Battery::Present)
        text += QStringLiteral("  BATT_PRESENT=1\r\n  BATT_MV=8150\r\n");
    return text;
}

}  // namespace qsim
