#include "ftp/FtpLogic.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(BinFileList, KeepsTheExecutablesOnly)
{
    const struct { const char* what; QString raw; QStringList entries; int skipped; } rows[] = {
        {"three", "qorax.bin\r\nqorax_5_7_1.bin\r\nqorax_5_7_1_12.bin\r\n",
         {"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}, 0},
        {"others skipped", "boot.cfg\r\nqorax_5_7_1_12.bin\r\npic.s19\r\n", {"qorax_5_7_1_12.bin"}, 2},
        {"empty listing", "", {""}, 0},
        {"no executable", "a.txt\r\n", {""}, 1},
        // Line feeds alone read as blanks: the whole run is one line.
        {"LF only", "qorax_1.bin\nqorax_2.bin\n", {"qorax_1.bin qorax_2.bin"}, 0},
        {"case matters", "QORAX_1.BIN\r\nqorax_2.BIN\r\n", {""}, 2},
        // A line feed becomes a blank, so " \r\n" leaves a line of two blanks.
        {"blank lines and padding", "\r\n \r\n  qorax_7.bin  \r\n", {"qorax_7.bin"}, 1},
        {"very long name", QString(5000, 'x') + "qorax.bin\r\n", {QString(5000, 'x') + "qorax.bin"}, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const ftp::BinFileList l = ftp::parseBinFileList(r.raw);
        EXPECT_EQ(l.entries, r.entries);
        int skips = 0;
        for (const auto& e : l.log)
            skips += e.text.startsWith("Skip File :");
        EXPECT_EQ(skips, r.skipped);
    }
}

TEST(Deletions, KeepTheRunningOneDeleteTheRestRefuseOddNames)
{
    const auto plan = ftp::planDeletions({"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}, "/bin/qorax_5_7_1_12.bin");
    ASSERT_EQ(plan.size(), 3);
    EXPECT_EQ(plan[0].action, ftp::Deletion::Delete);
    EXPECT_EQ(plan[1].action, ftp::Deletion::Delete);
    EXPECT_EQ(plan[2].action, ftp::Deletion::Keep);

    const struct { QString entry, keep; ftp::Deletion::Action action; } rows[] = {
        {"", "qorax.bin", ftp::Deletion::Keep},                 // nothing listed
        {"qorax.bin", "qorax.bin", ftp::Deletion::Keep},        // no descriptor: the default stays
        {"ax_1.bin", "/bin/qorax_1.bin", ftp::Deletion::Keep},  // part of the kept name
        {" ", "x", ftp::Deletion::SkipBlank}, {"qorax 2.bin", "x", ftp::Deletion::Delete},
        {"../qorax.bin", "x", ftp::Deletion::RefuseOddName}, {"qorax\".bin", "x", ftp::Deletion::RefuseOddName},
        {QString("qorax\x01.bin"), "x", ftp::Deletion::RefuseOddName},
        // A server may expand wildcards into every executable, the running one too.
        {"qorax*.bin", "x", ftp::Deletion::RefuseOddName}, {"qorax_?.bin", "x", ftp::Deletion::RefuseOddName},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ftp::planDeletions({r.entry}, r.keep)[0].action, r.action) << r.entry.toStdString();
    EXPECT_EQ(ftp::deleteArgument("qorax 2.bin"), "\"qorax 2.bin\"");
    EXPECT_EQ(ftp::deleteArgument("qorax_2.bin"), "qorax_2.bin");
}

TEST(ImageDescriptor, ValidWhenBinFolderComesBeforeTheExtension)
{
    const QString fallback = "/tffs0/bin/qorax.bin";
    const struct { const char* what; QByteArray content; bool valid; QString executable; } rows[] = {
        {"plain", "/bin/qorax_5_7_1_12.bin", true, "/bin/qorax_5_7_1_12.bin"},
        {"line end", "/bin/qorax_5_7_1_12.bin\r\n", true, "/bin/qorax_5_7_1_12.bin"},
        {"two lines", "/bin/\r\nqorax_1.bin", true, "/bin/qorax_1.bin"},
        {"extension first", ".bin/bin/", false, fallback}, {"empty", "", false, fallback},
        {"binary", QByteArray("\x00\xff/bin\x01", 7), false, fallback},
        {"oversized", "/bin/qorax.bin" + QByteArray(5000, ' '), false, fallback},
        {"dot dot inside", "/bin/../../etc/qorax.bin", true, "/bin/../../etc/qorax.bin"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const ftp::ImageCheck c = ftp::checkImage(r.content);
        EXPECT_EQ(c.valid, r.valid);
        EXPECT_EQ(c.executable, r.executable);
    }
    EXPECT_EQ(ftp::imageContent("5_7_2_0"), QByteArray("/bin/qorax_5_7_2_0.bin"));  // no line end
}

TEST(FtpFileNames, OnlyPlainNamesLeaveTheTerminalPathAndBackupsCarryTheirVersion)
{
    EXPECT_EQ(ftp::safeFileName("/bin/qorax_5_7_1_12.bin"), "qorax_5_7_1_12.bin");
    EXPECT_EQ(ftp::safeFileName("qorax.bin"), "qorax.bin");
    for (const char* bad : {"/bin/", "/bin/..", "/bin/qorax*.bin", "/bin/q?.bin", "a\\b", ""})
        EXPECT_EQ(ftp::safeFileName(bad), "") << bad;
    EXPECT_EQ(ftp::backupVersion("qorax_5_7_1_12.bin"), "5_7_1_12");
    EXPECT_EQ(ftp::backupVersion("QORAX_5_7.BIN"), "5_7");
    for (const char* none : {"qorax.bin", "qorax_.bin", "qorax_5_7.bin.part", "qorax_a.bin", "x_qorax_5.bin"})
        EXPECT_EQ(ftp::backupVersion(none), "") << none;

    // The file offered is the file uploaded: any letter case, one per version,
    // the upgrader's own spelling first.
    const QList<ftp::BackupFile> offered =
        ftp::restoreCandidates({"QORAX_5_7_0_2.BIN", "qorax.bin", "QORAX_5_7_1_12.bin", "qorax_5_7_1_12.bin"});
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(offered[0].version, "5_7_0_2");
    EXPECT_EQ(offered[0].fileName, "QORAX_5_7_0_2.BIN");
    EXPECT_EQ(offered[1].version, "5_7_1_12");
    EXPECT_EQ(offered[1].fileName, "qorax_5_7_1_12.bin");
}

}  // namespace
