#pragma once

#include "log/LogEntry.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>

// The terminal's version text, the package's compatibility level and the rule
// that compares them. Pure functions: the window applies the results.
// Log lines exclude the ">> Name()" entry line, which the caller writes.
namespace ident {

inline const QString kBootRomModeVersion = QStringLiteral("BOOTROM MODE");

// Left to right, no overlap, case-sensitive; an empty search changes nothing.
QString SearchAndReplace(const QString& src, const QString& search, const QString& repl);

// Whether the version a terminal reports is the one a file carries, by their
// digits (a file named _15 for an antenna reporting 1.5, PIC_3_05 for 3.05).
bool sameVersion(const QString& reported, const QString& expected);

// What one version answer means for the state. An empty optional leaves the
// variable as it was.
struct VersionInterpretation {
    std::optional<bool> isBootRomMode;
    std::optional<bool> isBromCompatSupported;
    int16_t termBootCompatLevel = -1;
    // strCurrentVersion becomes "BOOTROM MODE" and is shown.
    bool showBootRomMode = false;
    // A numeric level was found: read the PIC version from the same text.
    bool readPicVersion = false;
    qlog::LogLines log;
};

// Steps 1 to 3 of the version answer: the version info line, Boot ROM or
// application, and the reported compatibility level.
VersionInterpretation interpretVersionText(const QString& text);

// Integer at the start of text: leading blanks skipped, an optional sign,
// then digits; no digits gives 0. Values past 16 bits saturate at the int16
// limits and set *clamped.
int16_t parseLevel(const QString& text, bool* clamped = nullptr);

// The dotted version of the running application. Returns "ERROR" in Boot ROM
// mode, and an empty text (with an ERR line) when the markers the text's
// style relies on are missing or no digit remains: the version is then
// unknown and the caller keeps "0_0_0_0".
QString Util_GetVersionString(const QString& text, bool isBootRomMode, bool isBromCompatSupported,
                              qlog::LogLines& log);

// True when the release date in the text is 10/27/2009 or later; a missing
// or unreadable date gives false.
bool Util_GrabTermDateInfo(const QString& text, bool isBootRomMode, qlog::LogLines& log);

// A month/day/year text with blanks around it; nullopt when unreadable.
std::optional<QDate> parseMonthDayYear(const QString& text);

struct PackageLevel {
    int16_t level = 0;
    qlog::LogLines log;
};

// The level carried by the package's tail. fileTail is the end of the file:
// its last 18 bytes or the whole file when it is shorter.
PackageLevel packageLevelFromTail(const QByteArray& fileTail, const QString& fileName);

// A terminal whose level is above the package's must not get the package.
bool packageRefused(int16_t binLevel, int16_t termLevel);
QString packageRefusedLogLine(int16_t binLevel);
inline const QString kCompatibilityWarningTitle = QStringLiteral("Vantor QORA Upgrader");
// The WARNING box text, lines joined with CR LF.
QString compatibilityWarningText(int16_t binLevel, int16_t termLevel);

}  // namespace ident
