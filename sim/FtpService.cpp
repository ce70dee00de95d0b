#include "FtpService.h"

#include "Core.h"
#include "Outbox.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace qsim {

namespace {

const QString kUser = QStringLiteral("qorauser");
const QString kPassword = QStringLiteral("skywardly");
constexpr int kMaxLine = 4096;
constexpr int kDataWaitMs = 10000;
constexpr qint64 kChunk = 64 * 1024;

// Type A on the wire has CR LF line ends; the flash keeps LF.
QByteArray toNetworkAscii(QByteArray bytes)
{
    return bytes.replace("\r\n", "\n").replace("\n", "\r\n");
}

QByteArray fromNetworkAscii(QByteArray bytes)
{
    return bytes.replace("\r\n", "\n");
}

QString listLine(const QFileInfo& info)
{
    const QDateTime t = info.lastModified();
    return QStringLiteral("%1   1 0        0        %2 %3 %4")
        .arg(info.isDir() ? QStringLiteral("drwxrwxrwx") : QStringLiteral("-rwxrwxrwx"))
        .arg(info.isDir() ? 0 : info.size(), 10)
        .arg(QLocale::c().toString(t, QStringLiteral("MMM dd hh:mm")))
        .arg(info.fileName());
}

}  // namespace

FtpSession::FtpSession(QTcpSocket* control, Core* core, int id)
    : QObject(core), core_(core), ctl_(control), out_(new Outbox(control, core->state(), Service::Ftp, this)), id_(id)
{
    ctl_->setParent(this);
    dataTimer_.setSingleShot(true);
    connect(&dataTimer_, &QTimer::timeout, this, &FtpSession::onDataTimeout);
    connect(ctl_, &QTcpSocket::readyRead, this, &FtpSession::onReadyRead);
    connect(ctl_, &QTcpSocket::disconnected, this, [this] {
        closeFile();
        closeData();
        dead_ = true;
        deleteLater();
    });
    connect(core_, &Core::goingDown, this, &FtpSession::goAway);
    connect(core_, &Core::linksCut, this, [this] {
        if (!dead_)
            resetAll(-1);
    });
    if (core_->state()->faults().ftpMultiLineReplies)
        replyLines(220, {QStringLiteral("Welcome to the terminal's flash file service."),
                         QStringLiteral("Authorized service access only."), QStringLiteral("FTP server ready.")});
    else
        reply(220, QStringLiteral("FTP server ready."));
}

FtpSession::~FtpSession()
{
    closeFile();
}

void FtpSession::goAway()
{
    if (dead_)
        return;
    dead_ = true;
    out_->drop();
    closeFile();
    dataTimer_.stop();
    if (passive_) {
        passive_->close();
        passive_->deleteLater();
        passive_ = nullptr;
    }
    if (data_) {
        data_->disconnect(this);
        core_->bury(data_);
        data_ = nullptr;
    }
    ctl_->disconnect(this);
    core_->bury(ctl_);
    ctl_ = nullptr;
    deleteLater();
}

void FtpSession::onReadyRead()
{
    in_ += ctl_->readAll();
    processLines();
}

void FtpSession::processLines()
{
    while (!dead_ && ctl_) {
        const int nl = in_.indexOf('\n');
        if (nl < 0) {
            if (in_.size() > kMaxLine) {
                in_.clear();
                discarding_ = true;
                reply(500, QStringLiteral("Line too long."));
            }
            return;
        }
        // During a transfer only ABOR is served; the rest waits its turn.
        if (busy_ && !in_.left(nl).trimmed().toUpper().endsWith("ABOR"))
            return;
        QByteArray line = in_.left(nl);
        in_.remove(0, nl + 1);
        if (std::exchange(discarding_, false))
            continue;
        if (line.endsWith('\r'))
            line.chop(1);
        handle(line);
    }
}

