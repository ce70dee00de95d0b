#pragma once

#include <QString>

#include <span>

// Why a run of the unattended front end failed: a short word a script can
// test (the code), the text of the box that stopped the action, and what to
// do about it in the front end's own terms.
namespace cli {

// Exit statuses. A run stopped by a signal exits with 128 + its number.
enum ExitCode {
    Success = 0,
    Failure = 1,      // --status: an upgrade is due
    BadUsage = 2,     // the command line or a setting; nothing is sent
    NothingSent = 3,  // refused before the terminal was contacted: no package, two, the folder in use
    StatusUnknown = 4,  // --status could not compare the terminal with the package
};

struct FailureCode {
    const char* name;
    const char* meaning;
    const char* advice;
    int exitStatus;
};

// Every code, in the order --help lists them.
std::span<const FailureCode> failureCodes();
// The entry of a code; the catch-all "fault" for a name not in the list.
const FailureCode& failureCode(const QString& name);

// The code of a box that stopped an action; "fault" when none fits.
QString codeOfBox(const QString& text);
// A box's text as the cause of a failure: what happened, on one line,
// without the window's instructions (its menus, its buttons).
QString causeOfBox(const QString& text);

}  // namespace cli
