// A version answer's text through the chain the window applies to it: its
// interpretation, the dotted version, the release date and the platform, and
// the release-series rule against a second version.
// Input: flags byte, then version text RS other version RS platform name.
#include "FuzzSupport.h"
#include "ident/Platform.h"
#include "ident/VersionText.h"

#include <limits>
#include <utility>

namespace {

bool onlyDigitsAndDots(const QString& s)
{
    for (QChar c : s)
        if (c != QLatin1Char('.') && !fuzz::isAsciiDigit(c))
            return false;
    return true;
}

// The terminal's text reaches the log with its lines, nothing else of it raw.
bool isPrintableLog(const qlog::LogLines& log)
{
    for (const qlog::LogEntry& e : log)
        if (!fuzz::isPrintableLines(e.text))
            return false;
    return true;
}
bool hasError(const qlog::LogLines& log)
{
    for (const qlog::LogEntry& e : log)
        if (e.level == qlog::LOG_ERR)
            return true;
    return false;
}

void checkLevel(const QString& text)
{
    bool clamped = true;
    const int16_t level = ident::parseLevel(text, &clamped);
    if (clamped)
        FUZZ_CHECK(level == std::numeric_limits<int16_t>::max() || level == std::numeric_limits<int16_t>::min());
    // No digit right after the blanks and the sign: nothing was read.
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    if (i >= text.size() || !fuzz::isAsciiDigit(text.at(i)))
        FUZZ_CHECK(level == 0 && !clamped);
}

void checkPlatforms(const QString& dotted, const QString& name)
{
    const ident::ConnectedPlatform c = ident::identifyConnectedPlatform(dotted);
    FUZZ_CHECK(c.id >= ident::PLATFORM_KVR && c.id <= ident::PLATFORM_UNKNOWN);
    FUZZ_CHECK(!c.logName.isEmpty());

    const ident::PackagedPlatform p = ident::identifyPackagedPlatform(dotted, name);
    FUZZ_CHECK(p.id >= ident::PLATFORM_KVR && p.id <= ident::PLATFORM_UNKNOWN);
    FUZZ_CHECK(p.recognised == (p.id < ident::PLATFORM_DEV));
    FUZZ_CHECK(p.recognised || p.name == name);
    FUZZ_CHECK(!p.showsPicVersionLabel || p.recognised);
    // Both tables read the same prefixes; only the development row differs.
    if (p.recognised)
        FUZZ_CHECK(c.id == p.id);
    else
        FUZZ_CHECK(c.id == ident::PLATFORM_DEV || c.id == ident::PLATFORM_UNKNOWN);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    const QList<QByteArray> f = fuzz::fields(fuzz::bytes(data + 1, size - 1), 3);
    const QString text = fuzz::latin1(f[0]);
    const QString other = fuzz::latin1(f[1]);
    const QString name = fuzz::latin1(f[2]);

    const ident::VersionInterpretation v = ident::interpretVersionText(text);
    FUZZ_CHECK(!v.log.isEmpty());
    FUZZ_CHECK(isPrintableLog(v.log));
    FUZZ_CHECK(v.isBootRomMode || v.isBromCompatSupported);
    if (text.contains(QStringLiteral("BOOTROM")))
        FUZZ_CHECK(v.isBootRomMode == true && v.showBootRomMode && !v.readPicVersion);
    FUZZ_CHECK(!v.showBootRomMode || v.isBootRomMode == true);
    FUZZ_CHECK(!v.readPicVersion || v.isBromCompatSupported == true);
    FUZZ_CHECK(v.termBootCompatLevel == -1 || v.isBromCompatSupported == true);

    // The window's own flags, then the combinations a fuzzer may pick.
    const bool bootRom = flags & 1;
    const bool compat = flags & 2;
    for (const auto& [b, c] : {std::pair{v.isBootRomMode.value_or(false), v.isBromCompatSupported.value_or(false)},
                               std::pair{bootRom, compat}}) {
        qlog::LogLines log;
        const QString dotted = ident::Util_GetVersionString(text, b, c, log);
        if (b) {
            FUZZ_CHECK(dotted == QStringLiteral("ERROR"));
        } else {
            FUZZ_CHECK(onlyDigitsAndDots(dotted));
            FUZZ_CHECK(dotted.size() <= text.size());
            FUZZ_CHECK(dotted.isEmpty() == hasError(log));
        }
        checkPlatforms(dotted, name);

        qlog::LogLines dateLog;
        if (ident::Util_GrabTermDateInfo(text, b, dateLog))
            FUZZ_CHECK(text.contains(QStringLiteral(", ")) && text.contains(QLatin1Char('/')));
        FUZZ_CHECK(isPrintableLog(dateLog) && isPrintableLog(log));
    }

    if (const std::optional<QDate> d = ident::parseMonthDayYear(text)) {
        FUZZ_CHECK(d->isValid());
        FUZZ_CHECK(text.count(QLatin1Char('/')) == 2);
    }
    checkLevel(text);
    checkLevel(other);

    const bool factory = flags & 4;
    const bool withoutVersion = flags & 8;
    const ident::SeriesDecision s = ident::DetectReleaseSeriesConflict(text, other, factory, bootRom, withoutVersion);
    if (factory || bootRom || withoutVersion || text.left(4).compare(other.left(4), Qt::CaseInsensitive) == 0)
        FUZZ_CHECK(s.permitted);
    FUZZ_CHECK(s.log.size() == 3);
    return 0;
}