void FtpSession::handle(const QByteArray& line)
{
    // Telnet control bytes (IAC IP IAC DM before ABOR) are not part of the command.
    QByteArray clean;
    for (char c : line) {
        if (quint8(c) < 0xF0)
            clean.append(c);
    }
    const QString text = QString::fromLatin1(clean);
    const int space = text.indexOf(QLatin1Char(' '));
    const QString cmd = (space < 0 ? text : text.left(space)).trimmed().toUpper();
    const QString arg = space < 0 ? QString() : text.mid(space + 1);

    Record r;
    r.service = Service::Ftp;
    r.connection = id_;
    r.address = ctl_->localAddress().toString();
    r.raw = line;
    r.command = cmd;
    r.argument = arg;
    r.line = text;
    if (!core_->record(r, &cutAfterBytes_))
        return;  // cut off before acting on it
    core_->event(QStringLiteral("ftp#%1 <- %2")
                     .arg(id_)
                     .arg(cmd == QLatin1String("PASS") ? QStringLiteral("PASS ********") : text));

    current_ = cmd;
    const Faults faults = core_->state()->faults();
    if (!faults.ftpFail550Command.isEmpty() && cmd == faults.ftpFail550Command.toUpper()) {
        reply(550, QStringLiteral("Requested action not taken."));
        return;
    }
    dispatch(cmd, arg);
}

void FtpSession::dispatch(const QString& cmd, const QString& arg)
{
    if (cmd.isEmpty()) {
        reply(500, QStringLiteral("Syntax error, command unrecognized."));
    } else if (cmd == QLatin1String("USER")) {
        user_ = arg.trimmed();
        loggedIn_ = false;
        reply(331, QStringLiteral("Password required for %1.").arg(user_));
    } else if (cmd == QLatin1String("PASS")) {
        doPass(arg);
    } else if (cmd == QLatin1String("QUIT")) {
        reply(221, QStringLiteral("Goodbye."));
        if (core_->state()->faults().ftpWithholdReplyFor.compare(cmd, Qt::CaseInsensitive) != 0)
            out_->closeWhenSent();
    } else if (cmd == QLatin1String("NOOP")) {
        reply(200, QStringLiteral("NOOP command successful."));
    } else if (cmd == QLatin1String("SYST")) {
        reply(215, QStringLiteral("UNIX Type: L8"));
    } else if (cmd == QLatin1String("FEAT")) {
        replyLines(211, {QStringLiteral("Features:"), QStringLiteral(" PASV"), QStringLiteral(" EPSV"),
                         QStringLiteral(" SIZE"), QStringLiteral(" MDTM"), QStringLiteral("End")});
    } else if (!loggedIn_) {
        reply(530, QStringLiteral("Please login with USER and PASS."));
    } else if (cmd == QLatin1String("PWD") || cmd == QLatin1String("XPWD")) {
        reply(257, QStringLiteral("\"%1\" is current directory.").arg(cwd_));
    } else if (cmd == QLatin1String("CWD") || cmd == QLatin1String("XCWD")) {
        doCwd(arg);
    } else if (cmd == QLatin1String("CDUP") || cmd == QLatin1String("XCUP")) {
        doCdup();
    } else if (cmd == QLatin1String("TYPE")) {
        const QString t = arg.trimmed().toUpper();
        if (t == QLatin1String("A") || t == QLatin1String("A N")) {
            ascii_ = true;
            reply(200, QStringLiteral("Type set to A."));
        } else if (t == QLatin1String("I") || t == QLatin1String("L 8")) {
            ascii_ = false;
            reply(200, QStringLiteral("Type set to I."));
        } else {
            reply(504, QStringLiteral("Type %1 not implemented.").arg(arg));
        }
    } else if (cmd == QLatin1String("MODE") || cmd == QLatin1String("STRU")) {
        const QString v = arg.trimmed().toUpper();
        if ((cmd == QLatin1String("MODE") && v == QLatin1String("S")) || (cmd == QLatin1String("STRU") && v == QLatin1String("F")))
            reply(200, QStringLiteral("%1 set to %2.").arg(cmd, v));
        else
            reply(504, QStringLiteral("%1 %2 not implemented.").arg(cmd, arg));
    } else if (cmd == QLatin1String("PASV")) {
        doPassive(false);
    } else if (cmd == QLatin1String("EPSV")) {
        if (arg.trimmed().compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0)
            reply(200, QStringLiteral("EPSV ALL accepted."));
        else
            doPassive(true);
    } else if (cmd == QLatin1String("PORT")) {
        doPort(arg, false);
    } else if (cmd == QLatin1String("EPRT")) {
        doPort(arg, true);
    } else if (cmd == QLatin1String("RETR")) {
        doRetr(arg);
    } else if (cmd == QLatin1String("STOR")) {
        doStor(arg);
    } else if (cmd == QLatin1String("NLST")) {
        doList(arg, true);
    } else if (cmd == QLatin1String("LIST")) {
        doList(arg, false);
    } else if (cmd == QLatin1String("DELE")) {
        doDele(arg);
    } else if (cmd == QLatin1String("SIZE")) {
        doSize(arg, false);
    } else if (cmd == QLatin1String("MDTM")) {
        doSize(arg, true);
    } else if (cmd == QLatin1String("ABOR")) {
        if (transfer_ != Transfer::None) {
            closeFile();
            closeData();
            transfer_ = Transfer::None;
            busy_ = false;
            reply(426, QStringLiteral("Transfer aborted."));
        }
        reply(226, QStringLiteral("ABOR command successful."));
    } else {
        reply(502, QStringLiteral("%1 not implemented.").arg(cmd));
    }
}

