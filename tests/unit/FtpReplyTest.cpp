// The FTP reply parser and the passive-mode replies, fed bytes without sockets.
#include "platform/FtpReply.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Replies = std::vector<std::pair<int, QString>>;

Replies parseAll(FtpReplyParser& p, const std::vector<QByteArray>& pieces)
{
    Replies out;
    for (const QByteArray& piece : pieces) {
        p.feed(piece);
        while (auto r = p.next())
            out.emplace_back(r->code, r->text);
    }
    return out;
}

TEST(FtpReplyParser, GivesCompleteRepliesInOrder)
{
    // The pieces are fed one after the other.
    const struct { const char* name; std::vector<QByteArray> pieces; Replies replies; } rows[] = {
        {"two in one read", {"331 pw\r\n230 in\r\n"}, {{331, "331 pw"}, {230, "230 in"}}},
        {"LF only", {"250 ok\n"}, {{250, "250 ok"}}}, {"bare code", {"200\r\n"}, {{200, "200"}}},
        {"split inside the code", {"2", "2", "6 done\r", "\n"}, {{226, "226 done"}}},
        {"incomplete line waits", {"550 no such"}, {}},
        {"multi-line", {"230-Welcome\r\n230-second\r\n230 end\r\n"}, {{230, "230-Welcome\r\n230-second\r\n230 end"}}},
        {"multi-line inner lines that look like replies",
         {"220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last\r\n"},
         {{220, "220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last"}}},
        {"multi-line split across reads", {"211-a\r\n21", "1-b\r\n211", " c\r\n"}, {{211, "211-a\r\n211-b\r\n211 c"}}},
        {"preliminary then final", {"150 opening\r\n226 done\r\n"}, {{150, "150 opening"}, {226, "226 done"}}},
        {"garbage lines are dropped", {"hello\r\n99 x\r\n600 x\r\n12a b\r\n2000\r\n250 ok\r\n"}, {{250, "250 ok"}}},
        {"CR inside a line stays", {"250 a\rb\r\n"}, {{250, "250 a\rb"}}},
        {"utf-8 text", {"550 f\xc3\xbcr\r\n"}, {{550, QString::fromUtf8("550 f\xc3\xbcr")}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        FtpReplyParser p;
        EXPECT_EQ(parseAll(p, r.pieces), r.replies);
    }
}

// A peer sending without end must not make the parser hold more than its limits.
TEST(FtpReplyParser, OverlongLinesEndlessRepliesAndGarbageStayBounded)
{
    FtpReplyParser p;
    const QByteArray huge(1 << 20, 'x');
    p.feed("550 " + huge);
    p.feed(huge);
    p.feed("\r\n226 done\r\n");
    auto first = p.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 550);
    EXPECT_EQ(first->text.size(), FtpReplyParser::kMaxLine);
    auto second = p.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->text, "226 done");

    FtpReplyParser endless;
    endless.feed("211-start\r\n");
    for (int i = 0; i < 100000; ++i)
        endless.feed("211-line that goes on and on\r\n");
    EXPECT_FALSE(endless.next());
    endless.feed("211 end\r\n");
    auto r = endless.next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 211);
    EXPECT_LE(r->text.size(), FtpReplyParser::kMaxText);
    EXPECT_TRUE(r->text.startsWith("211-start"));

    FtpReplyParser garbage;
    for (int i = 0; i < 64; ++i)
        garbage.feed(QByteArray(1 << 16, '\0'));
    garbage.feed("\n220 ok\n");
    auto g = garbage.next();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->code, 220);
    EXPECT_FALSE(garbage.next());
}

TEST(FtpPassiveReplies, FindTheAddressAndPortOrNothing)
{
    // Port 0: not understood.
    const struct { const char* text; int port; quint32 address; } pasv[] = {
        {"227 Entering Passive Mode (127,0,0,1,195,80).", 50000, 0x7f000001},
        {"227 Entering Passive Mode 127,0,0,2,0,21", 21, 0x7f000002},
        {"227 =10,1,2,3,255,255", 65535, 0x0a010203},
        {"227 Entering Passive Mode (127,0,0,1,256,1)", 0, 0}, {"227 Entering Passive Mode (127,0,0,1,0,0)", 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,4)", 0, 0},     {"227 ok", 0, 0},
    };
    for (const auto& r : pasv) {
        SCOPED_TRACE(r.text);
        quint32 address = 0;
        const auto port = parsePasvReply(r.text, &address);
        EXPECT_EQ(port.value_or(0), r.port);
        if (port) {
            EXPECT_EQ(address, r.address);
        }
    }
    const std::pair<const char*, int> epsv[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446}, {"229 ok (!!!21!)", 21}, {"229 (|||65535|)", 65535},
        {"229 (|||65536|)", 0}, {"229 (|||0|)", 0}, {"229 (||1|6446|)", 0}, {"229 (|||6446!)", 0},
        {"229 Entering Extended Passive Mode", 0},
    };
    for (const auto& [text, port] : epsv)
        EXPECT_EQ(parseEpsvReply(text).value_or(0), port) << text;
}

}  // namespace
