#pragma once

#include "app/CliCauses.h"
#include "app/CliOptions.h"

#include <QString>

#include <functional>

// Runs one action of the upgrader with the real main window, offscreen,
// and dialogs answered by policy.
namespace cli {

// Where the front end writes: lines to standard output and to standard
// error, and, when standard output is a terminal, one line rewritten in place
// (empty: take it away). `live` is empty when the output is not a terminal.
struct Output {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    std::function<void(const QString&)> live;
    // The warning a second stop signal prints before it ends the run at once.
    std::function<void(const QString&)> armSecondSignal;
};

int run(const Options& options, const Output& output);

// The JSON of a run refused before it started (bad usage or settings).
QString refusalReport(const QString& code, const QString& reason);

// A stop signal (SIGINT, SIGTERM) has arrived: the running action ends, the
// window closes as the program closes it, and run() reports the interruption
// and returns interruptedExitCode(signalNumber); while the terminal is at work,
// once that work is over. Called from the event loop.
void interrupt(int signalNumber);

// The shell's convention; safe inside a signal handler.
constexpr int interruptedExitCode(int signalNumber)
{
    return 128 + signalNumber;
}

}  // namespace cli
