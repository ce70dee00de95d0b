#pragma once

#include "log/LogEntry.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

// Platform numbers from version prefixes, the release-series rule and the
// package file name. Pure functions; log lines exclude the ">> Name()" entry
// line, which the calling procedure writes.
namespace ident {

enum PlatformId : int32_t {
    PLATFORM_KVR = 0,
    PLATFORM_MELWIN = 1,
    PLATFORM_TQB = 2,
    PLATFORM_SRX = 3,
    PLATFORM_CALVERD = 4,
    PLATFORM_PENTAR = 5,
    PLATFORM_RZ = 6,
    PLATFORM_7460 = 7,
    PLATFORM_7120 = 8,
    PLATFORM_7520 = 9,
    PLATFORM_7130 = 10,
    PLATFORM_MELWIN_V2 = 11,
    PLATFORM_7460LW_TW = 12,
    PLATFORM_DEV = 13,
    PLATFORM_UNKNOWN = 14,
};

struct ConnectedPlatform {
    int32_t id = PLATFORM_UNKNOWN;
    QString logName;
    qlog::LogLines log;
};

// From the dotted version of the running application: the first table
// prefix found within its first four characters; "0.0" is a development build.
ConnectedPlatform identifyConnectedPlatform(const QString& dottedVersion);

struct PackagedPlatform {
    int32_t id = PLATFORM_UNKNOWN;
    QString name;  // the current name when not recognised
    bool recognised = false;
    // Platforms with PIC handling show the "New PIC version:" label.
    bool showsPicVersionLabel = false;
    qlog::LogLines log;
};

// As above without the development row: a 0.0 package is unknown.
PackagedPlatform identifyPackagedPlatform(const QString& dottedVersion, const QString& currentName);

// Every "QORA" in the title replaced by the platform name.
QString platformTitle(const QString& title, const QString& platformName);
inline const QString kFactoryModeTitleSuffix = QStringLiteral(": FACTORY MODE");

struct SeriesDecision {
    bool permitted = false;
    qlog::LogLines log;
};

// Whether newVersion (underscored) may replace currentVersion: same
// four-character series prefix, or one of the overrides, in that order.
SeriesDecision DetectReleaseSeriesConflict(const QString& currentVersion, const QString& newVersion, bool isFactoryMode,
                                           bool isBootRomMode, bool isConnectedWithoutVersion);

struct PackageVersion {
    QString version;  // underscored, e.g. 5_7_1_12
    QString problem;  // why the name is unusable; empty when usable
    bool usable() const { return problem.isEmpty(); }
};

// "qorax_" + version + ".bin". Letter case of the prefix and the extension is
// ignored, as the folder search ignores it; the version must be digits and
// "_" only, starting with a digit, so a stray name cannot pose as a version.
PackageVersion packageVersionFromFileName(const QString& fileName);

// The package file as seen at one moment: size and time of last change, or
// why it could not be read.
struct PackageSight {
    qint64 bytes = -1;
    QDateTime modified;
    QString unreadable;  // empty when it could be read
};
// Why the package is not the one seen at start-up; empty when it is.
QString packageChange(const PackageSight& atStart, const PackageSight& now);

}  // namespace ident
