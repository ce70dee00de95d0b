#include "app/CliOptions.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(CliParse, OneActionPerRun)
{
    using A = cli::Action;
    const struct { QStringList args; A action; bool sw, ant, pic; QString restore; } good[] = {
        {{"--upgrade", "sw"}, A::Upgrade, true, false, false, ""}, {{"--upgrade", "pic,sw,ant"}, A::Upgrade, true, true, true, ""},
        {{"--restore", "5.7.1.12"}, A::Restore, false, false, false, "5_7_1_12"},
        {{"--restore", "5_7_1_12"}, A::Restore, false, false, false, "5_7_1_12"},
        {{"--factory-defaults"}, A::FactoryDefaults, false, false, false, ""}, {{"--reset"}, A::Reset, false, false, false, ""},
        {{"--version"}, A::ToolVersion, false, false, false, ""}, {{"--download-log"}, A::DownloadLog, false, false, false, ""},
        {{"--terminal-version", "--address", "127.0.0.9", "--json"}, A::TerminalVersion, false, false, false, ""},
        {{"--quiet", "--list-backups"}, A::ListBackups, false, false, false, ""}, {{"--reset", "--help"}, A::Help, false, false, false, ""},
    };
    for (const auto& r : good) {
        const cli::Options o = cli::parse(r.args);
        EXPECT_EQ(std::tuple(o.error, o.action, o.software, o.antenna, o.pic, o.restoreVersion),
                  std::tuple(QString(), r.action, r.sw, r.ant, r.pic, r.restore)) << r.args.join(' ').toStdString();
    }
    const cli::Options flags = cli::parse({"--json", "--reset", "--quiet", "--address", "127.0.0.9"});
    EXPECT_TRUE(flags.json && flags.quiet);
    EXPECT_EQ(flags.address, "127.0.0.9");
    const QStringList bad[] = {{},           {"--reset", "--version"}, {"--reset", "--reset"}, {"--upgrade", "sw,xx"},
                               {"--upgrade", ""}, {"--upgrade"}, {"--upgrade", "--reset"}, {"--restore", "../x"},
                               {"--restore", "5.7."}, {"-u"}, {"--reset", "--address", "terminal"},
                               {"--reset", "--address"}};
    for (const QStringList& args : bad)
        EXPECT_FALSE(cli::parse(args).error.isEmpty()) << args.join(' ').toStdString();
}

}  // namespace
