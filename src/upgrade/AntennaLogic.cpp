#include "upgrade/AntennaLogic.h"

namespace ant {

using qlog::LOG_ERR;

namespace {

struct PartCode {
    const char* code;
    int32_t classId;
};

// Tested in this order: the first code found in the field wins.
constexpr PartCode kAtbCodes[] = {{"02409", CLASS_11}, {"02313", CLASS_10}, {"02103", CLASS_10R}, {"01833", CLASS_9}};
constexpr PartCode kHpaCodes[] = {
    {"2407", CLASS_11}, {"2302", CLASS_10}, {"2102", CLASS_10R}, {"1856", CLASS_9}, {"2002", CLASS_2}};
constexpr PartCode kIacCodes[] = {{"03829", CLASS_11_IAC}};

const QString kUnavailable = QStringLiteral("UNAVAILABLE");
const QString kUnknown = QStringLiteral("UNKNOWN");

QString conflictText(const QString& what)
{
    return QStringLiteral("Conflict detected: There is more than one ") + what + QStringLiteral(" binary file ") +
           QStringLiteral("in the application's home directory.");
}

}  // namespace

QString className(int32_t classId)
{
    switch (classId) {
    case CLASS_2:
        return QStringLiteral("Class 2");
    case CLASS_9:
        return QStringLiteral("Class 9");
    case CLASS_10:
        return QStringLiteral("Class 10");
    case CLASS_10R:
        return QStringLiteral("Class 10R");
    case CLASS_11:
    case CLASS_11_IAC:
        return QStringLiteral("Class 11");
    default:
        return kUnknown;
    }
}

FileInfo fileInfo(Kind kind, const QString& fileName)
{
    // The name ends in a four-character extension; a short name gives a short field.
    const int width = kind == Kind::Hpa ? 7 : 9;
    const QString field = fileName.left(std::max<qsizetype>(0, fileName.size() - 4)).right(width);
    const PartCode* first = kind == Kind::Atb ? std::begin(kAtbCodes) : kind == Kind::Hpa ? std::begin(kHpaCodes) : std::begin(kIacCodes);
    const PartCode* last = kind == Kind::Atb ? std::end(kAtbCodes) : kind == Kind::Hpa ? std::end(kHpaCodes) : std::end(kIacCodes);
    FileInfo info;
    for (const PartCode* p = first; p != last; ++p) {
        if (field.contains(QLatin1String(p->code))) {
            info.classId = p->classId;
            info.version = field.right(2).trimmed();
            break;
        }
    }
    return info;
}

LocalCheck checkLocalFiles(const QStringList& atb, const QStringList& hpa, const QStringList& iac)
{
    LocalCheck c;
    // One file of a kind: its class, version and field; none: the field says
    // so; several: a conflict that ends the check there.
    auto takeOne = [&c](const QStringList& found, Kind kind, const char* name, QString& file, int32_t& classId,
                        QString& version, QString& field) {
        file = found.value(0);
        if (file.isEmpty()) {
            field = kUnavailable;
            return true;
        }
        if (found.size() > 1) {
            file.clear();
            c.conflictBox = conflictText(QLatin1String(name));
            return false;
        }
        c.log.append({qlog::LOG_VRB, QStringLiteral(">> GetLoc%1VersionInfo()").arg(QLatin1String(name))});
        const FileInfo f = fileInfo(kind, file);
        classId = f.classId;
        version = f.version;
        field = f.version;
        return true;
    };
    if (!takeOne(atb, Kind::Atb, "ATB", c.atbFile, c.atbClass, c.atbVersion, c.atbField) ||
        !takeOne(hpa, Kind::Hpa, "HPA", c.hpaFile, c.hpaClass, c.hpaVersion, c.hpaField))
        return c;

    c.iacFile = iac.value(0);
    const bool pair = !c.atbFile.isEmpty() || !c.hpaFile.isEmpty();
    if (pair && !c.iacFile.isEmpty()) {
        c.conflictBox = QStringLiteral("Conflict detected: There is more than one type of antenna binary file ") +
                        QStringLiteral("in the application's home directory (can only have ATB/HPA or IAC).");
        c.log.append({LOG_ERR, QStringLiteral(">> UI_CheckLocalAntennaFirmware(): ERROR: multiple antenna binary types "
                                              "found (ATB/HPA/IAC)")});
        c.firmwareOk = false;
        c.classField = kUnknown;
        c.disable = true;
        return c;
    }
    if (!pair && c.iacFile.isEmpty()) {
        c.atbField = kUnavailable;
        c.hpaField = c.atbField;
    } else if (!pair) {
        // The IAC version shows in both version fields.
        if (!takeOne(iac, Kind::Iac, "IAC", c.iacFile, c.iacClass, c.iacVersion, c.atbField))
            return c;
        c.hpaField = c.atbField;
    }

    c.setControls = true;
    if (!pair && c.iacFile.isEmpty()) {
        c.firmwareOk = false;
        c.classField = kUnavailable;
    } else if ((!c.atbFile.isEmpty() && !c.hpaFile.isEmpty() && c.atbClass != c.hpaClass) ||
               (!c.iacFile.isEmpty() && c.iacClass != CLASS_11_IAC)) {
        c.log.append({LOG_ERR, QStringLiteral("Antenna Type Conflict detected in Antenna files.")});
        c.firmwareOk = false;
        c.classField = kUnknown;
        c.disable = true;
    } else {
        c.firmwareOk = true;
        c.classField = className(!c.atbFile.isEmpty() ? c.atbClass : !c.hpaFile.isEmpty() ? c.hpaClass : c.iacClass);
    }
    return c;
}

bool hasAntennaInfo(const QString& text)
{
    for (const char* tag : {"AHW: ", "ATB: ", "HPA: ", "ASN: ", "CLASS: "}) {
        if (!text.contains(QLatin1String(tag)))
            return false;
    }
    return true;
}

QString tagValue(const QString& text, const QString& tag)
{
    const qsizetype at = text.indexOf(tag);
    if (at < 0)
        return {};
    const qsizetype end = text.indexOf(QLatin1String("\r\n"), at);
    const QString line = text.mid(at, end < 0 ? -1 : end - at);
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    return line.mid(colon + 2).trimmed();
}

int32_t terminalClass(const QString& classValue, const QString& ahvValue, int32_t connectedPlatformId, int32_t current)
{
    constexpr int32_t kMelwin = 1;
    if (classValue.contains(QLatin1String("10")))
        return connectedPlatformId == kMelwin ? CLASS_10R : CLASS_10;
    if (classValue.contains(QLatin1String("11")))
        return ahvValue.contains(QLatin1String("03829")) ? CLASS_11_IAC : CLASS_11;
    if (classValue.contains(QLatin1String("9")))
        return CLASS_9;
    if (classValue.contains(QLatin1String("2")))
        return CLASS_2;
    return current;
}

TerminalAntenna terminalAntenna(const QString& text, int32_t connectedPlatformId, int32_t currentClass)
{
    TerminalAntenna a;
    a.atb = tagValue(text, QStringLiteral("ATB: "));
    a.ahw = tagValue(text, QStringLiteral("AHW: "));
    a.hpa = tagValue(text, QStringLiteral("HPA: "));
    a.asn = tagValue(text, QStringLiteral("ASN: "));
    a.classId = terminalClass(tagValue(text, QStringLiteral("CLASS: ")), tagValue(text, QStringLiteral("AHV: ")),
                              connectedPlatformId, currentClass);
    return a;
}

bool fits(const Firmware& files, int32_t terminal)
{
    if (!files.ok)
        return false;
    if (terminal != CLASS_11_IAC)
        return terminal == files.atb || terminal == files.hpa;
    return files.iac == CLASS_11_IAC;
}

bool fitsStandalone(const Firmware& files, int32_t terminal)
{
    // The pair must be of one class; an absent file counts as class 0 here, so
    // an HPA file of class 2 alone passes and an ATB file alone does not.
    const int32_t atb = files.atb == kNoFile ? 0 : files.atb;
    const int32_t hpa = files.hpa == kNoFile ? 0 : files.hpa;
    return terminal != CLASS_UNKNOWN && atb == hpa && fits(files, terminal);
}

}  // namespace ant
