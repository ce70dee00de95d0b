#pragma once

#include "app/CliOptions.h"

#include <QString>

#include <functional>

// Runs one action of the upgrader with the real main window, offscreen,
// and dialogs answered by policy. Prints through `out`.
namespace cli {

enum ExitCode { Success = 0, Failure = 1, BadUsage = 2 };

int run(const Options& options, const std::function<void(const QString&)>& out);

}  // namespace cli
