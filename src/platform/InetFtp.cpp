#include "platform/InetFtp.h"

#include "log/LogFormat.h"
#include "platform/Files.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace {

// Pieces of a quarter MiB stay in the CPU cache between file and socket
// (measured faster than 1 MiB pieces); the socket buffer limits bound the
// memory a transfer takes whatever the file size.
constexpr qint64 kChunk = 256 << 10;
constexpr qint64 kDataReadBuffer = 1 << 20;
constexpr qint64 kUploadHighWater = 1 << 20;
// A listing of the terminal's folders is a few hundred bytes; anything near
// this is not a listing.
constexpr qsizetype kMaxListing = 16 << 20;
// A LIST of the one file just uploaded is a line; past this it is not that listing.
constexpr qsizetype kMaxCheckListing = 64 << 10;
// A server that does not acknowledge QUIT must not hold up the close.
constexpr int kQuitLimitMs = 5000;

struct Token {
    QString text;
    bool quoted = false;
};

// Splits at blanks; a double-quoted token may hold blanks.
std::optional<QList<Token>> tokenize(const QString& text)
{
    QList<Token> tokens;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (text[i] == QLatin1Char(' ')) {
            ++i;
            continue;
        }
        if (text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return std::nullopt;
            tokens.append({text.mid(i + 1, close - i - 1), true});
            i = close + 1;
            if (i < n && text[i] != QLatin1Char(' '))
                return std::nullopt;
            continue;
        }
        qsizetype j = i;
        while (j < n && text[j] != QLatin1Char(' '))
            ++j;
        tokens.append({text.mid(i, j - i), false});
        i = j;
    }
    return tokens;
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

InetFtp::InetFtp(QObject* parent)
    : QObject(parent), listingDecoder_(QStringDecoder::Latin1), timeout_(new QTimer(this))
{
    timeout_->setSingleShot(true);
    QObject::connect(timeout_, &QTimer::timeout, this, &InetFtp::onTimeoutCheck);
}

InetFtp::~InetFtp()
{
    ++notifyGeneration_;
    dropData();
    dropControl();
    discardLocalFiles();
}

void InetFtp::setCredentials(const QString& user, const QString& password)
{
    user_ = user;
    password_ = password;
}

std::optional<FtpOperation> InetFtp::parseOperation(const QString& text)
{
    // A line break would let a name smuggle a second command onto the wire.
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0)))
        return std::nullopt;
    const auto tokens = tokenize(text);
    if (!tokens || tokens->isEmpty() || tokens->first().quoted)
        return std::nullopt;
    const QString verb = tokens->first().text.toUpper();
    const qsizetype args = tokens->size() - 1;
    for (qsizetype i = 1; i < tokens->size(); ++i) {
        if (tokens->at(i).text.isEmpty())
            return std::nullopt;
    }
    FtpOperation op;
    auto arg = [&](int i) { return tokens->at(i).text; };
    if (verb == QLatin1String("GET") && args == 2)
        op = {FtpOperation::Get, arg(1), arg(2)};
    else if (verb == QLatin1String("PUT") && args == 2)
        op = {FtpOperation::Put, arg(1), arg(2)};
    else if (verb == QLatin1String("CD") && args == 1)
        op = {FtpOperation::Cd, arg(1), {}};
    else if (verb == QLatin1String("LS") && args <= 1)
        op = {FtpOperation::Ls, args == 1 ? arg(1) : QString(), {}};
    else if (verb == QLatin1String("DELETE") && args == 1)
        op = {FtpOperation::Delete, arg(1), {}};
    else if (verb == QLatin1String("CLOSE") && args == 0)
        op = {FtpOperation::Close, {}, {}};
    else
        return std::nullopt;
    return op;
}

const char* InetFtp::stepName(Step s)
{
    switch (s) {
    case Step::Idle:
        return "idle";
    case Step::Connecting:
        return "connect";
    case Step::Greeting:
        return "greeting";
    case Step::User:
        return "USER";
    case Step::Pass:
        return "PASS";
    case Step::Cwd:
        return "CWD";
    case Step::Dele:
        return "DELE";
    case Step::Type:
        return "TYPE";
    case Step::Pasv:
        return "PASV";
    case Step::Epsv:
        return "EPSV";
    case Step::DataConnecting:
        return "data connection";
    case Step::Transfer:
        return "transfer";
    case Step::Size:
        return "SIZE";
    case Step::Quit:
        return "QUIT";
    }
    return "?";
}

