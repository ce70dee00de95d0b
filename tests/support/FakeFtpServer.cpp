#include "support/FakeFtpServer.h"

#include <QTimer>

#include <utility>

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
    qsizetype end;
    while (control_ && (end = buffer_.indexOf("\r\n")) >= 0) {
        const QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 2);
        received << line;
        answer(line);
    }
}

void FakeFtpServer::sendPieces(const QList<QByteArray>& pieces)
{
    int delay = 0;
    for (const QByteArray& piece : pieces) {
        QPointer<QTcpSocket> s = control_;
        QTimer::singleShot(delay, this, [s, piece] {
            if (s)
                s->write(piece);
        });
        delay += 30;
    }
}

void FakeFtpServer::answer(const QByteArray& line)
{
    const QByteArray verb = line.split(' ').first().toUpper();
    if (const auto scripted = script.find(verb); scripted != script.end()) {
        sendPieces(scripted->second);
        return;
    }
    if (verb == "USER") {
        control_->write("331 password please\r\n");
    } else if (verb == "PASS") {
        control_->write("230 logged in\r\n");
    } else if (verb == "TYPE" || verb == "CWD" || verb == "DELE") {
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
    } else if (verb == "RETR" || verb == "NLST" || verb == "LIST") {
        control_->write("150 here it comes\r\n");
        dataJob_ = DataJob::Send;
        serveData();
    } else if (verb == "STOR") {
        control_->write("150 send it\r\n");
        dataJob_ = DataJob::Receive;
        serveData();
    } else if (verb == "QUIT") {
        control_->write("221 bye\r\n");
        control_->disconnectFromHost();
    } else {
        control_->write("502 not here\r\n");
    }
}

void FakeFtpServer::serveData()
{
    if (dataJob_ == DataJob::None || !data_)
        return;
    const DataJob job = std::exchange(dataJob_, DataJob::None);
    QPointer<QTcpSocket> control = control_;
    if (job == DataJob::Receive) {
        stored.clear();
        QPointer<QTcpSocket> data = data_;
        QObject::connect(data_, &QTcpSocket::readyRead, this, [this, data] {
            if (data)
                stored += data->readAll();
        });
        QObject::connect(data_, &QTcpSocket::disconnected, this, [this, control, data] {
            if (data)
                stored += data->readAll();
            if (control)
                control->write("226 stored\r\n");
        });
        return;
    }
    QObject::connect(data_, &QTcpSocket::disconnected, this, [control] {
        if (control)
            control->write("226 done\r\n");
    });
    data_->write(payload);
    data_->disconnectFromHost();
}
