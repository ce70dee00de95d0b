#pragma once

// The command line of qora-terminal-sim, turned into the simulator's settings.

#include "SimTypes.h"

#include <QString>
#include <QStringList>

namespace qsim {

struct ProgramOptions {
    Config config;
    Model model;
    Faults faults;
    QString seedVersion = QStringLiteral("5.7.1.12");  // put on an empty flash folder
    int stdioShellPort = 0;  // not 0: only serve that simulator's shell on stdin and stdout
};

enum class ParseResult { Run, Help, Error };

// args as in QCoreApplication::arguments() (program name first). On Help the
// message is the help text; on Error it says what is wrong.
ParseResult parseOptions(const QStringList& args, ProgramOptions* out, QString* message);

}  // namespace qsim
