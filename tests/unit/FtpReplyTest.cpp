// The FTP reply parser and the passive-mode replies, fed bytes without sockets.
#include "platform/FtpReply.h"

#include "support/TableRows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ReplyCase {
    const char* name;
    std::vector<QByteArray> pieces;  // fed one after the other
    std::vector<std::pair<int, QString>> replies;
};

std::vector<std::pair<int, QString>> parseAll(FtpReplyParser& p, const std::vector<QByteArray>& pieces)
{
    std::vector<std::pair<int, QString>> out;
    for (const QByteArray& piece : pieces) {
        p.feed(piece);
        while (auto r = p.next())
            out.emplace_back(r->code, r->text);
    }
    return out;
}

class FtpReplySplitTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(FtpReplySplitTest, GivesCompleteRepliesInOrder)
{
    const ReplyCase& c = GetParam();
    FtpReplyParser p;
    EXPECT_EQ(parseAll(p, c.pieces), c.replies) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    FtpReplies, FtpReplySplitTest,
    ::testing::Values(
        ReplyCase{"single", {"220 ready\r\n"}, {{220, "220 ready"}}},
        ReplyCase{"two in one read", {"331 pw\r\n230 in\r\n"}, {{331, "331 pw"}, {230, "230 in"}}},
        ReplyCase{"LF only", {"250 ok\n"}, {{250, "250 ok"}}},
        ReplyCase{"split inside the code", {"2", "2", "6 done\r", "\n"}, {{226, "226 done"}}},
        ReplyCase{"incomplete line waits", {"550 no such"}, {}},
        ReplyCase{"bare code", {"200\r\n"}, {{200, "200"}}},
        ReplyCase{"multi-line",
                  {"230-Welcome\r\n230-second\r\n230 end\r\n"},
                  {{230, "230-Welcome\r\n230-second\r\n230 end"}}},
        ReplyCase{"multi-line inner lines that look like replies",
                  {"220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last\r\n"},
                  {{220, "220-banner\r\n 220 indented\r\n221 other code\r\n220-still\r\n220 last"}}},
        ReplyCase{"multi-line split across reads", {"211-a\r\n21", "1-b\r\n211", " c\r\n"}, {{211, "211-a\r\n211-b\r\n211 c"}}},
        ReplyCase{"preliminary then final", {"150 opening\r\n226 done\r\n"}, {{150, "150 opening"}, {226, "226 done"}}},
        ReplyCase{"garbage lines are dropped", {"hello\r\n99 x\r\n600 x\r\n12a b\r\n2000\r\n250 ok\r\n"}, {{250, "250 ok"}}},
        ReplyCase{"CR inside a line stays", {"250 a\rb\r\n"}, {{250, "250 a\rb"}}},
        ReplyCase{"utf-8 text", {"550 f\xc3\xbcr\r\n"}, {{550, QString::fromUtf8("550 f\xc3\xbcr")}}}),
    tablerows::RowName());

TEST(FtpReplyParser, OverlongLineIsCutAndTheNextReplyStillParses)
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
}

TEST(FtpReplyParser, EndlessMultiLineReplyStaysBoundedAndStillEnds)
{
    FtpReplyParser p;
    p.feed("211-start\r\n");
    for (int i = 0; i < 100000; ++i)
        p.feed("211-line that goes on and on\r\n");
    EXPECT_FALSE(p.next());
    p.feed("211 end\r\n");
    auto r = p.next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 211);
    EXPECT_LE(r->text.size(), FtpReplyParser::kMaxText);
    EXPECT_TRUE(r->text.startsWith("211-start"));
}

TEST(FtpReplyParser, GarbageWithoutLineEndsHoldsNoMoreThanOneLine)
{
    FtpReplyParser p;
    for (int i = 0; i < 64; ++i)
        p.feed(QByteArray(1 << 16, '\0'));
    p.feed("\n220 ok\n");
    auto r = p.next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 220);
    EXPECT_FALSE(p.next());
}

struct PassiveCase {
    const char* text;
    int port;  // 0: not understood
    quint32 address;
};

void PrintTo(const PassiveCase& c, std::ostream* os)
{
    *os << c.text;
}

class PasvReplyTest : public ::testing::TestWithParam<PassiveCase> {};

TEST_P(PasvReplyTest, FindsTheSixNumbers)
{
    const PassiveCase& c = GetParam();
    quint32 address = 0;
    const auto port = parsePasvReply(c.text, &address);
    EXPECT_EQ(port.value_or(0), c.port) << c.text;
    if (port) {
        EXPECT_EQ(address, c.address) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(FtpPasv, PasvReplyTest,
                         ::testing::Values(PassiveCase{"227 Entering Passive Mode (127,0,0,1,195,80).", 50000, 0x7f000001},
                                           PassiveCase{"227 Entering Passive Mode 127,0,0,2,0,21", 21, 0x7f000002},
                                           PassiveCase{"227 =10,1,2,3,255,255", 65535, 0x0a010203},
                                           PassiveCase{"227 Entering Passive Mode (127,0,0,1,256,1)", 0, 0},
                                           PassiveCase{"227 Entering Passive Mode (127,0,0,1,0,0)", 0, 0},
                                           PassiveCase{"227 Entering Passive Mode (127,0,0,1,4)", 0, 0},
                                           PassiveCase{"227 ok", 0, 0}));

class EpsvReplyTest : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(EpsvReplyTest, ReadsThePortBetweenDelimiters)
{
    EXPECT_EQ(parseEpsvReply(GetParam().first).value_or(0), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(FtpEpsv, EpsvReplyTest,
                         ::testing::Values(std::pair{"229 Entering Extended Passive Mode (|||6446|)", 6446},
                                           std::pair{"229 ok (!!!21!)", 21},
                                           std::pair{"229 (|||65535|)", 65535},
                                           std::pair{"229 (|||65536|)", 0},
                                           std::pair{"229 (|||0|)", 0},
                                           std::pair{"229 (||1|6446|)", 0},
                                           std::pair{"229 (|||6446!)", 0},
                                           std::pair{"229 Entering Extended Passive Mode", 0}));

}  // namespace
