#include <gtest/gtest.h>

#include "Options.h"

// The simulator stands in for a terminal on a test machine: it must never
// answer on an address a real network could route to it.
TEST(SimGuard, ListensOnLoopbackOnly)
{
    using R = qsim::ParseResult;
    const std::pair<const char*, R> rows[] = {
        {"127.0.0.9", R::Run}, {"10.0.0.1", R::Error}, {"192.168.128.100", R::Error}, {"localhost", R::Error}, {"::1", R::Error}};
    for (const auto& [address, result] : rows) {
        for (const char* option : {"--app-address", "--default-address"}) {
            qsim::ProgramOptions o;
            QString message;
            EXPECT_EQ(qsim::parseOptions({"sim", option, address}, &o, &message), result) << option << " " << address;
        }
    }
}
