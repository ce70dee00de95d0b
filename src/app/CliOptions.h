#pragma once

#include <QString>
#include <QStringList>

// The unattended front end's command line: one action per run.
namespace cli {

enum class Action {
    None,
    Upgrade,
    Restore,
    FactoryDefaults,
    Reset,
    TerminalVersion,
    Status,
    DownloadLog,
    ListBackups,
    ToolVersion,
    Help,
    Station,  // one terminal after another
};

struct Options {
    Action action = Action::None;
    bool software = false;
    bool antenna = false;
    bool pic = false;
    bool force = false;      // reinstall items the terminal already runs
    QString reportFile;      // the station's report; empty: the default
    int count = 0;           // terminals the station takes; 0: until stopped
    QString restoreVersion;  // underscored
    QString address;         // the terminal's address; empty: the default
    bool json = false;       // one JSON object at the end
    bool quiet = false;      // only the outcome
    QString error;           // one line when the command line is not usable
};

// args: the arguments after the program name.
Options parse(const QStringList& args);
QString usage();
QString helpText();
// Actions that install nothing also run in a folder without a package.
bool needsPackage(Action action);

}  // namespace cli
