#pragma once

#include "log/LogEntry.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Antenna firmware: classes, the files delivered with the package, what the
// terminal reports, and whether the files fit. Pure functions; log lines
// exclude the ">> Name()" entry line, which the calling procedure writes.
namespace ant {

enum AntennaClass : int32_t {
    CLASS_2 = 0,
    CLASS_9 = 1,
    CLASS_10 = 2,
    CLASS_10R = 3,
    CLASS_11 = 4,
    CLASS_11_IAC = 5,
    CLASS_UNKNOWN = 6,
};

// "Class 2" ... "Class 11"; "UNKNOWN" for 6 and any other code.
QString className(int32_t classId);

enum class Kind { Atb, Hpa, Iac };

struct FileInfo {
    int32_t classId = CLASS_UNKNOWN;
    QString version;  // empty for an unknown part code
};

// Class and version from a file name: the part code within the characters
// before the extension (9 for ATB and IAC, 7 for HPA), the version the last
// two of them, blanks trimmed.
FileInfo fileInfo(Kind kind, const QString& fileName);

// What the check of the home folder's antenna files decides. Texts that are
// null leave their field as it is.
struct LocalCheck {
    QString atbFile, hpaFile, iacFile;
    int32_t atbClass = 0, hpaClass = 0, iacClass = 0;
    QString atbVersion, hpaVersion, iacVersion;
    QString atbField, hpaField, classField;  // txtLocAtbVer, txtLocHpaVer, txtLocAntClass
    std::optional<bool> firmwareOk;          // isAntennaFwOk; nullopt: unchanged
    QString conflictBox;                     // a FAULT box, or empty
    bool disable = false;                    // the antenna part of the window goes off
    bool setControls = false;                // the upgrade controls follow firmwareOk, unticked
    qlog::LogLines log;
};

// The three searches' results ("ATB*.sxm", "HPA*.sxm", "IAC*.sxm"), each in
// folder order.
LocalCheck checkLocalFiles(const QStringList& atb, const QStringList& hpa, const QStringList& iac);

// The release information carries every antenna line the upgrader reads.
bool hasAntennaInfo(const QString& text);

// The value of a "TAG: value" line: what follows the tag's colon and blank up
// to the line's CR LF (or the end of the text), blanks trimmed; empty when
// the tag is missing.
QString tagValue(const QString& text, const QString& tag);

// The terminal's class from its CLASS and AHV values; `current` when CLASS
// names none. Platform 1 calls its class 10 "10R".
int32_t terminalClass(const QString& classValue, const QString& ahvValue, int32_t connectedPlatformId, int32_t current);

// What the terminal's antenna lines say: the values its fields show, as sent
// (whoever prints them renders them), and its class.
struct TerminalAntenna {
    QString atb, ahw, hpa, asn;
    int32_t classId = CLASS_UNKNOWN;
};
TerminalAntenna terminalAntenna(const QString& text, int32_t connectedPlatformId, int32_t currentClass);

// The local files as the fit test sees them: the class of each file found,
// kNoFile for a kind that is not there.
inline constexpr int32_t kNoFile = -1;
struct Firmware {
    bool ok = false;  // isAntennaFwOk
    int32_t atb = kNoFile, hpa = kNoFile, iac = kNoFile;
};

// The files fit the terminal's antenna, for an upgrade sequence. Only files
// that are there count: a kind never found must not match a terminal of
// class 2 by the 0 its class starts with.
bool fits(const Firmware& files, int32_t terminal);
// The standalone menu also wants a known class and one class for ATB and HPA.
bool fitsStandalone(const Firmware& files, int32_t terminal);

}  // namespace ant
