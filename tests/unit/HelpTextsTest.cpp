#include "ui/HelpTexts.h"

#include <QStringList>

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

struct TsCase {
    int connected;
    int packaged;
    const char* heading;
};

class TroubleshootingChoice : public ::testing::TestWithParam<TsCase> {};

TEST_P(TroubleshootingChoice, PicksTheConnectedPlatformElseThePackagedOne)
{
    const TsCase& c = GetParam();
    const QStringList lines = ui::troubleshootingText(ui::resolvedPlatformId(c.connected, c.packaged)).split("\r\n");
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[2], QString::fromLatin1(c.heading)) << c.connected << "/" << c.packaged;
}

INSTANTIATE_TEST_SUITE_P(Platforms, TroubleshootingChoice,
                         ::testing::Values(TsCase{7, 14, "7460 Platform:"}, TsCase{12, 9, "7460 Platform:"},
                                           TsCase{8, 14, "7120/7130 Platform:"}, TsCase{10, 7, "7120/7130 Platform:"},
                                           TsCase{9, 14, "7520 Platform:"},
                                           // Terminal unidentified: the package decides.
                                           TsCase{14, 9, "7520 Platform:"}, TsCase{14, 8, "7120/7130 Platform:"},
                                           TsCase{14, 14, "Generic Platform:"}, TsCase{13, 7, "Generic Platform:"},
                                           TsCase{0, 9, "Generic Platform:"}, TsCase{-3, 14, "Generic Platform:"}));

TEST(TroubleshootingText, EveryTextStartsWithTheIntroAndUsesCrLfOnly)
{
    for (int platform : {7, 8, 9, 14}) {
        const QString t = ui::troubleshootingText(platform);
        EXPECT_TRUE(t.startsWith("If the Upgrader and QORA Terminal are configured properly, but there still is a "
                                 "connectivity issue, please follow the procedures below to restore connectivity.\r\n\r\n"))
            << platform;
        EXPECT_EQ(t.count('\n'), t.count("\r\n")) << platform;
        EXPECT_FALSE(t.endsWith("\r\n")) << platform;
    }
}

TEST(TroubleshootingText, LineCountsAndTheDoubleBlanksOf7120)
{
    EXPECT_EQ(ui::troubleshootingText(14).split("\r\n").size(), 11);
    EXPECT_EQ(ui::troubleshootingText(7).split("\r\n").size(), 11);
    EXPECT_EQ(ui::troubleshootingText(9).split("\r\n").size(), 11);
    const QStringList lines = ui::troubleshootingText(8).split("\r\n");
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(lines[7], "         Leave the 'Audio' button depressed for at least 20 sec.");
    for (int i = 9; i < 13; ++i)
        EXPECT_TRUE(lines[i].startsWith(" -  ")) << i;
    EXPECT_EQ(lines[12], " -  Once the Upgrade is complete, the Terminal will return to normal operation.");
}

TEST(AboutText, JoinsVersionDateAndToolVersion)
{
    EXPECT_EQ(ui::aboutText("5.7.1.12", "12/05/2026"),
              "Upgrader tool for Vantor QORA terminals, to\r\ninstall satellite IP modem software components.\r\n\r\n"
              "For software version: 5.7.1.12, 12/05/2026\r\n\r\nTool version: 5.1.6, 8/9/2019");
}

}  // namespace
