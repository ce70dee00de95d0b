#pragma once

// A simulator on free loopback ports in a temporary flash folder, and plain
// clients that know nothing of its code: POSIX sockets and the curl tool.

#include "Terminal.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>

namespace simtest {

inline const QString kApp = QStringLiteral("127.0.0.2");
inline const QString kDefault = QStringLiteral("127.0.0.1");

// A blocking TCP client with time limits.
class Client {
public:
    Client() = default;
    ~Client() { close(); }
    Q_DISABLE_COPY(Client)

    // False when the connection is refused (error() then says why).
    bool connect(const QString& address, quint16 port);
    int error() const { return error_; }
    void send(const QByteArray& bytes);
    void sendLine(const QByteArray& line) { send(line + "\r\n"); }
    // What arrives until `quietMs` pass without data (after the first byte,
    // which is awaited up to `firstMs`) or the peer closes.
    QByteArray read(int firstMs = 2000, int quietMs = 100);
    // Accumulates until the text holds `needle` or the time is up.
    QByteArray readUntil(const QByteArray& needle, int timeoutMs = 3000);
    bool said(const QByteArray& needle, int timeoutMs = 3000) { return readUntil(needle, timeoutMs).contains(needle); }
    // A shell command line; the answer up to the next prompt.
    QByteArray run(const QByteArray& line) { sendLine(line); return readUntil("-> "); }
    // One recv() call; empty on time-out or close.
    QByteArray readOnce(int timeoutMs);
    // True when the peer closed (or reset) within the time; data before is dropped.
    bool closedWithin(int timeoutMs);
    void close();
    bool atEnd() const { return eof_; }

private:
    int fd_ = -1;
    int error_ = 0;
    bool eof_ = false;
};

// exitCode -1: curl did not end in time.
struct CurlResult { int exitCode = -1; QByteArray out, err; };

// Request bytes: code, then an optional parameter as the terminal expects it.
QByteArray zingRequest(quint32 code);
QByteArray be32(qint32 v);
inline qint32 be32At(const QByteArray& b, int offset)
{
    return b.size() < offset + 4 ? -99999 : qFromBigEndian<qint32>(b.constData() + offset);
}
// The text field of a response at offset 16 (up to its NUL), or from offset 8
// for the version response.
inline QByteArray textAt(const QByteArray& b, int offset) { return b.mid(offset).split('\0').first(); }
QByteArray randomBytes(int n);

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Starts (again) with the current config.
    void startSim();
    // Presses reset and waits until the terminal is up again.
    void resetAndWait();
    // Without image.txt the next boot is the Boot ROM's.
    void bootRom();
    // A file on the PC, outside the flash, for curl to upload.
    QString localFile(const QString& name, const QByteArray& bytes) const;

    // One ZING exchange on a fresh connection; empty when nothing came.
    QByteArray zing(const QByteArray& request, const QString& address = kApp, int firstMs = 2000);
    CurlResult curl(const QStringList& args);
    // A URL for curl naming a terminal path ("/tffs0/image.txt").
    QString ftpUrl(const QString& path) const;
    // A logged-in raw FTP control connection.
    void ftpLogin(Client& c);
    // Sends one command and returns the code of its final reply (-1: none).
    int ftp(Client& c, const QByteArray& line, QByteArray* replyText = nullptr) { c.sendLine(line); return ftpReply(c, replyText); }
    int ftpReply(Client& c, QByteArray* replyText = nullptr);
    // PASV, then `data` connected to the address it names.
    bool openData(Client& c, Client& data);
    // RETR/NLST/LIST (upload null: returns the data) or STOR over a passive
    // data connection opened by hand, expecting a 226 at its end.
    QByteArray ftpTransfer(Client& c, const QByteArray& command, const QByteArray* upload = nullptr);
    // A logged-in shell session at the "->" prompt.
    void shellLogin(Client& c, const QString& address = kApp);

    QTemporaryDir dir_;
    qsim::Config config_;
    std::unique_ptr<qsim::Terminal> sim_;
};

}  // namespace simtest
