#include "ident/VersionText.h"

#include "log/LogFormat.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace ident {

using qlog::LOG_ERR;
using qlog::LOG_INF;
using qlog::LOG_VRB;

namespace {

const QString kBromLevel = QStringLiteral("BROMCompatLevel:");
const QString kBromUnknown = QStringLiteral("BROMCompatLevel: UNKNOWN");
const QString kAppSw = QStringLiteral("AppSW:");
const QString kAppSwBlank = QStringLiteral("AppSW: ");
const QString kAppLevel = QStringLiteral("AppCompatLevel: ");
const QString kFpga = QStringLiteral(" fpga");
const QString kBootComp = QStringLiteral("bootcomp=");
const QDate kReleaseInfoThreshold(2009, 10, 27);

// The text up to the separator before "AppCompatLevel: "; empty when the
// marker is absent or there is nothing in front of its separator.
QString beforeAppLevelSeparator(const QString& text)
{
    const qsizetype p = text.indexOf(kAppLevel);
    return p > 1 ? text.left(p - 1) : QString();
}

void noteClampedLevel(bool clamped, int16_t level, const QString& what, qlog::LogLines& log)
{
    if (clamped)
        log.append({LOG_ERR, what + QStringLiteral(" out of range; taken as ") + QString::number(level)});
}

}  // namespace

QString SearchAndReplace(const QString& src, const QString& search, const QString& repl)
{
    if (search.isEmpty())
        return src;
    QString out = src;
    return out.replace(search, repl, Qt::CaseSensitive);
}

int16_t parseLevel(const QString& text, bool* clamped)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Stop growing once past the 16-bit range so long digit runs cannot overflow.
    constexpr qint64 kCap = 100000;
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = std::min(kCap, value * 10 + (text.at(i).unicode() - '0'));
    if (negative)
        value = -value;
    const qint64 lo = std::numeric_limits<int16_t>::min();
    const qint64 hi = std::numeric_limits<int16_t>::max();
    if (clamped)
        *clamped = value < lo || value > hi;
    return static_cast<int16_t>(std::clamp(value, lo, hi));
}

VersionInterpretation interpretVersionText(const QString& text)
{
    VersionInterpretation r;
    // The text keeps its own lines in the log; the writer keeps any from passing for an entry.
    r.log.append({LOG_VRB, QStringLiteral("ZING Version Info:\r\n") + qlog::printableLines(text)});

    if (text.contains(QStringLiteral("BOOTROM"))) {
        r.isBootRomMode = true;
        r.showBootRomMode = true;
        r.log.append({LOG_INF, QStringLiteral(
                                   "OLD style Boot ROM detected as running (Compatibility Level NOT supported/set to -1)")});
        return r;
    }

    const qsizetype b = text.indexOf(kBromLevel);
    const bool unknownLevel = text.contains(kBromUnknown);
    const bool appRuns = text.contains(kAppSw);
    const QString appRunning = QStringLiteral("App Software detected as running (based on response data)");

    if (b >= 0 && !unknownLevel) {
        bool clamped = false;
        r.isBromCompatSupported = true;
        r.termBootCompatLevel = parseLevel(text.mid(b + kBromLevel.size()), &clamped);
        r.log.append({LOG_INF, QStringLiteral("NEW style Boot ROM detected as supported; Compatibility Level reported is ") +
                                   QString::number(r.termBootCompatLevel)});
        noteClampedLevel(clamped, r.termBootCompatLevel, QStringLiteral("Reported Compatibility Level"), r.log);
        if (!appRuns) {
            r.log.append({LOG_INF, QStringLiteral("Boot ROM Software detected as running (based on response data)")});
            r.isBootRomMode = true;
            r.showBootRomMode = true;
        } else {
            r.isBootRomMode = false;
            r.log.append({LOG_INF, appRunning});
        }
        r.readPicVersion = true;
    } else if (b >= 0) {
        r.isBromCompatSupported = false;
        r.log.append({LOG_INF, QStringLiteral("This appears to be an OLD style Boot ROM (no Compatibility Level data "
                                              "present) with a NEW App (reporting UNKNOWN Boot ROM Version data)")});
        if (appRuns) {
            r.isBootRomMode = false;
            r.log.append({LOG_INF, appRunning});
        }
    } else {
        r.log.append({LOG_INF, QStringLiteral(
                                   "OLD style App Software detected as running (Compatibility Level NOT supported/set to -1)")});
        r.isBromCompatSupported = false;
        r.isBootRomMode = false;
    }
    return r;
}

QString Util_GetVersionString(const QString& text, bool isBootRomMode, bool isBromCompatSupported, qlog::LogLines& log)
{
    if (isBootRomMode) {
        log.append({LOG_ERR, QStringLiteral("Util_GetVersionString: called while running in Boot ROM Mode (not allowed!)")});
        return QStringLiteral("ERROR");
    }

    // Each style places the version between fixed markers; without them
    // the digits left over would be a mix of version and date.
    QString kept;
    bool markersFound = false;
    if (isBromCompatSupported || text.contains(kBromUnknown)) {
        kept = beforeAppLevelSeparator(text);
        const qsizetype a = kept.indexOf(kAppSwBlank);
        if (a >= 0) {
            kept = kept.mid(a);
            const qsizetype comma = kept.indexOf(QLatin1Char(','));
            if (comma >= 0) {
                kept = kept.left(comma);
                kept = kept.mid(kept.indexOf(QLatin1Char(' ')));  // "AppSW: " holds one
                markersFound = true;
            }
        }
    } else {
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        if (blank >= 0) {
            kept = text.left(blank);
            markersFound = true;
        }
    }

    QString version;
    bool hasDigit = false;
    for (const QChar c : std::as_const(kept)) {
        if (c == QLatin1Char('.') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
            version.append(c);
            hasDigit = hasDigit || c != QLatin1Char('.');
        }
    }
    if (!markersFound || !hasDigit) {
        log.append({LOG_ERR, QStringLiteral("Util_GetVersionString: no version number found in the version text; "
                                            "version left unknown")});
        return {};
    }
    return version;
}

