#pragma once

#include "platform/FtpReply.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringDecoder>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <optional>

class QFile;
class QTimer;

// One operation text as the transfer control accepts it.
struct FtpOperation {
    enum Kind { Get, Put, Cd, Ls, Delete, Close };
    Kind kind = Close;
    QString first;   // GET: remote, PUT: local, CD: folder, Delete: name, LS: optional folder
    QString second;  // GET: local, PUT: remote
};

// The asynchronous FTP client that stands in for the transfer control: one
// operation text at a time, numbered state-change notifications, WinINet
// failure numbers. One control connection lives from the first command to
// CLOSE, so a CD holds for the commands after it. Everything runs on the
// event loop; notifications are always delivered from it, never from inside
// execute(), and none at all after cancel(). A PUT completes only after the
// server's copy was measured against what was sent (uploadCheck()); a GET
// asked to be measured completes only when it brought all the server holds.
class InetFtp : public QObject {
    Q_OBJECT
public:
    enum StateChange {
        icNone = 0,
        icResolvingHost = 1,
        icHostResolved = 2,
        icConnecting = 3,
        icConnected = 4,
        icRequesting = 5,
        icRequestSent = 6,
        icReceivingResponse = 7,
        icResponseReceived = 8,
        icDisconnecting = 9,
        icDisconnected = 10,
        icError = 11,
        icResponseCompleted = 12,
    };

    enum ResponseCode {
        errNone = 0,
        errTimeout = 12002,
        // The server refused the command (replyCode() says with what).
        errRefused = 12003,
        errNameNotResolved = 12007,
        errLoginRefused = 12014,
        errCannotConnect = 12029,
        errConnectionReset = 12031,
        // Not WinINet numbers: failures found on this PC, never a server's answer.
        // A file of the PC could not be read or written (localFailure() says which).
        errLocalFile = 12950,
        // A download went past the limit set for it.
        errTooLarge = 12951,
        // After an upload the server holds another size than was sent
        // (uploadCheck() says both).
        errUploadIncomplete = 12952,
        // A measured download brought another size than the server holds
        // (uploadCheck() says both); nothing was written to the target.
        errDownloadIncomplete = 12953,
    };

    // The PC's file behind an errLocalFile failure.
    struct LocalFailure {
        QString path;
        QString reason;
        bool writing = false;
    };

    // How a PUT (or a measured GET) compared the server's copy with what was
    // sent (or received): SIZE, or the size column of a LIST line when the
    // server has no SIZE.
    struct UploadCheck {
        enum Outcome {
            None,        // no PUT, or it failed before the comparison
            Matched,
            Unmeasured,  // the server gave no size: the upload was accepted on its 2xx
            Mismatch,    // failed with errUploadIncomplete or errDownloadIncomplete
        };
        Outcome outcome = None;
        QString remote;            // as the PUT (GET) named it
        QString local;             // native path
        qint64 sentBytes = 0;      // every byte of the local file, as read and sent (a GET: received)
        qint64 remoteBytes = -1;   // the size the server reported; -1 when none
        QString unmeasuredWhy;     // the server's last answer when it gave no size
    };

    explicit InetFtp(QObject* parent = nullptr);
    ~InetFtp() override;

    void setAddress(const QString& host) { host_ = host; }
    QString address() const { return host_; }
    // 0 (the default) means the FTP port of the settings in force at connect time.
    void setPort(quint16 port) { port_ = port; }
    void setCredentials(const QString& user, const QString& password);
    // Time without any reply or data after which a command fails with 12002;
    // negative means 60 s scaled by the time scale.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    // Most bytes the next GET may bring; past it the download stops with
    // errTooLarge. Negative (the default) means no limit. Applies to one GET.
    void setDownloadLimit(qint64 bytes) { downloadLimit_ = bytes; }
    // The next GET is measured against the server's size before it replaces
    // its target (a copy that must be whole). Applies to one GET.
    void setMeasureDownload(bool measure) { measureDownload_ = measure; }
    // The next GET writes a file for its owner alone (0600), from its first byte.
    void setPrivateDownload() { privateDownload_ = true; }

    // Starts one operation. False, and nothing happens, while an operation
    // runs or when the text is not understood.
    bool execute(const QString& operation);
    // Aborts whatever runs, closes the connections, removes a partial
    // download; no notification of it follows.
    void cancel();

    bool stillExecuting() const { return executing_; }
    // A CLOSE is on its way out (its QUIT awaits the server's goodbye).
    bool closing() const { return executing_ && op_.kind == FtpOperation::Close; }
    int responseCode() const { return responseCode_; }
    QString responseInfo() const { return responseInfo_; }
    // The code of the server's reply that failed the last command; 0 when the
    // failure was not a server's answer.
    int replyCode() const { return replyCode_; }
    const LocalFailure& localFailure() const { return localFailure_; }
    // The comparison of the last PUT or measured GET (outcome None for any other operation).
    const UploadCheck& uploadCheck() const { return uploadCheck_; }
    // The next piece of the last listing, empty when all has been read.
    QString getChunk(int maxChars = 1024);
    bool connected() const { return control_ != nullptr; }

