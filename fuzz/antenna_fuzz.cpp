// The antenna parsers: a file name's class and version, the check of the
// folder's antenna files, the terminal's antenna lines and the fit test.
// Input: flags byte, class byte, then file name RS antenna text RS ATB names
// RS HPA names RS IAC names (names one a line).
#include "FuzzSupport.h"
#include "upgrade/AntennaLogic.h"

#include <QStringList>

namespace {

using ant::CLASS_UNKNOWN;

// Characters a well-formed value may hold: no tag, colon, blank or line break.
const char kValueChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._-";

QStringList names(const QByteArray& field)
{
    QStringList out;
    for (const QByteArray& n : field.split('\n'))
        if (!n.isEmpty())
            out << fuzz::latin1(n);
    return out;
}

void checkFileInfo(ant::Kind kind, const QString& name)
{
    const ant::FileInfo f = ant::fileInfo(kind, name);
    switch (kind) {
    case ant::Kind::Atb:
        FUZZ_CHECK(f.classId == ant::CLASS_11 || f.classId == ant::CLASS_10 || f.classId == ant::CLASS_10R ||
                   f.classId == ant::CLASS_9 || f.classId == CLASS_UNKNOWN);
        break;
    case ant::Kind::Hpa:
        FUZZ_CHECK((f.classId >= ant::CLASS_2 && f.classId <= ant::CLASS_11) || f.classId == CLASS_UNKNOWN);
        break;
    case ant::Kind::Iac:
        FUZZ_CHECK(f.classId == ant::CLASS_11_IAC || f.classId == CLASS_UNKNOWN);
        break;
    }
    FUZZ_CHECK(f.classId != CLASS_UNKNOWN || f.version.isEmpty());
    FUZZ_CHECK(f.version.size() <= 2 && f.version == f.version.trimmed());
    FUZZ_CHECK(name.contains(f.version));
    const ant::FileInfo again = ant::fileInfo(kind, name);
    FUZZ_CHECK(again.classId == f.classId && again.version == f.version);
}

// A name as the release delivers it gives back its part code's class and its version.
void checkNameRoundTrip(uint8_t pick, const QByteArray& raw)
{
    struct Row {
        ant::Kind kind;
        const char* prefix;
        const char* code;
        int32_t classId;
    };
    static const Row kRows[] = {
        {ant::Kind::Atb, "ATB_", "02409", ant::CLASS_11}, {ant::Kind::Atb, "ATB_", "02313", ant::CLASS_10},
        {ant::Kind::Atb, "ATB_", "02103", ant::CLASS_10R}, {ant::Kind::Atb, "ATB_", "01833", ant::CLASS_9},
        {ant::Kind::Hpa, "HPA_", "2407", ant::CLASS_11},   {ant::Kind::Hpa, "HPA_", "2302", ant::CLASS_10},
        {ant::Kind::Hpa, "HPA_", "2102", ant::CLASS_10R},  {ant::Kind::Hpa, "HPA_", "1856", ant::CLASS_9},
        {ant::Kind::Hpa, "HPA_", "2002", ant::CLASS_2},    {ant::Kind::Iac, "IAC_", "03829", ant::CLASS_11_IAC},
    };
    const Row& r = kRows[pick % std::size(kRows)];
    QString version = fuzz::token(raw, 2, kValueChars);
    while (version.size() < 2)
        version += QLatin1Char('0');
    const QString name = QLatin1String(r.prefix) + QLatin1String(r.code) + QLatin1Char('_') + version + QStringLiteral(".sxm");
    const ant::FileInfo f = ant::fileInfo(r.kind, name);
    FUZZ_CHECK(f.classId == r.classId);
    FUZZ_CHECK(f.version == version);
}

void checkLocal(const QStringList& atb, const QStringList& hpa, const QStringList& iac)
{
    const ant::LocalCheck c = ant::checkLocalFiles(atb, hpa, iac);
    const bool ok = c.firmwareOk.value_or(false);
    // Several files of one kind, or both arrangements, never make usable firmware.
    if (atb.size() > 1 || hpa.size() > 1 || iac.size() > 1 || (!iac.isEmpty() && (!atb.isEmpty() || !hpa.isEmpty())))
        FUZZ_CHECK(!ok);
    if (atb.isEmpty() && hpa.isEmpty() && iac.isEmpty())
        FUZZ_CHECK(c.firmwareOk == false && c.classField == QStringLiteral("UNAVAILABLE"));
    if (ok) {
        FUZZ_CHECK(c.conflictBox.isEmpty() && !c.disable && c.setControls);
        FUZZ_CHECK(!c.atbFile.isEmpty() || !c.hpaFile.isEmpty() || !c.iacFile.isEmpty());
        if (!c.atbFile.isEmpty() && !c.hpaFile.isEmpty())
            FUZZ_CHECK(c.atbClass == c.hpaClass);
        if (!c.iacFile.isEmpty())
            FUZZ_CHECK(c.iacClass == ant::CLASS_11_IAC && c.atbFile.isEmpty() && c.hpaFile.isEmpty());
        FUZZ_CHECK(!c.classField.isEmpty());
    }
    FUZZ_CHECK(!c.disable || c.firmwareOk == false);
    FUZZ_CHECK(!c.setControls || c.firmwareOk.has_value());
    FUZZ_CHECK(c.atbFile.isEmpty() || c.atbFile == atb.value(0));
    FUZZ_CHECK(c.hpaFile.isEmpty() || c.hpaFile == hpa.value(0));
    FUZZ_CHECK(c.iacFile.isEmpty() || c.iacFile == iac.value(0));
    // File names never reach the log or a box: those texts are the program's own.
    FUZZ_CHECK(fuzz::isPrintableAscii(c.conflictBox));
    for (const qlog::LogEntry& e : c.log)
        FUZZ_CHECK(fuzz::isPrintableAscii(e.text));
    for (const QString* field : {&c.atbField, &c.hpaField})
        FUZZ_CHECK(field->isNull() || field->size() <= 2 || *field == QStringLiteral("UNAVAILABLE"));
}

void checkTagValue(const QString& text, const QString& tag)
{
    const QString v = ant::tagValue(text, tag);
    if (!text.contains(tag))
        FUZZ_CHECK(v.isEmpty());
    FUZZ_CHECK(v == v.trimmed());
    FUZZ_CHECK(text.contains(v));
    FUZZ_CHECK(!v.contains(QStringLiteral("\r\n")));
}

void checkTerminal(const QString& text, int32_t platform, int32_t current)
{
    static const char* const kTags[] = {"ATB: ", "AHW: ", "HPA: ", "ASN: ", "CLASS: ", "AHV: "};
    bool all = true;
    for (const char* tag : kTags) {
        checkTagValue(text, QLatin1String(tag));
        if (QLatin1String(tag) != QLatin1String("AHV: "))
            all = all && text.contains(QLatin1String(tag));
    }
    FUZZ_CHECK(ant::hasAntennaInfo(text) == all);

    const ant::TerminalAntenna a = ant::terminalAntenna(text, platform, current);
    const QString cls = ant::tagValue(text, QStringLiteral("CLASS: "));
    FUZZ_CHECK(a.atb == ant::tagValue(text, QStringLiteral("ATB: ")));
    FUZZ_CHECK(a.asn == ant::tagValue(text, QStringLiteral("ASN: ")));
    if (cls.contains(QLatin1String("10")))
        FUZZ_CHECK(a.classId == (platform == 1 ? ant::CLASS_10R : ant::CLASS_10));
    else if (cls.contains(QLatin1String("11")))
        FUZZ_CHECK(a.classId == ant::CLASS_11 || a.classId == ant::CLASS_11_IAC);
    else if (!cls.contains(QLatin1Char('9')) && !cls.contains(QLatin1Char('2')))
        FUZZ_CHECK(a.classId == current);
    if (a.classId == ant::CLASS_11_IAC && current != ant::CLASS_11_IAC)
        FUZZ_CHECK(ant::tagValue(text, QStringLiteral("AHV: ")).contains(QLatin1String("03829")));
    FUZZ_CHECK(!ant::className(a.classId).isEmpty());
}

// Antenna lines as the terminal sends them, in any order, read back as written.
void checkLinesRoundTrip(const QByteArray& raw, uint8_t flags)
{
    static const char* const kTags[] = {"ATB: ", "AHW: ", "HPA: ", "ASN: ", "AHV: "};
    static const struct { const char* value; int32_t classId; } kClasses[] = {
        {"2", ant::CLASS_2}, {"9", ant::CLASS_9}, {"10", ant::CLASS_10}, {"11", ant::CLASS_11}, {"X", CLASS_UNKNOWN}};
    QStringList values;
    for (int i = 0; i < 5; ++i)
        values << fuzz::token(raw.mid(i * 6, 6), 6, kValueChars);
    const auto& cls = kClasses[flags % std::size(kClasses)];
    QStringList lines;
    for (int i = 0; i < 5; ++i)
        lines << QLatin1String(kTags[i]) + values[i];
    lines.insert((flags >> 3) % 6, QStringLiteral("CLASS: ") + QLatin1String(cls.value));
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\nPIC: 3.02\r\nFPGA: 1.1\r\n");

    FUZZ_CHECK(ant::hasAntennaInfo(text));
    for (int i = 0; i < 5; ++i)
        FUZZ_CHECK(ant::tagValue(text, QLatin1String(kTags[i])) == values[i]);
    const ant::TerminalAntenna a = ant::terminalAntenna(text, 7, CLASS_UNKNOWN);
    int32_t expected = cls.classId;
    if (expected == ant::CLASS_11 && values[4].contains(QLatin1String("03829")))
        expected = ant::CLASS_11_IAC;
    FUZZ_CHECK(a.classId == expected);
    FUZZ_CHECK(a.atb == values[0] && a.ahw == values[1] && a.hpa == values[2] && a.asn == values[3]);
}

void checkFit(uint8_t flags, uint8_t classes)
{
    // Each file's class, or no file of that kind; the terminal's class as it can be.
    auto fileClass = [](int v) { return v % 8 - 1; };
    ant::Firmware files;
    files.ok = flags & 1;
    files.atb = fileClass(classes & 7);
    files.hpa = fileClass((classes >> 3) & 7);
    files.iac = fileClass(((classes >> 6) | (flags & 4)) & 7);
    const int32_t terminal = (flags >> 3) % 7;
    const bool fits = ant::fits(files, terminal);
    const bool standalone = ant::fitsStandalone(files, terminal);
    if (fits) {
        FUZZ_CHECK(files.ok);
        if (terminal == ant::CLASS_11_IAC)
            FUZZ_CHECK(files.iac == ant::CLASS_11_IAC);
        else
            FUZZ_CHECK(files.atb == terminal || files.hpa == terminal);
    }
    if (standalone)
        FUZZ_CHECK(fits && terminal != CLASS_UNKNOWN);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint8_t classes = data[1];
    const QList<QByteArray> f = fuzz::fields(fuzz::bytes(data + 2, size - 2), 5);
    const QString name = fuzz::latin1(f[0]);
    const QString text = fuzz::latin1(f[1]);

    for (ant::Kind k : {ant::Kind::Atb, ant::Kind::Hpa, ant::Kind::Iac})
        checkFileInfo(k, name);
    checkNameRoundTrip(flags, f[0]);
    checkLocal(names(f[2]), names(f[3]), names(f[4]));
    checkTerminal(text, flags & 1 ? 1 : 7, classes % 7);
    checkLinesRoundTrip(f[1], flags);
    checkFit(flags, classes);
    return 0;
}