std::optional<QDate> parseMonthDayYear(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return std::nullopt;
    int fields[3] = {0, 0, 0};
    const int maxDigits[3] = {2, 2, 4};
    for (int i = 0; i < 3; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > maxDigits[i])
            return std::nullopt;
        for (const QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        fields[i] = p.toInt();
    }
    // A two-digit year would need a century guess; the terminal writes four.
    if (parts[2].size() != 4)
        return std::nullopt;
    const QDate d(fields[2], fields[0], fields[1]);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

bool Util_GrabTermDateInfo(const QString& text, bool isBootRomMode, qlog::LogLines& log)
{
    if (isBootRomMode)
        log.append({LOG_ERR, QStringLiteral("Util_GrabTermDateInfo: called while running in Boot ROM Mode (not allowed!)")});

    const QString unable = QStringLiteral("Util_GrabTermDateInfo: Unable to locate date string; returning FALSE");
    QString kept;
    const qsizetype fpga = text.indexOf(kFpga);
    if (fpga >= 0) {
        kept = text.left(fpga + 1);
        log.append({LOG_INF, QStringLiteral("Found old-style App version date information")});
    } else {
        kept = beforeAppLevelSeparator(text);
        const qsizetype a = kept.indexOf(kAppSwBlank);
        if (kept.isEmpty() || a < 0) {
            log.append({LOG_INF, unable});
            return false;
        }
        log.append({LOG_INF, QStringLiteral("Found AppSW version date information")});
        kept = kept.mid(a);
    }

    const qsizetype comma = kept.indexOf(QStringLiteral(", "));
    if (comma < 0) {
        log.append({LOG_INF, unable});
        return false;
    }
    const QString dateText = kept.mid(comma + 1);
    log.append({LOG_INF, QStringLiteral("Release Date: ") + qlog::printableLines(dateText)});
    const std::optional<QDate> date = parseMonthDayYear(dateText);
    if (!date) {
        log.append({LOG_ERR, QStringLiteral("Util_GrabTermDateInfo: Release date is not a month/day/year date; "
                                            "returning FALSE")});
        return false;
    }
    if (*date >= kReleaseInfoThreshold) {
        log.append({LOG_INF, QStringLiteral("Util_GrabTermDateInfo: Ok to request Comprehensive Release-Info; returning TRUE")});
        return true;
    }
    log.append({LOG_INF, QStringLiteral("Util_GrabTermDateInfo: Older release, skip Release-Info request; returning FALSE")});
    return false;
}

PackageLevel packageLevelFromTail(const QByteArray& fileTail, const QString& fileName)
{
    // The level text sits in the 16 bytes that start 18 bytes before the end.
    constexpr int kTailSize = 18;
    constexpr int kLevelFieldSize = 16;
    PackageLevel r;
    QString field;
    if (fileTail.size() >= kTailSize) {
        const QByteArray raw = fileTail.right(kTailSize).left(kLevelFieldSize);
        const qsizetype nul = raw.indexOf('\0');
        field = QString::fromLatin1(nul >= 0 ? raw.left(nul) : raw);
    }
    // The level is read where it belongs, right after a marker that opens the
    // field; a marker further in only says the field is there.
    if (field.contains(kBootComp)) {
        bool clamped = false;
        r.level = parseLevel(field.mid(kBootComp.size()), &clamped);
        noteClampedLevel(clamped, r.level, QStringLiteral("Application binary 'bootcomp=' value"), r.log);
    } else {
        r.level = 0;
        r.log.append({LOG_INF, QStringLiteral(
                                   "Note: no 'bootcomp=' data found in Application binary file; setting default level of 0")});
    }
    r.log.append({LOG_INF, QStringLiteral("Boot ROM Compatibility Level of .bin file '") + fileName + QStringLiteral("' is ") +
                               QString::number(r.level)});
    return r;
}

bool packageRefused(int16_t binLevel, int16_t termLevel)
{
    return binLevel < termLevel;
}

QString packageRefusedLogLine(int16_t binLevel)
{
    return QStringLiteral("New software (bin file) boot level is only ") + QString::number(binLevel) +
           QStringLiteral(", therefore disallowing software Upgrade");
}

QString compatibilityWarningText(int16_t binLevel, int16_t termLevel)
{
    const QStringList lines = {
        QStringLiteral("WARNING:"),
        QString(),
        QStringLiteral("The Application binary included with this Upgrader"),
        QStringLiteral("is of a Compatibility Level (") + QString::number(binLevel) + QStringLiteral(") that is incompatibile"),
        QStringLiteral("with the running terminal software's Compatibility"),
        QStringLiteral("Level (") + QString::number(termLevel) + QStringLiteral(")."),
        QString(),
        QStringLiteral("Please use a newer Upgrader version."),
        QString(),
        QStringLiteral("You will not be allowed to upgrade software."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

bool sameVersion(const QString& reported, const QString& expected)
{
    auto digits = [](const QString& s) {
        QString d;
        for (QChar c : s) {
            if (c.isDigit())
                d += c;
        }
        return d;
    };
    return !digits(expected).isEmpty() && digits(reported) == digits(expected);
}

}  // namespace ident
