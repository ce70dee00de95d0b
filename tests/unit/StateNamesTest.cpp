#include "app/UpgraderState.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// The ends of each name table, and values just outside them.
TEST(StateNames, NameValuesAndRejectOthers)
{
    const struct { QString (*name)(int32_t); int32_t value; const char* expected; } rows[] = {
        {upgStateName, 0, "UPG_STATE_INVALID"}, {upgStateName, 5, "UPG_STATE_PIC_DONE"},
        {upgStateName, 6, "INVALID"}, {upgStateName, -1, "INVALID"}, {upgPrepStateName, 4, "UPG_PREP_ALL_DONE"},
        {upgPrepStateName, 5, "INVALID"}, {upgPrepStateName, INT32_MIN, "INVALID"},
        // 0 is "no PIC upgrade" and has no name of its own.
        {Util_PicUpgStateName, 0, "INVALID"}, {Util_PicUpgStateName, 1, "PIC_UPG_STATE_PREP_INIT_CONNECT"},
        {Util_PicUpgStateName, 18, "PIC_UPG_STATE_WAIT_RESET"}, {Util_PicUpgStateName, 19, "INVALID"},
        {Util_PicUpgStateName, INT32_MAX, "INVALID"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(r.name(r.value), QString::fromLatin1(r.expected));
    }
}

}  // namespace
