#include "support/PyFtpServer.h"

#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

bool PyFtpServer::start()
{
    const QString script = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/ftp_server.py");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   {script, QStringLiteral("--root"), root_.path(), QStringLiteral("--password"), options_.password,
                    QStringLiteral("--delay-226"), QString::number(options_.delay226), QStringLiteral("--rate"),
                    QString::number(options_.bytesPerSecond), QStringLiteral("--idle-timeout"), QString::number(options_.idleTimeout)});
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("cannot start /usr/bin/python3: ") + process_.errorString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(100);
        const QStringList said = events();
        if (!said.isEmpty() && said.first().startsWith(QLatin1String("PORT "))) {
            port_ = static_cast<quint16>(events_.takeFirst().mid(5).toUInt());
            return port_ != 0;
        }
    }
    error_ = QStringLiteral("the FTP server did not start (is python3-pyftpdlib installed?)");
    return false;
}

QStringList PyFtpServer::events()
{
    QCoreApplication::processEvents();
    partial_ += process_.readAllStandardOutput();
    for (qsizetype lf; (lf = partial_.indexOf('\n')) >= 0; partial_.remove(0, lf + 1))
        events_ << QString::fromUtf8(partial_.left(lf));
    return events_;
}

int PyFtpServer::logins()
{
    const QStringList said = events();
    return static_cast<int>(std::count_if(said.begin(), said.end(), [](const QString& e) { return e.startsWith("LOGIN "); }));
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
            const QStringList said = events();
            return std::any_of(said.begin(), said.end(), [&](const QString& e) { return e.startsWith(prefix); });
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

void PyFtpServer::writeFile(const QString& relative, const QByteArray& bytes) const
{
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile f(path(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}
