#include "support/Upgrader.h"

#include <QTcpServer>

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

Settings loopbackSettings(const QString& defaultIp, quint16 zingPort, quint16 ftpPort, quint16 telnetPort,
                          double timeScale)
{
    Settings s;
    s.defaultTerminalIp = defaultIp;
    s.zingPort = zingPort;
    s.ftpPort = ftpPort;
    s.telnetPort = telnetPort;
    s.timeScale = timeScale;
    s.loopbackOnly = true;
    return s;
}

Settings unreachableTerminalSettings(double timeScale)
{
    return loopbackSettings(QStringLiteral("127.0.0.1"), unusedLoopbackPort(), unusedLoopbackPort(),
                            unusedLoopbackPort(), timeScale);
}

Upgrader::Upgrader(const QString& commandLine)
{
    window = std::make_unique<frmMain>(dialogs, commandLine);
}

Upgrader::~Upgrader()
{
    if (window && !window->isUnloaded())
        window->closeMainWindow();
}

bool Upgrader::load()
{
    const bool goesOn = window->Form_Load();
    if (goesOn)
        window->show();
    return goesOn;
}
