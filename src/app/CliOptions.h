#pragma once

#include <QString>
#include <QStringList>

// The unattended front end's command line: one action per run.
namespace cli {

enum class Action { None, Upgrade, Restore, FactoryDefaults, Reset, Version, DownloadLog, Help };

struct Options {
    Action action = Action::None;
    bool software = false;
    bool antenna = false;
    bool pic = false;
    QString restoreVersion;  // underscored
    QString error;           // one line when the command line is not usable
};

// args: the arguments after the program name.
Options parse(const QStringList& args);
QString usage();
QString helpText();

}  // namespace cli
