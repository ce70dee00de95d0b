// Odd answers from the terminal: the upgrader logs what it ignored, never
// reads past the data and always ends idle.
#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include "ZingMessages.h"

#include "platform/TcpClient.h"
#include "platform/Timer.h"

#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

using qsim::zing::be32;

struct BadAnswer {
    const char* what;
    quint32 requestCode;
    qsim::ZingFault fault;
    // What the user ends up with.
    const char* finalStatus;
    // A line the log must hold (after the tag and tab), or empty.
    const char* logLine;
    bool versionKnown;
};

class BadAnswers : public ::testing::TestWithParam<BadAnswer> {};

TEST_P(BadAnswers, EndIdleWithTheIgnoredPartLogged)
{
    const BadAnswer& c = GetParam();
    SCOPED_TRACE(c.what);
    SimHarness sim;
    sim->updateFaults([&](qsim::Faults& f) { f.zingByCode.insert(c.requestCode, c.fault); });
    TestHome home;
    home.writePackage("5_7_2_0");
    Upgrader u;
    ASSERT_TRUE(u.load());
    ASSERT_TRUE(waitUntil(
        [&] {
            return u.w().statusText() == c.finalStatus && u.w().mousePointer() == 0 && !u.w().tmrResponse->enabled() &&
                   !u.w().tmrConneTest->enabled();
        },
        8000))
        << u.w().statusText().toStdString();
    EXPECT_EQ(u.w().txtCurrentSoftwareVersion->text() != "UNKNOWN", c.versionKnown);
    if (*c.logLine) {
        EXPECT_TRUE(home.logText().contains(c.logLine)) << c.logLine;
    }
    EXPECT_TRUE(u.w().isEnabled());
}

// A version text without a version: the terminal is not identified, so the
// window claims no success and an upgrade sends nothing to the terminal.
TEST(BadVersionText, IdentifiesNothingAndInstallsNothing)
{
    SimHarness sim;
    sim->updateFaults([&](qsim::Faults& f) {
        f.zingByCode.insert(4, qsim::ZingFault::rawBytes(be32(0x1004) + be32(0) + "hello world"));
    });
    TestHome home;
    home.writePackage("5_7_2_0");
    Upgrader u;
    ASSERT_TRUE(u.load());
    ASSERT_TRUE(waitUntil([&] { return !u.dialogs.boxes().isEmpty() && u.w().nothingRunning(); }, 8000));
    EXPECT_EQ(u.w().statusText(), "Unable to read Satellite IP Modem's software version.");
    EXPECT_EQ(u.w().statusLedColour(), 255);
    EXPECT_TRUE(u.dialogs.boxes().last().text.startsWith(
        "Unable to read Satellite IP Modem's software version.\r\nThe Satellite IP Modem answered: \"hello world\""));
    EXPECT_EQ(u.w().txtCurrentSoftwareVersion->text(), "UNKNOWN");

    sim->clearRecords();
    u.w().chkBinUpg->setChecked(true);
    u.dialogs.queueAnswer(MsgResult::Yes);
    u.w().cmdUpgrade_Click();
    serveEventsFor(300);
    // Asked again, and nothing else.
    EXPECT_EQ(sim.zingCodes(), QList<quint32>{4});
    EXPECT_TRUE(sim.ftpCommands().isEmpty());
}

const char* kProbeReached = "Operation Successful.  Software version retrieved!";
// A release information answer that cannot be used changes nothing, the status included.
const char* kReleaseInfoAsked = "Fetching Terminal Release Info...";

INSTANTIATE_TEST_SUITE_P(
    Zing, BadAnswers,
    ::testing::Values(
        // Too short for a code: the response time-out ends the wait, the probe reaches FTP.
        BadAnswer{"two bytes", 4, qsim::ZingFault::truncated(2), "Retrieving Terminal software version...",
                  "ZING response ignored: 2 bytes received", false},
        BadAnswer{"code only", 4, qsim::ZingFault::truncated(4), "Retrieving Terminal software version...",
                  "VERSION_RESPONSE ignored: 4 bytes received", false},
        BadAnswer{"unknown code", 4, qsim::ZingFault::rawBytes(be32(0x2000) + QByteArray(40, 'x')),
                  "Retrieving Terminal software version...", "ZingResponseCode: /x2000", false},
        // A version text of any bytes, NULs included, is read up to the first NUL.
        BadAnswer{"binary version text", 4,
                  qsim::ZingFault::rawBytes(be32(0x1004) + be32(0) + QByteArray("5.7.1.12\xff\xfe \x80", 12) +
                                            QByteArray(1, '\0') + QByteArray(300, '\x90')),
                  kProbeReached, "OLD style App Software detected", true},
        // An answer without a version identifies nothing: no success claimed.
        BadAnswer{"no markers at all", 4, qsim::ZingFault::rawBytes(be32(0x1004) + be32(0) + "garbage"),
                  "Unable to read Satellite IP Modem's software version.", "OLD style App Software detected", false},
        BadAnswer{"release info length zero", 0x92, qsim::ZingFault::withStatus(0), kReleaseInfoAsked,
                  "Invalid Release Info response length.", true},
        BadAnswer{"release info length negative", 0x92, qsim::ZingFault::withStatus(-7), kReleaseInfoAsked,
                  "Invalid Release Info response length.", true},
        BadAnswer{"release info cut before its length", 0x92, qsim::ZingFault::truncated(9), kReleaseInfoAsked,
                  "RELEASE_INFO_CNF ignored: 9 bytes received", true},
        BadAnswer{"release info huge length, no text", 0x92,
                  qsim::ZingFault::rawBytes(be32(0x1092) + be32(0) + be32(0x7FFFFFFF)),
                  "Operation Successful.  Release Info retrieved!", "ZING Ant Info:", true},
        BadAnswer{"release info with NULs and high bytes", 0x92,
                  qsim::ZingFault::rawBytes(be32(0x1092) + be32(0) + be32(400) + be32(0) +
                                            QByteArray("CLASS: 9\r\n\xe9\xff", 12) + QByteArray(1, '\0') +
                                            QByteArray(600, 'A')),
                  "Operation Successful.  Release Info retrieved!", "ZING Ant Info:", true}));

}  // namespace