// Final replies go through here, so that a withheld reply is withheld
// whatever command produced it.
void FtpSession::reply(int code, const QString& text)
{
    if (dead_)
        return;
    const Faults faults = core_->state()->faults();
    if (!faults.ftpWithholdReplyFor.isEmpty() && current_.compare(faults.ftpWithholdReplyFor, Qt::CaseInsensitive) == 0) {
        core_->event(QStringLiteral("ftp#%1 reply %2 to %3 withheld (fault)").arg(id_).arg(code).arg(current_));
        return;
    }
    core_->event(QStringLiteral("ftp#%1 -> %2 %3").arg(id_).arg(code).arg(text));
    out_->send(QStringLiteral("%1 %2\r\n").arg(code).arg(text).toLatin1());
}

void FtpSession::replyLines(int code, const QStringList& lines)
{
    if (dead_ || lines.isEmpty())
        return;
    QByteArray bytes;
    for (int i = 0; i < lines.size() - 1; ++i)
        bytes += QStringLiteral("%1-%2\r\n").arg(code).arg(lines.at(i)).toLatin1();
    core_->event(QStringLiteral("ftp#%1 -> %2 (%3 lines)").arg(id_).arg(code).arg(lines.size()));
    out_->send(bytes);
    reply(code, lines.last());
}

void FtpSession::preliminary(int code, const QString& text)
{
    if (dead_)
        return;
    core_->event(QStringLiteral("ftp#%1 -> %2 %3").arg(id_).arg(code).arg(text));
    out_->send(QStringLiteral("%1 %2\r\n").arg(code).arg(text).toLatin1());
}

void FtpSession::doPass(const QString& arg)
{
    if (user_.isEmpty()) {
        reply(503, QStringLiteral("Login with USER first."));
        return;
    }
    const Faults faults = core_->state()->faults();
    if (faults.ftpRefuseLogin || user_ != kUser || arg != kPassword) {
        loggedIn_ = false;
        reply(530, QStringLiteral("Login incorrect."));
        return;
    }
    loggedIn_ = true;
    cwd_ = QStringLiteral("/tffs0");
    if (faults.ftpMultiLineReplies)
        replyLines(230, {QStringLiteral("Welcome, %1.").arg(user_), QStringLiteral("Working directory is /tffs0."),
                         QStringLiteral("User logged in.")});
    else
        reply(230, QStringLiteral("User logged in."));
}

