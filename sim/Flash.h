#pragma once

// The terminal's flash and RAM disks as a folder on the PC: <root>/tffs0 and
// <root>/ram0. Clients name files by the terminal's paths ("/tffs0/bin/x",
// "image.txt" relative to a working directory); nothing outside the folder
// can be named. No Qt objects inside, so any thread may use it.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace qsim {

class Flash {
public:
    explicit Flash(const QString& root);

    QString root() const { return root_; }

    // Creates tffs0/, tffs0/bin/, ram0/ and ram0/syslog.log where missing.
    bool ensureLayout(QString* error = nullptr) const;
    // True when no file lies anywhere below the folder.
    bool isEmpty() const;
    // A bootable application of that version: executable, image.txt, log lines.
    bool seedDemo(const QString& version, int executableBytes = 256 * 1024) const;

    // A client's path resolved against a working directory. Refused (nullopt):
    // "..", backslashes, NUL, paths outside /tffs0 and /ram0, and anything a
    // symbolic link leads out of the folder. "/" itself is the root.
    struct Path {
        QString virt;   // "/tffs0/bin/qorax_5_7_1_12.bin"
        QString local;  // the file on the PC
        bool isRoot = false;
    };
    std::optional<Path> resolve(const QString& cwd, const QString& path) const;

    // Tests and the boot decision, by terminal path ("/tffs0/image.txt").
    bool write(const QString& virt, const QByteArray& bytes) const;
    std::optional<QByteArray> read(const QString& virt) const;
    bool exists(const QString& virt) const;
    bool remove(const QString& virt) const;
    bool putExecutable(const QString& version, const QByteArray& bytes) const;
    bool writeDescriptor(const QString& content) const;
    // Versions (underscored) of the qorax_<version>.bin files in tffs0/bin, sorted.
    QStringList executableVersions() const;

    // What a boot finds: the application named by tffs0/image.txt, or the Boot ROM.
    struct BootChoice {
        bool application = false;
        QString version;  // underscored
        QString reason;   // why the Boot ROM, for the event line
    };
    BootChoice bootChoice(qint64 minExecutableBytes) const;

private:
    bool staysInside(const QString& local) const;

    QString root_;
};

}  // namespace qsim
