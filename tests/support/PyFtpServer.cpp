#include "support/PyFtpServer.h"

#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString serverScript()
{
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/ftp_server.py");
}

}  // namespace

PyFtpServer::PyFtpServer() : PyFtpServer(Options()) {}

PyFtpServer::PyFtpServer(const Options& options) : options_(options)
{
    QDir(root_.path()).mkpath(QStringLiteral("tffs0/bin"));
    QDir(root_.path()).mkpath(QStringLiteral("ram0"));
}

PyFtpServer::~PyFtpServer()
{
    kill();
}

bool PyFtpServer::start()
{
    QStringList args{serverScript(),
                     QStringLiteral("--root"),
                     root_.path(),
                     QStringLiteral("--password"),
                     options_.password,
                     QStringLiteral("--delay-226"),
                     QString::number(options_.delay226),
                     QStringLiteral("--rate"),
                     QString::number(options_.bytesPerSecond),
                     QStringLiteral("--idle-timeout"),
                     QString::number(options_.idleTimeout)};
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("cannot start /usr/bin/python3: ") + process_.errorString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        collect();
        for (const QString& e : std::as_const(events_)) {
            if (e.startsWith(QLatin1String("PORT "))) {
                port_ = static_cast<quint16>(e.mid(5).toUInt());
                events_.removeAll(e);
                return port_ != 0;
            }
        }
        if (process_.state() == QProcess::NotRunning)
            break;
        process_.waitForReadyRead(100);
    }
    error_ = QStringLiteral("the FTP server did not start (is python3-pyftpdlib installed?)");
    return false;
}

void PyFtpServer::collect()
{
    partial_ += process_.readAllStandardOutput();
    qsizetype lf;
    while ((lf = partial_.indexOf('\n')) >= 0) {
        events_ << QString::fromUtf8(partial_.left(lf));
        partial_.remove(0, lf + 1);
    }
}

QStringList PyFtpServer::events()
{
    QCoreApplication::processEvents();
    collect();
    return events_;
}

int PyFtpServer::logins()
{
    return static_cast<int>(events().filter(QRegularExpression(QStringLiteral("^LOGIN "))).size());
}

QStringList PyFtpServer::commands()
{
    QStringList out;
    for (const QString& e : events()) {
        if (e.startsWith(QLatin1String("CMD ")))
            out << e.mid(4);
    }
    return out;
}

bool PyFtpServer::waitForEvent(const QString& prefix, int limitMs)
{
    return waitUntil(
        [&] {
            for (const QString& e : events()) {
                if (e.startsWith(prefix))
                    return true;
            }
            return false;
        },
        limitMs);
}

void PyFtpServer::kill()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString PyFtpServer::path(const QString& relative) const
{
    return root_.path() + QLatin1Char('/') + relative;
}

void PyFtpServer::writeFile(const QString& relative, const QByteArray& bytes) const
{
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile f(path(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray PyFtpServer::readFile(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool PyFtpServer::exists(const QString& relative) const
{
    return QFileInfo::exists(path(relative));
}
