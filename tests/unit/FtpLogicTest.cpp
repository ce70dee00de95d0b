#include "ftp/BackupRecord.h"
#include "ftp/FtpLogic.h"
#include "ident/Platform.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(BinFileList, KeepsTheExecutablesOnly)
{
    const struct { const char* what; QString raw; QStringList entries; } rows[] = {
        {"three", "qorax.bin\r\nqorax_5_7_1.bin\r\nqorax_5_7_1_12.bin\r\n", {"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}},
        {"others skipped", "boot.cfg\r\nqorax_5_7_1_12.bin\r\npic.s19\r\n", {"qorax_5_7_1_12.bin"}},
        {"no executable", "", {""}}, {"case matters", "QORAX_1.BIN\r\nqorax_2.BIN\r\n", {""}},
        // Line feeds alone read as blanks: the whole run is one line.
        {"LF only", "qorax_1.bin\nqorax_2.bin\n", {"qorax_1.bin qorax_2.bin"}},
        {"blank lines and padding", "\r\n \r\n  qorax_7.bin  \r\n", {"qorax_7.bin"}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ftp::parseBinFileList(r.raw).entries, r.entries) << r.what;
}

// Never the running executable, never a name the server could read as
// another file or as many.
TEST(Deletions, KeepTheRunningOneDeleteTheRestRefuseOddNames)
{
    using D = ftp::Deletion;
    const auto plan = ftp::planDeletions({"qorax.bin", "qorax_5_7_1.bin", "qorax_5_7_1_12.bin"}, "/bin/qorax_5_7_1_12.bin");
    ASSERT_EQ(plan.size(), 3);
    EXPECT_EQ(std::tuple(plan[0].action, plan[1].action, plan[2].action), std::tuple(D::Delete, D::Delete, D::Keep));

    const struct { QString entry, keep; D::Action action; } rows[] = {
        {"", "qorax.bin", D::Keep},                 // nothing listed
        {"qorax.bin", "qorax.bin", D::Keep},        // no descriptor: the default stays
        {"ax_1.bin", "/bin/qorax_1.bin", D::Keep},  // part of the kept name
        {" ", "x", D::SkipBlank}, {"qorax 2.bin", "x", D::Delete}, {"../qorax.bin", "x", D::RefuseOddName},
        {"qorax\".bin", "x", D::RefuseOddName}, {QString("qorax\x01.bin"), "x", D::RefuseOddName},
        {"qorax*.bin", "x", D::RefuseOddName}, {"qorax_?.bin", "x", D::RefuseOddName},
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
        {"two lines", "/bin/\r\nqorax_1.bin", true, "/bin/qorax_1.bin"}, {"extension first", ".bin/bin/", false, fallback},
        {"empty", "", false, fallback}, {"oversized", "/bin/qorax.bin" + QByteArray(5000, ' '), false, fallback},
    };
    for (const auto& r : rows) {
        const ftp::ImageCheck c = ftp::checkImage(r.content);
        EXPECT_EQ(c.valid, r.valid) << r.what;
        EXPECT_EQ(c.executable, r.executable) << r.what;
    }
    EXPECT_EQ(ftp::imageContent("5_7_2_0"), QByteArray("/bin/qorax_5_7_2_0.bin"));  // no line end
}

TEST(FtpFileNames, OnlyPlainNamesLeaveTheTerminalPathAndBackupsCarryTheirVersion)
{
    EXPECT_EQ(ftp::safeFileName("/bin/qorax_5_7_1_12.bin"), "qorax_5_7_1_12.bin");
    for (const char* bad : {"/bin/", "/bin/..", "/bin/qorax*.bin", "/bin/q?.bin", "a\\b", ""})
        EXPECT_EQ(ftp::safeFileName(bad), "") << bad;
    EXPECT_EQ(ftp::backupVersion("QORAX_5_7.BIN"), "5_7");
    for (const char* none : {"qorax.bin", "qorax_.bin", "qorax_5_7.bin.part", "qorax_a.bin", "x_qorax_5.bin"})
        EXPECT_EQ(ftp::backupVersion(none), "") << none;

    // The file offered is the file uploaded: any letter case, one per version,
    // the upgrader's own spelling first.
    const QList<ftp::BackupFile> offered =
        ftp::restoreCandidates({"QORAX_5_7_0_2.BIN", "qorax.bin", "QORAX_5_7_1_12.bin", "qorax_5_7_1_12.bin"});
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(std::tuple(offered[0].version, offered[0].fileName), std::tuple(QString("5_7_0_2"), QString("QORAX_5_7_0_2.BIN")));
    EXPECT_EQ(std::tuple(offered[1].version, offered[1].fileName), std::tuple(QString("5_7_1_12"), QString("qorax_5_7_1_12.bin")));
}

// A backup is restored only as it was saved; one an older upgrader saved
// without a record is still offered.
TEST(BackupRecords, ACopyIsWholeOnlyAsRecorded)
{
    const QString name = "qorax_5_7_1_12.bin";
    const backup::Record saved{262144, QByteArray(64, 'a')};
    const QByteArray record = backup::recordText(name, saved, "127.0.0.1", QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    const struct {
        const char* what;
        std::optional<QByteArray> record;
        backup::Record measured;
        backup::State state;
    } rows[] = {
        {"as saved", record, saved, backup::State::Whole},
        {"no record", std::nullopt, {5, "x"}, backup::State::Unrecorded},
        {"cut short", record, {100000, saved.sha256}, backup::State::Damaged},
        {"same size, other bytes", record, {saved.bytes, QByteArray(64, 'b')}, backup::State::Damaged},
        {"record of another file", QByteArray(record).replace("qorax_5_7_1_12.bin", "qorax_5_7_1_11.bin"), saved,
         backup::State::Damaged},
        {"record without its size", QByteArray(record).replace("# size:", "# bytes:"), saved, backup::State::Damaged},
        {"not a record", QByteArray("qorax_5_7_1_12.bin"), saved, backup::State::Damaged},
    };
    for (const auto& r : rows)
        EXPECT_EQ(backup::judge(r.record, name, r.measured).state, r.state) << r.what;
    EXPECT_EQ(backup::versionOfShown(backup::shownVersion("5.7.1.9", {backup::State::Damaged, "x"})), "5.7.1.9");

    // The package as found at start-up: gone, resized or rewritten since is another package.
    const QDateTime t(QDate(2026, 12, 7), QTime(9, 0));
    const ident::PackageSight start{204800, t, {}};
    EXPECT_EQ(ident::packageChange(start, start), "");
    EXPECT_NE(ident::packageChange(start, {204800, t, "No such file or directory"}), "");
    EXPECT_NE(ident::packageChange(start, {204801, t, {}}), "");
    EXPECT_NE(ident::packageChange(start, {204800, t.addSecs(1), {}}), "");
}

}  // namespace
