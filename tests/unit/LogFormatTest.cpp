#include "log/LogFormat.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

const QTime kTime(14, 3, 25);

struct LineCase {
    int level;
    QString text;
    QByteArray expected;
};

class LogLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLineTest, FormatsTimeTagTabAndText)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(qlog::formatLine(kTime, c.level, c.text), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LogLineTest,
    ::testing::Values(
        LineCase{0, "Invalid Release Info response length.", "[14:03:25] ERR: \tInvalid Release Info response length.\r\n"},
        LineCase{1, "Retry Connecting", "[14:03:25] INF: \tRetry Connecting\r\n"},
        LineCase{2, ">> Form_Unload()", "[14:03:25] VRB: \t>> Form_Unload()\r\n"},
        LineCase{3, "tmr40SecDelay.Enabled = True", "[14:03:25] DET: \ttmr40SecDelay.Enabled = True\r\n"},
        // Level 4 has no tag: two tabs in a row.
        LineCase{4, "x", "[14:03:25] \t\tx\r\n"},
        // A text holding CR LF gives two physical lines, the second bare.
        LineCase{2, "ZING Version Info:\r\nAppSW: 5.7.1.12", "[14:03:25] VRB: \tZING Version Info:\r\nAppSW: 5.7.1.12\r\n"},
        LineCase{1, "", "[14:03:25] INF: \t\r\n"}));

TEST(LogLine, HoursUseTheTwentyFourHourClockWithLeadingZeros)
{
    EXPECT_EQ(qlog::formatLine(QTime(0, 0, 5), 1, "a"), QByteArray("[00:00:05] INF: \ta\r\n"));
    EXPECT_EQ(qlog::formatLine(QTime(23, 59, 59), 1, "a"), QByteArray("[23:59:59] INF: \ta\r\n"));
}

TEST(LogLine, SingleByteTextIsWrittenByteForByte)
{
    // Terminal texts are single-byte; they must reach the file unchanged.
    const QString text = QString::fromLatin1("\xE9\xB0");
    EXPECT_EQ(qlog::formatLine(kTime, 1, text), QByteArray("[14:03:25] INF: \t\xE9\xB0\r\n"));
}

TEST(LogBlocks, HeaderIsRuleTitleRule)
{
    const QByteArray h = qlog::headerBlock(QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22)));
    const QList<QByteArray> lines = h.split('\n');
    ASSERT_EQ(lines.size(), 4);  // three lines and the empty rest after the last LF
    EXPECT_EQ(lines[0], QByteArray(79, '*') + '\r');
    EXPECT_EQ(lines[1], QByteArray("QORA Software Upgrader logging initialized: 2026-12-05 @ 14:03:22\r"));
    EXPECT_EQ(lines[2], QByteArray(79, '*') + '\r');
    EXPECT_TRUE(lines[3].isEmpty());
}

TEST(LogBlocks, ClosingUsesMonthDayYearAndTwelveHourClock)
{
    struct Case {
        QDateTime when;
        QByteArray stampLine;
    };
    const Case cases[] = {
        {QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22)), "Close logging.  [12/05/2026 @ 02:03:22 PM] "},
        {QDateTime(QDate(2026, 1, 9), QTime(0, 15, 0)), "Close logging.  [01/09/2026 @ 12:15:00 AM] "},
        {QDateTime(QDate(2026, 7, 31), QTime(12, 0, 1)), "Close logging.  [07/31/2026 @ 12:00:01 PM] "},
    };
    for (const Case& c : cases) {
        const QByteArray expected = "\r\n" + QByteArray(79, '*') + "\r\n" + c.stampLine + "\r\n" + QByteArray(79, '*') + "\r\n";
        EXPECT_EQ(qlog::closingBlock(c.when), expected) << c.stampLine.constData();
    }
}

TEST(LogFileName, ZeroPaddedStampAndSuffix)
{
    EXPECT_EQ(qlog::logFileName(QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22))), "2026-12-05_14-03-22_Upgrader_log.txt");
    EXPECT_EQ(qlog::logFileName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))), "2027-01-02_03-04-05_Upgrader_log.txt");
}

TEST(LogFilePath, SlashesAreReplacedInTheNameOnly)
{
    EXPECT_EQ(qlog::logFilePath("/home/u/pkg/logs/", "12/05/2026_log.txt"), "/home/u/pkg/logs/12_05_2026_log.txt");
    EXPECT_EQ(qlog::logFilePath("/a b/logs/", "x.txt"), "/a b/logs/x.txt");
}

struct PrintableCase {
    QByteArray bytes;
    int length;
    QString expected;
};

class PrintableBytesTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableBytesTest, RendersControlBytesAsHex)
{
    const PrintableCase& c = GetParam();
    EXPECT_EQ(qlog::printableBytes(c.bytes, c.length), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, PrintableBytesTest,
    ::testing::Values(PrintableCase{QByteArray("A\r\n"), 3, "A /xD  /xA "}, PrintableCase{QByteArray(), 0, ""},
                      PrintableCase{QByteArray(1, '\0'), 1, " /x0 "},
                      PrintableCase{QByteArray(" ~\x7f\x1f"), 4, " ~ /x7F  /x1F "},
                      PrintableCase{QByteArray("\xff\x80"), 2, " /xFF  /x80 "},
                      // Only the first length bytes, never past the end.
                      PrintableCase{QByteArray("abc"), 2, "ab"}, PrintableCase{QByteArray("abc"), 10, "abc"},
                      PrintableCase{QByteArray("abc"), -1, ""}));

}  // namespace
