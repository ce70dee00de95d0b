// The FTP reply parser and the passive-mode replies, fed bytes without sockets.
#include "platform/FtpReply.h"

#include <gtest/gtest.h>

namespace {

// A peer sending without end must not make the parser hold more than its
// limits, and a reply past what any server sends breaks the session instead
// of holding the command for good.
TEST(FtpReplyParser, GivesCompleteRepliesInOrderWithinItsBounds)
{
    QList<QByteArray> endlessLines{"211-start\r\n"};
    for (int i = 0; i < FtpReplyParser::kMaxReplyLines; ++i)
        endlessLines << "211-line that goes on and on\r\n";
    // The pieces are fed one after the other; each reply is its code and the
    // start of its text.
    const struct { const char* name; QList<QByteArray> pieces; QStringList replies; bool overflows = false; } rows[] = {
        {"two in one read", {"331 pw\r\n230 in\r\n"}, {"331 331 pw", "230 230 in"}},
        {"LF only", {"250 ok\n"}, {"250 250 ok"}}, {"bare code", {"200\r\n"}, {"200 200"}}, {"incomplete line waits", {"550 no such"}, {}},
        {"split inside the code", {"2", "2", "6 done\r", "\n"}, {"226 226 done"}},
        {"multi-line", {"230-Welcome\r\n230-second\r\n230 end\r\n"}, {"230 230-Welcome\r\n230-second\r\n230 end"}},
        {"multi-line inner lines that look like replies",
         {"220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last\r\n", "200 next\r\n"},
         {"220 220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last", "200 200 next"}},
        {"garbage lines are dropped", {"hello\r\n99 x\r\n600 x\r\n12a b\r\n2000\r\n250 ok\r\n"}, {"250 250 ok"}},
        // The text goes to boxes and the log: printable, line by line.
        {"CR inside a line", {"250 a\rb\r\n"}, {"250 250 a /xD b"}},
        {"utf-8 text", {"550 f\xc3\xbcr\r\n"}, {"550 550 f /xFC r"}},
        {"escape sequences", {"550-\x1b]0;x\x07\r\n550 \x1b[2J\r\n"}, {"550 550- /x1B ]0;x /x7 \r\n550  /x1B [2J"}},
        {"a long line is cut, the next reply still read", {"550 " + QByteArray(100 << 10, 'x'), "\r\n226 done\r\n"},
         {"550 550 " + QString(60, 'x'), "226 226 done"}},
        {"a reply of many lines, ended in time", {"211-a\r\n", QByteArray("211-b\r\n").repeated(900), "211 end\r\n"},
         {"211 " + ("211-a\r\n" + QString("211-b\r\n").repeated(9)).left(64)}},
        {"lines without end", endlessLines, {}, true},
        {"bytes without a line end", {QByteArray(FtpReplyParser::kMaxReplyBytes + 1, '\0'), "\n220 ok\n"}, {}, true},
        {"garbage lines between replies", {"220 hi\r\n", QByteArray("garbage\r\n").repeated(2000), "200 ok\r\n"}, {"220 220 hi"}, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        FtpReplyParser p;
        QStringList got;
        for (const QByteArray& piece : r.pieces) {
            p.feed(piece);
            while (auto reply = p.next()) {
                EXPECT_LE(reply->text.size(), FtpReplyParser::kMaxText);
                got << QString::number(reply->code) + ' ' + reply->text.left(64);
            }
        }
        EXPECT_EQ(got, r.replies);
        EXPECT_EQ(p.overflowed(), r.overflows);
    }
}

// Port 0: not understood.
TEST(FtpPassiveReplies, FindTheAddressAndPortOrNothing)
{
    const struct { const char* text; int port; quint32 address; } pasv[] = {
        {"227 Entering Passive Mode (127,0,0,1,195,80).", 50000, 0x7f000001}, {"227 =10,1,2,3,255,255", 65535, 0x0a010203},
        {"227 Entering Passive Mode (127,0,0,1,256,1)", 0, 0}, {"227 Entering Passive Mode (127,0,0,1,0,0)", 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,4)", 0, 0},
    };
    for (const auto& r : pasv) {
        quint32 address = 0;
        EXPECT_EQ(parsePasvReply(r.text, &address).value_or(0), r.port) << r.text;
        EXPECT_EQ(address, r.address) << r.text;
    }
    const std::pair<const char*, int> epsv[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446}, {"229 ok (!!!21!)", 21}, {"229 (|||65535|)", 65535},
        {"229 (|||65536|)", 0}, {"229 (|||0|)", 0}, {"229 (||1|6446|)", 0}, {"229 (|||6446!)", 0},
    };
    for (const auto& [text, port] : epsv)
        EXPECT_EQ(parseEpsvReply(text).value_or(0), port) << text;
}

// The size that proves an upload whole: a wrong column or another file's
// line would pass a truncated upload or fail a good one. -1: no size.
TEST(FtpUploadSizes, ComeFromSizeRepliesAndTheFilesOwnListLine)
{
    const struct { int code; const char* text; qint64 size; } replies[] = {
        {213, "213 204800", 204800}, {213, "213 0", 0}, {213, "213 ", -1}, {213, "213 12 bytes", -1}, {550, "550 204800", -1},
    };
    for (const auto& r : replies)
        EXPECT_EQ(parseSizeReply({r.code, r.text}).value_or(-1), r.size) << r.text;

    const struct { const char* listing; const char* name; qint64 size; } lists[] = {
        {"-rw-r--r--   1 owner group  123456 Jan 01 00:00 atb.sxm\r\n", "atb.sxm", 123456},
        {"-rw-r--r-- 1 owner 77 Mar  5  2023 atb.sxm", "atb.sxm", 77}, {"01-31-24  10:00AM   9999 ATB.SXM\r\n", "atb.sxm", 9999},
        {"-rwxrwxrwx 1 0 0 42 Dec 31 23:59 /tffs0/pic.s19\r\n", "/tffs0/pic.s19", 42},
        {"-rw-r--r-- 1 a b 10 Jan 01 00:00 hpa.sxm\r\n-rw-r--r-- 1 a b 55 Jan 01 00:00 atb.sxm\r\n", "atb.sxm", 55},
        {"-rw-r--r-- 1 a b 10 Jan 01 00:00 hpa.sxm\r\n", "atb.sxm", -1},
        {"drwxr-xr-x 2 a b 4096 Jan 01 00:00 atb.sxm\r\n", "atb.sxm", -1}, {"01-31-24 10:00AM <DIR> atb.sxm\r\n", "atb.sxm", -1},
    };
    for (const auto& r : lists)
        EXPECT_EQ(parseListedSize(r.listing, QString::fromLatin1(r.name)).value_or(-1), r.size) << r.listing;
}

}  // namespace
