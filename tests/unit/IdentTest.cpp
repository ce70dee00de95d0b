// What the terminal's version answer and the package's name and tail say.
#include "ident/Platform.h"
#include "ident/VersionText.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

const QString kNewApp = "BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009 AppCompatLevel: 2";
const QString kOldApp = "5.6.0.3 (rel), 03/14/2008 fpga 12";

QString newApp(const char* date)
{
    return QStringLiteral("BROMCompatLevel: 3 AppSW: 5.7.1.12, ") + date + QStringLiteral(" AppCompatLevel: 2");
}

TEST(VersionLevel, ReadsTheLeadingNumberAndSaturatesAt16Bits)
{
    const struct { const char* text; int16_t level; bool clamped; } rows[] = {
        {" 3", 3, false}, {"3abc", 3, false}, {"", 0, false}, {"\t3", 0, false}, {"-2", -2, false}, {"+5", 5, false},
        {"- 3", 0, false}, {"32767", 32767, false}, {"-32768", -32768, false}, {"32768", 32767, true},
        {"-40000", -32768, true}, {"99999999999999999999999", 32767, true},
    };
    for (const auto& r : rows) {
        bool clamped = !r.clamped;
        EXPECT_EQ(ident::parseLevel(QString::fromLatin1(r.text), &clamped), r.level) << r.text;
        EXPECT_EQ(clamped, r.clamped) << r.text;
    }
}

TEST(VersionShapes, DecideModeAndLevel)
{
    const auto left = std::nullopt;  // the mode is left as it was
    const struct { const char* what; QString text; std::optional<bool> bootRom, bromCompat; int16_t level;
                   bool showBootRom, readPic; } rows[] = {
        {"old Boot ROM", "Boot loader BOOTROM 1.4", true, left, -1, true, false},
        {"BOOTROM wins over a numeric level", "BOOTROM BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009", true, left, -1, true, false},
        {"numeric level, application", kNewApp, false, true, 3, false, true},
        {"numeric level, Boot ROM", "BROMCompatLevel: 4, PIC: 1.2", true, true, 4, true, true},
        {"UNKNOWN level, application", "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010", false, false, -1, false, false},
        {"UNKNOWN level, no application", "BROMCompatLevel: UNKNOWN", left, false, -1, false, false},
        {"old application", kOldApp, false, false, -1, false, false},
    };
    for (const auto& r : rows) {
        const ident::VersionInterpretation v = ident::interpretVersionText(r.text);
        EXPECT_EQ(std::tuple(v.isBootRomMode, v.isBromCompatSupported, v.termBootCompatLevel, v.showBootRomMode, v.readPicVersion),
                  std::tuple(r.bootRom, r.bromCompat, r.level, r.showBootRom, r.readPic)) << r.what;
    }
}

