#include "app/CommandLine.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// What a file manager, a desktop menu and a typing user pass the window.
TEST(StartupCommandLine, SplitsTheSwitchesFromTheFolderNamedLast)
{
    const QStringList none;
    const struct {
        QStringList args;
        QStringList leftByQt;
        QString switches, folder;
    } rows[] = {
        {{}, {}, "", ""},
        {{"/home/me/qora-release-5.7.2"}, {"/home/me/qora-release-5.7.2"}, "", "/home/me/qora-release-5.7.2"},
        {{"my package"}, {"my package"}, "", "my package"},
        // The switches keep their meaning, also before a folder.
        {{"-u"}, {"-u"}, "-u", ""},
        {{"/TermDiag"}, {"/TermDiag"}, "/TermDiag", ""},
        {{"-u", "/pkg"}, {"-u", "/pkg"}, "-u", "/pkg"},
        {{"/TermDiag", "pkg"}, {"/TermDiag", "pkg"}, "/TermDiag", "pkg"},
        // Anything that looks like an option is no folder.
        {{"-U"}, {"-U"}, "-U", ""},
        {{"/pkg", "-u"}, {"/pkg", "-u"}, "/pkg -u", ""},
        // An empty %f from a menu entry started without a folder.
        {{""}, {""}, "", ""},
        // Qt's own options and their values.
        {{"-platform", "offscreen"}, none, "-platform offscreen", ""},
        {{"-style", "fusion", "/pkg"}, {"/pkg"}, "-style fusion", "/pkg"},
        {{"/pkg", "-platform", "offscreen"}, {"/pkg"}, "/pkg -platform offscreen", ""},
    };
    for (const auto& r : rows) {
        const startup::CommandLine c = startup::splitCommandLine(r.args, r.leftByQt);
        EXPECT_EQ(c.switches, r.switches) << r.args.join('|').toStdString();
        EXPECT_EQ(c.folder, r.folder) << r.args.join('|').toStdString();
    }
}

}  // namespace
