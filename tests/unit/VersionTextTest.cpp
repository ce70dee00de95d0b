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

TEST(VersionSearchAndReplace, LeftToRightWithoutOverlap)
{
    struct Case {
        QString src, search, repl, expected;
    };
    const Case cases[] = {
        {"5.7.1.12", ".", "_", "5_7_1_12"},
        {"5_7_1_12", "_", ".", "5.7.1.12"},
        {"aaa", "aa", "b", "ba"},
        {"abc", "", "x", "abc"},
        {"Vantor QORA Terminal Upgrader", "QORA", "7460", "Vantor 7460 Terminal Upgrader"},
        {"qora QORA", "QORA", "RZ", "qora RZ"},
        {"a", "a", "aa", "aa"},  // the replacement is not searched again
        {"", "a", "b", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.src.toStdString() + " / " + c.search.toStdString());
        EXPECT_EQ(ident::SearchAndReplace(c.src, c.search, c.repl), c.expected);
    }
}

struct LevelCase {
    const char* text;
    int16_t level;
    bool clamped;
};

class VersionLevelParse : public ::testing::TestWithParam<LevelCase> {};

TEST_P(VersionLevelParse, ReadsTheLeadingNumber)
{
    bool clamped = !GetParam().clamped;
    EXPECT_EQ(ident::parseLevel(QString::fromLatin1(GetParam().text), &clamped), GetParam().level) << GetParam().text;
    EXPECT_EQ(clamped, GetParam().clamped) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Version, VersionLevelParse,
    ::testing::Values(LevelCase{" 3", 3, false}, LevelCase{"   12, AppSW: 5.7", 12, false}, LevelCase{"3abc", 3, false},
                      LevelCase{"3.7", 3, false}, LevelCase{"", 0, false}, LevelCase{"abc", 0, false},
                      LevelCase{"\t3", 0, false}, LevelCase{"-2", -2, false}, LevelCase{"+5", 5, false},
                      LevelCase{"- 3", 0, false}, LevelCase{"32767", 32767, false}, LevelCase{"-32768", -32768, false},
                      LevelCase{"32768", 32767, true}, LevelCase{"-40000", -32768, true},
                      LevelCase{"99999999999999999999999", 32767, true}));

struct ShapeCase {
    const char* what;
    QString text;
    std::optional<bool> bootRom;
    std::optional<bool> bromCompat;
    int16_t level;
    bool showBootRom;
    bool readPic;
    QStringList log;  // after the version info line
};

class VersionShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(VersionShapes, DecideModeLevelAndLog)
{
    const ShapeCase& c = GetParam();
    SCOPED_TRACE(c.what);
    const ident::VersionInterpretation r = ident::interpretVersionText(c.text);
    EXPECT_EQ(r.isBootRomMode, c.bootRom);
    EXPECT_EQ(r.isBromCompatSupported, c.bromCompat);
    EXPECT_EQ(r.termBootCompatLevel, c.level);
    EXPECT_EQ(r.showBootRomMode, c.showBootRom);
    EXPECT_EQ(r.readPicVersion, c.readPic);
    EXPECT_EQ(tagged(r.log), QStringList{"VRB: ZING Version Info:\r\n" + c.text} + c.log);
}

const QString kNewStyle = "NEW style Boot ROM detected as supported; Compatibility Level reported is ";
const QString kAppRuns = "INF: App Software detected as running (based on response data)";
const QString kOldBootRom = "INF: OLD style Boot ROM detected as running (Compatibility Level NOT supported/set to -1)";
const QString kOldApp2 = "INF: OLD style App Software detected as running (Compatibility Level NOT supported/set to -1)";
const QString kUnknownLevel = "INF: This appears to be an OLD style Boot ROM (no Compatibility Level data present) with a "
                              "NEW App (reporting UNKNOWN Boot ROM Version data)";

INSTANTIATE_TEST_SUITE_P(
    Version, VersionShapes,
    ::testing::Values(
        ShapeCase{"old Boot ROM", "VxWorks BOOTROM 1.4", true, std::nullopt, -1, true, false, {kOldBootRom}},
        ShapeCase{"BOOTROM wins over a numeric level", "BOOTROM BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009",
                  true, std::nullopt, -1, true, false, {kOldBootRom}},
        ShapeCase{"numeric level, application", kNewApp, false, true, 3, false, true, {"INF: " + kNewStyle + "3", kAppRuns}},
        ShapeCase{"numeric level, Boot ROM", "BROMCompatLevel: 4, PIC: 1.2", true, true, 4, true, true,
                  {"INF: " + kNewStyle + "4", "INF: Boot ROM Software detected as running (based on response data)"}},
        ShapeCase{"level beyond 16 bits", "BROMCompatLevel: 70000 AppSW: 5.7", false, true, 32767, false, true,
                  {"INF: " + kNewStyle + "32767", "ERR: Reported Compatibility Level out of range; taken as 32767", kAppRuns}},
        ShapeCase{"UNKNOWN level, application", "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010 AppCompatLevel: 1",
                  false, false, -1, false, false, {kUnknownLevel, kAppRuns}},
        ShapeCase{"UNKNOWN level, no application: mode left as it was", "BROMCompatLevel: UNKNOWN", std::nullopt, false,
                  -1, false, false, {kUnknownLevel}},
        ShapeCase{"old application", kOldApp, false, false, -1, false, false, {kOldApp2}},
        ShapeCase{"no markers at all", "", false, false, -1, false, false, {kOldApp2}},
        ShapeCase{"markers are case-sensitive", "bootrom bromcompatlevel: 3", false, false, -1, false, false, {kOldApp2}}));

