#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server (pyftpdlib, run by /usr/bin/python3) on 127.0.0.1 and a
// free port, serving a temporary flash folder: the FTP root holds tffs0/ and
// ram0/, and every session starts in /tffs0 as on the terminal. It reports
// logins and the commands it received.
class PyFtpServer {
public:
    struct Options {
        QString password = QStringLiteral("skywardly");
        double delay226 = 0;     // seconds every 226 is held back
        int bytesPerSecond = 0;  // data connection limit, 0: none
        double idleTimeout = 300;
    };

    PyFtpServer() : PyFtpServer(Options()) {}
    explicit PyFtpServer(const Options& options) : options_(options) {}
    ~PyFtpServer() { kill(); }

    // Starts the server and waits until it listens; false with a reason in
    // error() when it cannot (python3-pyftpdlib missing, for one).
    bool start();
    QString error() const { return error_; }
    quint16 port() const { return port_; }

    // A file under the FTP root ("tffs0/bin/qorax.bin").
    QString path(const QString& relative) const { return root_.path() + QLatin1Char('/') + relative; }
    void writeFile(const QString& relative, const QByteArray& bytes) const;

    // What the server reported so far: "LOGIN qorauser", "CMD TYPE I", ...
    int logins();
    QStringList commands();
    // Serves events until a report starting with prefix arrives.
    bool waitForEvent(const QString& prefix, int limitMs = 5000);

    // Kills the server process at once (SIGKILL), mid-transfer if need be.
    void kill();

private:
    QStringList events();

    Options options_;
    QTemporaryDir root_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
    QByteArray partial_;
    QStringList events_;
};
