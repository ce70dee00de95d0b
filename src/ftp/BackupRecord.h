#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What a backup of the terminal's software should hold: its size and SHA-256,
// kept beside it as "<backup>.sha256" in the form `sha256sum -c` reads, so a
// person can check it too. A backup is only worth restoring when it is whole.
namespace backup {

struct Record {
    qint64 bytes = -1;
    QByteArray sha256;  // lower-case hex
};

enum class State {
    Whole,       // matches its record
    Damaged,     // differs from its record, or the record cannot be read
    Unrecorded,  // no record (saved by an older upgrader): offered as it is
};

struct Check {
    State state = State::Unrecorded;
    QString why;  // for Damaged: what differs
};

QString recordPath(const QString& backupPath);
QByteArray recordText(const QString& fileName, const Record& r, const QString& from, const QDateTime& when);
// nullopt when the text holds no size or no hash line for fileName.
std::optional<Record> parseRecord(const QByteArray& text, const QString& fileName);
// recordText nullopt: there is no record.
Check judge(const std::optional<QByteArray>& recordText, const QString& fileName, const Record& measured);

// Size and hash of the file as it is on the disk; nullopt with *why when it cannot be read.
std::optional<Record> measure(const QString& path, QString* why);
// Measures the backup and writes its record in one step (never half a record).
bool writeRecord(const QString& backupPath, const QString& from, QString* why);
Check check(const QString& backupPath);
// How the restore choices show a version: damaged ones say so.
QString shownVersion(const QString& dotted, const Check& c);
// The version a shown entry stands for.
QString versionOfShown(const QString& shown);

}  // namespace backup