void InetFtp::post(int state)
{
    const quint64 gen = notifyGeneration_;
    QMetaObject::invokeMethod(
        this,
        [this, gen, state] {
            if (gen == notifyGeneration_ && onStateChanged)
                onStateChanged(state);
        },
        Qt::QueuedConnection);
}

void InetFtp::postFinal(int state)
{
    // StillExecuting turns false only when the operation's last notification
    // is delivered: a caller that pumps events until the control is idle has
    // then seen that notification, and the next command cannot overtake it.
    const quint64 gen = notifyGeneration_;
    QMetaObject::invokeMethod(
        this,
        [this, gen, state] {
            if (gen != notifyGeneration_)
                return;
            executing_ = false;
            if (onStateChanged)
                onStateChanged(state);
        },
        Qt::QueuedConnection);
}

void InetFtp::trace(const QString& line)
{
    if (onTrace)
        onTrace(line);
}

int InetFtp::timeoutMs() const
{
    const int limit = timeoutMs_ >= 0 ? std::max(1, timeoutMs_) : Settings::scaled(60000);
    return step_ == Step::Quit ? std::min(limit, Settings::scaled(kQuitLimitMs)) : limit;
}

// One timer for the whole operation; activity only moves a mark, so a fast
// transfer does not re-arm a timer per piece.
void InetFtp::onTimeoutCheck()
{
    if (!executing_)
        return;
    const qint64 left = timeoutMs() - lastActivity_.elapsed();
    if (left > 0) {
        timeout_->start(static_cast<int>(left));
        return;
    }
    if (step_ == Step::Quit) {
        finishClose();
        return;
    }
    fail(errTimeout, QStringLiteral("No answer from the server within %1 ms (%2)").arg(timeoutMs()).arg(QLatin1String(stepName(step_))),
         false);
}

bool InetFtp::execute(const QString& operation)
{
    if (executing_)
        return false;
    const auto op = parseOperation(operation);
    if (!op)
        return false;

    op_ = *op;
    executing_ = true;
    responseCode_ = errNone;
    replyCode_ = 0;
    localFailure_ = {};
    uploadCheck_ = {};
    listingCheck_ = false;
    opDownloadLimit_ = op_.kind == FtpOperation::Get ? downloadLimit_ : -1;
    downloadLimit_ = -1;
    opMeasured_ = op_.kind == FtpOperation::Put || (op_.kind == FtpOperation::Get && measureDownload_);
    measureDownload_ = false;
    opPrivateDownload_ = op_.kind == FtpOperation::Get && privateDownload_;
    privateDownload_ = false;
    downloaded_ = 0;
    uploaded_ = 0;
    transferTotal_ = 0;
    progressClock_.invalidate();
    reportedReceiving_ = false;
    touch();

    if (op_.kind == FtpOperation::Close) {
        post(icDisconnecting);
        if (control_ && loggedIn_) {
            step_ = Step::Quit;
            timeout_->start(timeoutMs());
            send("QUIT");
        } else {
            finishClose();
        }
        return true;
    }
    timeout_->start(timeoutMs());
    if (op_.kind == FtpOperation::Ls) {
        listing_.clear();
        listingRead_ = 0;
        // The terminal's names are bytes: read one byte per character, so a
        // name goes back in a later command exactly as it was listed.
        listingDecoder_ = QStringDecoder(QStringDecoder::Latin1);
    }
    if (!prepareLocalFile())
        return true;
    if (control_)
        beginOperation();
    else
        connectControl();
    return true;
}

