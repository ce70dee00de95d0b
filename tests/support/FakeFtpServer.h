#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>

// A scripted FTP peer on 127.0.0.1 in this process, for what a real server
// will not do on demand: odd, split, late or missing replies. It accepts any
// login, answers a few commands itself and records every command line.
class FakeFtpServer : public QObject {
public:
    FakeFtpServer();

    quint16 port() const { return server_.serverPort(); }
    // Ends the control connection, as a server timing out an idle session.
    void hangUp() { if (control_) control_->disconnectFromHost(); }

    // The reply to a command verb, as pieces sent some milliseconds apart;
    // an empty list means the command is never answered.
    std::map<QByteArray, QList<QByteArray>> script;
    // The address the 227 reply names ("127,0,0,1").
    QByteArray pasvAddress = "127,0,0,1";
    // What RETR, NLST and LIST send on the data connection.
    QByteArray payload;
    // What the last STOR brought; it is answered 226 when the client ends it.
    QByteArray stored;

    QList<QByteArray> received;

private:
    void onReadable();
    void answer(const QByteArray& line);
    void serveData();

    QTcpServer server_;
    QTcpServer dataServer_;
    QPointer<QTcpSocket> control_;
    QPointer<QTcpSocket> data_;
    QByteArray buffer_;
    enum class DataJob { None, Send, Receive } dataJob_ = DataJob::None;
};
