#include "zing/ZingMessage.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

struct RequestCase {
    const char* what;
    QByteArray sent;
    QByteArray expected;
};

class ZingRequestBytes : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ZingRequestBytes, MatchWireFormat)
{
    EXPECT_EQ(GetParam().sent, GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingRequestBytes,
    ::testing::Values(RequestCase{"version, param 1", zing::requestWithLong(zing::VERSION_CMD, 1), hex("0000000400000001")},
                      RequestCase{"param -1", zing::requestWithLong(4, -1), hex("00000004FFFFFFFF")},
                      RequestCase{"param 256", zing::requestWithLong(4, 256), hex("0000000400000100")},
                      RequestCase{"param INT_MIN", zing::requestWithLong(4, std::numeric_limits<int32_t>::min()),
                                  hex("0000000480000000")},
                      RequestCase{"antenna upgrade", zing::requestWithByte(zing::UPGRADE_ANT_FW, 2), hex("0000009002")},
                      RequestCase{"reset", zing::plainRequest(zing::RESET_CMD), hex("0000000D")},
                      RequestCase{"gps bypass", zing::plainRequest(zing::GPS_BYPASS_MODE_CMD), hex("00000325")},
                      RequestCase{"gps test data", zing::gpsTestDataRequest(), hex("0000032640404862002A0D0A")}));

struct NameCase {
    int32_t code;
    const char* name;
};

class ZingCmdNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ZingCmdNames, AreTheLogNames)
{
    EXPECT_EQ(zing::Util_ZingCmdName(GetParam().code), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingCmdNames,
    ::testing::Values(NameCase{0x0000, "RESET_DONE"}, NameCase{0x0004, "VERSION_CMD"}, NameCase{0x000D, "RESET_CMD"},
                      NameCase{0x0013, "RESTORE_FACTORY_DEFAULTS"}, NameCase{0x0032, "CHKDSK_CMD"},
                      NameCase{0x0033, "HALT_GPRS_STACK"}, NameCase{0x0090, "UPGRADE_ANT_FW"},
                      NameCase{0x0091, "ANT_FW_INFO"}, NameCase{0x0092, "RELEASE_INFO"},
                      NameCase{0x0325, "GPS_BYPASS_MODE_CMD"}, NameCase{0x0326, "GPS_TEST_DATA_CMD"},
                      NameCase{0x1004, "VERSION_RESPONSE"}, NameCase{0x1013, "RESTORE_FACTORY_DEFAULTS_CNF"},
                      NameCase{0x1032, "CHKDSK_RESPONSE"}, NameCase{0x1033, "HALT_GPRS_STACK_RESPONSE"},
                      NameCase{0x1090, "UPGRADE_ANT_FW_CNF"}, NameCase{0x1091, "ANT_FW_INFO_CNF"},
                      NameCase{0x1092, "RELEASE_INFO_CNF"}, NameCase{0x1325, "GPS_BYPASS_MODE_RESPONSE"},
                      NameCase{0x1326, "GPS_TEST_DATA_RESPONSE"},
                      // Unknown codes: upper-case hex without leading zeros.
                      NameCase{5, "Unknown(ID=&h5)"}, NameCase{0x2000, "Unknown(ID=&h2000)"},
                      NameCase{0xABC, "Unknown(ID=&hABC)"}, NameCase{-1, "Unknown(ID=&hFFFFFFFF)"}));

TEST(ZingLogLines, LongRequestNamesCodeAndParameterInHex)
{
    EXPECT_EQ(zing::longRequestLogLine(zing::VERSION_CMD, 1), "ZING Request :\t\t\t\tVERSION_CMD (&h4), param=&h1");
    EXPECT_EQ(zing::longRequestLogLine(0x92, -2), "ZING Request :\t\t\t\tRELEASE_INFO (&h92), param=&hFFFFFFFE");
}

struct LongCase {
    QByteArray data;
    int offset;
    int32_t value;
    bool ok;
};

class ZingBytesToLong : public ::testing::TestWithParam<LongCase> {};

TEST_P(ZingBytesToLong, ReadsBigEndianSignedNeverPastTheEnd)
{
    const LongCase& c = GetParam();
    bool ok = !c.ok;
    EXPECT_EQ(zing::Util_BytesToLong(c.data, c.offset, &ok), c.value);
    EXPECT_EQ(ok, c.ok);
}

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingBytesToLong,
    ::testing::Values(LongCase{hex("80000001"), 0, -2147483647, true}, LongCase{hex("00001004"), 0, 4100, true},
                      LongCase{hex("FFFFFFFF"), 0, -1, true}, LongCase{hex("7FFFFFFF"), 0, 2147483647, true},
                      LongCase{hex("AA0000100400"), 1, 0x00001004, true}, LongCase{hex("AA00001004"), 1, 4100, true},
                      // Too short for the field: 0, not a read past the end.
                      LongCase{hex("000010"), 0, 0, false}, LongCase{hex("00001004"), 1, 0, false},
                      LongCase{QByteArray(), 0, 0, false}, LongCase{hex("00001004"), -1, 0, false},
                      LongCase{hex("00001004"), std::numeric_limits<int>::max(), 0, false}));

