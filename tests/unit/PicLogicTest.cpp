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

    // Both, or an error anywhere: no battery.
    using B = pic::Battery;
    const std::pair<const char*, B> rows[] = {
        {"BATT_PRESENT=0", B::Absent}, {"BATT_PRESENT=1", B::Present}, {"BATT_PRESENT=1 BATT_PRESENT=0", B::Absent},
        {"BATT_PRESENT=1 ERROR", B::Absent}, {"FAIL", B::Absent}, {"PIC Data Array\r\n00 01", B::Unknown},
        {"pic_poll_data: failed", B::Unknown}, {"pic_data_show\r\n", B::NoVerdict},
    };
    for (const auto& [text, verdict] : rows)
        EXPECT_EQ(pic::batteryVerdict(text), verdict) << text;
}

}  // namespace
