#include "ident/Platform.h"
#include "log/LogFormat.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

QStringList taggedLines(const qlog::LogLines& lines)
{
    QStringList out;
    for (const qlog::LogEntry& e : lines)
        out.append(qlog::levelTag(e.level) + e.text);
    return out;
}

struct ConnectedCase {
    const char* version;
    int32_t id;
    const char* logName;
};

class PlatformConnected : public ::testing::TestWithParam<ConnectedCase> {};

TEST_P(PlatformConnected, FirstPrefixWithinTheFirstFourCharacters)
{
    const ConnectedCase& c = GetParam();
    const ident::ConnectedPlatform r = ident::identifyConnectedPlatform(QString::fromLatin1(c.version));
    EXPECT_EQ(r.id, c.id) << c.version;
    EXPECT_EQ(taggedLines(r.log), QStringList{QStringLiteral("INF: Connected Platform ID: ") + c.logName}) << c.version;
}

INSTANTIATE_TEST_SUITE_P(
    Platform, PlatformConnected,
    ::testing::Values(ConnectedCase{"5.7.1.12", 7, "7460"}, ConnectedCase{"5.0.3.1", 0, "KVR"},
                      ConnectedCase{"5.1.0.9", 1, "Melwin"}, ConnectedCase{"5.8.0.4", 8, "7120"},
                      ConnectedCase{"6.0.2.1", 10, "7130"}, ConnectedCase{"6.1.0.2", 11, "MelwinV2"},
                      ConnectedCase{"6.7.0.1", 12, "7460LW/TW"}, ConnectedCase{"0.0.1.2", 13, "DEV"},
                      ConnectedCase{"6.2.0.0", 14, "UKN"}, ConnectedCase{"", 14, "UKN"},
                      // Only four characters are looked at, and the prefix may sit anywhere in them.
                      ConnectedCase{"5.10.1", 1, "Melwin"}, ConnectedCase{"6.10.1", 11, "MelwinV2"},
                      ConnectedCase{"15.0.1", 0, "KVR"}, ConnectedCase{"10.0.1", 13, "DEV"},
                      ConnectedCase{"x5.7.1", 7, "7460"}, ConnectedCase{"  5.7.1", 14, "UKN"},
                      ConnectedCase{"5.7", 7, "7460"}, ConnectedCase{"5_7_1_12", 14, "UKN"}));

struct PackagedCase {
    const char* version;
    int32_t id;
    const char* name;
    bool recognised;
    bool picLabel;
};

class PlatformPackaged : public ::testing::TestWithParam<PackagedCase> {};

TEST_P(PlatformPackaged, NamesThePackageOrKeepsTheCurrentName)
{
    const PackagedCase& c = GetParam();
    SCOPED_TRACE(c.version);
    const ident::PackagedPlatform r = ident::identifyPackagedPlatform(QString::fromLatin1(c.version), "QORA");
    EXPECT_EQ(r.id, c.id);
    EXPECT_EQ(r.name, QString::fromLatin1(c.name));
    EXPECT_EQ(r.recognised, c.recognised);
    EXPECT_EQ(r.showsPicVersionLabel, c.picLabel);
    QStringList expected;
    if (!c.recognised)
        expected << "ERR: Packaged Platform ID: UNKNOWN";
    expected << QStringLiteral("INF: Packaged Platform Name: ") + c.name;
    EXPECT_EQ(taggedLines(r.log), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, PlatformPackaged,
    ::testing::Values(PackagedCase{"5.7.1.12", 7, "7460", true, false}, PackagedCase{"5.6.0.3", 6, "RZ", true, false},
                      PackagedCase{"5.8.0.4", 8, "7120", true, true}, PackagedCase{"5.9.1.0", 9, "7520", true, true},
                      PackagedCase{"6.0.2.1", 10, "7130/7120M", true, true},
                      PackagedCase{"6.1.0.2", 11, "MelwinV2", true, true},
                      PackagedCase{"6.7.0.1", 12, "7460LW/TW", true, true},
                      // No development row for packages.
                      PackagedCase{"0.0.1.2", 14, "QORA", false, false}, PackagedCase{"9.9.9", 14, "QORA", false, false},
                      PackagedCase{"", 14, "QORA", false, false}));

TEST(PlatformTitle, ProductWordBecomesThePlatformName)
{
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "7460"), "Vantor 7460 Terminal Upgrader");
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "7130/7120M"), "Vantor 7130/7120M Terminal Upgrader");
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "QORA"), "Vantor QORA Terminal Upgrader");
}

