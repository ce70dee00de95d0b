#pragma once

#include "app/CliCauses.h"
#include "app/CliOptions.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

class QLockFile;

// Runs one action of the upgrader with the real main window, offscreen,
// and dialogs answered by policy.
namespace cli {

// Where the front end writes: lines to standard output and to standard
// error, and, when standard output is a terminal, one line rewritten in place
// (empty: take it away). `live` is empty when the output is not a terminal.
// The one way JSON leaves the front end.
QString jsonLine(const QJsonObject& object);

struct Output {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    std::function<void(const QString&)> live;
    // The warning a second stop signal prints before it ends the run at once.
    std::function<void(const QString&)> armSecondSignal;
};

// For a caller that runs the action once per terminal, one run after another.
struct Batch {
    // The folder's lock, held across the runs.
    std::shared_ptr<QLockFile> folderLock;
    // Once start-up has read the terminal, before the action: what it reports of itself.
    std::function<void(const QJsonObject& terminal)> identified;
    // Filled at the end: the run's report, as --json prints it.
    QJsonObject report;
};

int run(const Options& options, const Output& output, Batch* batch = nullptr);

// Where a stop signal goes while no run is active (between two runs of a batch).
void setIdleInterrupt(std::function<void(int signalNumber)> handler);

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
