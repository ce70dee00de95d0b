#include "log/LogFormat.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(LogLine, FormatsTimeTagTabAndText)
{
    const QTime t(14, 3, 25);
    const struct { QTime time; int level; QString text; QByteArray expected; } rows[] = {
        {t, 0, "Invalid Release Info response length.", "[14:03:25] ERR: \tInvalid Release Info response length.\r\n"},
        {QTime(0, 0, 5), 1, "a", "[00:00:05] INF: \ta\r\n"},
        // Level 4 has no tag: two tabs in a row.
        {t, 4, "x", "[14:03:25] \t\tx\r\n"},
        // A text holding CR LF gives two physical lines, the second bare.
        {t, 2, "ZING Version Info:\r\nAppSW: 5.7.1.12", "[14:03:25] VRB: \tZING Version Info:\r\nAppSW: 5.7.1.12\r\n"},
        // Terminal texts are single-byte; they must reach the file unchanged.
        {t, 1, QString::fromLatin1("\xE9\xB0"), "[14:03:25] INF: \t\xE9\xB0\r\n"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(qlog::formatLine(r.time, r.level, r.text), r.expected);
}

TEST(LogFile, HeaderAndClosingBlocksAndTheFileName)
{
    const QByteArray rule = QByteArray(79, '*') + "\r\n";
    EXPECT_EQ(qlog::headerBlock(QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22))),
              rule + "QORA Software Upgrader logging initialized: 2026-12-05 @ 14:03:22\r\n" + rule);
    const struct { QDateTime when; QByteArray stampLine; } rows[] = {
        {QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22)), "Close logging.  [12/05/2026 @ 02:03:22 PM] "},
        {QDateTime(QDate(2026, 1, 9), QTime(0, 15, 0)), "Close logging.  [01/09/2026 @ 12:15:00 AM] "},
        {QDateTime(QDate(2026, 7, 31), QTime(12, 0, 1)), "Close logging.  [07/31/2026 @ 12:00:01 PM] "},
    };
    for (const auto& r : rows)
        EXPECT_EQ(qlog::closingBlock(r.when), "\r\n" + rule + r.stampLine + "\r\n" + rule);
    // The file name: a zero-padded stamp; slashes are replaced in the name only.
    EXPECT_EQ(qlog::logFileName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))), "2027-01-02_03-04-05_Upgrader_log.txt");
    // A later run of the same second: a name of its own that sorts after the first.
    const QString second = qlog::logFileName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)), 2);
    EXPECT_EQ(second, "2027-01-02_03-04-05_Upgrader_log_2.txt");
    EXPECT_GT(second.compare("2027-01-02_03-04-05_Upgrader_log.txt", Qt::CaseInsensitive), 0);
    EXPECT_EQ(qlog::logFilePath("/home/u/pkg/logs/", "12/05/2026_log.txt"), "/home/u/pkg/logs/12_05_2026_log.txt");
}

// Only the first length bytes, and never past the end.
TEST(LogPrintableBytes, RendersControlBytesAsHexNeverPastTheEnd)
{
    const struct { QByteArray bytes; int length; QString expected; } rows[] = {
        {"A\r\n", 3, "A /xD  /xA "}, {QByteArray(1, '\0'), 1, " /x0 "}, {" ~\x7f\x1f", 4, " ~ /x7F  /x1F "},
        {"\xff\x80", 2, " /xFF  /x80 "}, {"abc", 2, "ab"}, {"abc", 10, "abc"}, {"abc", -1, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(qlog::printableBytes(r.bytes, r.length), r.expected) << r.bytes.toHex().toStdString() << " / " << r.length;
}

// Box texts and addresses come from the program and the user, and may carry
// anything: one line, nothing raw but printable ASCII.
TEST(LogPrintableText, BoxesAndAddressesStayOnePrintableLine)
{
    const struct { QString title, text, expected; } boxes[] = {
        {"Upgrader: FAULT", "Multiple (2) binary files found in /p/\r\nPlease make sure there is only one.",
         "Message box \"Upgrader: FAULT\": Multiple (2) binary files found in /p/ | Please make sure there is only one."},
        {"t", "a\r\n\r\n - Software\r\n", "Message box \"t\": a |  |  - Software | "},
        // A lone CR or LF, a tab, ESC, a C1 control and letters the log cannot hold.
        {"t\n", "x\ry\tz\x1b[2J\u0085\u00e9\u65e5", "Message box \"t /xA \": x /xD y /x9 z /x1B [2J /x85  /xE9  /x65E5 "},
    };
    for (const auto& b : boxes)
        EXPECT_EQ(qlog::boxLine(b.title, b.text), b.expected);
    EXPECT_EQ(qlog::connectionLine("sckZING", "127.0.0.1", 1827), "sckZING: connecting to 127.0.0.1 port 1827");
    EXPECT_EQ(qlog::connectionLine("inetFTP", "10.0.0.1\r\nERR: x", 21), "inetFTP: connecting to 10.0.0.1 | ERR: x port 21");
    // A terminal's text keeps its lines; a lone CR or LF is no line break.
    EXPECT_EQ(qlog::printableLines("ATB: 1.4\x1b[2J\r\nHPA: 1.2\r2\n\r\n"), "ATB: 1.4 /x1B [2J\r\nHPA: 1.2 /xD 2 /xA \r\n");
}

}  // namespace
