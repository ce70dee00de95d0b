#include "upgrade/PicLogic.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// The extension in another letter case still ends the version.
TEST(PicFile, VersionFromTheName)
{
    const std::pair<const char*, const char*> rows[] = {
        {"PIC_1_2_3.s19", "1_2_3"}, {"PIC.s19", "PIC"}, {"PIC_3_05.S19", "3_05"}, {"pic_x_2.s19.s19", "x_2"}};
    for (const auto& [name, version] : rows)
        EXPECT_EQ(pic::fileVersion(name), version) << name;
}

// A marker missing: not a piece of another field.
TEST(PicTerminal, VersionFromBothTextsOrUnknown)
{
    const struct { const char* text; bool fromVersion; const char* version; } rows[] = {
        {"AppSW: 5.7.1.12, x PIC: 3.02\r\nFPGA: 1.1", true, "3.02"}, {"CLASS: 11\r\nPIC: 3.02\r\nFPGA: 1.1\r\n", false, "3.02"},
        {"AppSW: 5.7.1.12 PIC: 3.02", true, "UNKNOWN"}, {"FPGA: 1.1 PIC: 3.02", true, "UNKNOWN"},
        {"CLASS: 11\r\nPIC: 3.02", false, "UNKNOWN"}, {"CLASS: 11\r\nFPGA: 1.1\r\n", false, "UNKNOWN"},
        {"PIC: \r\n", false, "UNKNOWN"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(pic::terminalVersion(r.text, r.fromVersion), r.version) << r.text;
}

TEST(PicShell, PromptsAndBatteryVerdicts)
{
    EXPECT_TRUE(pic::isLoginPrompt("\r\nVxWorks login: "));
    EXPECT_TRUE(pic::isLoginPrompt("[BSP 2C] ready\r\nUsername:"));
    EXPECT_FALSE(pic::isLoginPrompt("Username:"));

    // A battery reported anywhere wins, whatever else the answer holds.
    using B = pic::Battery;
    const std::pair<const char*, B> rows[] = {
        {"BATT_PRESENT=0", B::Absent}, {"BATT_PRESENT=1 BATT_PRESENT=0", B::Present}, {"ERROR BATT_PRESENT=1", B::Present},
        {"FAIL", B::Absent}, {"PIC Data Array\r\n00 01", B::Unknown}, {"pic_poll_data: failed", B::Unknown},
        {"pic_data_show\r\n", B::NoVerdict},
    };
    for (const auto& [text, verdict] : rows)
        EXPECT_EQ(pic::batteryVerdict(text), verdict) << text;
}

// An answer is whole once its command's value line has ended; the output is
// what the last of the commands on the line printed.
TEST(PicShell, AnswersAreReadWholeOnly)
{
    const struct { const char* text; int commands; bool complete; const char* output; const char* value; } rows[] = {
        {"copy \"image.txt\"\r\n/bin/qorax_5.bin\r\nvalue = 0 = 0x", 1, false, "", ""},
        {"copy \"image.txt\"\r\n/bin/qorax_5.bin\r\nvalue = 0 = 0x0\r\n-> ", 1, true,
         "copy \"image.txt\"\r\n/bin/qorax_5.bin\r\n", "value = 0 = 0x0"},
        {"cd; copy\r\nvalue = 0 = 0x0\r\n", 2, false, "", ""},
        {"cd; copy\r\nvalue = 0 = 0x0\r\ncopy: cannot open\r\nvalue = -1 = 0xffffffff\r\n", 2, true,
         "copy: cannot open\r\n", "value = -1 = 0xffffffff"},
    };
    for (const auto& r : rows) {
        const pic::Answer a = pic::answerOf(r.text, r.commands);
        EXPECT_EQ(std::tuple(a.complete, a.output, a.value), std::tuple(r.complete, QString(r.output), QString(r.value)))
            << r.text;
    }
}

// Whatever names the executable is never the target of a move or a removal.
TEST(PicShell, DescriptorStepsKeepTheExecutableNamed)
{
    using S = pic::Shown;
    using P = pic::PrepAction;
    using R = pic::RestoreAction;
    const auto shown = [](const char* text) { return pic::shown(pic::answerOf(text)); };
    EXPECT_EQ(shown("copy\r\n/bin/qorax_5_7_1_12.bin\r\nvalue = 0 = 0x0\r\n"), S::Descriptor);
    EXPECT_EQ(shown("copy\r\nS00600004844521B\r\nSSSS\r\nvalue = 0 = 0x0\r\n"), S::PicCopy);
    EXPECT_EQ(shown("copy: cannot open\r\nvalue = -1 = 0xffffffff\r\n"), S::Missing);
    EXPECT_EQ(shown("value = 5 = 0x5\r\n"), S::Descriptor);

    const struct { S image, backup; P prep; } prep[] = {
        {S::Descriptor, S::Missing, P::BackUp},       {S::Descriptor, S::Descriptor, P::StaleBackup},
        {S::Descriptor, S::PicCopy, P::StaleBackup},  {S::PicCopy, S::Descriptor, P::AlreadySwapped},
        {S::Missing, S::Descriptor, P::Replace},      {S::Missing, S::Missing, P::Replace},
    };
    for (const auto& r : prep)
        EXPECT_EQ(pic::prepAction(r.image, r.backup), r.prep) << int(r.image) << int(r.backup);
    const struct { S backup, image; R restore; } restore[] = {
        {S::Descriptor, S::PicCopy, R::Restore},      {S::Descriptor, S::Missing, R::Restore},
        {S::Descriptor, S::Descriptor, R::Nothing},   {S::Missing, S::PicCopy, R::Remove},
        {S::Missing, S::Descriptor, R::Nothing},      {S::PicCopy, S::Missing, R::Nothing},
    };
    for (const auto& r : restore)
        EXPECT_EQ(pic::restoreAction(r.backup, r.image), r.restore) << int(r.backup) << int(r.image);
}

// Success only when the PIC reads back the file's version from the software.
TEST(PicVerdict, OnlyTheReadBackVersionCounts)
{
    using F = pic::Reflash;
    const struct { F reflash; bool bootRom; const char* reported; bool took; const char* status; } rows[] = {
        {F::Done, false, "3.05", true, "PIC Upgrade Successful.  Software version retrieved!"},
        {F::Done, false, "3.02", false, "PIC Upgrade Failed !  The PIC reports version 3.02."},
        {F::Done, false, "3.0\r\n\x1b[2J", false, "PIC Upgrade Failed !  The PIC reports version 3.0 |  /x1B [2J."},
        {F::Done, true, "3.05", false, "PIC Upgrade Failed !  Satellite IP Modem runs its Boot ROM."},
        {F::Failed, false, "3.05", false, "PIC Upgrade Failed !  Software version retrieved."},
        {F::Skipped, false, "3.05", false, "PIC Upgrade not done.  Software version retrieved."},
        {F::NotRun, false, "3.02", false, "PIC Upgrade Failed !  Satellite IP Modem did not restart in its Boot ROM."},
        {F::Done, false, nullptr, false, "PIC Upgrade outcome unknown: Satellite IP Modem not answering."},
    };
    for (const auto& r : rows) {
        const pic::Verdict v = pic::judge(r.reflash, r.bootRom, true, r.reported ? QString(r.reported) : QString(), "3_05");
        EXPECT_EQ(std::tuple(v.took, v.status), std::tuple(r.took, QString(r.status))) << r.status;
    }
}

// A shell that never stops talking costs a step at most its share of the log.
TEST(PicShell, TextAndLogAreBoundedPerStep)
{
    pic::ShellText s;
    qint64 logged = 0;
    for (int i = 0; i < 10000; ++i) {
        s.add(QByteArray(1000, 'x') + (i == 9999 ? "value = 0 = 0x0\r\n" : ""));
        if (s.mayLog(1000))
            logged += 1000;
    }
    EXPECT_LE(s.text().size(), pic::ShellText::kKeepBytes);
    EXPECT_TRUE(pic::answerOf(s.text()).ok());
    EXPECT_LE(logged, pic::ShellText::kLogBytes);
    EXPECT_EQ(s.restart(), 10000 * 1000 - logged);
    EXPECT_TRUE(s.text().isEmpty() && s.mayLog(1000));
}

}  // namespace
