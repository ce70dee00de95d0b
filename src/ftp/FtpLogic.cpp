#include "ftp/FtpLogic.h"

#include "app/TextUtil.h"

#include <QDir>

#include <algorithm>

namespace ftp {

using qlog::LOG_DET;

QString ftpStateName(int32_t state)
{
    switch (state) {
    case GET_BIN_CMD:
        return QStringLiteral("GET_BIN_CMD");
    case PUT_NEW_BIN_CMD:
        return QStringLiteral("PUT_NEW_BIN_CMD");
    case GET_IMG_CMD:
        return QStringLiteral("GET_IMG_CMD");
    case CD_TO_BIN_FOLDER:
        return QStringLiteral("CD_TO_BIN_FOLDER");
    case DELETE_OLD_BIN_FILE:
        return QStringLiteral("DELETE_OLD_BIN_FILE");
    case SEARCH_ALL_BIN_FILE:
        return QStringLiteral("SEARCH_ALL_BIN_FILE");
    case PUT_RESTORE_BIN_CMD:
        return QStringLiteral("PUT_RESTORE_BIN_CMD");
    case CLOSE_CONNECTION:
        return QStringLiteral("CLOSE_CONNECTION");
    case CLOSE_CONN_IMAGE_PUT:
        return QStringLiteral("CLOSE_CONN_IMAGE_PUT");
    case GET_LOG_CMD:
        return QStringLiteral("GET_LOG_CMD");
    case UPGRADE_PIC_SA_CMD:
        return QStringLiteral("UPGRADE_PIC_SA_CMD");
    case UPGRADE_ANTENNA_ATB_CMD:
        return QStringLiteral("UPGRADE_ANTENNA_ATB_CMD");
    case UPGRADE_ANTENNA_HPA_CMD:
        return QStringLiteral("UPGRADE_ANTENNA_HPA_CMD");
    case UPGRADE_ANTENNA_IAC_CMD:
        return QStringLiteral("UPGRADE_ANTENNA_IAC_CMD");
    default:
        return QStringLiteral("INVALID");
    }
}

QString quoted(const QString& path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

BinFileList parseBinFileList(const QString& rawListing)
{
    BinFileList r;
    r.listing = txt::trimBlanks(rawListing);
    QString flat = r.listing;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QStringList lines = flat.split(QLatin1Char('\r'));
    auto isExecutable = [](const QString& line) {
        return !line.isEmpty() && line != QLatin1String(" ") && line.contains(QLatin1String("qorax")) &&
               line.contains(QLatin1String(".bin"));
    };
    for (const QString& line : lines) {
        if (line.isEmpty() || line == QLatin1String(" "))
            continue;
        if (isExecutable(line)) {
            r.entries << txt::trimBlanks(line);
            r.log.append({LOG_DET, QStringLiteral("Bin File :"), r.entries.last()});
        } else {
            r.log.append({LOG_DET, QStringLiteral("Skip File :"), line});
        }
    }
    if (r.entries.isEmpty())
        r.entries << QString();
    return r;
}

namespace {

// Names that could not be given to the server as one file of the working
// folder: control characters, quotes, folder separators, and the wildcards a
// server may expand into other files.
bool isOddName(const QString& name)
{
    for (QChar c : name) {
        if (c.unicode() < 32 || c == QLatin1Char('"') || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c == QLatin1Char('*') || c == QLatin1Char('?'))
            return true;
    }
    return name == QLatin1String("..") || name == QLatin1String(".");
}

}  // namespace

QList<Deletion> planDeletions(const QStringList& entries, const QString& nameToKeep)
{
    QList<Deletion> plan;
    for (const QString& entry : entries) {
        Deletion d;
        d.entry = entry;
        if (nameToKeep.contains(entry))
            d.action = Deletion::Keep;
        else if (entry == QLatin1String(" "))
            d.action = Deletion::SkipBlank;
        else if (isOddName(entry))
            d.action = Deletion::RefuseOddName;
        else
            d.action = Deletion::Delete;
        plan << d;
    }
    return plan;
}

QString deleteArgument(const QString& entry)
{
    return entry.contains(QLatin1Char(' ')) ? quoted(entry) : entry;
}

ImageCheck checkImage(const QByteArray& fileContent)
{
    // Read as text lines joined with nothing between them.
    QString joined = QString::fromLatin1(fileContent.left(kMaxImageBytes));
    joined.remove(QLatin1Char('\r'));
    joined.remove(QLatin1Char('\n'));
    ImageCheck r;
    const qsizetype p1 = joined.indexOf(QLatin1String("/bin/"));
    const qsizetype p2 = joined.indexOf(QLatin1String(".bin"));
    if (fileContent.size() <= kMaxImageBytes && p1 >= 0 && p2 >= 0 && p1 < p2) {
        r.valid = true;
        r.executable = joined;
    } else {
        r.executable = kDefaultExecutable;
    }
    return r;
}

QByteArray imageContent(const QString& underscoredVersion)
{
    return (QStringLiteral("/bin/qorax_") + underscoredVersion + QStringLiteral(".bin")).toLatin1();
}

QString safeFileName(const QString& terminalPath)
{
    const QString name = terminalPath.mid(terminalPath.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || isOddName(name))
        return {};
    return name;
}

QString backupVersion(const QString& fileName)
{
    static const QString prefix = QStringLiteral("qorax_");
    static const QString suffix = QStringLiteral(".bin");
    if (!fileName.startsWith(prefix, Qt::CaseInsensitive) || !fileName.endsWith(suffix, Qt::CaseInsensitive))
        return {};
    const QString version = fileName.mid(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    if (version.isEmpty())
        return {};
    for (QChar c : version) {
        if (!c.isDigit() && c != QLatin1Char('_'))
            return {};
    }
    return version;
}

QList<BackupFile> restoreCandidates(const QStringList& names)
{
    QList<BackupFile> out;
    for (const QString& name : names) {
        const QString version = backupVersion(name);
        if (version.isEmpty())
            continue;
        const auto same = std::find_if(out.begin(), out.end(), [&](const BackupFile& b) { return b.version == version; });
        if (same == out.end())
            out.append({version, name});
        else if (name == QStringLiteral("qorax_") + version + QStringLiteral(".bin"))
            same->fileName = name;  // the name the upgrader itself writes wins
    }
    return out;
}

QString earlierLogName(const QDateTime& fetched, int attempt)
{
    QString name = QStringLiteral("sylog_") + fetched.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (attempt > 1)
        name += QLatin1Char('_') + QString::number(attempt);
    return name + QStringLiteral(".log");
}

QString logDownloadedText(const QString& path)
{
    return QStringLiteral("Log downloaded to ") + QDir::toNativeSeparators(path);
}

QString operationName(int32_t ftpState)
{
    switch (ftpState) {
    case GET_LOG_CMD:
        return QStringLiteral("Log download");
    case PUT_RESTORE_BIN_CMD:
        return QStringLiteral("Restore");
    case UPGRADE_PIC_SA_CMD:
        return QStringLiteral("PIC upgrade");
    case UPGRADE_ANTENNA_ATB_CMD:
    case UPGRADE_ANTENNA_HPA_CMD:
    case UPGRADE_ANTENNA_IAC_CMD:
        return QStringLiteral("Antenna upgrade");
    default:
        return QStringLiteral("Upgrade");
    }
}

QString localFailureText(int32_t ftpState, const QString& path, const QString& reason, bool writing)
{
    const QString crLf = QStringLiteral("\r\n");
    QString text = operationName(ftpState) + QStringLiteral(" stopped: a file on this PC could not be ") +
                   (writing ? QStringLiteral("written.") : QStringLiteral("read.")) + crLf + crLf + path + crLf + reason +
                   crLf + crLf;
    if (ftpState != GET_LOG_CMD)
        text += QStringLiteral("The Satellite IP Modem was not reset and still runs its current software.") + crLf;
    text += writing ? QStringLiteral("Free disk space, make the folder writable or move away what is in the file's place, "
                                     "then try again.")
                    : QStringLiteral("Make sure the file is there and can be read, then try again.");
    return text;
}

QString uploadIncompleteText(int32_t ftpState, const QString& remote, const QString& local, qint64 terminalBytes,
                             qint64 localBytes)
{
    const QString crLf = QStringLiteral("\r\n");
    return operationName(ftpState) + QStringLiteral(" stopped: the upload of ") + remote + QStringLiteral(" was incomplete.") +
           crLf + crLf +
           QStringLiteral("The Satellite IP Modem holds %1 bytes of it; the file on this PC has %2 bytes:")
               .arg(terminalBytes)
               .arg(localBytes) +
           crLf + local + crLf + crLf +
           QStringLiteral("Nothing was switched over to this file: the Satellite IP Modem still runs its current "
                          "software.") +
           crLf + QStringLiteral("Check the connection, then try again.");
}

}  // namespace ftp