struct VersionStringCase {
    const char* what;
    QString text;
    bool bromCompat;
    QString version;  // empty: unreadable
};

class VersionString : public ::testing::TestWithParam<VersionStringCase> {};

TEST_P(VersionString, KeepsDigitsAndPointsBetweenTheMarkers)
{
    const VersionStringCase& c = GetParam();
    qlog::LogLines log;
    EXPECT_EQ(ident::Util_GetVersionString(c.text, false, c.bromCompat, log), c.version) << c.what;
    const QStringList expectedLog =
        c.version.isEmpty()
            ? QStringList{"ERR: Util_GetVersionString: no version number found in the version text; version left unknown"}
            : QStringList{};
    EXPECT_EQ(tagged(log), expectedLog) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Version, VersionString,
    ::testing::Values(
        VersionStringCase{"new style", kNewApp, true, "5.7.1.12"},
        VersionStringCase{"UNKNOWN level counts as new style", "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010 "
                                                               "AppCompatLevel: 1", false, "6.0.2.1"},
        VersionStringCase{"old style", kOldApp, false, "5.6.0.3"},
        VersionStringCase{"old style with letters", "v5.6.0.3b (rel), 03/14/2008 fpga", false, "5.6.0.3"},
        VersionStringCase{"non-ASCII dropped", QString::fromLatin1("AppSW: 5.7\xE9.1, 10/27/2009 AppCompatLevel: 2"), true,
                          "5.7.1"},
        VersionStringCase{"no AppCompatLevel", "BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        VersionStringCase{"AppCompatLevel first", "AppCompatLevel: 2 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        VersionStringCase{"no AppSW", "BROMCompatLevel: 3 5.7.1.12, 10/27/2009 AppCompatLevel: 2", true, ""},
        VersionStringCase{"no comma", "AppSW: 5.7.1.12 10/27/2009 AppCompatLevel: 2", true, ""},
        VersionStringCase{"old style without blank", "5.6.0.3,03/14/2008", false, ""},
        VersionStringCase{"points only", "v.x (rel)", false, ""}));

TEST(VersionStringMode, RefusedInBootRomMode)
{
    qlog::LogLines log;
    EXPECT_EQ(ident::Util_GetVersionString(kNewApp, true, true, log), "ERROR");
    EXPECT_EQ(tagged(log),
              QStringList{"ERR: Util_GetVersionString: called while running in Boot ROM Mode (not allowed!)"});
}

struct DateCase {
    const char* what;
    QString text;
    bool result;
    QStringList log;
};

class VersionReleaseDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(VersionReleaseDate, OnOrAfterTheThresholdOnly)
{
    const DateCase& c = GetParam();
    qlog::LogLines log;
    EXPECT_EQ(ident::Util_GrabTermDateInfo(c.text, false, log), c.result) << c.what;
    EXPECT_EQ(tagged(log), c.log) << c.what;
}

const QString kFoundNew = "INF: Found AppSW version date information";
const QString kFoundOld = "INF: Found old-style App version date information";
const QString kTrue = "INF: Util_GrabTermDateInfo: Ok to request Comprehensive Release-Info; returning TRUE";
const QString kOlder = "INF: Util_GrabTermDateInfo: Older release, skip Release-Info request; returning FALSE";
const QString kNoDate = "INF: Util_GrabTermDateInfo: Unable to locate date string; returning FALSE";
const QString kBadDate = "ERR: Util_GrabTermDateInfo: Release date is not a month/day/year date; returning FALSE";

QString newApp(const char* date)
{
    return QStringLiteral("BROMCompatLevel: 3 AppSW: 5.7.1.12, ") + date + QStringLiteral(" AppCompatLevel: 2");
}

INSTANTIATE_TEST_SUITE_P(
    Version, VersionReleaseDate,
    ::testing::Values(
        DateCase{"threshold day", newApp("10/27/2009"), true, {kFoundNew, "INF: Release Date:  10/27/2009", kTrue}},
        DateCase{"day before", newApp("10/26/2009"), false, {kFoundNew, "INF: Release Date:  10/26/2009", kOlder}},
        DateCase{"old style, older", kOldApp, false, {kFoundOld, "INF: Release Date:  03/14/2008 ", kOlder}},
        DateCase{"old style, newer", "5.9.0.1 (rel), 11/30/2009 fpga 3", true,
                 {kFoundOld, "INF: Release Date:  11/30/2009 ", kTrue}},
        DateCase{"day/month order", newApp("27/10/2009"), false, {kFoundNew, "INF: Release Date:  27/10/2009", kBadDate}},
        DateCase{"two-digit year", newApp("10/27/09"), false, {kFoundNew, "INF: Release Date:  10/27/09", kBadDate}},
        DateCase{"no such day", newApp("02/30/2010"), false, {kFoundNew, "INF: Release Date:  02/30/2010", kBadDate}},
        DateCase{"no markers", "5.7.1.12", false, {kNoDate}},
        DateCase{"no comma", "AppSW: 5.7.1.12 10/27/2009 AppCompatLevel: 2", false, {kFoundNew, kNoDate}},
        DateCase{"level marker first", "AppCompatLevel: 2 AppSW: 5.7.1.12, 10/27/2009", false, {kNoDate}},
        DateCase{"no AppSW before the level", "BROMCompatLevel: 3, 10/27/2009 AppCompatLevel: 2", false, {kNoDate}}));

TEST(VersionReleaseDateMode, BootRomModeIsLoggedAndTheDateStillRead)
{
    qlog::LogLines log;
    EXPECT_TRUE(ident::Util_GrabTermDateInfo(newApp("10/27/2009"), true, log));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), (qlog::LogEntry{qlog::LOG_ERR, "Util_GrabTermDateInfo: called while running in Boot ROM "
                                                          "Mode (not allowed!)"}));
}