// Local files are opened before anything goes on the wire, so a bad local
// path costs no traffic and leaves the session as it was.
bool InetFtp::prepareLocalFile()
{
    if (op_.kind == FtpOperation::Put) {
        const QFileInfo source(op_.first);
        upload_ = std::make_unique<QFile>(op_.first);
        if (source.isDir()) {
            failLocal(op_.first, QStringLiteral("it is a folder"), false, true);
            return false;
        }
        if (!source.exists()) {
            failLocal(op_.first, QStringLiteral("no such file"), false, true);
            return false;
        }
        if (!source.isFile() || !upload_->open(QIODevice::ReadOnly)) {
            failLocal(op_.first, source.isFile() ? upload_->errorString() : QStringLiteral("not a regular file"), false, true);
            return false;
        }
        transferTotal_ = upload_->size();
        uploadCheck_.remote = op_.second;
        uploadCheck_.local = nativePath(op_.first);
        return true;
    }
    if (op_.kind != FtpOperation::Get)
        return true;

    // The download goes to a temporary file beside the target and replaces it
    // only once complete, so an existing file is never lost to a broken
    // transfer. The ".part" suffix keeps it out of "*.bin" and "*.txt" searches.
    const QFileInfo target(op_.second);
    downloadTarget_ = target.absoluteFilePath();
    uploadCheck_.remote = op_.first;
    uploadCheck_.local = nativePath(op_.second);
    if (target.isDir()) {
        failLocal(downloadTarget_, QStringLiteral("it is a folder"), true, true);
        return false;
    }
    QString why;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name = partialDownloadName(downloadTarget_, QRandomGenerator::global()->generate());
        auto file = std::make_unique<QFile>(name);
        // Private from its first byte: created for the owner alone, whatever the umask.
        const bool opened = opPrivateDownload_ ? file->open(QIODevice::WriteOnly | QIODevice::NewOnly, Files::kOwnerOnly)
                                               : file->open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (opened) {
            download_ = std::move(file);
            return true;
        }
        why = file->errorString();
        if (!QFileInfo::exists(name))
            break;
    }
    failLocal(downloadTarget_, why, true, true);
    return false;
}

// Empty when all n bytes went to the file; otherwise why not. A short write
// carries no reason of its own: the next write of the rest tells it.
QString InetFtp::writeDownload(const char* data, qint64 n)
{
    while (n > 0) {
        const qint64 written = download_->write(data, n);
        if (written < 0)
            return download_->errorString();
        if (written == 0)
            return QStringLiteral("nothing could be written");
        data += written;
        n -= written;
    }
    return {};
}

QString InetFtp::partialDownloadName(const QString& target, quint32 tag)
{
    // The target goes in by concatenation: a "%" in a folder name is no placeholder.
    return target + QStringLiteral(".%1.part").arg(tag, 8, 16, QLatin1Char('0'));
}

bool InetFtp::isPartialDownloadName(const QString& fileName)
{
    static const QRegularExpression partial(
        QRegularExpression::anchoredPattern(QStringLiteral(".+\\.[0-9a-f]{8}\\.part")));
    return partial.match(fileName).hasMatch();
}

// Empty when the download is in place; otherwise why it is not.
QString InetFtp::commitDownload()
{
    const QString temp = download_->fileName();
    // The data must be on the disk before it replaces the old file: a full
    // disk often shows only when the last buffered piece is written.
    QString why;
    if (!download_->flush())
        why = download_->errorString();
    else if (::fsync(download_->handle()) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    download_->close();
    if (why.isEmpty() && download_->error() != QFileDevice::NoError)
        why = download_->errorString();
    download_.reset();
    if (why.isEmpty()) {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(temp).toStdString(), QFile::encodeName(downloadTarget_).toStdString(), ec);
        if (ec)
            why = QString::fromStdString(ec.message());
    }
    if (!why.isEmpty())
        QFile::remove(temp);
    return why;
}

void InetFtp::discardLocalFiles()
{
    if (download_) {
        const QString temp = download_->fileName();
        download_->close();
        download_.reset();
        QFile::remove(temp);
    }
    upload_.reset();
}

QString InetFtp::guardRefusal(const char* who, const QString& host, quint16 port)
{
    if (Settings::get().isConnectionAllowed(host))
        return {};
    return QStringLiteral("%1: connection to '%2' port %3 refused: only loopback addresses are allowed (QORA_LOOPBACK_ONLY=1)")
        .arg(QLatin1String(who), host)
        .arg(port);
}

