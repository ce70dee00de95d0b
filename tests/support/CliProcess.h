#pragma once

// The unattended front end run as the program it is, against the simulator,
// with the program's safe settings. For scenario tests only (they know
// where the program was built).
#include "platform/Settings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct CliRun {
    int exitCode = -1;
    QStringList lines;   // standard output
    QStringList errors;  // standard error
    QString all() const { return (lines + errors).join('\n'); }
    QJsonObject json() const { return QJsonDocument::fromJson(lines.value(lines.size() - 1).toUtf8()).object(); }
};

// The front end started against the simulator, with the program's safe settings.
inline void startCli(QProcess& p, const QStringList& args, const Settings& s, const QStringList& extraEnv = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : {std::pair<const char*, QString>{"QORA_LOOPBACK_ONLY", "1"},
                                      {"QORA_DEFAULT_TERMINAL_IP", s.defaultTerminalIp},
                                      {"QORA_ZING_PORT", QString::number(s.zingPort)},
                                      {"QORA_FTP_PORT", QString::number(s.ftpPort)},
                                      {"QORA_TELNET_PORT", QString::number(s.telnetPort)},
                                      {"QORA_TIME_SCALE", QString::number(s.timeScale)},
                                      {"QT_QPA_PLATFORM", "offscreen"}})
        env.insert(name, value);
    for (const QString& e : extraEnv)
        env.insert(e.section('=', 0, 0), e.section('=', 1));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(QORA_CLI_PATH), args);
}

inline QStringList linesOf(QByteArray bytes)
{
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes.isEmpty() ? QStringList() : QString::fromLocal8Bit(bytes).split('\n');
}

inline CliRun finished(QProcess& p, int limitMs)
{
    CliRun r;
    const bool ended = p.state() == QProcess::NotRunning || p.waitForFinished(limitMs);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    // What it wrote, also when it had to be killed.
    r.exitCode = ended ? p.exitCode() : -1;
    r.lines = linesOf(p.readAllStandardOutput());
    r.errors = linesOf(p.readAllStandardError());
    return r;
}