std::optional<Flash::Path> FtpSession::path(const QString& arg) const
{
    return core_->flash().resolve(cwd_, arg);
}

bool FtpSession::failsOnFile(const QString& virt) const
{
    const QString name = core_->state()->faults().ftpFail550File;
    return !name.isEmpty() && QFileInfo(virt).fileName().compare(name, Qt::CaseInsensitive) == 0;
}

// A fault's byte count where it applies to this file (any file when no name
// is given); -1 where it does not.
static qint64 bytesForFile(qint64 bytes, const QString& name, const QString& virt)
{
    if (bytes < 0 || (!name.isEmpty() && QFileInfo(virt).fileName().compare(name, Qt::CaseInsensitive) != 0))
        return -1;
    return bytes;
}

qint64 FtpSession::resetPoint(const QString& virt) const
{
    if (cutAfterBytes_ >= 0)
        return cutAfterBytes_;
    const Faults f = core_->state()->faults();
    return bytesForFile(f.ftpResetAfterBytes, f.ftpResetFile, virt);
}

qint64 FtpSession::truncatePoint(const QString& virt) const
{
    const Faults f = core_->state()->faults();
    return bytesForFile(f.ftpTruncateUploadTo, f.ftpTruncateFile, virt);
}

// Every byte of an upload reaches the flash through here.
void FtpSession::store(const QByteArray& bytes)
{
    qint64 n = bytes.size();
    if (keepAt_ >= 0)
        n = qBound<qint64>(0, keepAt_ - stored_, n);
    file_->write(bytes.constData(), n);
    stored_ += n;
}

void FtpSession::doCwd(const QString& arg)
{
    const auto p = path(arg);
    if (!p || !QFileInfo(p->local).isDir()) {
        reply(550, QStringLiteral("%1: No such file or directory.").arg(arg));
        return;
    }
    cwd_ = p->virt;
    reply(250, QStringLiteral("CWD command successful."));
}

void FtpSession::doCdup()
{
    const int slash = cwd_.lastIndexOf(QLatin1Char('/'));
    cwd_ = slash <= 0 ? QStringLiteral("/") : cwd_.left(slash);
    reply(250, QStringLiteral("CWD command successful."));
}

void FtpSession::doPassive(bool extended)
{
    closeData();
    passive_ = new QTcpServer(this);
    if (!passive_->listen(ctl_->localAddress(), 0)) {
        reply(425, QStringLiteral("Can't open passive connection."));
        closeData();
        return;
    }
    connect(passive_, &QTcpServer::newConnection, this, &FtpSession::onPassiveConnection);
    const quint16 port = passive_->serverPort();
    if (extended) {
        reply(229, QStringLiteral("Entering Extended Passive Mode (|||%1|).").arg(port));
        return;
    }
    const quint32 a = ctl_->localAddress().toIPv4Address();
    reply(227, QStringLiteral("Entering Passive Mode (%1,%2,%3,%4,%5,%6).")
                   .arg(a >> 24)
                   .arg((a >> 16) & 0xff)
                   .arg((a >> 8) & 0xff)
                   .arg(a & 0xff)
                   .arg(port >> 8)
                   .arg(port & 0xff));
}

// Active mode connects back to the client: loopback only, whatever it asks.
void FtpSession::doPort(const QString& arg, bool extended)
{
    QHostAddress address;
    int port = -1;
    if (extended) {
        const QStringList f = arg.trimmed().split(arg.trimmed().left(1));
        if (f.size() >= 4 && f.at(1) == QLatin1String("1")) {
            address = QHostAddress(f.at(2));
            port = f.at(3).toInt();
        }
    } else {
        const QStringList f = arg.trimmed().split(QLatin1Char(','));
        if (f.size() == 6) {
            address = QHostAddress(f.mid(0, 4).join(QLatin1Char('.')));
            port = f.at(4).toInt() * 256 + f.at(5).toInt();
        }
    }
    if (address.isNull() || port <= 0 || port > 65535) {
        reply(501, QStringLiteral("Illegal %1 command.").arg(extended ? QStringLiteral("EPRT") : QStringLiteral("PORT")));
        return;
    }
    if (!address.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8)) {
        reply(501, QStringLiteral("Data connections go to loopback addresses only."));
        return;
    }
    closeData();
    activePending_ = true;
    activeAddress_ = address;
    activePort_ = quint16(port);
    reply(200, QStringLiteral("%1 command successful.").arg(extended ? QStringLiteral("EPRT") : QStringLiteral("PORT")));
}

