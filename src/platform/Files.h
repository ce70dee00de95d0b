#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <optional>

// File-system services of the program. Folder arguments may or may not end in
// the separator.
namespace Files {

// Names (without folder) of the regular files in dir whose names match the
// wildcard pattern ('*' and '?'), letter case ignored, in case-insensitive
// name order so that "the first match" is the same on every run.
QStringList find(const QString& dir, const QString& pattern);
// The wildcard match used by find().
bool matches(const QString& name, const QString& pattern);

bool exists(const QString& path);
bool isDir(const QString& path);
bool isFile(const QString& path);
bool makeDir(const QString& path);
bool remove(const QString& path);
qint64 size(const QString& path);
QDateTime lastModified(const QString& path);
// Up to len bytes at offset; empty when the file cannot be read there.
QByteArray readAt(const QString& path, qint64 offset, qint64 len);
QByteArray readAll(const QString& path, bool* ok = nullptr);
// The last len bytes (the whole file when shorter); nullopt, with *error
// saying why, when the file cannot be read.
std::optional<QByteArray> readTail(const QString& path, qint64 len, QString* error = nullptr);
// Creates or replaces the file with the bytes; on failure *error says why.
bool writeAll(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Read and write for the owner alone: for files that hold the terminal's details.
inline constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Appends, creating the file when missing with these permissions (the umask
// may narrow them, never widen them).
bool append(const QString& path, const QByteArray& bytes, QFileDevice::Permissions created);
enum class NewFile { Created, Exists, Failed };
// Creates the file with the bytes only when no file of that name exists, in
// one step, so two writers never end up in the same file; with these
// permissions (the umask may narrow them, never widen them).
NewFile createNew(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions);

// The current folder with the separator appended, as the program's home.
// Not trimmed: on this platform a blank may end a folder name.
QString currentDirWithSeparator();
QString withSeparator(const QString& dir);

}  // namespace Files
