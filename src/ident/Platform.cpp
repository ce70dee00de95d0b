#include "ident/Platform.h"

#include "ident/VersionText.h"

#include <algorithm>

namespace ident {

using qlog::LOG_ERR;
using qlog::LOG_INF;
using qlog::LOG_VRB;

namespace {

struct PlatformRow {
    const char* prefix;
    PlatformId id;
    const char* logName;
    const char* packagedName;
};

// Order matters: the first prefix found wins.
constexpr PlatformRow kPlatforms[] = {
    {"5.0", PLATFORM_KVR, "KVR", "KVR"},
    {"5.1", PLATFORM_MELWIN, "Melwin", "Melwin"},
    {"5.2", PLATFORM_TQB, "TQB", "TQB"},
    {"5.3", PLATFORM_SRX, "SRX", "SRX"},
    {"5.4", PLATFORM_CALVERD, "Calverd", "Calverd"},
    {"5.5", PLATFORM_PENTAR, "Pentar", "Pentar"},
    {"5.6", PLATFORM_RZ, "RZ", "RZ"},
    {"5.7", PLATFORM_7460, "7460", "7460"},
    {"5.8", PLATFORM_7120, "7120", "7120"},
    {"5.9", PLATFORM_7520, "7520", "7520"},
    {"6.0", PLATFORM_7130, "7130", "7130/7120M"},
    {"6.1", PLATFORM_MELWIN_V2, "MelwinV2", "MelwinV2"},
    {"6.7", PLATFORM_7460LW_TW, "7460LW/TW", "7460LW/TW"},
};

const PlatformRow* findPlatform(const QString& dottedVersion)
{
    const QString head = dottedVersion.left(4);
    for (const PlatformRow& row : kPlatforms)
        if (head.contains(QLatin1String(row.prefix)))
            return &row;
    return nullptr;
}

// Major, minor and their separators of an underscored version.
QString seriesPrefix(const QString& version)
{
    return version.left(4);
}

bool isVersionChar(QChar c)
{
    return c == QLatin1Char('_') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

}  // namespace

ConnectedPlatform identifyConnectedPlatform(const QString& dottedVersion)
{
    ConnectedPlatform r;
    if (const PlatformRow* row = findPlatform(dottedVersion)) {
        r.id = row->id;
        r.logName = QLatin1String(row->logName);
    } else if (dottedVersion.left(4).contains(QStringLiteral("0.0"))) {
        r.id = PLATFORM_DEV;
        r.logName = QStringLiteral("DEV");
    } else {
        r.id = PLATFORM_UNKNOWN;
        r.logName = QStringLiteral("UKN");
    }
    r.log.append({LOG_INF, QStringLiteral("Connected Platform ID: ") + r.logName});
    return r;
}

PackagedPlatform identifyPackagedPlatform(const QString& dottedVersion, const QString& currentName)
{
    PackagedPlatform r;
    r.name = currentName;
    if (const PlatformRow* row = findPlatform(dottedVersion)) {
        r.id = row->id;
        r.name = QLatin1String(row->packagedName);
        r.recognised = true;
        r.showsPicVersionLabel = row->id >= PLATFORM_7120 && row->id <= PLATFORM_7460LW_TW;
    } else {
        r.log.append({LOG_ERR, QStringLiteral("Packaged Platform ID: UNKNOWN")});
    }
    r.log.append({LOG_INF, QStringLiteral("Packaged Platform Name: ") + r.name});
    return r;
}

QString platformTitle(const QString& title, const QString& platformName)
{
    return SearchAndReplace(title, QStringLiteral("QORA"), platformName);
}

SeriesDecision DetectReleaseSeriesConflict(const QString& currentVersion, const QString& newVersion, bool isFactoryMode,
                                           bool isBootRomMode, bool isConnectedWithoutVersion)
{
    SeriesDecision r;
    const QString current = seriesPrefix(currentVersion);
    const QString next = seriesPrefix(newVersion);
    r.log.append({LOG_VRB, QStringLiteral("Current Software Ver: ") + currentVersion + QStringLiteral(" Prefix: ") + current});
    r.log.append({LOG_VRB, QStringLiteral("Upgrading Software Ver: ") + newVersion + QStringLiteral(" Prefix: ") + next});

    QString verdict;
    if (current.compare(next, Qt::CaseInsensitive) == 0) {
        r.permitted = true;
        verdict = QStringLiteral("Release Number Prefixes Match !");
    } else if (isFactoryMode) {
        r.permitted = true;
        verdict = QStringLiteral("Factory mode Override !");
    } else if (current == QStringLiteral("0_0_") || isBootRomMode || isConnectedWithoutVersion) {
        // Development build or version not known: nothing to protect.
        r.permitted = true;
        verdict = QStringLiteral("Development/BOOTROM-mode Upgrade override!");
    } else {
        verdict = QStringLiteral("Upgrade Not permitted !");
    }
    r.log.append({LOG_INF, verdict});
    return r;
}

QString packageChange(const PackageSight& atStart, const PackageSight& now)
{
    if (!now.unreadable.isEmpty())
        return QStringLiteral("it cannot be read any more (") + now.unreadable + QLatin1Char(')');
    if (now.bytes != atStart.bytes)
        return QStringLiteral("it holds %1 bytes, %2 at start-up").arg(now.bytes).arg(atStart.bytes);
    if (now.modified != atStart.modified)
        return QStringLiteral("it was changed at %1").arg(now.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return {};
}

PackageVersion packageVersionFromFileName(const QString& fileName)
{
    static const QString kPrefix = QStringLiteral("qorax_");
    static const QString kExtension = QStringLiteral(".bin");
    PackageVersion r;
    if (!fileName.startsWith(kPrefix, Qt::CaseInsensitive)) {
        r.problem = QStringLiteral("the name does not begin with 'qorax_'");
        return r;
    }
    if (!fileName.endsWith(kExtension, Qt::CaseInsensitive)) {
        r.problem = QStringLiteral("the name does not end in '.bin'");
        return r;
    }
    const qsizetype length = fileName.size() - kPrefix.size() - kExtension.size();
    const QString version = length > 0 ? fileName.mid(kPrefix.size(), length) : QString();
    if (version.isEmpty()) {
        r.problem = QStringLiteral("the name holds no version between 'qorax_' and '.bin'");
        return r;
    }
    if (!version.at(0).isDigit() || !std::all_of(version.begin(), version.end(), isVersionChar)) {
        r.problem = QStringLiteral("the version '") + version + QStringLiteral("' is not digits separated by '_'");
        return r;
    }
    r.version = version;
    return r;
}

}  // namespace ident
