#include "log/LogFormat.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(LogLine, FormatsTimeTagTabAndText)
{
    const QTime t(14, 3, 25);
    const struct { QTime time; int level; QString text, said; QByteArray expected; } rows[] = {
        {t, 0, "Invalid Release Info response length.", "", "[14:03:25] ERR: \tInvalid Release Info response length.\r\n"},
        {QTime(0, 0, 5), 1, "a", "", "[00:00:05] INF: \ta\r\n"},
        // Level 4 has no tag: two tabs in a row.
        {t, 4, "x", "", "[14:03:25] \t\tx\r\n"},
        // The program's CR LF gives two physical lines, the second bare; the
        // terminal's stays on its line.
        {t, 2, "ZING Version Info:\r\n", "AppSW: 5.7.1.12\r\nPIC: 3.02",
         "[14:03:25] VRB: \tZING Version Info:\r\nAppSW: 5.7.1.12 /xD  /xA PIC: 3.02\r\n"},
        // Nothing but printable ASCII, tabs and CR LF reaches the file.
        {t, 1, QString::fromLatin1("\xE9\n\x1b"), QString::fromLatin1("\0\t\xB0", 3),
         "[14:03:25] INF: \t /xE9  /xA  /x1B  /x0  /x9  /xB0 \r\n"},
        // No line but the first may pass for an entry of its own.
        {t, 1, "Raw:\r\n", "[12:00:00] INF: \tforged", "[14:03:25] INF: \tRaw:\r\n /x5B 12:00:00] INF:  /x9 forged\r\n"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(qlog::formatLine(r.time, r.level, r.text, r.said), r.expected);
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

// The terminal's text whole, for the log; any text for a screen or the JSON
// keeps its letters and (where asked) its line breaks, nothing that steers a terminal.
TEST(LogTerminalText, CodesWhatCouldSteerATerminal)
{
    const struct { QString text, fromTerminal, onScreen; } rows[] = {
        {"a\r\nb\x1b[2J", "a /xD  /xA b /x1B [2J", "a /xD \nb /x1B [2J"},
        {QString::fromUtf8("\xc3\xa9\xc2\x85\xe2\x80\xae\xe6\x97\xa5\xf0\x9f\x98\x80\x7f"), " /xE9  /x85  /x202E  /x65E5  /xD83D  /xDE00  /x7F ",
         QString::fromUtf8("\xc3\xa9 /x85  /x202E \xe6\x97\xa5\xf0\x9f\x98\x80 /x7F ")},
        {QString(QChar(0xD800)) + "x", " /xD800 x", " /xD800 x"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(qlog::fromTerminal(r.text), r.fromTerminal);
        EXPECT_EQ(qlog::controlsShown(r.text, true), r.onScreen);
    }
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