void InetFtp::connectControl()
{
    const quint16 port = port_ ? port_ : Settings::get().ftpPort;
    if (const QString refusal = guardRefusal("inetFTP", host_, port); !refusal.isEmpty()) {
        if (onGuardLog)
            onGuardLog(refusal);
        fail(errCannotConnect, QStringLiteral("Cannot connect to %1 port %2: not a loopback address").arg(host_).arg(port), false);
        return;
    }

    dropControl();
    if (onConnectLog)
        onConnectLog(qlog::connectionLine(QStringLiteral("inetFTP"), host_, port));
    auto* s = new QTcpSocket(this);
    control_ = s;
    const quint64 gen = controlGeneration_;
    step_ = Step::Connecting;
    post(icResolvingHost);

    // A name with several addresses enters the connecting state once per address tried.
    QObject::connect(s, &QAbstractSocket::stateChanged, this, [this, gen, reported = false](QAbstractSocket::SocketState st) mutable {
        if (gen == controlGeneration_ && st == QAbstractSocket::ConnectingState && !reported) {
            reported = true;
            post(icHostResolved);
            post(icConnecting);
        }
    });
    QObject::connect(s, &QTcpSocket::connected, this, [this, gen, s] {
        if (gen != controlGeneration_)
            return;
        touch();
        peer_ = s->peerAddress();
        step_ = Step::Greeting;
        post(icConnected);
    });
    QObject::connect(s, &QTcpSocket::readyRead, this, [this, gen] {
        if (gen == controlGeneration_)
            onControlReadable();
    });
    QObject::connect(s, &QTcpSocket::errorOccurred, this, [this, gen](QAbstractSocket::SocketError e) {
        if (gen == controlGeneration_)
            onControlGone(e != QAbstractSocket::RemoteHostClosedError, e);
    });
    QObject::connect(s, &QTcpSocket::disconnected, this, [this, gen] {
        if (gen == controlGeneration_)
            onControlGone(false, QAbstractSocket::RemoteHostClosedError);
    });

    // Only a plain dotted address is taken literally; anything else is a name to look up.
    quint32 literal = 0;
    if (Settings::parseIPv4(host_, &literal))
        s->connectToHost(QHostAddress(literal), port);
    else
        s->connectToHost(host_, port);
}

void InetFtp::onControlReadable()
{
    if (!control_)
        return;
    const quint64 gen = controlGeneration_;
    const QByteArray bytes = control_->readAll();
    if (bytes.isEmpty())
        return;
    touch();
    parser_.feed(bytes);
    while (gen == controlGeneration_) {
        const auto reply = parser_.next();
        if (!reply)
            break;
        trace(QStringLiteral("< ") + reply->text);
        handleReply(*reply);
    }
    // Every byte moves the inactivity mark, so a reply that never ends would
    // hold the command for good: past what any server sends, the session is broken.
    if (gen != controlGeneration_ || !parser_.overflowed())
        return;
    const QString why = QStringLiteral("The server's reply runs past %1 lines or %2 bytes: connection dropped")
                            .arg(FtpReplyParser::kMaxReplyLines)
                            .arg(FtpReplyParser::kMaxReplyBytes);
    trace(QStringLiteral("! ") + why);
    if (executing_ && step_ != Step::Quit) {
        fail(errConnectionReset, why, false);
    } else if (executing_) {
        finishClose();
    } else {
        dropControl();
        post(icDisconnected);
    }
}

void InetFtp::onControlGone(bool error, int socketError)
{
    if (!control_)
        return;
    const quint64 gen = controlGeneration_;
    const QString why = control_->errorString();
    // A last reply may ride on the close (a 221 or a 421).
    onControlReadable();
    if (gen != controlGeneration_)
        return;

    switch (step_) {
    case Step::Idle:
        // The server ended an idle session.
        dropControl();
        post(icDisconnected);
        return;
    case Step::Quit:
        finishClose();
        return;
    case Step::Connecting:
    case Step::Greeting:
    case Step::User:
    case Step::Pass: {
        // No session was ever made: that is a failure to connect, not a reset.
        int code = errCannotConnect;
        if (socketError == QAbstractSocket::HostNotFoundError)
            code = errNameNotResolved;
        else if (socketError == QAbstractSocket::SocketTimeoutError)
            code = errTimeout;
        fail(code, QStringLiteral("Cannot connect to %1 (%2): %3").arg(host_, QLatin1String(stepName(step_)), why), false);
        return;
    }
    default:
        fail(errConnectionReset,
             QStringLiteral("Connection %1 during %2: %3")
                 .arg(error ? QStringLiteral("failed") : QStringLiteral("closed by the server"), QLatin1String(stepName(step_)), why),
             false);
        return;
    }
}

