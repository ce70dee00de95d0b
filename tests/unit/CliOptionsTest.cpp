#include "app/CliOptions.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

struct CliCase {
    QStringList args;
    cli::Action action;
    bool sw, ant, pic;
    QString restore;
    bool bad;
};

class CliParse : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliParse, OneActionPerRun)
{
    const CliCase& c = GetParam();
    const cli::Options o = cli::parse(c.args);
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(!o.error.isEmpty(), c.bad) << o.error.toStdString();
    if (c.bad)
        return;
    EXPECT_EQ(o.action, c.action);
    EXPECT_EQ(o.software, c.sw);
    EXPECT_EQ(o.antenna, c.ant);
    EXPECT_EQ(o.pic, c.pic);
    EXPECT_EQ(o.restoreVersion, c.restore);
}

using A = cli::Action;
INSTANTIATE_TEST_SUITE_P(
    Args, CliParse,
    ::testing::Values(CliCase{{"--upgrade", "sw"}, A::Upgrade, true, false, false, "", false},
                      CliCase{{"--upgrade", "pic,sw,ant"}, A::Upgrade, true, true, true, "", false},
                      CliCase{{"--restore", "5.7.1.12"}, A::Restore, false, false, false, "5_7_1_12", false},
                      CliCase{{"--restore", "5_7_1_12"}, A::Restore, false, false, false, "5_7_1_12", false},
                      CliCase{{"--factory-defaults"}, A::FactoryDefaults, false, false, false, "", false},
                      CliCase{{"--reset"}, A::Reset, false, false, false, "", false},
                      CliCase{{"--version"}, A::Version, false, false, false, "", false},
                      CliCase{{"--download-log"}, A::DownloadLog, false, false, false, "", false},
                      CliCase{{"--reset", "--help"}, A::Help, false, false, false, "", false},
                      CliCase{{}, A::None, false, false, false, "", true},
                      CliCase{{"--reset", "--version"}, A::None, false, false, false, "", true},
                      CliCase{{"--reset", "--reset"}, A::None, false, false, false, "", true},
                      CliCase{{"--upgrade", "sw,xx"}, A::None, false, false, false, "", true},
                      CliCase{{"--upgrade", ""}, A::None, false, false, false, "", true},
                      CliCase{{"--upgrade"}, A::None, false, false, false, "", true},
                      CliCase{{"--upgrade", "--reset"}, A::None, false, false, false, "", true},
                      CliCase{{"--restore", "../x"}, A::None, false, false, false, "", true},
                      CliCase{{"--restore", "5.7."}, A::None, false, false, false, "", true},
                      CliCase{{"-u"}, A::None, false, false, false, "", true}));

}  // namespace