void FtpSession::doRetr(const QString& arg)
{
    const auto p = path(arg);
    if (p && QFileInfo(p->local).isFile() && failsOnFile(p->virt) && core_->state()->faults().ftpFailFileRetr != 550) {
        reply(core_->state()->faults().ftpFailFileRetr, QStringLiteral("Transfer aborted."));
        return;
    }
    if (!p || !QFileInfo(p->local).isFile() || failsOnFile(p->virt)) {
        reply(550, QStringLiteral("%1: No such file or directory.").arg(arg));
        return;
    }
    QFile f(p->local);
    if (!f.open(QIODevice::ReadOnly)) {
        reply(550, QStringLiteral("%1: Permission denied.").arg(arg));
        return;
    }
    QByteArray bytes = f.readAll();
    if (ascii_)
        bytes = toNetworkAscii(bytes);
    const Faults& faults = core_->state()->faults();
    if (const qint64 keep = bytesForFile(faults.ftpShortDownloadTo, faults.ftpTruncateFile, p->virt); keep >= 0)
        bytes.truncate(keep);
    resetAt_ = resetPoint(p->virt);
    send(bytes, p->virt);
}

void FtpSession::doStor(const QString& arg)
{
    const auto p = path(arg);
    if (!p || p->isRoot || QFileInfo(p->local).isDir() || !QFileInfo(p->local).dir().exists()) {
        reply(553, QStringLiteral("%1: Could not create file.").arg(arg));
        return;
    }
    if (failsOnFile(p->virt)) {
        reply(550, QStringLiteral("%1: Permission denied.").arg(arg));
        return;
    }
    resetAt_ = resetPoint(p->virt);
    keepAt_ = truncatePoint(p->virt);
    receive(p->local, p->virt);
}

void FtpSession::doList(const QString& arg, bool namesOnly)
{
    QStringList words = arg.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (!words.isEmpty() && words.first().startsWith(QLatin1Char('-')))
        words.removeFirst();
    QString target = words.join(QLatin1Char(' '));
    QString pattern;
    const int slash = target.lastIndexOf(QLatin1Char('/'));
    const QString last = target.mid(slash + 1);
    if (last.contains(QLatin1Char('*')) || last.contains(QLatin1Char('?'))) {
        pattern = last;
        target = target.left(slash + 1);
    }
    const auto p = path(target);
    if (!p || !QFileInfo::exists(p->local)) {
        reply(550, QStringLiteral("%1: No such file or directory.").arg(arg));
        return;
    }
    QFileInfoList entries;
    if (QFileInfo(p->local).isDir()) {
        QDir dir(p->local);
        if (p->isRoot)
            dir.setNameFilters({QStringLiteral("tffs0"), QStringLiteral("ram0")});
        else if (!pattern.isEmpty())
            dir.setNameFilters({pattern});
        entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    } else {
        entries << QFileInfo(p->local);
    }
    QByteArray listing;
    for (const QFileInfo& e : entries)
        listing += ((namesOnly ? e.fileName() : listLine(e)) + QStringLiteral("\r\n")).toLatin1();
    if (namesOnly) {
        if (const auto canned = core_->state()->faults().ftpNameListing)
            listing = *canned;
    }
    resetAt_ = cutAfterBytes_;
    send(listing, namesOnly ? QStringLiteral("file names") : QStringLiteral("file list"));
}

