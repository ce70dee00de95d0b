#include "app/CliCauses.h"
#include "app/CliOptions.h"
#include "app/CliStation.h"
#include "ident/VersionText.h"
#include "log/LogFormat.h"
#include "zing/ZingTexts.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

TEST(CliParse, OneActionPerRun)
{
    using A = cli::Action;
    const struct { QStringList args; A action; bool sw, ant, pic; QString restore; } good[] = {
        {{"--upgrade", "sw"}, A::Upgrade, true, false, false, ""}, {{"--upgrade", "pic,sw,ant"}, A::Upgrade, true, true, true, ""},
        {{"--upgrade=ant,pic", "--force"}, A::Upgrade, false, true, true, ""},
        {{"--restore", "5.7.1.12"}, A::Restore, false, false, false, "5_7_1_12"},
        {{"--restore=5_7_1_12"}, A::Restore, false, false, false, "5_7_1_12"},
        {{"--factory-defaults"}, A::FactoryDefaults, false, false, false, ""}, {{"--reset"}, A::Reset, false, false, false, ""},
        {{"--version"}, A::ToolVersion, false, false, false, ""}, {{"--download-log"}, A::DownloadLog, false, false, false, ""},
        {{"--terminal-version", "--address", "127.0.0.9", "--json"}, A::TerminalVersion, false, false, false, ""},
        {{"--status", "--address=127.0.0.9"}, A::Status, false, false, false, ""},
        {{"--quiet", "--list-backups"}, A::ListBackups, false, false, false, ""}, {{"--reset", "--help"}, A::Help, false, false, false, ""},
        {{"--station=pic,sw", "--count", "3", "--report=r.csv"}, A::Station, true, false, true, ""},
    };
    for (const auto& r : good) {
        const cli::Options o = cli::parse(r.args);
        EXPECT_EQ(std::tuple(o.error, o.action, o.software, o.antenna, o.pic, o.restoreVersion),
                  std::tuple(QString(), r.action, r.sw, r.ant, r.pic, r.restore)) << r.args.join(' ').toStdString();
    }
    const cli::Options flags = cli::parse({"--json", "--reset", "--quiet", "--address=127.0.0.9"});
    EXPECT_TRUE(flags.json && flags.quiet && !flags.force);
    EXPECT_EQ(flags.address, "127.0.0.9");
    EXPECT_TRUE(cli::parse({"--force", "--upgrade", "sw"}).force);
    const QStringList bad[] = {{},           {"--reset", "--version"}, {"--reset", "--reset"}, {"--upgrade", "sw,xx"},
                               {"--upgrade", ""}, {"--upgrade"}, {"--upgrade", "--reset"}, {"--restore", "../x"},
                               {"--restore", "5.7."}, {"-u"}, {"--reset", "--address", "terminal"},
                               {"--reset", "--address"}, {"--reset", "--address="}, {"--reset", "--json=yes"},
                               {"--status=1"}, {"--status", "--force"}, {"--upgrade=", "sw"}, {"--station", "sw", "--force"},
                               {"--station", "sw", "--count", "0"}, {"--station=sw", "--count=x"}, {"--upgrade=sw", "--count=2"},
                               {"--status", "--report", "r.csv"}};
    for (const QStringList& args : bad)
        EXPECT_FALSE(cli::parse(args).error.isEmpty()) << args.join(' ').toStdString();
}

// A box tells the kind of failure and, on one line, what happened: a telling
// line further down too, without the window's own instructions.
TEST(CliCauses, ABoxNamesItsKindAndWhatHappened)
{
    const QString notGot = "Unable to get Satellite IP Modem's software version.";
    const struct { QString box; const char* code; QString cause; } rows[] = {
        {notGot + zing::kCrLf + zing::kConnectionProblemB, "unreachable", notGot},
        // The time-out says more than the version it could not get.
        {"FTP timeout.\r\n" + notGot + zing::kCrLf + zing::kConnectionProblemB, "connection-lost", "FTP timeout. " + notGot},
        {zing::kConnectionProblemA + zing::kCrLf, "connection-lost", "WARNING: Connection Problem."},
        {"PIC Upgrade failure. \r\n\r\n Reason for failure : \r\n     - Battery detected.\r\nPIC firmware has not been "
         "Upgraded.\r\nRemove the Battery and retry the PIC Upgrade.\r\nAlso refer to the Help menu if needed.\r\n",
         "battery", "PIC Upgrade failure. Battery detected."},
        {ident::compatibilityWarningText(1, 2), "too-old",
         "WARNING: The Application binary included with this Upgrader is of a Compatibility Level (1) that is "
         "incompatibile with the running terminal software's Compatibility Level (2). Please use a newer Upgrader version."},
        {"PIC Upgrade failed.  Click OK and close the upgrader.\r\nMake sure there is no other active Telnet session to "
         "the TE.", "shell", "PIC Upgrade failed. Make sure there is no other active Telnet session to the TE."},
        {"An unexpected FTP error occurred.\r\nOperation cancelled.\r\n\r\nError Code:  550 : No such file", "ftp-refused",
         "An unexpected FTP error occurred. Operation cancelled. Error Code: 550 : No such file"},
        {"Something new.", "fault", "Something new."},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(cli::codeOfBox(r.box), r.code) << r.box.toStdString();
        EXPECT_EQ(cli::causeOfBox(r.box), r.cause);
    }
}

// A report cell reads back as the text it holds, on its own line, and never runs as a formula.
TEST(CliStation, ReportCells)
{
    const struct { QString text, cell; } rows[] = {
        {"5.7.2.0", "5.7.2.0"},
        {"ATB 1.4, HPA 1.2", "\"ATB 1.4, HPA 1.2\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"two\nlines\x1b!", "two" + qlog::printableText("\n") + "lines" + qlog::printableText("\x1b") + "!"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(cli::csvField(r.text), r.cell);
}

}  // namespace
