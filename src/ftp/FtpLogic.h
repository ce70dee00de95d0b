#pragma once

#include "log/LogEntry.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The decisions of the software transfer that need no connection: state
// names, the listing, what to delete, the image descriptor, backup names.
namespace ftp {

// FTP command states (currFtpState).
enum FtpState : int32_t {
    GET_BIN_CMD = 1,
    PUT_NEW_BIN_CMD = 3,
    GET_IMG_CMD = 8,
    CD_TO_BIN_FOLDER = 9,
    DELETE_OLD_BIN_FILE = 10,
    SEARCH_ALL_BIN_FILE = 11,
    PUT_RESTORE_BIN_CMD = 12,
    CLOSE_CONNECTION = 19,
    CLOSE_CONN_IMAGE_PUT = 20,
    GET_LOG_CMD = 21,
    UPGRADE_PIC_SA_CMD = 22,
    UPGRADE_ANTENNA_ATB_CMD = 23,
    UPGRADE_ANTENNA_HPA_CMD = 24,
    UPGRADE_ANTENNA_IAC_CMD = 25,
};

// "GET_BIN_CMD" ...; "INVALID" for numbers outside the table.
QString ftpStateName(int32_t state);

// A path for an operation text: in double quotes, as the client expects
// paths that may hold blanks.
QString quoted(const QString& path);

struct BinFileList {
    QString listing;       // the whole listing, blanks trimmed at both ends
    QStringList entries;   // the qorax executables, trimmed; at least one entry, "" when none
    qlog::LogLines log;    // "Bin File :" / "Skip File :" lines
};

// The executables named in a name listing: lines (CR separated, LF read as a
// blank) that hold both "qorax" and ".bin".
BinFileList parseBinFileList(const QString& rawListing);

struct Deletion {
    QString entry;
    enum Action { Keep, SkipBlank, Delete, RefuseOddName } action = Keep;
};

// What happens to each listed executable: entries found within the name to
// keep stay, the rest are deleted. Names that could not be given safely to
// the client (quotes, slashes, control characters) are refused instead.
QList<Deletion> planDeletions(const QStringList& entries, const QString& nameToKeep);

// The operation-text argument for a file of the working folder.
QString deleteArgument(const QString& entry);

struct ImageCheck {
    bool valid = false;
    QString executable;  // the joined text when valid, else the default executable
};

inline const QString kDefaultExecutable = QStringLiteral("/tffs0/bin/qorax.bin");
// A descriptor is one short line; more than this is not a descriptor.
inline constexpr qint64 kMaxImageBytes = 4096;

// The fetched descriptor: lines joined, valid when "/bin/" comes before ".bin".
ImageCheck checkImage(const QByteArray& fileContent);
// What the upgrader writes: "/bin/qorax_<version>.bin", no line end.
QByteArray imageContent(const QString& underscoredVersion);

// The file-name part of a terminal path (after the last "/"), or empty when
// that part could name something outside a folder or match other files.
QString safeFileName(const QString& terminalPath);

// The version in a backup name "qorax_<version>.bin"; empty when it holds none.
QString backupVersion(const QString& fileName);

struct BackupFile {
    QString version;   // underscored
    QString fileName;  // as it is in the folder, whatever its letter case
};

// The versions a restore can offer, from the backup folder's "qorax*.bin"
// names in folder order: one entry per version, names without one left out.
QList<BackupFile> restoreCandidates(const QStringList& names);

// Most bytes a download may bring: a descriptor is one line, the log lives in
// the terminal's RAM disk, an executable in its flash.
inline constexpr qint64 kMaxImageDownload = kMaxImageBytes;
inline constexpr qint64 kMaxLogDownload = 16ll << 20;
inline constexpr qint64 kMaxBackupDownload = 64ll << 20;

// The terminal's system log as it lands in the backup folder; the newest
// download always has this name.
inline const QString kTerminalLogName = QStringLiteral("sylog.log");
// The name an earlier download is kept under: when it was fetched, and a
// number from 2 on when that name is taken ("sylog_2026-12-07_10-15-02.log",
// "sylog_2026-12-07_10-15-02_2.log"), so the names sort by age.
QString earlierLogName(const QDateTime& fetched, int attempt);
// The status line after a download: the file it went to.
QString logDownloadedText(const QString& path);

// A negative reply that says the file is not on the terminal. Any other
// refusal of a download (transfer aborted, server busy) says nothing about it.
inline constexpr int kReplyFileUnavailable = 550;

// The operation a command state belongs to, as the user knows it.
QString operationName(int32_t ftpState);

// The box shown when a file of this PC stopped an operation: what stopped,
// the file and why, what it means for the terminal, what to do.
QString localFailureText(int32_t ftpState, const QString& path, const QString& reason, bool writing);

// The box shown when the terminal holds another size than the file sent:
// what stopped, the file, both sizes, that nothing was switched over.
QString uploadIncompleteText(int32_t ftpState, const QString& remote, const QString& local, qint64 terminalBytes,
                             qint64 localBytes);

}  // namespace ftp
