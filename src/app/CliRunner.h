#pragma once

#include "app/CliOptions.h"

#include <QString>

#include <functional>

// Runs one action of the upgrader with the real main window, offscreen,
// and dialogs answered by policy. Prints through `out`.
namespace cli {

enum ExitCode { Success = 0, Failure = 1, BadUsage = 2 };

int run(const Options& options, const std::function<void(const QString&)>& out);

// A stop signal (SIGINT, SIGTERM) has arrived: the running action ends, the
// window closes as the program closes it, and run() reports the interruption
// and returns interruptedExitCode(signalNumber). Called from the event loop.
void interrupt(int signalNumber);

// The shell's convention; safe inside a signal handler.
constexpr int interruptedExitCode(int signalNumber)
{
    return 128 + signalNumber;
}

}  // namespace cli