void InetFtp::send(const char* command, const QString& argument)
{
    if (!control_)
        return;
    QByteArray line(command);
    if (!argument.isEmpty())
        line += ' ' + argument.toLatin1();
    trace(QStringLiteral("> ") + (qstrcmp(command, "PASS") == 0 ? QStringLiteral("PASS ****") : QString::fromLatin1(line)));
    line += "\r\n";
    control_->write(line);
}

void InetFtp::refused(const FtpReply& reply)
{
    if (listingCheck_ && reply.code != 421) {
        dropData();
        return uploadUnmeasured(reply.text);
    }
    replyCode_ = reply.code;
    // 421 means the server is closing the session, whatever command it answers.
    if (reply.code == 421)
        fail(errConnectionReset, reply.text, false);
    else
        fail(errRefused, reply.text, true);
}

void InetFtp::handleReply(const FtpReply& reply)
{
    responseInfo_ = reply.text;
    switch (step_) {
    case Step::Idle:
    case Step::Connecting:
        return;  // unsolicited, e.g. the 421 of a server about to drop an idle session
    case Step::Quit:
        return finishClose();
    case Step::Greeting:
        if (reply.preliminary())
            return;  // 120: ready in a while
        if (!reply.positive())
            return fail(errCannotConnect, reply.text, false);
        step_ = Step::User;
        send("USER", user_);
        return;
    case Step::User:
        if (reply.preliminary())
            return;
        if (reply.positive())
            return loggedIn();
        if (reply.intermediate()) {
            step_ = Step::Pass;
            send("PASS", password_);
            return;
        }
        return fail(errLoginRefused, reply.text, false);
    case Step::Pass:
        if (reply.preliminary())
            return;
        if (reply.positive())
            return loggedIn();
        return fail(errLoginRefused, reply.text, false);
    case Step::Cwd:
    case Step::Dele:
        if (!reportedReceiving_) {
            reportedReceiving_ = true;
            post(icReceivingResponse);
        }
        if (reply.preliminary())
            return;
        if (!reply.positive())
            return refused(reply);
        post(icResponseReceived);
        return completed();
    case Step::Type:
        if (reply.preliminary())
            return;
        if (!reply.positive())
            return refused(reply);
        type_ = op_.kind == FtpOperation::Ls ? 'A' : 'I';
        return requestDataPort(false);
    case Step::Pasv:
        if (reply.preliminary())
            return;
        if (reply.positive()) {
            if (const auto port = parsePasvReply(reply.text))
                return openData(*port);
        }
        // Some servers only speak the extended form.
        return requestDataPort(true);
    case Step::Epsv:
        if (reply.preliminary())
            return;
        if (reply.positive()) {
            if (const auto port = parseEpsvReply(reply.text))
                return openData(*port);
        }
        return refused(reply);
    case Step::DataConnecting:
        if (reply.negative())
            return refused(reply);
        return;
    case Step::Transfer:
        return transferReply(reply);
    case Step::Size:
        return sizeReply(reply);
    }
}

void InetFtp::loggedIn()
{
    loggedIn_ = true;
    type_ = 0;
    beginOperation();
}

void InetFtp::beginOperation()
{
    touch();
    post(icRequesting);
    switch (op_.kind) {
    case FtpOperation::Cd:
        step_ = Step::Cwd;
        send("CWD", op_.first);
        post(icRequestSent);
        return;
    case FtpOperation::Delete:
        step_ = Step::Dele;
        send("DELE", op_.first);
        post(icRequestSent);
        return;
    case FtpOperation::Get:
    case FtpOperation::Put:
    case FtpOperation::Ls: {
        // Executables must arrive unchanged; listings are text.
        const char wanted = op_.kind == FtpOperation::Ls ? 'A' : 'I';
        if (type_ == wanted) {
            requestDataPort(false);
        } else {
            step_ = Step::Type;
            send("TYPE", QString(QLatin1Char(wanted)));
        }
        return;
    }
    case FtpOperation::Close:
        return;
    }
}

void InetFtp::requestDataPort(bool extended)
{
    step_ = extended ? Step::Epsv : Step::Pasv;
    send(extended ? "EPSV" : "PASV");
}

