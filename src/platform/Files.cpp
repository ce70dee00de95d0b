#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace Files {

bool matches(const QString& name, const QString& pattern)
{
    // '*' any run of characters, '?' one character; everything else literal.
    const QString n = name.toCaseFolded();
    const QString p = pattern.toCaseFolded();
    qsizetype ni = 0, pi = 0, starP = -1, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p.at(pi) == QLatin1Char('?') || p.at(pi) == n.at(ni))) {
            ++ni;
            ++pi;
        } else if (pi < p.size() && p.at(pi) == QLatin1Char('*')) {
            starP = pi++;
            starN = ni;
        } else if (starP >= 0) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p.at(pi) == QLatin1Char('*'))
        ++pi;
    return pi == p.size();
}

QStringList find(const QString& dir, const QString& pattern)
{
    QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    if (!d.exists())
        return {};
    const QStringList all = d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    QStringList out;
    for (const QString& name : all) {
        if (!matches(name, pattern))
            continue;
        if (!QFileInfo(d.filePath(name)).isFile())
            continue;
        out.append(name);
    }
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path);
}

bool isDir(const QString& path)
{
    return QFileInfo(path).isDir();
}

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool makeDir(const QString& path)
{
    return QDir().mkpath(path);
}

bool remove(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    return QFile::remove(path);
}

qint64 size(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() ? fi.size() : -1;
}

QDateTime lastModified(const QString& path)
{
    return QFileInfo(path).lastModified();
}

QByteArray readAt(const QString& path, qint64 offset, qint64 len)
{
    if (offset < 0 || len <= 0)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    if (!f.seek(offset))
        return {};
    return f.read(len);
}

std::optional<QByteArray> readTail(const QString& path, qint64 len, QString* error)
{
    QFile f(path);
    if (f.open(QIODevice::ReadOnly) && f.seek(qMax<qint64>(0, f.size() - len))) {
        QByteArray bytes(len, Qt::Uninitialized);
        const qint64 n = f.read(bytes.data(), len);
        if (n >= 0) {
            bytes.truncate(n);
            return bytes;
        }
    }
    if (error)
        *error = f.errorString();
    return std::nullopt;
}

QByteArray readAll(const QString& path, bool* ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile f(path);
    auto failed = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo(path).isDir())
        return failed(QStringLiteral("it is a folder"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failed(f.errorString());
    if (f.write(bytes) != bytes.size() || !f.flush())
        return failed(f.errorString());
    f.close();
    if (f.error() != QFile::NoError)
        return failed(f.errorString());
    return true;
}

bool append(const QString& path, const QByteArray& bytes, QFileDevice::Permissions created)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append, created))
        return false;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    return ok && f.error() == QFile::NoError;
}

NewFile createNew(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions))
        return QFileInfo::exists(path) ? NewFile::Exists : NewFile::Failed;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    return ok && f.error() == QFile::NoError ? NewFile::Created : NewFile::Failed;
}

QString withSeparator(const QString& dir)
{
    if (dir.endsWith(QLatin1Char('/')))
        return dir;
    return dir + QLatin1Char('/');
}

QString currentDirWithSeparator()
{
    return withSeparator(QDir::currentPath());
}

}  // namespace Files
