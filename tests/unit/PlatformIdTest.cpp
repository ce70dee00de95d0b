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

TEST(PlatformConnected, FirstPrefixWithinTheFirstFourCharacters)
{
    const struct { const char* version; int32_t id; const char* logName; } rows[] = {
        {"5.7.1.12", 7, "7460"}, {"5.0.3.1", 0, "KVR"},        {"5.1.0.9", 1, "Melwin"},
        {"5.8.0.4", 8, "7120"},  {"6.0.2.1", 10, "7130"},      {"6.1.0.2", 11, "MelwinV2"},
        {"6.7.0.1", 12, "7460LW/TW"}, {"0.0.1.2", 13, "DEV"},  {"6.2.0.0", 14, "UKN"},
        {"", 14, "UKN"},
        // Only four characters are looked at, and the prefix may sit anywhere in them.
        {"5.10.1", 1, "Melwin"}, {"6.10.1", 11, "MelwinV2"},   {"15.0.1", 0, "KVR"},
        {"10.0.1", 13, "DEV"},   {"x5.7.1", 7, "7460"},        {"  5.7.1", 14, "UKN"},
        {"5.7", 7, "7460"},      {"5_7_1_12", 14, "UKN"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.version);
        const ident::ConnectedPlatform p = ident::identifyConnectedPlatform(QString::fromLatin1(r.version));
        EXPECT_EQ(p.id, r.id);
        EXPECT_EQ(taggedLines(p.log), QStringList{QStringLiteral("INF: Connected Platform ID: ") + r.logName});
    }
}

TEST(PlatformPackaged, NamesThePackageOrKeepsTheCurrentName)
{
    const struct { const char* version; int32_t id; const char* name; bool recognised, picLabel; } rows[] = {
        {"5.7.1.12", 7, "7460", true, false},     {"5.6.0.3", 6, "RZ", true, false},
        {"5.8.0.4", 8, "7120", true, true},       {"5.9.1.0", 9, "7520", true, true},
        {"6.0.2.1", 10, "7130/7120M", true, true}, {"6.1.0.2", 11, "MelwinV2", true, true},
        {"6.7.0.1", 12, "7460LW/TW", true, true},
        // No development row for packages.
        {"0.0.1.2", 14, "QORA", false, false},    {"9.9.9", 14, "QORA", false, false}, {"", 14, "QORA", false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.version);
        const ident::PackagedPlatform p = ident::identifyPackagedPlatform(QString::fromLatin1(r.version), "QORA");
        EXPECT_EQ(p.id, r.id);
        EXPECT_EQ(p.name, QString::fromLatin1(r.name));
        EXPECT_EQ(p.recognised, r.recognised);
        EXPECT_EQ(p.showsPicVersionLabel, r.picLabel);
        QStringList expected;
        if (!r.recognised)
            expected << "ERR: Packaged Platform ID: UNKNOWN";
        expected << QStringLiteral("INF: Packaged Platform Name: ") + r.name;
        EXPECT_EQ(taggedLines(p.log), expected);
    }
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "7130/7120M"), "Vantor 7130/7120M Terminal Upgrader");
    EXPECT_EQ(ident::platformTitle("Vantor QORA Terminal Upgrader", "QORA"), "Vantor QORA Terminal Upgrader");
}

TEST(PlatformReleaseSeries, DecidesInOrder)
{
    const char* const match = "Release Number Prefixes Match !";
    const char* const factory = "Factory mode Override !";
    const char* const dev = "Development/BOOTROM-mode Upgrade override!";
    const char* const refused = "Upgrade Not permitted !";
    const struct { const char *what, *current, *next; bool factory, bootRom, connectedWithoutVersion, permitted;
                   const char* verdict; } rows[] = {
        {"same series", "5_7_1_12", "5_7_2_0", false, false, false, true, match},
        {"match wins over every override", "5_7_1_12", "5_7_2_0", true, true, true, true, match},
        {"letter case ignored", "5_7a_1", "5_7A_2", false, false, false, true, match},
        {"other series", "5_6_0_3", "5_7_1_12", false, false, false, false, refused},
        {"factory mode", "5_6_0_3", "5_7_1_12", true, false, false, true, factory},
        {"factory before development", "0_0_0_0", "5_7_1_12", true, true, false, true, factory},
        {"version not known", "0_0_0_0", "5_7_1_12", false, false, false, true, dev},
        {"development build", "0_0_3_1", "6_0_2_1", false, false, false, true, dev},
        {"Boot ROM", "BOOTROM MODE", "5_7_1_12", false, true, false, true, dev},
        {"reached only by the probe", "5_6_0_3", "5_7_1_12", false, false, true, true, dev},
        {"5_10 is not 5_1_", "5_10_0_1", "5_1_2_3", false, false, false, false, refused},
        {"short new version", "5_7_1_12", "5_7", false, false, false, false, refused},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const QString current = QString::fromLatin1(r.current);
        const QString next = QString::fromLatin1(r.next);
        const ident::SeriesDecision d =
            ident::DetectReleaseSeriesConflict(current, next, r.factory, r.bootRom, r.connectedWithoutVersion);
        EXPECT_EQ(d.permitted, r.permitted);
        const QStringList expected = {
            "VRB: Current Software Ver: " + current + " Prefix: " + current.left(4),
            "VRB: Upgrading Software Ver: " + next + " Prefix: " + next.left(4),
            QStringLiteral("INF: ") + r.verdict,
        };
        EXPECT_EQ(taggedLines(d.log), expected);
    }
}

TEST(PlatformPackageName, CutsTheVersionOrRejectsTheName)
{
    // A null version: the name is unusable.
    const struct { const char *fileName, *version; } rows[] = {
        {"qorax_5_7_1_12.bin", "5_7_1_12"}, {"qorax_0_0_3_1.bin", "0_0_3_1"}, {"QORAX_5_7_1_12.BIN", "5_7_1_12"},
        {"qorax_6_0_2_1.Bin", "6_0_2_1"},   {"old_qorax_5_7.bin", nullptr},   {"qorax_.bin", nullptr},
        {"qorax_", nullptr},                {"qorax.bin", nullptr},           {"", nullptr},
        {"qorax_5_7_1_12.bin.bak", nullptr}, {"qorax_beta.bin", nullptr},     {"qorax_5.7.1.bin", nullptr},
        {"qorax_5_7_1_12 .bin", nullptr},   {"qorax__5_7.bin", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.fileName);
        const ident::PackageVersion v = ident::packageVersionFromFileName(QString::fromLatin1(r.fileName));
        EXPECT_EQ(v.usable(), r.version != nullptr) << v.problem.toStdString();
        EXPECT_EQ(v.version, QString::fromLatin1(r.version ? r.version : ""));
    }
}

}  // namespace