// The data connection always goes to the control connection's peer, whatever
// address a 227 names: nothing the server says can point us elsewhere.
void InetFtp::openData(quint16 port)
{
    dropData();
    step_ = Step::DataConnecting;
    preliminarySeen_ = false;
    finalReplySeen_ = false;
    dataDone_ = false;
    uploadAtEnd_ = false;

    auto* d = new QTcpSocket(this);
    data_ = d;
    d->setReadBufferSize(kDataReadBuffer);
    QObject::connect(d, &QTcpSocket::connected, this, [this, d] {
        if (d == data_)
            onDataConnected();
    });
    QObject::connect(d, &QTcpSocket::readyRead, this, [this, d] {
        if (d == data_)
            onDataReadable();
    });
    QObject::connect(d, &QTcpSocket::bytesWritten, this, [this, d](qint64 n) {
        if (d != data_)
            return;
        touch();
        uploaded_ += n;
        reportProgress(uploaded_, false);
        pumpUpload();
    });
    QObject::connect(d, &QTcpSocket::errorOccurred, this, [this, d](QAbstractSocket::SocketError e) {
        if (d == data_)
            onDataGone(e != QAbstractSocket::RemoteHostClosedError);
    });
    QObject::connect(d, &QTcpSocket::disconnected, this, [this, d] {
        if (d == data_)
            onDataGone(false);
    });
    if (onConnectLog)
        onConnectLog(qlog::connectionLine(QStringLiteral("inetFTP data"), peer_.toString(), port));
    d->connectToHost(peer_, port);
}

void InetFtp::onDataConnected()
{
    touch();
    step_ = Step::Transfer;
    if (listingCheck_) {
        send("LIST", measuredFile());
        return;
    }
    switch (op_.kind) {
    case FtpOperation::Get:
        send("RETR", op_.first);
        break;
    case FtpOperation::Put:
        send("STOR", op_.second);
        break;
    default:
        send("NLST", op_.first);
        break;
    }
    post(icRequestSent);
}

void InetFtp::onDataReadable()
{
    if (!data_)
        return;
    touch();
    char* buffer = ioBuffer();
    while (data_ && data_->bytesAvailable() > 0) {
        const qint64 n = data_->read(buffer, kChunk);
        if (n <= 0)
            break;
        if (listingCheck_) {
            if (checkListing_.size() < kMaxCheckListing)
                checkListing_.append(buffer, std::min(n, kMaxCheckListing - checkListing_.size()));
        } else if (op_.kind == FtpOperation::Get && download_) {
            downloaded_ += n;
            if (opDownloadLimit_ >= 0 && downloaded_ > opDownloadLimit_)
                return fail(errTooLarge,
                            QStringLiteral("%1 is larger than %2 bytes: download stopped").arg(op_.first).arg(opDownloadLimit_),
                            false);
            if (const QString why = writeDownload(buffer, n); !why.isEmpty())
                return failLocal(downloadTarget_, why, true, false);
            reportProgress(downloaded_, false);
        } else if (op_.kind == FtpOperation::Ls) {
            listing_ += listingDecoder_.decode(QByteArrayView(buffer, n));
            if (listing_.size() > kMaxListing)
                return fail(errRefused, QStringLiteral("Listing too long"), false);
        }
    }
}

void InetFtp::onDataGone(bool error)
{
    if (!data_)
        return;
    if (error) {
        const QString why = data_->errorString();
        if (step_ == Step::DataConnecting)
            return fail(errCannotConnect, QStringLiteral("Cannot open the data connection: %1").arg(why), false);
        return fail(errConnectionReset, QStringLiteral("Data connection failed: %1").arg(why), false);
    }
    onDataReadable();
    if (!data_)
        return;
    dataDone_ = true;
    dropData();
    finishTransferIfDone();
}

// Feeds the data connection while its send buffer is low, so a large file
// never sits in memory and the socket is never starved.
void InetFtp::pumpUpload()
{
    if (!data_ || op_.kind != FtpOperation::Put || !preliminarySeen_ || uploadAtEnd_ || !upload_)
        return;
    char* buffer = ioBuffer();
    while (data_ && data_->bytesToWrite() < kUploadHighWater) {
        const qint64 n = upload_->read(buffer, kChunk);
        if (n < 0)
            return failLocal(op_.first, upload_->errorString(), false, false);
        if (n == 0) {
            uploadAtEnd_ = true;
            upload_.reset();
            // The end of the data connection is the end of the file for the server.
            data_->disconnectFromHost();
            return;
        }
        data_->write(buffer, n);
        uploadCheck_.sentBytes += n;
    }
}

