#include "app/UpgraderState.h"

#include <array>

namespace {

constexpr std::array<const char*, 6> kUpgStateNames = {
    "UPG_STATE_INVALID", "UPG_STATE_IDLE",     "UPG_STATE_BIN_DONE",
    "UPG_STATE_ANT_DONE", "UPG_STATE_UPG_PIC", "UPG_STATE_PIC_DONE",
};
static_assert(kUpgStateNames.size() == UPG_STATE_PIC_DONE + 1);

constexpr std::array<const char*, 5> kUpgPrepStateNames = {
    "UPG_PREP_INVALID", "UPG_PREP_IDLE", "UPG_PREP_FS_READY", "UPG_PREP_STACK_READY", "UPG_PREP_ALL_DONE",
};
static_assert(kUpgPrepStateNames.size() == UPG_PREP_ALL_DONE + 1);

// Index 0 is "no PIC upgrade" and has no name of its own.
constexpr std::array<const char*, 21> kPicStateNames = {
    nullptr,
    "PIC_UPG_STATE_PREP_INIT_CONNECT",
    "PIC_UPG_STATE_PREP_UNAME_SENT",
    "PIC_UPG_STATE_PREP_PASSWD_SENT",
    "PIC_UPG_STATE_PREP_LOGGEDIN",
    "PIC_UPG_STATE_PREP_CHECK_BATT",
    "PIC_UPG_STATE_PREP_CHK_IMG",
    "PIC_UPG_STATE_PREP_BKUP_IMG",
    "PIC_UPG_STATE_PREP_CREATE_XIMG",
    "PIC_UPG_STATE_PREP_REBOOT",
    "PIC_UPG_STATE_INIT_CONNECT",
    "PIC_UPG_STATE_UNAME_SENT",
    "PIC_UPG_STATE_PASSWD_SENT",
    "PIC_UPG_STATE_LOGGEDIN",
    "PIC_UPG_STATE_RECOVER_IMG",
    "PIC_UPG_STATE_CHECK_BATT",
    "PIC_UPG_STATE_BATT_REBOOT_WAIT",
    "PIC_UPG_STATE_REFLASH_SENT",
    "PIC_UPG_STATE_WAIT_RESET",
    "PIC_UPG_STATE_PREP_CHK_BKUP_IMG",
    "PIC_UPG_STATE_CHK_IMG",
};
static_assert(kPicStateNames.size() == PIC_UPG_STATE_CHK_IMG + 1);

template <size_t N>
QString lookup(const std::array<const char*, N>& names, int32_t value)
{
    if (value < 0 || static_cast<size_t>(value) >= N || names[static_cast<size_t>(value)] == nullptr)
        return QStringLiteral("INVALID");
    return QString::fromLatin1(names[static_cast<size_t>(value)]);
}

}  // namespace

QString upgStateName(int32_t state)
{
    return lookup(kUpgStateNames, state);
}

QString upgPrepStateName(int32_t state)
{
    return lookup(kUpgPrepStateNames, state);
}

QString Util_PicUpgStateName(int32_t state)
{
    return lookup(kPicStateNames, state);
}
