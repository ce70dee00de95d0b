#pragma once

#include <QString>
#include <QStringList>

// The terminal's addresses and ports are fixed in the product; these settings
// exist so that tests and demos can point the program at a simulator.
struct Settings {
    QString defaultTerminalIp = QStringLiteral("192.168.128.100");
    quint16 zingPort = 1827;
    quint16 ftpPort = 21;
    quint16 telnetPort = 23;
    double timeScale = 1.0;
    bool loopbackOnly = false;

    // Read once from the QORA_* environment variables on first use.
    static const Settings& get();
    // Replaces the settings in force (tests that start a simulator on free ports);
    // never lifts a loopback-only restriction set in the environment.
    static void set(const Settings& s);
    static Settings fromEnvironment();
    // The QORA_* variables that are set but cannot be used, one line each:
    // a program must refuse to start on them rather than fall back silently.
    static QStringList environmentProblems();

    // A time in milliseconds as the program waits it: scaled, never below 1.
    int scaledMs(int ms) const;
    static int scaled(int ms) { return get().scaledMs(ms); }

    // The default address split in its four octets ("192", "168", ...).
    QString octet(int index) const;

    // True when a connection to host may be attempted under loopbackOnly: only
    // literal addresses in 127.0.0.0/8 qualify, so no name lookup leaves the machine.
    bool isConnectionAllowed(const QString& host) const;

    // A dotted address of exactly four decimal octets, nothing else (no
    // blanks, no short forms); false otherwise.
    static bool parseIPv4(const QString& text, quint32* address);
};