// An empty version: unreadable, and said so in the log.
TEST(VersionString, KeepsDigitsAndPointsBetweenTheMarkers)
{
    const struct { const char* what; QString text; bool bromCompat; QString version; } rows[] = {
        {"new style", kNewApp, true, "5.7.1.12"},
        {"UNKNOWN level counts as new style", "BROMCompatLevel: UNKNOWN AppSW: 6.0.2.1, 11/02/2010 AppCompatLevel: 1", false, "6.0.2.1"},
        {"old style", kOldApp, false, "5.6.0.3"}, {"old style with letters", "v5.6.0.3b (rel), 03/14/2008 fpga", false, "5.6.0.3"},
        {"no AppCompatLevel", "BROMCompatLevel: 3 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        {"AppCompatLevel first", "AppCompatLevel: 2 AppSW: 5.7.1.12, 10/27/2009", true, ""},
        {"no AppSW", "BROMCompatLevel: 3 5.7.1.12, 10/27/2009 AppCompatLevel: 2", true, ""},
        {"no comma", "AppSW: 5.7.1.12 10/27/2009 AppCompatLevel: 2", true, ""},
        {"old style without blank", "5.6.0.3,03/14/2008", false, ""}, {"points only", "v.x (rel)", false, ""},
    };
    for (const auto& r : rows) {
        qlog::LogLines log;
        EXPECT_EQ(ident::Util_GetVersionString(r.text, false, r.bromCompat, log), r.version) << r.what;
        EXPECT_EQ(log.size(), r.version.isEmpty() ? 1 : 0) << r.what;
    }
    qlog::LogLines log;
    EXPECT_EQ(ident::Util_GetVersionString(kNewApp, true, true, log), "ERROR");
}

// In Boot ROM mode the misuse is logged and the date still read.
TEST(VersionReleaseDate, OnOrAfterTheThresholdOnly)
{
    const struct { const char* what; QString text; bool bootRom, result; } rows[] = {
        {"threshold day", newApp("10/27/2009"), false, true}, {"day before", newApp("10/26/2009"), false, false},
        {"old style, older", kOldApp, false, false}, {"old style, newer", "5.9.0.1 (rel), 11/30/2009 fpga 3", false, true},
        {"day/month order", newApp("27/10/2009"), false, false},
        {"no AppSW before the level", "BROMCompatLevel: 3, 10/27/2009 AppCompatLevel: 2", false, false},
        {"Boot ROM mode", newApp("10/27/2009"), true, true},
    };
    for (const auto& r : rows) {
        qlog::LogLines log;
        EXPECT_EQ(ident::Util_GrabTermDateInfo(r.text, r.bootRom, log), r.result) << r.what;
        EXPECT_EQ(log.first().level == qlog::LOG_ERR, r.bootRom) << r.what;
    }
}

QByteArray tail16(const QByteArray& text, const QByteArray& lastTwo = QByteArray(2, '\0'))
{
    return text + QByteArray(16 - text.size(), '\0') + lastTwo;
}

TEST(VersionPackageTail, ReadsTheLevelFromTheSixteenBytesBeforeTheLastTwo)
{
    const struct { const char* what; QByteArray tail; int16_t level; } rows[] = {
        {"level 3", tail16("bootcomp=3"), 3}, {"file body before the tail", QByteArray(100, 'Z') + tail16("bootcomp=2"), 2},
        {"last two bytes not part of it", tail16("bootcomp=1", "99"), 1},
        {"the whole field", tail16("bootcomp=1234567", "89"), 32767},
        // The level is read right after the marker that opens the field, nowhere else.
        {"marker after a byte", tail16("\xFF" "bootcomp=4"), 0}, {"marker behind a NUL", tail16(QByteArray("\0bootcomp=3", 11)), 0},
        {"shorter than 18 bytes", QByteArray("bootcomp=3\0\0\0\0\0\0\0", 17), 0}, {"no marker", tail16("version 5.7"), 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ident::packageLevelFromTail(r.tail, "qorax_5_7_1_12.bin").level, r.level) << r.what;
}

TEST(VersionCompatibility, OnlyAPackageBelowTheTerminalsLevelIsRefused)
{
    EXPECT_TRUE(ident::packageRefused(2, 3));
    EXPECT_FALSE(ident::packageRefused(3, 3));
    EXPECT_FALSE(ident::packageRefused(0, -1));  // the terminal reports no level
}

// Only four characters are looked at, and a prefix may sit anywhere in them.
TEST(PlatformConnected, FirstPrefixWithinTheFirstFourCharacters)
{
    const std::pair<const char*, int32_t> rows[] = {
        {"5.7.1.12", 7}, {"6.7.0.1", 12}, {"0.0.1.2", 13}, {"6.2.0.0", 14}, {"", 14}, {"5.10.1", 1}, {"15.0.1", 0},
        {"10.0.1", 13}, {"x5.7.1", 7}, {"  5.7.1", 14}, {"5.7", 7}, {"5_7_1_12", 14},
    };
    for (const auto& [version, id] : rows)
        EXPECT_EQ(ident::identifyConnectedPlatform(QString::fromLatin1(version)).id, id) << version;
}

// No development row for packages: an unknown one keeps the current name.
TEST(PlatformPackaged, NamesThePackageOrKeepsTheCurrentName)
{
    const struct { const char* version; int32_t id; const char* name; bool recognised, picLabel; } rows[] = {
        {"5.7.1.12", 7, "7460", true, false}, {"5.8.0.4", 8, "7120", true, true},
        {"6.0.2.1", 10, "7130/7120M", true, true}, {"6.7.0.1", 12, "7460LW/TW", true, true}, {"0.0.1.2", 14, "QORA", false, false},
    };
    for (const auto& r : rows) {
        const ident::PackagedPlatform p = ident::identifyPackagedPlatform(QString::fromLatin1(r.version), "QORA");
        EXPECT_EQ(std::tuple(p.id, p.name, p.recognised, p.showsPicVersionLabel),
                  std::tuple(r.id, QString::fromLatin1(r.name), r.recognised, r.picLabel)) << r.version;
    }
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "7130/7120M"), "Vantor 7130/7120M Terminal Upgrader");
}

TEST(PlatformReleaseSeries, DecidesInOrder)
{
    const struct { const char *what, *current, *next; bool factory, bootRom, connectedWithoutVersion, permitted; } rows[] = {
        {"same series", "5_7_1_12", "5_7_2_0", false, false, false, true}, {"case", "5_7a_1", "5_7A_2", false, false, false, true},
        {"other series", "5_6_0_3", "5_7_1_12", false, false, false, false}, {"factory", "5_6_0_3", "5_7_1_12", true, false, false, true},
        {"development", "0_0_3_1", "6_0_2_1", false, false, false, true}, {"Boot ROM", "BOOTROM MODE", "5_7_1_12", false, true, false, true},
        {"reached only by the probe", "5_6_0_3", "5_7_1_12", false, false, true, true},
        {"5_10 is not 5_1_", "5_10_0_1", "5_1_2_3", false, false, false, false},
        {"short new version", "5_7_1_12", "5_7", false, false, false, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ident::DetectReleaseSeriesConflict(r.current, r.next, r.factory, r.bootRom, r.connectedWithoutVersion).permitted,
                  r.permitted) << r.what;
}

// A null version: the name is unusable.
TEST(PlatformPackageName, CutsTheVersionOrRejectsTheName)
{
    const struct { const char *fileName, *version; } rows[] = {
        {"qorax_5_7_1_12.bin", "5_7_1_12"}, {"QORAX_5_7_1_12.BIN", "5_7_1_12"}, {"old_qorax_5_7.bin", nullptr},
        {"qorax_.bin", nullptr}, {"qorax_", nullptr}, {"qorax_5_7_1_12.bin.bak", nullptr}, {"qorax_beta.bin", nullptr},
        {"qorax_5.7.1.bin", nullptr}, {"qorax__5_7.bin", nullptr},
    };
    for (const auto& r : rows) {
        const ident::PackageVersion v = ident::packageVersionFromFileName(QString::fromLatin1(r.fileName));
        EXPECT_EQ(v.usable(), r.version != nullptr) << r.fileName;
        EXPECT_EQ(v.version, QString::fromLatin1(r.version ? r.version : "")) << r.fileName;
    }
}

}  // namespace
