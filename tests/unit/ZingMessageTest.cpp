#include "zing/ZingMessage.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

constexpr int kIntMax = std::numeric_limits<int>::max();

TEST(ZingRequest, BytesMatchTheWireFormat)
{
    const struct { const char* what; QByteArray sent, expected; } rows[] = {
        {"version, param 1", zing::requestWithLong(zing::VERSION_CMD, 1), hex("0000000400000001")},
        {"param -1", zing::requestWithLong(4, -1), hex("00000004FFFFFFFF")},
        {"antenna upgrade", zing::requestWithByte(zing::UPGRADE_ANT_FW, 2), hex("0000009002")},
        {"reset", zing::plainRequest(zing::RESET_CMD), hex("0000000D")},
        {"gps test data", zing::gpsTestDataRequest(), hex("0000032640404862002A0D0A")},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.sent, r.expected) << r.what;
}

TEST(ZingLogText, UnknownCodesAndParametersInUpperCaseHex)
{
    EXPECT_EQ(zing::Util_ZingCmdName(-1), "Unknown(ID=&hFFFFFFFF)");
    EXPECT_EQ(zing::longRequestLogLine(0x92, -2), "ZING Request :\t\t\t\tRELEASE_INFO (&h92), param=&hFFFFFFFE");
}

// Too short for the field: 0, not a read past the end.
TEST(ZingBytesToLong, ReadsBigEndianSignedNeverPastTheEnd)
{
    const struct { QByteArray data; int offset; int32_t value; bool ok; } rows[] = {
        {hex("80000001"), 0, -2147483647, true}, {hex("AA00001004"), 1, 4100, true}, {hex("000010"), 0, 0, false},
        {hex("00001004"), 1, 0, false}, {hex("00001004"), -1, 0, false}, {hex("00001004"), kIntMax, 0, false},
    };
    for (const auto& r : rows) {
        bool ok = !r.ok;
        EXPECT_EQ(zing::Util_BytesToLong(r.data, r.offset, &ok), r.value) << r.data.toHex().toStdString() << " @" << r.offset;
        EXPECT_EQ(ok, r.ok) << r.data.toHex().toStdString() << " @" << r.offset;
    }
}

TEST(ZingBytesToString, StopsAtNulWidthOrEndAndAdvancesByWidth)
{
    const struct { const char* what; QByteArray data; int width, offset; QString text; int offsetAfter; } rows[] = {
        {"NUL ends the text", QByteArray("ATB 1.2\0xyz", 11), 256, 0, "ATB 1.2", 256}, {"width ends the text", "ABCDEF", 3, 2, "CDE", 5},
        {"data ends the text", "ABC", 256, 1, "BC", 257}, {"offset past the end", "ABC", 4, 10, "", 14},
        {"single-byte characters", "\xE9t\xE9\x80", 4, 0, QString::fromLatin1("\xE9t\xE9\x80"), 4},
        {"negative width", "ABC", -8, 1, "", 1}, {"negative offset", "ABC", 2, -1, "", 1}, {"huge width", "AB", kIntMax, 5, "", kIntMax},
    };
    for (const auto& r : rows) {
        int offset = r.offset;
        EXPECT_EQ(zing::Util_BytesToString(r.data, r.width, offset), r.text) << r.what;
        EXPECT_EQ(offset, r.offsetAfter) << r.what;
    }
}

TEST(ZingResponseFields, ReportMissingFieldsInsteadOfReadingOn)
{
    const auto none = std::nullopt;
    const struct { const char* what; QByteArray bytes; bool hasCode; int32_t code;
                   std::optional<int32_t> statusOrLength, textLength; std::optional<QString> text; } rows[] = {
        {"no code", hex("000010"), false, 0, none, none, none},
        {"status cut", hex("00001325000000000000"), true, 0x1325, none, none, none},
        {"release info length", hex("0000109200000000" "00000005"), true, 0x1092, 5, none, none},
        {"text field absent", hex("0000109100000000" "00000000" "00000003"), true, 0x1091, 0, 3, none},
        {"one text byte", hex("0000109100000000" "00000000" "00000003" "41"), true, 0x1091, 0, 3, "A"},
        {"text stops at NUL", hex("0000109000000000" "00000002" "00000004" "41544200" "4243"), true, 0x1090, 2, 4, "ATB"},
        {"text capped at 256", hex("000010910000000000000000000001F4") + QByteArray(300, 'x'), true, 0x1091, 0, 500,
         QString(256, QLatin1Char('x'))},
    };
    for (const auto& r : rows) {
        const zing::ZingResponse z = zing::decodeResponse(r.bytes);
        EXPECT_EQ(std::tuple(z.hasCode, z.code, z.statusOrLength(), z.textLength(), z.text()),
                  std::tuple(r.hasCode, r.code, r.statusOrLength, r.textLength, r.text)) << r.what;
    }
}

// Unlike the other texts, the version text has no width of its own.
TEST(ZingVersionText, RunsFromOffsetEightToEndOrNul)
{
    const QByteArray head = hex("0000100400000000");
    const struct { const char* what; QByteArray bytes; std::optional<QString> text; } rows[] = {
        {"short", hex("00001004000000"), std::nullopt}, {"empty", head, QString()},
        {"NUL padding", head + QByteArray("5.6.0.3 \0\0junk", 14), "5.6.0.3 "},
        {"long text", head + QByteArray(600, 'v'), QString(600, QLatin1Char('v'))},
    };
    for (const auto& r : rows)
        EXPECT_EQ(zing::decodeResponse(r.bytes).versionText(), r.text) << r.what;
}

}  // namespace
