// The per-run log file: opened and closed for every line so that another
// program can read it while the upgrader runs. Logging never stops the
// program: a folder or file that cannot be written is skipped silently.
// The file is the user's alone (0600): it holds the terminal's address,
// serial number, versions and shell output, and the package folder it lies
// in is often readable by others; the user shares it when they choose to.
#include "app/frmMain.h"

#include "log/LogFormat.h"
#include "platform/Files.h"

#include <QDateTime>

#include <utility>

namespace {
// Runs of one second in one folder; never reached, as the folder's lock and a
// start-up take longer, but a bound all the same.
constexpr int kMaxRunsPerSecond = 100;
}  // namespace

void frmMain::InitLogging()
{
    const QString home = Files::currentDirWithSeparator();
    strLogDir = home + QStringLiteral("logs");
    if (!Files::isDir(strLogDir))
        Files::makeDir(strLogDir);
    strLogDir = Files::withSeparator(strLogDir);

    const QDateTime now = QDateTime::currentDateTime();
    // What was logged before the file existed (the package folder being
    // chosen) follows the header, with the times it happened.
    const QByteArray start = qlog::headerBlock(now) + std::exchange(earlyLog_, {});
    // A run never writes into an earlier run's file, also within one second.
    for (int run = 1; run <= kMaxRunsPerSecond; ++run) {
        strLogFileName = qlog::logFileName(now, run);
        strLogFilePath = qlog::logFilePath(strLogDir, strLogFileName);
        if (Files::createNew(strLogFilePath, start, Files::kOwnerOnly) != Files::NewFile::Exists)
            break;
    }
}

QString frmMain::GetLogFileName() const
{
    return qlog::logFileName(QDateTime::currentDateTime());
}

void frmMain::WriteLog(int level, const QString& text)
{
    WriteLog(level, text, QString());
}

void frmMain::WriteLog(int level, const QString& text, const QString& said)
{
    // After the closing block the program has ended; nothing more belongs in the file.
    if (unloaded_)
        return;
    if (strLogDir.isEmpty()) {
        if (level <= logLevel)
            earlyLog_ += qlog::formatLine(QTime::currentTime(), level, text, said);
        return;
    }
    strLogFilePath = qlog::logFilePath(strLogDir, strLogFileName);
    if (level > logLevel)
        return;
    Files::append(strLogFilePath, qlog::formatLine(QTime::currentTime(), level, text, said), Files::kOwnerOnly);
}

void frmMain::CloseLogging()
{
    if (strLogDir.isEmpty())
        return;
    strLogFilePath = qlog::logFilePath(strLogDir, strLogFileName);
    Files::append(strLogFilePath, qlog::closingBlock(QDateTime::currentDateTime()), Files::kOwnerOnly);
}

QString frmMain::Util_PrintableBytes(const QByteArray& bytes, int length)
{
    return qlog::printableBytes(bytes, length);
}

QString frmMain::TraceOut(const QByteArray& bytes, int length)
{
    WriteLog(qlog::LOG_DET, QStringLiteral(">> OUT :"));
    return qlog::printableBytes(bytes, length);
}

void frmMain::writeLogLines(const qlog::LogLines& lines)
{
    for (const qlog::LogEntry& e : lines)
        WriteLog(e.level, e.text, e.said);
}