char* InetFtp::ioBuffer()
{
    // One piece-sized buffer for the object's life: no allocation per piece.
    if (ioBuffer_.size() != kChunk)
        ioBuffer_ = QByteArray(kChunk, Qt::Uninitialized);
    return ioBuffer_.data();
}

void InetFtp::transferReply(const FtpReply& reply)
{
    if (!reportedReceiving_) {
        reportedReceiving_ = true;
        post(icReceivingResponse);
    }
    if (reply.preliminary()) {
        preliminarySeen_ = true;
        // Servers often name the size of what they are about to send.
        if (op_.kind == FtpOperation::Get) {
            static const QRegularExpression size(QStringLiteral("\\((\\d+) bytes\\)"));
            if (const auto m = size.match(reply.text); m.hasMatch())
                transferTotal_ = m.captured(1).toLongLong();
        }
        pumpUpload();
        return;
    }
    if (!reply.positive())
        return refused(reply);
    // The measuring LIST is part of the PUT: the caller saw its response already.
    if (!listingCheck_)
        post(icResponseReceived);
    finalReplySeen_ = true;
    if (uploading() && !uploadAtEnd_)
        return fail(errConnectionReset, QStringLiteral("The server ended the upload early: %1").arg(reply.text), false);
    finishTransferIfDone();
}

void InetFtp::finishTransferIfDone()
{
    if (!dataDone_)
        return;
    if (!finalReplySeen_) {
        // Before the server confirms, a closed upload connection is only fine when we closed it.
        if (uploading() && !uploadAtEnd_)
            fail(errConnectionReset, QStringLiteral("The server closed the data connection before the whole file was sent"), false);
        return;
    }
    if (listingCheck_) {
        if (const auto size = parseListedSize(checkListing_, measuredFile()))
            return compareUpload(*size);
        return uploadUnmeasured(QStringLiteral("no line of the listing gives its size"));
    }
    if (opMeasured_ && uploadCheck_.outcome == UploadCheck::None)
        return checkUpload();
    if (op_.kind == FtpOperation::Get)
        return commitAndComplete();
    completed();
}

void InetFtp::commitAndComplete()
{
    if (const QString why = commitDownload(); !why.isEmpty())
        return failLocal(downloadTarget_, why, true, true);
    completed();
}

QString InetFtp::measuredFile() const
{
    return op_.kind == FtpOperation::Get ? op_.first : op_.second;
}

void InetFtp::reportProgress(qint64 done, bool final)
{
    if (!onTransferProgress)
        return;
    // A few times a second is enough for a person and costs the transfer nothing.
    if (!final && progressClock_.isValid() && progressClock_.elapsed() < 100)
        return;
    progressClock_.start();
    onTransferProgress(done, transferTotal_);
}

// A 226 only says the data connection ended well: a terminal whose flash
// filled up or that dropped the end of the stream still answers it. What the
// server holds is asked in the same session, TYPE I still in force.
void InetFtp::checkUpload()
{
    touch();
    step_ = Step::Size;
    if (op_.kind == FtpOperation::Get)
        uploadCheck_.sentBytes = downloaded_;
    send("SIZE", measuredFile());
}

void InetFtp::sizeReply(const FtpReply& reply)
{
    if (reply.preliminary())
        return;
    if (reply.code == 421)
        return refused(reply);
    if (const auto size = parseSizeReply(reply))
        return compareUpload(*size);
    // No SIZE here (502, or 550 in some modes): the long listing has a size column.
    uploadCheck_.unmeasuredWhy = QStringLiteral("SIZE: ") + reply.text;
    listUpload();
}

void InetFtp::listUpload()
{
    touch();
    listingCheck_ = true;
    checkListing_.clear();
    requestDataPort(false);
}