struct TailCase {
    const char* what;
    QByteArray tail;
    int16_t level;
    bool note;
    bool clamped = false;
};

class VersionPackageTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(VersionPackageTail, ReadsTheLevelFromTheSixteenBytesBeforeTheLastTwo)
{
    const TailCase& c = GetParam();
    const ident::PackageLevel r = ident::packageLevelFromTail(c.tail, "qorax_5_7_1_12.bin");
    SCOPED_TRACE(c.what);
    EXPECT_EQ(r.level, c.level);
    QStringList expected;
    if (c.clamped)
        expected << "ERR: Application binary 'bootcomp=' value out of range; taken as 32767";
    if (c.note)
        expected << "INF: Note: no 'bootcomp=' data found in Application binary file; setting default level of 0";
    expected << "INF: Boot ROM Compatibility Level of .bin file 'qorax_5_7_1_12.bin' is " + QString::number(c.level);
    EXPECT_EQ(tagged(r.log), expected);
}

QByteArray tail16(const QByteArray& text, const QByteArray& lastTwo = QByteArray(2, '\0'))
{
    return text + QByteArray(16 - text.size(), '\0') + lastTwo;
}

INSTANTIATE_TEST_SUITE_P(
    Version, VersionPackageTail,
    ::testing::Values(TailCase{"level 3", tail16("bootcomp=3"), 3, false},
                      TailCase{"file body before the tail", QByteArray(100, 'Z') + tail16("bootcomp=2"), 2, false},
                      TailCase{"last two bytes not part of it", tail16("bootcomp=1", "99"), 1, false},
                      TailCase{"trailing garbage", tail16("bootcomp=12x"), 12, false},
                      TailCase{"negative", tail16("bootcomp=-2"), -2, false},
                      TailCase{"marker after a byte", tail16("\xFF" "bootcomp=4"), 4, false},
                      TailCase{"marker behind a NUL", tail16(QByteArray("\0bootcomp=3", 11)), 0, true},
                      TailCase{"no marker", tail16("version 5.7"), 0, true},
                      TailCase{"shorter than 18 bytes", QByteArray("bootcomp=3\0\0\0\0\0\0\0", 17), 0, true},
                      TailCase{"empty file", QByteArray(), 0, true},
                      TailCase{"beyond 16 bits", tail16("bootcomp=1234567", "89"), 32767, false, true}));

TEST(VersionCompatibility, PackageBelowTerminalLevelIsRefused)
{
    struct Case {
        int16_t bin, term;
        bool refused;
    };
    const Case cases[] = {{2, 3, true}, {3, 3, false}, {4, 3, false}, {0, 1, true}, {0, -1, false}, {-32768, 32767, true}};
    for (const Case& c : cases)
        EXPECT_EQ(ident::packageRefused(c.bin, c.term), c.refused) << c.bin << " vs " << c.term;
}

TEST(VersionCompatibility, WarningTextAndLogLine)
{
    EXPECT_EQ(ident::compatibilityWarningText(2, 3),
              "WARNING:\r\n\r\nThe Application binary included with this Upgrader\r\n"
              "is of a Compatibility Level (2) that is incompatibile\r\n"
              "with the running terminal software's Compatibility\r\nLevel (3).\r\n\r\n"
              "Please use a newer Upgrader version.\r\n\r\nYou will not be allowed to upgrade software.");
    EXPECT_EQ(ident::packageRefusedLogLine(0),
              "New software (bin file) boot level is only 0, therefore disallowing software Upgrade");
}

}  // namespace
