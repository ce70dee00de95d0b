#pragma once

// One FTP control connection with its passive or active data connections,
// serving the flash folder with the service account.

#include "Flash.h"

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>

namespace qsim {

class Core;
class Outbox;

class FtpSession : public QObject {
    Q_OBJECT
public:
    FtpSession(QTcpSocket* control, Core* core, int id);
    ~FtpSession() override;

private:
    enum class Transfer { None, Sending, Flushing, Receiving };

    void onReadyRead();
    void processLines();
    void handle(const QByteArray& line);
    void dispatch(const QString& cmd, const QString& arg);
    void reply(int code, const QString& text);
    void replyLines(int code, const QStringList& lines);
    void preliminary(int code, const QString& text);

    void doPass(const QString& arg);
    void doCwd(const QString& arg);
    void doCdup();
    void doPassive(bool extended);
    void doPort(const QString& arg, bool extended);
    void doRetr(const QString& arg);
    void doStor(const QString& arg);
    void doList(const QString& arg, bool namesOnly);
    void doDele(const QString& arg);
    void doSize(const QString& arg, bool modificationTime);

    std::optional<Flash::Path> path(const QString& arg) const;
    bool failsOnFile(const QString& virt) const;
    qint64 resetPoint(const QString& virt) const;
    qint64 truncatePoint(const QString& virt) const;
    void store(const QByteArray& bytes);

    void withData(const std::function<void()>& go);
    void onPassiveConnection();
    void onDataTimeout();
    void send(const QByteArray& bytes, const QString& what);
    void pumpSend();
    void receive(const QString& local, const QString& what);
    void onDataRead();
    void onDataDisconnected();
    void endTransfer(int code, const QString& text);
    void closeData();
    void closeFile();
    void resetAll(qint64 bytes);
    void goAway();

    Core* core_;
    QTcpSocket* ctl_;
    Outbox* out_;
    int id_;
    QByteArray in_;
    bool discarding_ = false;
    bool busy_ = false;
    bool dead_ = false;

    QString user_;
    bool loggedIn_ = false;
    QString cwd_ = QStringLiteral("/tffs0");
    bool ascii_ = true;  // TYPE A until the client asks for I
    QString current_;    // the command being served

    QTcpServer* passive_ = nullptr;
    QTcpSocket* data_ = nullptr;
    bool activePending_ = false;
    QHostAddress activeAddress_;
    quint16 activePort_ = 0;
    std::function<void()> onData_;
    QTimer dataTimer_;

    Transfer transfer_ = Transfer::None;
    QByteArray sendBuffer_;
    qint64 sent_ = 0;
    qint64 resetAt_ = -1;
    qint64 cutAfterBytes_ = -1;  // the current command is cut after this many data bytes (Faults::cut)
    QFile* file_ = nullptr;
    QByteArray asciiIn_;
    qint64 received_ = 0;
    qint64 keepAt_ = -1;  // bytes of the upload the flash keeps (Faults::ftpTruncateUploadTo)
    qint64 stored_ = 0;
};

}  // namespace qsim