void FtpSession::doDele(const QString& arg)
{
    const auto p = path(arg);
    if (!p || !QFileInfo(p->local).isFile() || failsOnFile(p->virt) || !QFile::remove(p->local)) {
        reply(550, QStringLiteral("%1: No such file or directory.").arg(arg));
        return;
    }
    reply(250, QStringLiteral("DELE command successful."));
}

void FtpSession::doSize(const QString& arg, bool modificationTime)
{
    const auto p = path(arg);
    const QFileInfo info(p ? p->local : QString());
    if (!p || !info.isFile() || failsOnFile(p->virt)) {
        reply(550, QStringLiteral("%1: No such file or directory.").arg(arg));
        return;
    }
    if (modificationTime)
        reply(213, info.lastModified().toUTC().toString(QStringLiteral("yyyyMMddhhmmss")));
    else
        reply(213, QString::number(info.size()));
}

// ---- data connection ------------------------------------------------------

void FtpSession::withData(const std::function<void()>& go)
{
    if (data_ && data_->state() == QAbstractSocket::ConnectedState) {
        go();
        return;
    }
    if (activePending_) {
        activePending_ = false;
        data_ = new QTcpSocket(this);
        connect(data_, &QTcpSocket::connected, this, [this] {
            sendWithoutDelay(data_);
            dataTimer_.stop();
            if (auto next = std::exchange(onData_, {}))
                next();
        });
        connect(data_, &QTcpSocket::errorOccurred, this, [this] {
            if (onData_)
                onDataTimeout();
        });
        onData_ = go;
        dataTimer_.start(kDataWaitMs);
        data_->connectToHost(activeAddress_, activePort_);
        return;
    }
    if (!passive_) {
        busy_ = false;
        reply(425, QStringLiteral("Use PORT or PASV first."));
        return;
    }
    onData_ = go;
    dataTimer_.start(kDataWaitMs);
}

void FtpSession::onPassiveConnection()
{
    QTcpSocket* s = passive_ ? passive_->nextPendingConnection() : nullptr;
    if (!s)
        return;
    s->setParent(this);
    if (data_) {  // one data connection per PASV
        s->abort();
        s->deleteLater();
        return;
    }
    data_ = s;
    sendWithoutDelay(data_);
    passive_->close();
    if (onData_) {
        dataTimer_.stop();
        std::exchange(onData_, {})();
    }
}

void FtpSession::onDataTimeout()
{
    onData_ = {};
    closeData();
    busy_ = false;
    reply(425, QStringLiteral("Can't open data connection."));
    QMetaObject::invokeMethod(this, &FtpSession::processLines, Qt::QueuedConnection);
}

void FtpSession::send(const QByteArray& bytes, const QString& what)
{
    busy_ = true;
    withData([this, bytes, what] {
        preliminary(150, QStringLiteral("Opening %1 mode data connection for %2 (%3 bytes).")
                             .arg(ascii_ ? QStringLiteral("ASCII") : QStringLiteral("BINARY"), what)
                             .arg(bytes.size()));
        sendBuffer_ = bytes;
        sent_ = 0;
        transfer_ = Transfer::Sending;
        connect(data_, &QTcpSocket::bytesWritten, this, &FtpSession::pumpSend);
        connect(data_, &QTcpSocket::disconnected, this, &FtpSession::onDataDisconnected);
        pumpSend();
    });
}

void FtpSession::pumpSend()
{
    if (transfer_ != Transfer::Sending || !data_ || data_->bytesToWrite() > 0)
        return;
    if (resetAt_ >= 0 && sent_ >= resetAt_) {
        resetAll(sent_);
        return;
    }
    if (sent_ < sendBuffer_.size()) {
        qint64 n = qMin(kChunk, sendBuffer_.size() - sent_);
        if (resetAt_ >= 0)
            n = qMin(n, resetAt_ - sent_);
        data_->write(sendBuffer_.constData() + sent_, n);
        sent_ += n;
        return;
    }
    transfer_ = Transfer::Flushing;
    data_->disconnectFromHost();
}

