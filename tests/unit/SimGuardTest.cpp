#include <gtest/gtest.h>

#include "Options.h"

// The simulator stands in for a terminal on a test machine: it must never
// answer on an address a real network could route to it.
TEST(SimGuard, ListensOnLoopbackOnly)
{
    const std::pair<const char*, qsim::ParseResult> rows[] = {
        {"127.0.0.9", qsim::ParseResult::Run},
        {"10.0.0.1", qsim::ParseResult::Error},
        {"192.168.128.100", qsim::ParseResult::Error},
        {"localhost", qsim::ParseResult::Error},
        {"::1", qsim::ParseResult::Error},
    };
    for (const auto& [address, result] : rows) {
        SCOPED_TRACE(address);
        for (const char* option : {"--app-address", "--default-address"}) {
            qsim::ProgramOptions o;
            QString message;
            EXPECT_EQ(qsim::parseOptions({"sim", option, address}, &o, &message), result);
        }
    }
}
