#include "upgrade/Verdict.h"

#include "ident/VersionText.h"
#include "log/LogFormat.h"

namespace verdict {

namespace {

const QString kBootRom = QStringLiteral("the terminal runs its Boot ROM (BOOTROM MODE)");
const QString kUnknown = QStringLiteral("UNKNOWN");
const QString kNotRead = QStringLiteral("its version could not be read back");

// The versions as the terminal reported them go into boxes, the log and the
// front end: printable, once judged.
Item shown(Item i)
{
    i.before = qlog::fromTerminal(i.before);
    i.after = qlog::fromTerminal(i.after);
    i.why = qlog::fromTerminal(i.why);
    return i;
}

}  // namespace

Item software(const QString& before, const QString& after, const QString& expected, bool bootRom)
{
    Item i{QStringLiteral("software"), before, after, expected, false, {}};
    i.took = !bootRom && !expected.isEmpty() && after == expected;
    i.why = bootRom ? kBootRom : after == kUnknown ? kNotRead : QStringLiteral("the terminal runs ") + after;
    return shown(i);
}

Item antenna(const QString& before, const QString& atbShown, const QString& hpaShown, const AntennaFiles& files,
             bool bootRom)
{
    Item i{QStringLiteral("antenna"), before, QStringLiteral("ATB ") + atbShown + QStringLiteral(", HPA ") + hpaShown,
           {}, false, {}};
    QStringList expected;
    bool took = !bootRom;
    if (!files.atb.isEmpty()) {
        expected << QStringLiteral("ATB ") + files.atb;
        took = took && ident::sameVersion(atbShown, files.atb);
    }
    if (!files.hpa.isEmpty()) {
        expected << QStringLiteral("HPA ") + files.hpa;
        took = took && ident::sameVersion(hpaShown, files.hpa);
    }
    if (!files.iac.isEmpty()) {
        expected << QStringLiteral("IAC ") + files.iac;
        took = took && (ident::sameVersion(atbShown, files.iac) || ident::sameVersion(hpaShown, files.iac));
    }
    i.expected = expected.join(QStringLiteral(", "));
    i.took = took && !expected.isEmpty();
    i.why = bootRom ? kBootRom
                    : atbShown == kUnknown && hpaShown == kUnknown ? kNotRead
                                                                   : QStringLiteral("the antenna reports ") + i.after;
    return shown(i);
}

Item pic(const QString& before, const QString& after, const QString& expected, bool bootRom)
{
    Item i{QStringLiteral("PIC"), before, after, expected, false, {}};
    // A PIC that reports the file's version from a Boot ROM has not finished the upgrade.
    i.took = !bootRom && ident::sameVersion(after, expected);
    i.why = bootRom ? kBootRom : after == kUnknown ? kNotRead : QStringLiteral("the PIC reports ") + after;
    return shown(i);
}

Summary summarize(const QString& action, const QList<Item>& items)
{
    Summary s;
    QStringList lines, failed;
    for (const Item& i : items) {
        QString line = QStringLiteral(" - ") + i.name.left(1).toUpper() + i.name.mid(1) + QStringLiteral(": ") +
                       i.before + QStringLiteral(" -> ") + i.after;
        if (i.took) {
            line += QStringLiteral(" (took)");
        } else {
            line += QStringLiteral(" (did not take: ") + i.why + QStringLiteral("; the package holds ") + i.expected +
                    QLatin1Char(')');
            failed << i.name;
        }
        lines << line;
    }
    s.took = !items.isEmpty() && failed.isEmpty();
    if (s.took) {
        s.status = action + QStringLiteral(" Successful.  Versions read back: every item took.");
        s.box = action + QStringLiteral(" Successful: every item took.");
    } else {
        s.status = action + QStringLiteral(" Failed !  Did not take: ") + failed.join(QStringLiteral(", ")) +
                   QLatin1Char('.');
        s.box = action + QStringLiteral(" Failed: ") + failed.join(QStringLiteral(", ")) +
                QStringLiteral(" did not take.");
    }
    s.box += QStringLiteral("\r\n\r\n") + lines.join(QStringLiteral("\r\n"));
    return s;
}

}  // namespace verdict