struct SeriesCase {
    const char* what;
    const char* current;
    const char* next;
    bool factory, bootRom, connectedWithoutVersion;
    bool permitted;
    const char* verdict;
};

class PlatformReleaseSeries : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(PlatformReleaseSeries, DecidesInOrder)
{
    const SeriesCase& c = GetParam();
    SCOPED_TRACE(c.what);
    const QString current = QString::fromLatin1(c.current);
    const QString next = QString::fromLatin1(c.next);
    const ident::SeriesDecision r =
        ident::DetectReleaseSeriesConflict(current, next, c.factory, c.bootRom, c.connectedWithoutVersion);
    EXPECT_EQ(r.permitted, c.permitted);
    const QStringList expected = {
        "VRB: Current Software Ver: " + current + " Prefix: " + current.left(4),
        "VRB: Upgrading Software Ver: " + next + " Prefix: " + next.left(4),
        QStringLiteral("INF: ") + c.verdict,
    };
    EXPECT_EQ(taggedLines(r.log), expected);
}

const char* const kMatch = "Release Number Prefixes Match !";
const char* const kFactory = "Factory mode Override !";
const char* const kDev = "Development/BOOTROM-mode Upgrade override!";
const char* const kRefused = "Upgrade Not permitted !";

INSTANTIATE_TEST_SUITE_P(
    Platform, PlatformReleaseSeries,
    ::testing::Values(SeriesCase{"same series", "5_7_1_12", "5_7_2_0", false, false, false, true, kMatch},
                      SeriesCase{"match wins over every override", "5_7_1_12", "5_7_2_0", true, true, true, true, kMatch},
                      SeriesCase{"letter case ignored", "5_7a_1", "5_7A_2", false, false, false, true, kMatch},
                      SeriesCase{"other series", "5_6_0_3", "5_7_1_12", false, false, false, false, kRefused},
                      SeriesCase{"factory mode", "5_6_0_3", "5_7_1_12", true, false, false, true, kFactory},
                      SeriesCase{"factory before development", "0_0_0_0", "5_7_1_12", true, true, false, true, kFactory},
                      SeriesCase{"version not known", "0_0_0_0", "5_7_1_12", false, false, false, true, kDev},
                      SeriesCase{"development build", "0_0_3_1", "6_0_2_1", false, false, false, true, kDev},
                      SeriesCase{"Boot ROM", "BOOTROM MODE", "5_7_1_12", false, true, false, true, kDev},
                      SeriesCase{"reached only by the probe", "5_6_0_3", "5_7_1_12", false, false, true, true, kDev},
                      SeriesCase{"5_10 is not 5_1_", "5_10_0_1", "5_1_2_3", false, false, false, false, kRefused},
                      SeriesCase{"short new version", "5_7_1_12", "5_7", false, false, false, false, kRefused}));

struct NameCase {
    const char* fileName;
    const char* version;  // nullptr: unusable
};

class PlatformPackageName : public ::testing::TestWithParam<NameCase> {};

TEST_P(PlatformPackageName, CutsTheVersionOrRejectsTheName)
{
    const NameCase& c = GetParam();
    const ident::PackageVersion r = ident::packageVersionFromFileName(QString::fromLatin1(c.fileName));
    EXPECT_EQ(r.usable(), c.version != nullptr) << c.fileName << ": " << r.problem.toStdString();
    EXPECT_EQ(r.version, QString::fromLatin1(c.version ? c.version : "")) << c.fileName;
}

INSTANTIATE_TEST_SUITE_P(
    Platform, PlatformPackageName,
    ::testing::Values(NameCase{"qorax_5_7_1_12.bin", "5_7_1_12"}, NameCase{"qorax_0_0_3_1.bin", "0_0_3_1"},
                      NameCase{"QORAX_5_7_1_12.BIN", "5_7_1_12"}, NameCase{"qorax_6_0_2_1.Bin", "6_0_2_1"},
                      NameCase{"old_qorax_5_7.bin", nullptr}, NameCase{"qorax_.bin", nullptr},
                      NameCase{"qorax_", nullptr}, NameCase{"qorax.bin", nullptr}, NameCase{"", nullptr},
                      NameCase{"qorax_5_7_1_12.bin.bak", nullptr}, NameCase{"qorax_beta.bin", nullptr},
                      NameCase{"qorax_5.7.1.bin", nullptr}, NameCase{"qorax_5_7_1_12 .bin", nullptr},
                      NameCase{"qorax__5_7.bin", nullptr}));

}  // namespace
