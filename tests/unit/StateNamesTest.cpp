#include "app/UpgraderState.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    QString (*name)(int32_t);
    int32_t value;
    const char* expected;
};

class StateNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(StateNameTest, NamesValuesAndRejectsOthers)
{
    const NameCase& c = GetParam();
    EXPECT_EQ(c.name(c.value), QString::fromLatin1(c.expected)) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, StateNameTest,
    ::testing::Values(NameCase{upgStateName, 0, "UPG_STATE_INVALID"}, NameCase{upgStateName, 1, "UPG_STATE_IDLE"},
                      NameCase{upgStateName, 3, "UPG_STATE_ANT_DONE"}, NameCase{upgStateName, 5, "UPG_STATE_PIC_DONE"},
                      NameCase{upgStateName, 6, "INVALID"}, NameCase{upgStateName, -1, "INVALID"},
                      NameCase{upgPrepStateName, 0, "UPG_PREP_INVALID"},
                      NameCase{upgPrepStateName, 3, "UPG_PREP_STACK_READY"},
                      NameCase{upgPrepStateName, 4, "UPG_PREP_ALL_DONE"}, NameCase{upgPrepStateName, 5, "INVALID"},
                      NameCase{upgPrepStateName, INT32_MIN, "INVALID"},
                      // 0 is "no PIC upgrade" and has no name of its own.
                      NameCase{Util_PicUpgStateName, 0, "INVALID"},
                      NameCase{Util_PicUpgStateName, 1, "PIC_UPG_STATE_PREP_INIT_CONNECT"},
                      NameCase{Util_PicUpgStateName, 9, "PIC_UPG_STATE_PREP_REBOOT"},
                      NameCase{Util_PicUpgStateName, 10, "PIC_UPG_STATE_INIT_CONNECT"},
                      NameCase{Util_PicUpgStateName, 16, "PIC_UPG_STATE_BATT_REBOOT_WAIT"},
                      NameCase{Util_PicUpgStateName, 18, "PIC_UPG_STATE_WAIT_RESET"},
                      NameCase{Util_PicUpgStateName, 19, "INVALID"},
                      NameCase{Util_PicUpgStateName, INT32_MAX, "INVALID"}));

TEST(UpgraderStateStart, ValuesOtherPartsRelyOn)
{
    const UpgraderState s;
    EXPECT_EQ(s.currUpgradeState, UPG_STATE_IDLE);
    EXPECT_EQ(s.strCurrentVersion, "0_0_0_0");
    EXPECT_EQ(s.termAntClassId, 6);
    EXPECT_EQ(s.connectedPlatformId, 14);
    EXPECT_EQ(s.packagedPlatformId, 14);
    EXPECT_EQ(s.strPackagedPlatformName, "QORA");
    EXPECT_EQ(s.binBootCompatLevel, -1);
    EXPECT_EQ(s.termBootCompatLevel, -1);
    EXPECT_EQ(s.logLevel, 4);
    EXPECT_EQ(s.strWindowTitle, "Vantor QORA Upgrader");
    EXPECT_EQ(s.picUpgradeState, 0);
    EXPECT_FALSE(s.isOkToFtp);
}

}  // namespace
