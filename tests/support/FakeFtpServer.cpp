#include "support/FakeFtpServer.h"

#include <QTimer>

FakeFtpServer::FakeFtpServer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            control_ = s;
            buffer_.clear();
            QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] {
                if (s == control_)
                    onReadable();
            });
            s->write("220 fake server ready\r\n");
        }
    });
    QObject::connect(&dataServer_, &QTcpServer::newConnection, this, [this] {
        data_ = dataServer_.nextPendingConnection();
        serveData();
    });
}

void FakeFtpServer::onReadable()
{
    buffer_ += control_->readAll();
    for (qsizetype end; control_ && (end = buffer_.indexOf("\r\n")) >= 0;) {
        const QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 2);
        received << line;
        answer(line);
    }
}

void FakeFtpServer::answer(const QByteArray& line)
{
    const QByteArray verb = line.split(' ').first().toUpper();
    if (const auto scripted = script.find(verb); scripted != script.end()) {
        int delay = 0;
        for (const QByteArray& piece : scripted->second) {
            QTimer::singleShot(delay, control_.data(), [s = control_.data(), piece] { s->write(piece); });
            delay += 30;
        }
    } else if (verb == "USER") {
        control_->write("331 password please\r\n");
    } else if (verb == "PASS") {
        control_->write("230 logged in\r\n");
    } else if (verb == "TYPE" || verb == "CWD") {
        control_->write("250 ok\r\n");
    } else if (verb == "PASV" || verb == "EPSV") {
        dataServer_.close();
        dataServer_.listen(QHostAddress::LocalHost, 0);
        const quint16 p = dataServer_.serverPort();
        if (verb == "PASV")
            control_->write("227 Entering Passive Mode (" + pasvAddress + "," + QByteArray::number(p / 256) + "," +
                            QByteArray::number(p % 256) + ")\r\n");
        else
            control_->write("229 Entering Extended Passive Mode (|||" + QByteArray::number(p) + "|)\r\n");
    } else if (verb == "RETR" || verb == "NLST" || verb == "LIST" || verb == "STOR") {
        control_->write("150 here it comes\r\n");
        dataJob_ = verb == "STOR" ? DataJob::Receive : DataJob::Send;
        serveData();
    } else if (verb == "QUIT") {
        control_->write("221 bye\r\n");
        control_->disconnectFromHost();
    } else {
        control_->write("502 not here\r\n");
    }
}

// Both jobs end with the data connection; the 226 follows its close.
void FakeFtpServer::serveData()
{
    if (dataJob_ == DataJob::None || !data_)
        return;
    const bool receive = dataJob_ == DataJob::Receive;
    dataJob_ = DataJob::None;
    if (receive)
        stored.clear();
    QObject::connect(data_, &QTcpSocket::disconnected, this, [this, receive, control = control_, data = data_] {
        if (receive && data)
            stored = data->readAll();
        if (control)
            control->write(receive ? "226 stored\r\n" : "226 done\r\n");
    });
    if (!receive) {
        data_->write(payload);
        data_->disconnectFromHost();
    }
}
