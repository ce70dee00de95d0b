#include "ident/VersionText.h"
#include "log/LogFormat.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Log lines as "TAG: text", readable in a failure message.
QStringList tagged(const qlog::LogLines& lines)
{
    QStringList out;
    for (const qlog::LogEntry& e : lines)
        out.append(qlog::levelTag(e.level) + e.text);
    return out;
}

const QString kNewApp = "BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009 AppCompatLevel: 2";
const QString kOldApp = "5.6.0.3 (rel), 03/14/2008 fpga 12";

QString newApp(const char* date)
{
    return QStringLiteral("BROMCompatLevel: 3 AppSW: 5.7.1.12, ") + date + QStringLiteral(" AppCompatLevel: 2");
}

TEST(VersionSearchAndReplace, LeftToRightWithoutOverlap)
{
    const struct { QString src, search, repl, expected; } rows[] = {
        {"5.7.1.12", ".", "_", "5_7_1_12"}, {"aaa", "aa", "b", "ba"}, {"abc", "", "x", "abc"},
        {"qora QORA", "QORA", "RZ", "qora RZ"}, {"", "a", "b", ""},
        {"a", "a", "aa", "aa"},  // the replacement is not searched again
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.src.toStdString() + " / " + r.search.toStdString());
        EXPECT_EQ(ident::SearchAndReplace(r.src, r.search, r.repl), r.expected);
    }
}

