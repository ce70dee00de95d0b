#include "ui/HelpTexts.h"

#include <QStringList>

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// The steps that bring a terminal back differ per platform: the connected one
// decides, else the packaged one. The message box shows the text as it is:
// CR LF between lines, none at the end.
TEST(TroubleshootingText, PicksTheConnectedPlatformElseThePackagedOneAndUsesCrLfOnly)
{
    const struct { int connected, packaged; const char* heading; } rows[] = {
        {7, 14, "7460 Platform:"}, {12, 9, "7460 Platform:"}, {8, 14, "7120/7130 Platform:"}, {10, 7, "7120/7130 Platform:"},
        {9, 14, "7520 Platform:"}, {14, 9, "7520 Platform:"}, {14, 14, "Generic Platform:"}, {13, 7, "Generic Platform:"},
    };
    for (const auto& r : rows) {
        const QString text = ui::troubleshootingText(ui::resolvedPlatformId(r.connected, r.packaged));
        EXPECT_EQ(text.section("\r\n", 2, 2), QString::fromLatin1(r.heading)) << r.connected << "/" << r.packaged;
        EXPECT_EQ(text.count('\n'), text.count("\r\n"));
        EXPECT_FALSE(text.endsWith("\r\n"));
    }
}

}  // namespace
