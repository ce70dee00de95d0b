#pragma once

#include <QList>
#include <QString>

// How an upgrade or a restore ended, judged by what the terminal reports
// afterwards: for each item the version before, the version read back, the
// version the package carries, and whether it took. The window and the
// unattended front end judge alike.
namespace verdict {

struct Item {
    QString name;      // "software", "antenna", "PIC"
    QString before;
    QString after;
    QString expected;
    bool took = false;
    QString why;       // when it did not take
};

// The software took when the terminal runs the expected version (not its Boot ROM).
Item software(const QString& before, const QString& after, const QString& expected, bool bootRom);
// The antenna took when each kind of file it got is what the antenna reports
// (an IAC file may show as either).
struct AntennaFiles {
    QString atb, hpa, iac;  // versions of the files sent; empty when none
};
Item antenna(const QString& before, const QString& atbShown, const QString& hpaShown, const AntennaFiles& files,
             bool bootRom);
// The PIC took when it reports the file's version from the running software.
Item pic(const QString& before, const QString& after, const QString& expected, bool bootRom);

struct Summary {
    bool took = false;  // every item took
    QString status;     // the status line
    QString box;        // the box: a line per item
};
// action: "Upgrade" or "Restore".
Summary summarize(const QString& action, const QList<Item>& items);

}  // namespace verdict
