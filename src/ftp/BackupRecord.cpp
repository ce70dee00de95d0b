#include "ftp/BackupRecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace backup {

namespace {
const QString kDamaged = QStringLiteral(" (damaged)");
// A record is a few lines; anything larger is not one.
constexpr qint64 kMaxRecord = 4096;
}  // namespace

QString recordPath(const QString& backupPath)
{
    return backupPath + QStringLiteral(".sha256");
}

QByteArray recordText(const QString& fileName, const Record& r, const QString& from, const QDateTime& when)
{
    QByteArray out = "# Backup of the terminal's software saved by the QORA upgrader; check it in this folder with: "
                     "sha256sum -c " + fileName.toUtf8() + ".sha256\n";
    out += "# from: " + from.toUtf8() + ", " + when.toString(Qt::ISODate).toUtf8() + "\n";
    out += "# size: " + QByteArray::number(r.bytes) + " bytes\n";
    out += r.sha256 + "  " + fileName.toUtf8() + "\n";
    return out;
}

std::optional<Record> parseRecord(const QByteArray& text, const QString& fileName)
{
    static const QRegularExpression size(QStringLiteral("^# size: (\\d{1,15}) bytes$"));
    static const QRegularExpression hash(QStringLiteral("^([0-9a-f]{64}) [ *](.+)$"));
    Record r;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).remove(QLatin1Char('\r'));
        if (const auto m = size.match(line); m.hasMatch())
            r.bytes = m.captured(1).toLongLong();
        else if (const auto h = hash.match(line); h.hasMatch() && h.captured(2) == fileName)
            r.sha256 = h.captured(1).toLatin1();
    }
    if (r.bytes < 0 || r.sha256.isEmpty())
        return std::nullopt;
    return r;
}

Check judge(const std::optional<QByteArray>& text, const QString& fileName, const Record& measured)
{
    if (!text)
        return {State::Unrecorded, {}};
    const std::optional<Record> r = parseRecord(*text, fileName);
    if (!r)
        return {State::Damaged, QStringLiteral("its record cannot be read")};
    if (r->bytes != measured.bytes)
        return {State::Damaged,
                QStringLiteral("it holds %1 bytes, its record says %2").arg(measured.bytes).arg(r->bytes)};
    if (r->sha256 != measured.sha256)
        return {State::Damaged, QStringLiteral("its content is not what was saved (SHA-256 differs from its record)")};
    return {State::Whole, {}};
}

std::optional<Record> measure(const QString& path, QString* why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f) || f.error() != QFileDevice::NoError) {
        *why = f.errorString();
        return std::nullopt;
    }
    return Record{f.size(), hash.result().toHex()};
}

bool writeRecord(const QString& backupPath, const QString& from, QString* why)
{
    const std::optional<Record> r = measure(backupPath, why);
    if (!r)
        return false;
    QSaveFile f(recordPath(backupPath));
    if (!f.open(QIODevice::WriteOnly)) {
        *why = f.errorString();
        return false;
    }
    f.write(recordText(QFileInfo(backupPath).fileName(), *r, from, QDateTime::currentDateTime()));
    if (!f.commit()) {
        *why = f.errorString();
        return false;
    }
    // Like the backup beside it: the user's to change, anyone's to check.
    QFile::setPermissions(recordPath(backupPath),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

Check check(const QString& backupPath)
{
    QString why;
    const std::optional<Record> measured = measure(backupPath, &why);
    if (!measured)
        return {State::Damaged, QStringLiteral("it cannot be read: ") + why};
    QFile record(recordPath(backupPath));
    if (!record.exists())
        return {State::Unrecorded, {}};
    if (!record.open(QIODevice::ReadOnly))
        return {State::Damaged, QStringLiteral("its record cannot be read: ") + record.errorString()};
    return judge(record.read(kMaxRecord), QFileInfo(backupPath).fileName(), *measured);
}

QString shownVersion(const QString& dotted, const Check& c)
{
    return c.state == State::Damaged ? dotted + kDamaged : dotted;
}

QString versionOfShown(const QString& shown)
{
    return shown.endsWith(kDamaged) ? shown.chopped(kDamaged.size()) : shown;
}

}  // namespace backup
