#include "ui/HelpTexts.h"

#include <QStringList>

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(TroubleshootingText, PicksTheConnectedPlatformElseThePackagedOneAndUsesCrLfOnly)
{
    const struct { int connected, packaged; const char* heading; } rows[] = {
        {7, 14, "7460 Platform:"},  {12, 9, "7460 Platform:"},       {8, 14, "7120/7130 Platform:"},
        {10, 7, "7120/7130 Platform:"}, {9, 14, "7520 Platform:"},
        // Terminal unidentified: the package decides.
        {14, 9, "7520 Platform:"},  {14, 8, "7120/7130 Platform:"}, {14, 14, "Generic Platform:"},
        {13, 7, "Generic Platform:"}, {0, 9, "Generic Platform:"},  {-3, 14, "Generic Platform:"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.connected) + "/" + std::to_string(r.packaged));
        const QStringList lines = ui::troubleshootingText(ui::resolvedPlatformId(r.connected, r.packaged)).split("\r\n");
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[2], QString::fromLatin1(r.heading));
    }
    // The message box shows the text as it is: CR LF between lines, none at the end.
    for (int platform : {7, 8, 9, 14}) {
        const QString t = ui::troubleshootingText(platform);
        EXPECT_TRUE(t.startsWith("If the Upgrader and QORA Terminal are configured properly, but there still is a "
                                 "connectivity issue, please follow the procedures below to restore connectivity.\r\n\r\n"))
            << platform;
        EXPECT_EQ(t.count('\n'), t.count("\r\n")) << platform;
        EXPECT_FALSE(t.endsWith("\r\n")) << platform;
    }
}

}  // namespace
