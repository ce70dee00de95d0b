#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <iostream>
#include <stdexcept>

TestHome::TestHome(const QString& folderName)
{
    if (!root_.isValid())
        throw std::runtime_error("no temporary folder");
    QDir(root_.path()).mkpath(folderName);
    home_ = QDir(root_.path()).filePath(folderName) + QLatin1Char('/');
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(home_);
}

TestHome::~TestHome()
{
    // A failed test shows the end of the upgrader's log, as a field engineer
    // would read it.
    if (::testing::Test::HasFailure()) {
        const QStringList lines = logLines();
        std::cout << "---- last lines of the upgrader's log ----\n";
        for (qsizetype i = std::max<qsizetype>(0, lines.size() - 120); i < lines.size(); ++i)
            std::cout << lines.at(i).toStdString() << "\n";
    }
    QDir::setCurrent(previousDir_);
}

QString TestHome::parentPath() const
{
    return root_.path() + QLatin1Char('/');
}

void TestHome::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString p = home_ + relative;
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file");
    f.write(bytes);
}

QString TestHome::writePackage(const QString& underscoredVersion, int level, int size) const
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    if (level >= 0 && size >= 18) {
        QByteArray tail = "bootcomp=" + QByteArray::number(level);
        tail = tail.leftJustified(16, '\0') + QByteArray(2, '\xAA');
        bytes.replace(size - 18, 18, tail);
    }
    const QString name = QStringLiteral("qorax_") + underscoredVersion + QStringLiteral(".bin");
    writeFile(name, bytes);
    return name;
}

QStringList TestHome::logFiles() const
{
    QDir d(home_ + QStringLiteral("logs"));
    return d.entryList({QStringLiteral("*_Upgrader_log*.txt")}, QDir::Files, QDir::Name);
}

QString TestHome::logText() const
{
    const QStringList files = logFiles();
    if (files.isEmpty())
        return {};
    QFile f(home_ + QStringLiteral("logs/") + files.last());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll());
}

QStringList TestHome::logLines() const
{
    QString text = logText();
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

QStringList TestHome::logEntries() const
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList out;
    for (const QString& line : logLines()) {
        const auto m = stamp.match(line);
        if (m.hasMatch())
            out << line.mid(m.capturedLength());
    }
    return out;
}
