#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/Printers.h"

// The whole of a file; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A temporary home folder that is the process's current folder while the
// object lives.
class TestHome {
public:
    explicit TestHome(const QString& folderName = QStringLiteral("home"));
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    // The home folder with a trailing separator.
    QString path() const { return home_; }
    QString file(const QString& relative) const { return home_ + relative; }
    // The parent folder (for siblings such as ../TermDiag).
    QString parentPath() const;
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    // An application package "qorax_<version>.bin" of some bytes whose tail
    // carries "bootcomp=<level>" (no tail when level is negative).
    QString writePackage(const QString& underscoredVersion, int level = 2, int size = 4096) const;

    // The log files written in logs/, oldest first.
    QStringList logFiles() const;
    // The whole text of the one log file (empty when none).
    QString logText() const;
    // The physical lines of the log, without CR LF.
    QStringList logLines() const;
    // The callers' texts of the log lines that carry a time and tag
    // ("[hh:mm:ss] TAG: <tab>text" gives "TAG: <tab>text").
    QStringList logEntries() const;

private:
    QTemporaryDir root_;
    QString home_;
    QString previousDir_;
};
