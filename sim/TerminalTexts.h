#pragma once

// The texts the terminal writes, built from its model. Pure functions.

#include "SimTypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace qsim {

// "5_7_1_12" <-> "5.7.1.12".
QString dottedVersion(const QString& version);
QString underscoredVersion(const QString& version);

// "qorax_5_7_1_12.bin" for either form of the version.
QString executableName(const QString& version);

// The version (underscored) named by an image descriptor holding
// "/bin/qorax_<version>.bin"; blanks and line ends around it are ignored.
std::optional<QString> descriptorVersion(const QByteArray& content);

// The version a firmware image carries: the value of its first "version="
// tag, up to the first character that cannot be part of a version. An
// S-record file (PIC firmware) carries it in the text of its S0 header
// record. nullopt when the image has none.
std::optional<QString> imageVersion(const QByteArray& image);

// Platform number 0..14 of a dotted version: the first prefix of the table
// that occurs in its first four characters.
int platformOf(const QString& dottedVersion);
QString platformName(int platform);
// The 7120, 7520 and 7130 print the reflash progress; the 7120 and 7130 stay
// off after it.
bool platformReportsReflash(int platform);
bool platformPowersOffAfterReflash(int platform);

// VERSION_RESPONSE text of the application (bootRom false) or the Boot ROM.
QString versionText(const Model& m, bool bootRom, const QString& dottedAppVersion);

// "ATB: ...\r\n" and the other five antenna lines.
QString antennaLines(const Model& m);
// RELEASE_INFO_CNF text: antenna lines (when the model has them) and PIC line.
QString releaseInfoText(const Model& m);

// What pic_data_show prints before the shell's "value = " line.
QString picDataShowText(Battery b, const QString& pic);

// The shell's answer lines for a return value.
inline QString shellValueOk() { return QStringLiteral("value = 0 = 0x0"); }
inline QString shellValueFailed() { return QStringLiteral("value = -1 = 0xffffffff"); }

}  // namespace qsim
