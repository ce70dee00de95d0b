#include "ftp/FtpLogic.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(FtpStateNames, TableAndInvalid)
{
    EXPECT_EQ(ftp::ftpStateName(8), "GET_IMG_CMD");
    EXPECT_EQ(ftp::ftpStateName(20), "CLOSE_CONN_IMAGE_PUT");
    EXPECT_EQ(ftp::ftpStateName(25), "UPGRADE_ANTENNA_IAC_CMD");
    for (int unused : {0, 2, 4, 7, 13, 18, 26, -1})
        EXPECT_EQ(ftp::ftpStateName(unused), "INVALID") << unused;
}

struct ListingCase {
    const char* what;
    QString raw;
    QStringList entries;
    int skipped;
};

class BinFileListTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(BinFileListTest, KeepsTheExecutablesOnly)
{
    const ListingCase& c = GetParam();
    const ftp::BinFileList r = ftp::parseBinFileList(c.raw);
    EXPECT_EQ(r.entries, c.entries) << c.what;
    int skips = 0;
    for (const auto& e : r.log)
        skips += e.text.startsWith("Skip File :");
    EXPECT_EQ(skips, c.skipped) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Listings, BinFileListTest,
    ::testing::Values(
        ListingCase{"three", "qorax.bin\r\nqorax_5_7_1.bin\r\nqorax_5_7_1_12.bin\r\n",
                    {"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}, 0},
        ListingCase{"others skipped", "boot.cfg\r\nqorax_5_7_1_12.bin\r\npic.s19\r\n", {"qorax_5_7_1_12.bin"}, 2},
        ListingCase{"empty listing", "", {""}, 0},
        ListingCase{"no executable", "a.txt\r\n", {""}, 1},
        // Line feeds alone read as blanks: the whole run is one line.
        ListingCase{"LF only", "qorax_1.bin\nqorax_2.bin\n", {"qorax_1.bin qorax_2.bin"}, 0},
        ListingCase{"case matters", "QORAX_1.BIN\r\nqorax_2.BIN\r\n", {""}, 2},
        // A line feed becomes a blank, so " \r\n" leaves a line of two blanks.
        ListingCase{"blank lines and padding", "\r\n \r\n  qorax_7.bin  \r\n", {"qorax_7.bin"}, 1},
        ListingCase{"very long name", QString(5000, 'x') + "qorax.bin\r\n", {QString(5000, 'x') + "qorax.bin"}, 0}));

TEST(Deletions, KeepTheRunningOneDeleteTheRest)
{
    const auto plan = ftp::planDeletions({"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}, "/bin/qorax_5_7_1_12.bin");
    ASSERT_EQ(plan.size(), 3);
    EXPECT_EQ(plan[0].action, ftp::Deletion::Delete);
    EXPECT_EQ(plan[1].action, ftp::Deletion::Delete);
    EXPECT_EQ(plan[2].action, ftp::Deletion::Keep);
}

TEST(Deletions, SubstringRuleAndOddNames)
{
    struct Case {
        QString entry;
        QString keep;
        ftp::Deletion::Action action;
    };
    const Case cases[] = {
        {"", "qorax.bin", ftp::Deletion::Keep},                     // nothing listed
        {"qorax.bin", "qorax.bin", ftp::Deletion::Keep},            // no descriptor: the default stays
        {"qorax_1.bin", "qorax.bin", ftp::Deletion::Delete},
        {"ax_1.bin", "/bin/qorax_1.bin", ftp::Deletion::Keep},      // part of the kept name
        {" ", "x", ftp::Deletion::SkipBlank},
        {"../qorax.bin", "x", ftp::Deletion::RefuseOddName},
        {"qorax\".bin", "x", ftp::Deletion::RefuseOddName},
        {QString("qorax\x01.bin"), "x", ftp::Deletion::RefuseOddName},
        {"qorax 2.bin", "x", ftp::Deletion::Delete},
    };
    for (const Case& c : cases) {
        const auto plan = ftp::planDeletions({c.entry}, c.keep);
        EXPECT_EQ(plan[0].action, c.action) << c.entry.toStdString();
    }
    EXPECT_EQ(ftp::deleteArgument("qorax 2.bin"), "\"qorax 2.bin\"");
    EXPECT_EQ(ftp::deleteArgument("qorax_2.bin"), "qorax_2.bin");
}

struct ImageCase {
    const char* what;
    QByteArray content;
    bool valid;
    QString executable;
};

class ImageCheckTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageCheckTest, ValidWhenBinFolderComesBeforeTheExtension)
{
    const ImageCase& c = GetParam();
    const ftp::ImageCheck r = ftp::checkImage(c.content);
    EXPECT_EQ(r.valid, c.valid) << c.what;
    EXPECT_EQ(r.executable, c.executable) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, ImageCheckTest,
    ::testing::Values(ImageCase{"plain", "/bin/qorax_5_7_1_12.bin", true, "/bin/qorax_5_7_1_12.bin"},
                      ImageCase{"line end", "/bin/qorax_5_7_1_12.bin\r\n", true, "/bin/qorax_5_7_1_12.bin"},
                      ImageCase{"two lines", "/bin/\r\nqorax_1.bin", true, "/bin/qorax_1.bin"},
                      ImageCase{"extension first", ".bin/bin/", false, "/tffs0/bin/qorax.bin"},
                      ImageCase{"empty", "", false, "/tffs0/bin/qorax.bin"},
                      ImageCase{"binary", QByteArray("\x00\xff/bin\x01", 7), false, "/tffs0/bin/qorax.bin"},
                      ImageCase{"oversized", "/bin/qorax.bin" + QByteArray(5000, ' '), false, "/tffs0/bin/qorax.bin"},
                      ImageCase{"dot dot inside", "/bin/../../etc/qorax.bin", true, "/bin/../../etc/qorax.bin"}));

TEST(ImageContent, NoLineEnd)
{
    EXPECT_EQ(ftp::imageContent("5_7_2_0"), QByteArray("/bin/qorax_5_7_2_0.bin"));
}

TEST(SafeFileName, OnlyPlainNamesLeaveTheTerminalPath)
{
    EXPECT_EQ(ftp::safeFileName("/bin/qorax_5_7_1_12.bin"), "qorax_5_7_1_12.bin");
    EXPECT_EQ(ftp::safeFileName("qorax.bin"), "qorax.bin");
    for (const char* bad : {"/bin/", "/bin/..", "/bin/qorax*.bin", "/bin/q?.bin", "a\\b", ""})
        EXPECT_EQ(ftp::safeFileName(bad), "") << bad;
}

TEST(BackupVersion, CutFromTheName)
{
    EXPECT_EQ(ftp::backupVersion("qorax_5_7_1_12.bin"), "5_7_1_12");
    EXPECT_EQ(ftp::backupVersion("QORAX_5_7.BIN"), "5_7");
    for (const char* none : {"qorax.bin", "qorax_.bin", "qorax_5_7.bin.part", "qorax_a.bin", "x_qorax_5.bin"})
        EXPECT_EQ(ftp::backupVersion(none), "") << none;
}

}  // namespace