struct StringCase {
    const char* what;
    QByteArray data;
    int width;
    int offset;
    QString text;
    int offsetAfter;
};

class ZingBytesToString : public ::testing::TestWithParam<StringCase> {};

TEST_P(ZingBytesToString, StopsAtNulWidthOrEndAndAdvancesByWidth)
{
    const StringCase& c = GetParam();
    int offset = c.offset;
    EXPECT_EQ(zing::Util_BytesToString(c.data, c.width, offset), c.text) << c.what;
    EXPECT_EQ(offset, c.offsetAfter) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingBytesToString,
    ::testing::Values(
        StringCase{"NUL ends the text", QByteArray("ATB 1.2\0xyz", 11), 256, 0, "ATB 1.2", 256},
        StringCase{"width ends the text", QByteArray("ABCDEF"), 3, 2, "CDE", 5},
        StringCase{"data ends the text", QByteArray("ABC"), 256, 1, "BC", 257},
        StringCase{"offset past the end", QByteArray("ABC"), 4, 10, "", 14},
        StringCase{"NUL first", QByteArray("\0AB", 3), 3, 0, "", 3},
        StringCase{"single-byte characters", QByteArray("\xE9t\xE9\x80"), 4, 0, QString::fromLatin1("\xE9t\xE9\x80"), 4},
        StringCase{"zero width", QByteArray("ABC"), 0, 0, "", 0},
        StringCase{"negative width", QByteArray("ABC"), -8, 1, "", 1},
        StringCase{"negative offset", QByteArray("ABC"), 2, -1, "", 1},
        StringCase{"huge width", QByteArray("AB"), std::numeric_limits<int>::max(), 5, "", std::numeric_limits<int>::max()}));

struct ReaderCase {
    const char* what;
    QByteArray bytes;
    bool hasCode;
    int32_t code;
    std::optional<int32_t> statusOrLength;
    std::optional<int32_t> textLength;
    std::optional<QString> text;
};

class ZingResponseFields : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ZingResponseFields, ReportMissingFieldsInsteadOfReadingOn)
{
    const ReaderCase& c = GetParam();
    const zing::ZingResponse r = zing::decodeResponse(c.bytes);
    SCOPED_TRACE(c.what);
    EXPECT_EQ(r.hasCode, c.hasCode);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.statusOrLength(), c.statusOrLength);
    EXPECT_EQ(r.textLength(), c.textLength);
    EXPECT_EQ(r.text(), c.text);
}

const QByteArray kLongText = hex("000010910000000000000000000001F4") + QByteArray(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingResponseFields,
    ::testing::Values(
        ReaderCase{"no code", hex("000010"), false, 0, std::nullopt, std::nullopt, std::nullopt},
        ReaderCase{"code only", hex("00001032"), true, 0x1032, std::nullopt, std::nullopt, std::nullopt},
        ReaderCase{"status cut", hex("00001325000000000000"), true, 0x1325, std::nullopt, std::nullopt, std::nullopt},
        ReaderCase{"release info length", hex("0000109200000000" "00000005"), true, 0x1092, 5, std::nullopt,
                   std::nullopt},
        ReaderCase{"text field absent", hex("0000109100000000" "00000000" "00000003"), true, 0x1091, 0, 3,
                   std::nullopt},
        ReaderCase{"one text byte", hex("0000109100000000" "00000000" "00000003" "41"), true, 0x1091, 0, 3,
                   QString("A")},
        ReaderCase{"text stops at NUL", hex("0000109000000000" "00000002" "00000004" "41544200" "4243"), true, 0x1090,
                   2, 4, QString("ATB")},
        ReaderCase{"negative length", hex("0000109000000000" "FFFFFFFF" "80000000"), true, 0x1090, -1,
                   std::numeric_limits<int32_t>::min(), std::nullopt},
        ReaderCase{"text capped at 256", kLongText, true, 0x1091, 0, 500, QString(256, QLatin1Char('x'))}));

struct VersionCase {
    const char* what;
    QByteArray bytes;
    std::optional<QString> text;
};

class ZingVersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ZingVersionText, RunsFromOffsetEightToEndOrNul)
{
    EXPECT_EQ(zing::decodeResponse(GetParam().bytes).versionText(), GetParam().text) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Zing, ZingVersionText,
    ::testing::Values(VersionCase{"short", hex("00001004000000"), std::nullopt},
                      VersionCase{"empty", hex("0000100400000000"), QString()},
                      VersionCase{"text", hex("0000100400000000") + "AppSW: 5.7.1.12", QString("AppSW: 5.7.1.12")},
                      VersionCase{"NUL padding", hex("0000100400000000") + QByteArray("5.6.0.3 \0\0junk", 14),
                                  QString("5.6.0.3 ")},
                      VersionCase{"long text", hex("0000100400000000") + QByteArray(600, 'v'), QString(600, QLatin1Char('v'))},
                      VersionCase{"non-ASCII", hex("0000100400000000") + "A\xB5" "B", QString::fromLatin1("A\xB5" "B")}));

}  // namespace
