#pragma once

#include <QString>
#include <QStringList>

// The window's command line: its switches, compared as a whole as they always
// were, and the package folder a file manager or the user may name last.
namespace startup {

struct CommandLine {
    QString switches;  // "-u", "/TermDiag" or anything else (ignored)
    QString folder;    // empty when none is named
};

// args: as typed; leftByToolkit: what Qt left of them once it took its own
// options (the value of "-platform", say, is no folder). "-u" and "/TermDiag"
// alone are switches, never folders. Otherwise the last argument is the
// folder unless it starts with '-' or Qt took it; what comes before it are the
// switches.
CommandLine splitCommandLine(const QStringList& args, const QStringList& leftByToolkit);

// "--help" (or "-h") and "--version" anywhere are answered on standard
// output, without a window: a display is not needed for them.
enum class Request { Window, Help, Version };
Request request(const QStringList& args);
QString helpText();

}  // namespace startup