    std::function<void(int state)> onStateChanged;
    // Receives the line explaining a connection refused by the loopback guard.
    std::function<void(const QString&)> onGuardLog;
    // Receives the line naming the address of each connection opened, control and data.
    std::function<void(const QString&)> onConnectLog;
    // Protocol lines as sent ("> ") and received ("< "); the password is masked.
    std::function<void(const QString&)> onTrace;
    // Bytes of the current GET or PUT so far, and of the whole (0 when the
    // server did not say); a few times a second at most, and at the end.
    std::function<void(qint64 done, qint64 total)> onTransferProgress;

    // The operation a text asks for; nullopt when it is not understood.
    static std::optional<FtpOperation> parseOperation(const QString& text);
    // The line telling why the loopback guard refuses a connection to host,
    // or empty when the connection may be attempted (shared with FtpPut).
    static QString guardRefusal(const char* who, const QString& host, quint16 port);
    // The temporary file a GET writes beside its target: "<target>.<8 hex digits>.part".
    static QString partialDownloadName(const QString& target, quint32 tag);
    // Whether a file name (without folder) is such a temporary file.
    static bool isPartialDownloadName(const QString& fileName);

private:
    // Where the session stands while an operation runs.
    enum class Step {
        Idle,
        Connecting,
        Greeting,
        User,
        Pass,
        Cwd,
        Dele,
        Type,
        Pasv,
        Epsv,
        DataConnecting,
        Transfer,
        Size,
        Quit,
    };
    static const char* stepName(Step s);

    void post(int state);
    void postFinal(int state);
    int timeoutMs() const;
    void touch() { lastActivity_.restart(); }
    void onTimeoutCheck();

    bool prepareLocalFile();
    void connectControl();
    void onControlReadable();
    void onControlGone(bool error, int socketError);
    void handleReply(const FtpReply& reply);
    void send(const char* command, const QString& argument = {});
    void loggedIn();
    void beginOperation();
    void requestDataPort(bool extended);
    void openData(quint16 port);
    void onDataConnected();
    void onDataReadable();
    void onDataGone(bool error);
    void pumpUpload();
    char* ioBuffer();
    void transferReply(const FtpReply& reply);
    void finishTransferIfDone();
    void checkUpload();
    void commitAndComplete();
    // The remote file a PUT wrote or a GET read.
    QString measuredFile() const;
    void sizeReply(const FtpReply& reply);
    void listUpload();
    void compareUpload(qint64 remoteBytes);
    void uploadUnmeasured(const QString& why);
    bool uploading() const { return op_.kind == FtpOperation::Put && !listingCheck_; }
    void completed();
    void fail(int code, const QString& info, bool keepSession);
    void failLocal(const QString& path, const QString& reason, bool writing, bool keepSession);
    void finishClose();
    void dropData();
    void dropControl();
    void discardLocalFiles();
    QString commitDownload();
    QString writeDownload(const char* data, qint64 n);
    void refused(const FtpReply& reply);
    void trace(const QString& line);
    void reportProgress(qint64 done, bool final);

    QString host_;
    quint16 port_ = 0;
    QString user_ = QStringLiteral("qorauser");
    QString password_ = QStringLiteral("skywardly");
    int timeoutMs_ = -1;

    QPointer<QTcpSocket> control_;
    QPointer<QTcpSocket> data_;
    QHostAddress peer_;
    FtpReplyParser parser_;
    quint64 controlGeneration_ = 0;
    quint64 notifyGeneration_ = 0;

    Step step_ = Step::Idle;
    bool executing_ = false;
    bool loggedIn_ = false;
    char type_ = 0;
    FtpOperation op_;
    bool reportedReceiving_ = false;

    // The transfer in progress: the server's 1xx, its final 2xx, and the end
    // of the data connection may come in any order.
    bool preliminarySeen_ = false;
    bool finalReplySeen_ = false;
    bool dataDone_ = false;
    bool uploadAtEnd_ = false;
    // The data transfer is the LIST that measures the file just uploaded.
    bool listingCheck_ = false;
    QByteArray checkListing_;
    UploadCheck uploadCheck_;
    std::unique_ptr<QFile> download_;  // the temporary file of a GET
    QString downloadTarget_;
    std::unique_ptr<QFile> upload_;
    QByteArray ioBuffer_;

    QString listing_;
    qsizetype listingRead_ = 0;
    QStringDecoder listingDecoder_;

    int responseCode_ = 0;
    QString responseInfo_;
    int replyCode_ = 0;
    LocalFailure localFailure_;
    qint64 downloadLimit_ = -1;
    qint64 opDownloadLimit_ = -1;
    bool measureDownload_ = false;
    bool opMeasured_ = false;
    bool privateDownload_ = false;
    bool opPrivateDownload_ = false;
    qint64 downloaded_ = 0;
    qint64 uploaded_ = 0;
    qint64 transferTotal_ = 0;
    QElapsedTimer progressClock_;

    QTimer* timeout_;
    QElapsedTimer lastActivity_;
};
