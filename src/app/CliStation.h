#pragma once

#include "app/CliOptions.h"
#include "app/CliRunner.h"

#include <QString>

// The upgrade station: one terminal after another at one address, each
// upgraded as --upgrade does it, with one line per terminal in a CSV report.
namespace cli {

int runStation(const Options& options, const Output& output);

// One field of a CSV line, as a spreadsheet reads it back: quoted when it
// must be, control characters shown printable, and a text that a
// spreadsheet would take for a formula kept a text.
QString csvField(const QString& text);

}  // namespace cli
