#include "Flash.h"

#include "TerminalTexts.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace qsim {

Flash::Flash(const QString& root) : root_(QDir::cleanPath(QFileInfo(root).absoluteFilePath())) {}

bool Flash::ensureLayout(QString* error) const
{
    QDir dir(root_);
    for (const char* sub : {"tffs0/bin", "ram0"}) {
        if (!dir.mkpath(QLatin1String(sub))) {
            if (error)
                *error = QStringLiteral("cannot create %1/%2").arg(root_, QLatin1String(sub));
            return false;
        }
    }
    const QString log = root_ + QStringLiteral("/ram0/syslog.log");
    if (!QFileInfo::exists(log)) {
        QFile f(log);
        if (!f.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("cannot create %1").arg(log);
            return false;
        }
        f.write("0x00000001 (tRootTask): system log started\r\n");
    }
    return true;
}

bool Flash::isEmpty() const
{
    QDirIterator it(root_, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return !it.hasNext();
}

bool Flash::seedDemo(const QString& version, int executableBytes) const
{
    if (!ensureLayout())
        return false;
    // Pseudo-random body, then the package tail the upgrader reads: 16 bytes
    // "bootcomp=<n>" padded with NUL, then two bytes that are not part of it.
    QByteArray bytes(qMax(executableBytes, 64), Qt::Uninitialized);
    quint32 x = 0x2545F491u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x & 0xff);
    }
    QByteArray tail("bootcomp=2");
    tail.append(QByteArray(16 - tail.size(), '\0'));
    tail.append("\r\n");
    bytes.replace(bytes.size() - 18, 18, tail);
    QByteArray log;
    for (int i = 1; i <= 12; ++i)
        log += QStringLiteral("0x%1 (tNetTask): link check %2 ok\r\n").arg(i * 977, 8, 16, QLatin1Char('0')).arg(i).toLatin1();
    return putExecutable(version, bytes)
           && writeDescriptor(QStringLiteral("/bin/") + executableName(version))
           && write(QStringLiteral("/ram0/syslog.log"), log);
}

std::optional<Flash::Path> Flash::resolve(const QString& cwd, const QString& path) const
{
    if (path.contains(QLatin1Char('\\')) || path.contains(QChar(0)) || cwd.contains(QLatin1Char('\\')))
        return std::nullopt;
    const QString full = path.startsWith(QLatin1Char('/')) ? path : cwd + QLatin1Char('/') + path;
    QStringList parts;
    for (const QString& part : full.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::nullopt;
        parts << part;
    }
    Path p;
    if (parts.isEmpty()) {
        p.virt = QStringLiteral("/");
        p.local = root_;
        p.isRoot = true;
        return p;
    }
    if (parts.first() != QLatin1String("tffs0") && parts.first() != QLatin1String("ram0"))
        return std::nullopt;
    p.virt = QLatin1Char('/') + parts.join(QLatin1Char('/'));
    p.local = root_ + p.virt;
    if (!staysInside(p.local))
        return std::nullopt;
    return p;
}

// A symbolic link inside the folder may point anywhere: the deepest part of
// the path that exists must still be inside once links are followed.
bool Flash::staysInside(const QString& local) const
{
    const QString canonicalRoot = QFileInfo(root_).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        return false;
    QString probe = local;
    while (!probe.isEmpty() && !QFileInfo(probe).exists() && !QFileInfo(probe).isSymLink())
        probe = QFileInfo(probe).path();
    const QString canonical = QFileInfo(probe).canonicalFilePath();
    if (canonical.isEmpty())
        return false;  // a dangling link
    return canonical == canonicalRoot || canonical.startsWith(canonicalRoot + QLatin1Char('/'));
}

bool Flash::write(const QString& virt, const QByteArray& bytes) const
{
    const auto p = resolve(QStringLiteral("/"), virt);
    if (!p || p->isRoot)
        return false;
    QDir().mkpath(QFileInfo(p->local).path());
    QFile f(p->local);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

std::optional<QByteArray> Flash::read(const QString& virt) const
{
    const auto p = resolve(QStringLiteral("/"), virt);
    if (!p || p->isRoot)
        return std::nullopt;
    QFile f(p->local);
    if (!QFileInfo(p->local).isFile() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

bool Flash::exists(const QString& virt) const
{
    const auto p = resolve(QStringLiteral("/"), virt);
    return p && QFileInfo::exists(p->local);
}

bool Flash::remove(const QString& virt) const
{
    const auto p = resolve(QStringLiteral("/"), virt);
    return p && !p->isRoot && QFile::remove(p->local);
}

bool Flash::putExecutable(const QString& version, const QByteArray& bytes) const
{
    return write(QStringLiteral("/tffs0/bin/") + executableName(version), bytes);
}

bool Flash::writeDescriptor(const QString& content) const
{
    return write(QStringLiteral("/tffs0/image.txt"), content.toLatin1());
}

QStringList Flash::executableVersions() const
{
    QStringList versions;
    const QStringList names = QDir(root_ + QStringLiteral("/tffs0/bin"))
                                  .entryList({QStringLiteral("qorax_*.bin")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString v = name.mid(6, name.size() - 10);
        if (!v.isEmpty())
            versions << v;
    }
    return versions;
}

Flash::BootChoice Flash::bootChoice(qint64 minExecutableBytes) const
{
    BootChoice choice;
    const auto descriptor = read(QStringLiteral("/tffs0/image.txt"));
    if (!descriptor) {
        choice.reason = QStringLiteral("no image.txt");
        return choice;
    }
    const auto version = descriptorVersion(*descriptor);
    if (!version) {
        choice.reason = QStringLiteral("image.txt names no executable");
        return choice;
    }
    const QString virt = QStringLiteral("/tffs0/bin/") + executableName(*version);
    const auto p = resolve(QStringLiteral("/"), virt);
    const QFileInfo info(p ? p->local : QString());
    if (!p || !info.isFile()) {
        choice.reason = QStringLiteral("%1 is missing").arg(virt);
        return choice;
    }
    if (info.size() < minExecutableBytes) {
        choice.reason = QStringLiteral("%1 is too short (%2 bytes)").arg(virt).arg(info.size());
        return choice;
    }
    choice.application = true;
    choice.version = *version;
    return choice;
}

}  // namespace qsim
