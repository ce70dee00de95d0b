// One receive event taken as a ZING response, every field reader applied.
// The first eight bytes double as an offset and a width for the raw readers.
#include "FuzzSupport.h"
#include "zing/ZingMessage.h"

#include <limits>

namespace {

int32_t bigEndianAt(const QByteArray& b, int offset)
{
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u = (u << 8) | static_cast<uchar>(b.at(offset + i));
    return static_cast<int32_t>(u);
}

// A field read as text never holds a NUL and never outgrows the bytes after its offset.
void checkField(const std::optional<QString>& text, qsizetype available, qsizetype width)
{
    if (!text)
        return;
    FUZZ_CHECK(text->size() <= available);
    FUZZ_CHECK(text->size() <= width);
    FUZZ_CHECK(!text->contains(QChar(0)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray in = fuzz::bytes(data, size);
    const zing::ZingResponse r = zing::decodeResponse(in);
    const qsizetype n = in.size();

    FUZZ_CHECK(r.hasCode == (n >= 4));
    FUZZ_CHECK(r.code == (n >= 4 ? bigEndianAt(in, 0) : 0));
    FUZZ_CHECK(r.statusOrLength().has_value() == (n >= 12));
    FUZZ_CHECK(r.textLength().has_value() == (n >= 16));
    if (n >= 16)
        FUZZ_CHECK(*r.textLength() == bigEndianAt(in, 12));
    FUZZ_CHECK(r.text().has_value() == (n > zing::kTextOffset));
    checkField(r.text(), n - zing::kTextOffset, zing::kTextWidth);
    FUZZ_CHECK(r.versionText().has_value() == (n >= zing::kVersionTextOffset));
    checkField(r.versionText(), n - zing::kVersionTextOffset, n);

    FUZZ_CHECK(!zing::Util_ZingCmdName(r.code).isEmpty());
    for (int field : {zing::kStatusOrLengthOffset, zing::kTextLengthOffset, zing::kTextOffset})
        FUZZ_CHECK(zing::shortResponseNote(r, field).contains(QString::number(n) + QStringLiteral(" bytes")));

    // The raw readers with offsets and widths a handler could compute from a hostile length field.
    if (n >= 8) {
        const int offset = bigEndianAt(in, 0);
        const int width = bigEndianAt(in, 4);
        bool ok = true;
        const int32_t value = zing::Util_BytesToLong(in, offset, &ok);
        FUZZ_CHECK(ok == (offset >= 0 && static_cast<qint64>(offset) + 4 <= n));
        FUZZ_CHECK(ok || value == 0);

        for (int start : {offset, static_cast<int>(static_cast<uchar>(in.at(0))), 0}) {
            int moving = start;
            const QString s = zing::Util_BytesToString(in, width, moving);
            FUZZ_CHECK(s.size() <= std::max(0, width));
            FUZZ_CHECK(s.size() <= n);
            FUZZ_CHECK(!s.contains(QChar(0)));
            if (width <= 0) {
                FUZZ_CHECK(moving == start);
            } else {
                const qint64 expected = std::min<qint64>(static_cast<qint64>(start) + width, std::numeric_limits<int>::max());
                FUZZ_CHECK(moving == expected);
            }
        }
    }
    return 0;
}