void FtpSession::receive(const QString& local, const QString& what)
{
    busy_ = true;
    withData([this, local, what] {
        file_ = new QFile(local);
        if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            closeFile();
            endTransfer(553, QStringLiteral("%1: Could not create file.").arg(what));
            return;
        }
        preliminary(150, QStringLiteral("Opening %1 mode data connection for %2.")
                             .arg(ascii_ ? QStringLiteral("ASCII") : QStringLiteral("BINARY"), what));
        transfer_ = Transfer::Receiving;
        received_ = 0;
        stored_ = 0;
        asciiIn_.clear();
        connect(data_, &QTcpSocket::readyRead, this, &FtpSession::onDataRead);
        connect(data_, &QTcpSocket::disconnected, this, &FtpSession::onDataDisconnected);
        onDataRead();
        if (data_ && data_->state() != QAbstractSocket::ConnectedState)
            onDataDisconnected();
    });
}

void FtpSession::onDataRead()
{
    if (transfer_ != Transfer::Receiving || !data_ || !file_)
        return;
    QByteArray chunk = data_->readAll();
    if (resetAt_ >= 0 && received_ + chunk.size() >= resetAt_) {
        // What came before the reset is on the flash, as on a terminal that dropped the line.
        chunk.truncate(int(resetAt_ - received_));
        received_ += chunk.size();
        store(ascii_ ? fromNetworkAscii(asciiIn_ + chunk) : chunk);
        resetAll(received_);
        return;
    }
    received_ += chunk.size();
    if (ascii_)
        asciiIn_ += chunk;
    else
        store(chunk);
}

void FtpSession::onDataDisconnected()
{
    switch (transfer_) {
    case Transfer::Receiving:
        onDataRead();
        if (transfer_ != Transfer::Receiving)
            return;  // reset inside
        if (ascii_)
            store(fromNetworkAscii(asciiIn_));
        closeFile();
        endTransfer(226, QStringLiteral("Transfer complete (%1 bytes).").arg(received_));
        break;
    case Transfer::Flushing:
        endTransfer(226, QStringLiteral("Transfer complete."));
        break;
    case Transfer::Sending:
        endTransfer(426, QStringLiteral("Connection closed; transfer aborted."));
        break;
    case Transfer::None: break;
    }
}

void FtpSession::endTransfer(int code, const QString& text)
{
    transfer_ = Transfer::None;
    closeFile();
    closeData();
    busy_ = false;
    reply(code, text);
    QMetaObject::invokeMethod(this, &FtpSession::processLines, Qt::QueuedConnection);
}

void FtpSession::closeData()
{
    onData_ = {};
    dataTimer_.stop();
    if (data_) {
        data_->disconnect(this);
        data_->abort();
        data_->deleteLater();
        data_ = nullptr;
    }
    if (passive_) {
        passive_->close();
        passive_->deleteLater();
        passive_ = nullptr;
    }
}

void FtpSession::closeFile()
{
    if (file_) {
        file_->close();
        delete file_;
        file_ = nullptr;
    }
}

void FtpSession::resetAll(qint64 bytes)
{
    if (bytes >= 0 && cutAfterBytes_ >= 0) {
        // The cut of this transfer: whatever it is, it acts on every connection.
        core_->cutNow(QStringLiteral("%1 bytes of %2").arg(bytes).arg(current_));
        return;
    }
    if (bytes >= 0)
        core_->event(QStringLiteral("ftp#%1 connections reset after %2 bytes of %3 (fault)").arg(id_).arg(bytes).arg(current_));
    dead_ = true;
    transfer_ = Transfer::None;
    closeFile();
    out_->drop();
    if (data_) {
        data_->disconnect(this);
        resetConnection(data_);
        data_->deleteLater();
        data_ = nullptr;
    }
    closeData();
    ctl_->disconnect(this);
    resetConnection(ctl_);
    deleteLater();
}

}  // namespace qsim
