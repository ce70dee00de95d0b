#pragma once

#include "app/frmMain.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Settings.h"
#include "support/Printers.h"

#include <memory>

// A loopback port on which nothing listens.
quint16 unusedLoopbackPort();

// Settings for a test: loopback only, the given default address and ports,
// a small time scale.
Settings loopbackSettings(const QString& defaultIp, quint16 zingPort, quint16 ftpPort, quint16 telnetPort,
                          double timeScale = 0.01);
// The same with ports on which nothing listens.
Settings unreachableTerminalSettings(double timeScale = 0.01);

// The real main window, offscreen, with scripted dialogs.
struct Upgrader {
    explicit Upgrader(const QString& commandLine = QString());
    ~Upgrader();

    // Runs the load event as the program does; shows the window when it goes on.
    bool load();

    ScriptedDialogs dialogs;
    std::unique_ptr<frmMain> window;
    frmMain& w() { return *window; }
};