TEST(VersionLevel, ReadsTheLeadingNumberAndSaturatesAt16Bits)
{
    const struct { const char* text; int16_t level; bool clamped; } rows[] = {
        {" 3", 3, false},      {"   12, AppSW: 5.7", 12, false}, {"3abc", 3, false},     {"3.7", 3, false},
        {"", 0, false},        {"abc", 0, false},                {"\t3", 0, false},      {"-2", -2, false},
        {"+5", 5, false},      {"- 3", 0, false},                {"32767", 32767, false}, {"-32768", -32768, false},
        {"32768", 32767, true}, {"-40000", -32768, true},        {"99999999999999999999999", 32767, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        bool clamped = !r.clamped;
        EXPECT_EQ(ident::parseLevel(QString::fromLatin1(r.text), &clamped), r.level);
        EXPECT_EQ(clamped, r.clamped);
    }
}

TEST(VersionShapes, DecideModeLevelAndLog)
{
    const QString newStyle = "NEW style Boot ROM detected as supported; Compatibility Level reported is ";
    const QString appRuns = "INF: App Software detected as running (based on response data)";
    const QString notSet = " detected as running (Compatibility Level NOT supported/set to -1)";
    const QString oldBootRom = "INF: OLD style Boot ROM" + notSet;
    const QString oldApp = "INF: OLD style App Software" + notSet;
    const QString unknownLevel = "INF: This appears to be an OLD style Boot ROM (no Compatibility Level data present) "
                                 "with a NEW App (reporting UNKNOWN Boot ROM Version data)";
    const auto left = std::nullopt;
    // The log is what follows the version info line.
    const struct { const char* what; QString text; std::optional<bool> bootRom, bromCompat; int16_t level;
                   bool showBootRom, readPic; QStringList log; } rows[] = {
        {"old Boot ROM", "Boot loader BOOTROM 1.4", true, left, -1, true, false, {oldBootRom}},
        {"BOOTROM wins over a numeric level", "BOOTROM BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009", true, left, -1,
         true, false, {oldBootRom}},
        {"numeric level, application", kNewApp, false, true, 3, false, true, {"INF: " + newStyle + "3", appRuns}},
        {"numeric level, Boot ROM", "BROMCompatLevel: 4, PIC: 1.2", true, true, 4, true, true,
         {"INF: " + newStyle + "4", "INF: Boot ROM Software detected as running (based on response data)"}},
        {"level beyond 16 bits", "BROMCompatLevel: 70000 AppSW: 5.7", false, true, 32767, false, true,
         {"INF: " + newStyle + "32767", "ERR: Reported Compatibility Level out of range; taken as 32767", appRuns}},
        {"UNKNOWN level, application", "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010 AppCompatLevel: 1", false,
         false, -1, false, false, {unknownLevel, appRuns}},
        {"UNKNOWN level, no application: mode left as it was", "BROMCompatLevel: UNKNOWN", left, false, -1, false,
         false, {unknownLevel}},
        {"old application", kOldApp, false, false, -1, false, false, {oldApp}},
        {"no markers at all", "", false, false, -1, false, false, {oldApp}},
        {"markers are case-sensitive", "bootrom bromcompatlevel: 3", false, false, -1, false, false, {oldApp}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const ident::VersionInterpretation v = ident::interpretVersionText(r.text);
        EXPECT_EQ(v.isBootRomMode, r.bootRom);
        EXPECT_EQ(v.isBromCompatSupported, r.bromCompat);
        EXPECT_EQ(v.termBootCompatLevel, r.level);
        EXPECT_EQ(v.showBootRomMode, r.showBootRom);
        EXPECT_EQ(v.readPicVersion, r.readPic);
        EXPECT_EQ(tagged(v.log), QStringList{"VRB: ZING Version Info:\r\n" + r.text} + r.log);
    }
}

TEST(VersionString, KeepsDigitsAndPointsBetweenTheMarkers)
{
    const QString unknown =
        "ERR: Util_GetVersionString: no version number found in the version text; version left unknown";
    // An empty version: unreadable.
    const struct { const char* what; QString text; bool bromCompat; QString version; } rows[] = {
        {"new style", kNewApp, true, "5.7.1.12"},
        {"UNKNOWN level counts as new style",
         "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010 AppCompatLevel: 1", false, "6.0.2.1"},
        {"old style", kOldApp, false, "5.6.0.3"},
        {"old style with letters", "v5.6.0.3b (rel), 03/14/2008 fpga", false, "5.6.0.3"},
        {"non-ASCII dropped", QString::fromLatin1("AppSW: 5.7\xE9.1, 10/27/2009 AppCompatLevel: 2"), true, "5.7.1"},
        {"no AppCompatLevel", "BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        {"AppCompatLevel first", "AppCompatLevel: 2 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        {"no AppSW", "BROMCompatLevel: 3 5.7.1.12, 10/27/2009 AppCompatLevel: 2", true, ""},
        {"no comma", "AppSW: 5.7.1.12 10/27/2009 AppCompatLevel: 2", true, ""},
        {"old style without blank", "5.6.0.3,03/14/2008", false, ""},
        {"points only", "v.x (rel)", false, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        qlog::LogLines log;
        EXPECT_EQ(ident::Util_GetVersionString(r.text, false, r.bromCompat, log), r.version);
        EXPECT_EQ(tagged(log), r.version.isEmpty() ? QStringList{unknown} : QStringList{});
    }

    qlog::LogLines log;
    EXPECT_EQ(ident::Util_GetVersionString(kNewApp, true, true, log), "ERROR");
    EXPECT_EQ(tagged(log),
              QStringList{"ERR: Util_GetVersionString: called while running in Boot ROM Mode (not allowed!)"});
}

TEST(VersionReleaseDate, OnOrAfterTheThresholdOnly)
{
    const QString foundNew = "INF: Found AppSW version date information";
    const QString foundOld = "INF: Found old-style App version date information";
    const QString yes = "INF: Util_GrabTermDateInfo: Ok to request Comprehensive Release-Info; returning TRUE";
    const QString older = "INF: Util_GrabTermDateInfo: Older release, skip Release-Info request; returning FALSE";
    const QString noDate = "INF: Util_GrabTermDateInfo: Unable to locate date string; returning FALSE";
    const QString badDate = "ERR: Util_GrabTermDateInfo: Release date is not a month/day/year date; returning FALSE";
    const struct { const char* what; QString text; bool result; QStringList log; } rows[] = {
        {"threshold day", newApp("10/27/2009"), true, {foundNew, "INF: Release Date:  10/27/2009", yes}},
        {"day before", newApp("10/26/2009"), false, {foundNew, "INF: Release Date:  10/26/2009", older}},
        {"old style, older", kOldApp, false, {foundOld, "INF: Release Date:  03/14/2008 ", older}},
        {"old style, newer", "5.9.0.1 (rel), 11/30/2009 fpga 3", true,
         {foundOld, "INF: Release Date:  11/30/2009 ", yes}},
        {"day/month order", newApp("27/10/2009"), false, {foundNew, "INF: Release Date:  27/10/2009", badDate}},
        {"two-digit year", newApp("10/27/09"), false, {foundNew, "INF: Release Date:  10/27/09", badDate}},
        {"no such day", newApp("02/30/2010"), false, {foundNew, "INF: Release Date:  02/30/2010", badDate}},
        {"no markers", "5.7.1.12", false, {noDate}},
        {"no comma", "AppSW: 5.7.1.12 10/27/2009 AppCompatLevel: 2", false, {foundNew, noDate}},
        {"level marker first", "AppCompatLevel: 2 AppSW: 5.7.1.12, 10/27/2009", false, {noDate}},
        {"no AppSW before the level", "BROMCompatLevel: 3, 10/27/2009 AppCompatLevel: 2", false, {noDate}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        qlog::LogLines log;
        EXPECT_EQ(ident::Util_GrabTermDateInfo(r.text, false, log), r.result);
        EXPECT_EQ(tagged(log), r.log);
    }

    // In Boot ROM mode the misuse is logged and the date still read.
    qlog::LogLines log;
    EXPECT_TRUE(ident::Util_GrabTermDateInfo(newApp("10/27/2009"), true, log));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), (qlog::LogEntry{qlog::LOG_ERR, "Util_GrabTermDateInfo: called while running in Boot ROM "
                                                          "Mode (not allowed!)"}));
}

QByteArray tail16(const QByteArray& text, const QByteArray& lastTwo = QByteArray(2, '\0'))
{
    return text + QByteArray(16 - text.size(), '\0') + lastTwo;
}

TEST(VersionPackageTail, ReadsTheLevelFromTheSixteenBytesBeforeTheLastTwo)
{
    const struct { const char* what; QByteArray tail; int16_t level; bool note; bool clamped = false; } rows[] = {
        {"level 3", tail16("bootcomp=3"), 3, false},
        {"file body before the tail", QByteArray(100, 'Z') + tail16("bootcomp=2"), 2, false},
        {"last two bytes not part of it", tail16("bootcomp=1", "99"), 1, false},
        {"trailing garbage", tail16("bootcomp=12x"), 12, false}, {"negative", tail16("bootcomp=-2"), -2, false},
        // The level is read from the tenth byte on, whatever comes before the marker.
        {"marker after a byte", tail16("\xFF" "bootcomp=4"), 0, false},
        {"marker after two letters", tail16("xxbootcomp=3"), 0, false},
        {"marker behind a NUL", tail16(QByteArray("\0bootcomp=3", 11)), 0, true},
        {"shorter than 18 bytes", QByteArray("bootcomp=3\0\0\0\0\0\0\0", 17), 0, true},
        {"no marker", tail16("version 5.7"), 0, true},           {"empty file", QByteArray(), 0, true},
        {"beyond 16 bits", tail16("bootcomp=1234567", "89"), 32767, false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const ident::PackageLevel p = ident::packageLevelFromTail(r.tail, "qorax_5_7_1_12.bin");
        EXPECT_EQ(p.level, r.level);
        QStringList expected;
        if (r.clamped)
            expected << "ERR: Application binary 'bootcomp=' value out of range; taken as 32767";
        if (r.note)
            expected << "INF: Note: no 'bootcomp=' data found in Application binary file; setting default level of 0";
        expected << "INF: Boot ROM Compatibility Level of .bin file 'qorax_5_7_1_12.bin' is " + QString::number(r.level);
        EXPECT_EQ(tagged(p.log), expected);
    }
}

TEST(VersionCompatibility, OnlyAPackageBelowTheTerminalsLevelIsRefused)
{
    EXPECT_TRUE(ident::packageRefused(2, 3));
    EXPECT_FALSE(ident::packageRefused(3, 3));
    EXPECT_FALSE(ident::packageRefused(0, -1));  // the terminal reports no level
    EXPECT_TRUE(ident::packageRefused(-32768, 32767));
}

}  // namespace