void InetFtp::compareUpload(qint64 remoteBytes)
{
    listingCheck_ = false;
    uploadCheck_.remoteBytes = remoteBytes;
    const bool get = op_.kind == FtpOperation::Get;
    if (remoteBytes == uploadCheck_.sentBytes) {
        uploadCheck_.outcome = UploadCheck::Matched;
        return get ? commitAndComplete() : completed();
    }
    uploadCheck_.outcome = UploadCheck::Mismatch;
    // A short copy never replaces the target: fail() removes it.
    if (get)
        return fail(errDownloadIncomplete,
                    QStringLiteral("Download incomplete: the server holds %1 bytes of %2, %3 were received")
                        .arg(QString::number(remoteBytes), op_.first, QString::number(uploadCheck_.sentBytes)),
                    true);
    // The session is as good as after a refusal: the caller decides what follows.
    fail(errUploadIncomplete,
         QStringLiteral("Upload incomplete: the server holds %1 bytes of %2, %3 were sent")
             .arg(QString::number(remoteBytes), op_.second, QString::number(uploadCheck_.sentBytes)),
         true);
}

// A server that cannot measure the file does not make a good upload a bad
// one: the 2xx stands, and the caller says it was not verified.
void InetFtp::uploadUnmeasured(const QString& why)
{
    listingCheck_ = false;
    uploadCheck_.outcome = UploadCheck::Unmeasured;
    uploadCheck_.unmeasuredWhy += QStringLiteral("; LIST: ") + why;
    trace(QStringLiteral("! %1 of %2 not verified: %3")
              .arg(op_.kind == FtpOperation::Get ? QStringLiteral("download") : QStringLiteral("upload"), measuredFile(),
                   uploadCheck_.unmeasuredWhy));
    if (op_.kind == FtpOperation::Get)
        return commitAndComplete();
    completed();
}

void InetFtp::completed()
{
    if (op_.kind == FtpOperation::Get || op_.kind == FtpOperation::Put)
        reportProgress(op_.kind == FtpOperation::Get ? downloaded_ : uploaded_, true);
    timeout_->stop();
    step_ = Step::Idle;
    responseCode_ = errNone;
    postFinal(icResponseCompleted);
}

void InetFtp::fail(int code, const QString& info, bool keepSession)
{
    timeout_->stop();
    listingCheck_ = false;
    dropData();
    discardLocalFiles();
    if (!keepSession)
        dropControl();
    step_ = Step::Idle;
    responseCode_ = code;
    if (!info.isEmpty())
        responseInfo_ = info;
    trace(QStringLiteral("! %1 %2").arg(code).arg(responseInfo_));
    postFinal(icError);
}

void InetFtp::failLocal(const QString& path, const QString& reason, bool writing, bool keepSession)
{
    localFailure_ = {nativePath(path), reason, writing};
    fail(errLocalFile,
         QStringLiteral("Local file cannot be %1: %2 (%3)")
             .arg(writing ? QStringLiteral("written") : QStringLiteral("read"), nativePath(path), reason),
         keepSession);
}

void InetFtp::finishClose()
{
    timeout_->stop();
    dropData();
    discardLocalFiles();
    dropControl();
    step_ = Step::Idle;
    postFinal(icDisconnected);
}

void InetFtp::cancel()
{
    ++notifyGeneration_;
    timeout_->stop();
    dropData();
    dropControl();
    discardLocalFiles();
    step_ = Step::Idle;
    listingCheck_ = false;
    executing_ = false;
}

QString InetFtp::getChunk(int maxChars)
{
    const qsizetype left = listing_.size() - listingRead_;
    if (maxChars <= 0 || left <= 0)
        return {};
    qsizetype take = std::min<qsizetype>(maxChars, left);
    // Never split a surrogate pair between two pieces.
    if (take < left && take > 1 && listing_.at(listingRead_ + take - 1).isHighSurrogate())
        --take;
    const QString piece = listing_.mid(listingRead_, take);
    listingRead_ += take;
    return piece;
}

void InetFtp::dropData()
{
    if (data_) {
        QTcpSocket* d = data_;
        data_.clear();
        d->disconnect(this);
        d->abort();
        d->deleteLater();
    }
}

void InetFtp::dropControl()
{
    ++controlGeneration_;
    if (control_) {
        QTcpSocket* s = control_;
        control_.clear();
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    parser_.reset();
    loggedIn_ = false;
    type_ = 0;
}
