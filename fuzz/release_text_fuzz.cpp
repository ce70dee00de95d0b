// The release information response as the window handles it: the length
// field, the text in its 256-byte field, the line the log gets, the PIC
// version, the antenna lines and the class they name, and the fit test.
// Input: flags byte, firmware byte, then the response's bytes.
#include "FuzzSupport.h"
#include "log/LogFormat.h"
#include "upgrade/AntennaLogic.h"
#include "upgrade/PicLogic.h"
#include "zing/ZingMessage.h"

#include <QStringList>

namespace {

// What the window takes from one release text.
struct Read {
    QString pic;
    bool antenna = false;
    ant::TerminalAntenna terminal;

    bool operator==(const Read& o) const
    {
        return pic == o.pic && antenna == o.antenna && terminal.atb == o.terminal.atb && terminal.ahw == o.terminal.ahw &&
               terminal.hpa == o.terminal.hpa && terminal.asn == o.terminal.asn && terminal.classId == o.terminal.classId;
    }
};

Read read(const QString& text, int32_t platform)
{
    Read r;
    r.pic = pic::terminalVersion(text, false);
    r.antenna = ant::hasAntennaInfo(text);
    // The class starts unknown for every release text.
    if (r.antenna)
        r.terminal = ant::terminalAntenna(text, platform, ant::CLASS_UNKNOWN);
    return r;
}

void checkValue(const QString& text, const QString& value)
{
    FUZZ_CHECK(value == value.trimmed() && text.contains(value) && !value.contains(QStringLiteral("\r\n")));
}

void checkRead(const QString& text, const Read& r, const ant::Firmware& files)
{
    FUZZ_CHECK(r.pic == QStringLiteral("UNKNOWN") || (!r.pic.isEmpty() && text.contains(QLatin1String("PIC: "))));
    checkValue(text, r.pic == QStringLiteral("UNKNOWN") ? QString() : r.pic);
    if (!r.antenna)
        return;
    for (const QString* v : {&r.terminal.atb, &r.terminal.ahw, &r.terminal.hpa, &r.terminal.asn})
        checkValue(text, *v);
    const int32_t c = r.terminal.classId;
    FUZZ_CHECK(c >= ant::CLASS_2 && c <= ant::CLASS_UNKNOWN);
    // Files are offered only for the class the terminal named.
    if (ant::fits(files, c))
        FUZZ_CHECK(c == ant::CLASS_11_IAC ? files.iac == c : (files.atb == c || files.hpa == c));
    if (ant::fitsStandalone(files, c))
        FUZZ_CHECK(c != ant::CLASS_UNKNOWN);
}

QByteArray be32(int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    const char b[] = {char(u >> 24), char(u >> 16), char(u >> 8), char(u)};
    return QByteArray(b, sizeof b);
}

// The response as the terminal sends it: code, size, length twice, the text NUL-padded to its field.
QByteArray response(const QString& text)
{
    QByteArray field = text.toLatin1();
    field.append(QByteArray(zing::kTextWidth - field.size(), '\0'));
    const int32_t length = static_cast<int32_t>(text.size());
    return be32(zing::RELEASE_INFO_CNF) + be32(8 + zing::kTextWidth) + be32(length) + be32(length) + field;
}

QString clean(const QString& value, const QString& otherwise)
{
    QString out;
    for (QChar c : value)
        if ((c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') || c == QLatin1Char('-'))
            out += c;
    out.truncate(24);
    return out.isEmpty() ? otherwise : out;
}

// What was read, written again as a terminal writes it, is read the same.
void checkRoundTrip(const Read& r, int32_t platform, uint8_t order)
{
    static const char* const kClassValue[] = {"2", "9", "10", "10", "11", "11", "none"};
    const QString ahv = r.terminal.classId == ant::CLASS_11_IAC ? QStringLiteral("03829") : QStringLiteral("02409");
    QStringList lines = {QStringLiteral("ATB: ") + clean(r.terminal.atb, QStringLiteral("1.4")),
                         QStringLiteral("AHW: ") + clean(r.terminal.ahw, QStringLiteral("2.0")),
                         QStringLiteral("HPA: ") + clean(r.terminal.hpa, QStringLiteral("1.2")),
                         QStringLiteral("ASN: ") + clean(r.terminal.asn, QStringLiteral("A1")),
                         QStringLiteral("CLASS: ") + QLatin1String(kClassValue[r.terminal.classId]),
                         QStringLiteral("AHV: ") + ahv};
    std::rotate(lines.begin(), lines.begin() + order % lines.size(), lines.end());
    const QString picValue = clean(r.pic, QStringLiteral("3.02"));
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\nPIC: ") + picValue +
                         QStringLiteral("\r\nFPGA: 1.1\r\n");
    FUZZ_CHECK(text.size() <= zing::kTextWidth);

    const zing::ZingResponse back = zing::decodeResponse(response(text));
    FUZZ_CHECK(back.code == zing::RELEASE_INFO_CNF && back.statusOrLength() == text.size());
    FUZZ_CHECK(back.text() == text);
    const Read again = read(*back.text(), platform);
    FUZZ_CHECK(again.antenna && again.pic == picValue);
    FUZZ_CHECK(again.terminal.atb == lines.filter(QStringLiteral("ATB: ")).first().mid(5));
    FUZZ_CHECK(again.terminal.asn == lines.filter(QStringLiteral("ASN: ")).first().mid(5));
    // Class 10 reads as 10R on platform 1 only, as it did the first time.
    FUZZ_CHECK(again.terminal.classId == r.terminal.classId);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint8_t classes = data[1];
    const int32_t platform = flags & 1 ? 1 : 7;
    ant::Firmware files;
    files.ok = flags & 2;
    files.atb = classes % 8 - 1;
    files.hpa = (classes >> 3) % 8 - 1;
    files.iac = flags & 4 ? ant::CLASS_11_IAC : ant::kNoFile;

    const zing::ZingResponse r = zing::decodeResponse(fuzz::bytes(data + 2, size - 2));
    // The handler reads no text behind a missing or non-positive length.
    const std::optional<int32_t> length = r.statusOrLength();
    if (!length || *length < 1)
        return 0;
    const QString text = r.text().value_or(QString());
    FUZZ_CHECK(text.size() <= zing::kTextWidth && !text.contains(QChar(0)));

    // The log keeps the text's lines; nothing else of it reaches the file raw.
    const QString logged = qlog::printableLines(text);
    FUZZ_CHECK(fuzz::isPrintableLines(logged));
    FUZZ_CHECK(logged.count(QStringLiteral("\r\n")) == text.count(QStringLiteral("\r\n")));
    if (fuzz::isPrintableLines(text))
        FUZZ_CHECK(logged == text);

    const Read first = read(text, platform);
    FUZZ_CHECK(first == read(text, platform));
    checkRead(text, first, files);
    if (first.antenna)
        checkRoundTrip(first, platform, flags >> 3);
    return 0;
}
