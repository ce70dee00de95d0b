#pragma once

#include <QString>

#include <functional>

// How a one-shot put ended. The caller reports a failed connection (no
// session: refused, silent, login refused) apart from a failed put (the
// session was there) and from a local file that could not be read.
struct FtpPutResult {
    enum class Failure { None, Connect, Put, Local };
    Failure failure = Failure::None;
    int error = 0;  // WinINet numbering, as InetFtp reports them
    QString reply;  // the server's last reply, or what went wrong locally

    bool ok() const { return failure == Failure::None; }
};

// A one-shot fetch: the file's first bytes, or absent when the server
// answered 550; a failure otherwise.
struct FtpFetchResult : FtpPutResult {
    bool absent = false;
    QByteArray bytes;
    bool truncated = false;  // the file holds more than was asked for
};

// The one-shot put of a small file: connect, log in with the service account,
// TYPE A, PASV, STOR, QUIT. Synchronous like the original call: it blocks on
// its own sockets and serves no events, bounded by a time-out.
class FtpPut {
public:
    explicit FtpPut(const QString& host);

    // 0 (the default) means the FTP port of the settings in force.
    void setPort(quint16 port) { port_ = port; }
    void setCredentials(const QString& user, const QString& password);
    // Limit for the whole put; negative means 60 s scaled by the time scale.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

    // Puts localPath under remoteName, relative to the login folder.
    FtpPutResult put(const QString& localPath, const QString& remoteName = QStringLiteral("image.txt"));

    // Deletes remoteName the same way (no data connection).
    FtpPutResult remove(const QString& remoteName);

    // Fetches the first maxBytes of remoteName, TYPE I, the same way.
    FtpFetchResult fetch(const QString& remoteName, qint64 maxBytes);

    std::function<void(const QString&)> onGuardLog;
    // Receives the line naming the address of each connection opened, control and data.
    std::function<void(const QString&)> onConnectLog;

private:
    class Session;
    int limitMs() const;
    void logConnection(const QString& who, const QString& host, quint16 port) const;

    QString host_;
    quint16 port_ = 0;
    QString user_ = QStringLiteral("qorauser");
    QString password_ = QStringLiteral("skywardly");
    int timeoutMs_ = -1;
};
