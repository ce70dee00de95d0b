#include "app/CliOptions.h"

namespace cli {

namespace {

bool isVersion(const QString& v)
{
    if (v.isEmpty() || !v.at(0).isDigit() || !v.back().isDigit())
        return false;
    for (QChar c : v) {
        if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

}  // namespace

QString usage()
{
    return QStringLiteral("usage: qora-upgrader-cli --upgrade sw,ant,pic | --restore VERSION | --factory-defaults | "
                          "--reset | --version | --download-log | --help");
}

QString helpText()
{
    return usage() + QStringLiteral(R"(

Runs one action of the QORA upgrader without a person at the window, in the
current folder as the upgrader's home folder (the folder of the release
package), and answers its questions by policy: confirmations Yes, messages OK,
the restore window with the version given.

Actions (exactly one):
  --upgrade ITEMS      install the chosen items of the package, in the fixed
                       order software, antenna, PIC; ITEMS is a comma list of
                       sw, ant and pic (any subset)
  --restore VERSION    put back a version saved in the Backup folder by an
                       earlier upgrade (5.7.1.12 or 5_7_1_12)
  --factory-defaults   restore the terminal's factory defaults and reset it
  --reset              reset the terminal and read its version again
  --version            read the terminal's software version
  --download-log       fetch the terminal's system log into Backup/sylog.log
  --help               this text

Output: one line per status line change and per message box, as they
happen, then one final line with the outcome and the log file's path ("none"
when no log could be written).

Exit status: 0 success; 1 failure (a FAULT message, the upgrader closing, or
the action not completing); 2 bad usage (nothing is sent to the terminal);
130 or 143 stopped by SIGINT (Ctrl+C) or SIGTERM: the upgrader closes as at
File > Exit, a partial download is removed and the log closed; a second
signal ends it at once.

Settings: the QORA_* environment variables apply as for the window
(QORA_DEFAULT_TERMINAL_IP, QORA_ZING_PORT, QORA_FTP_PORT, QORA_TELNET_PORT,
QORA_TIME_SCALE, QORA_LOOPBACK_ONLY).
)");
}

Options parse(const QStringList& args)
{
    Options o;
    auto setAction = [&o](Action a) {
        if (o.action != Action::None && o.action != a) {
            o.error = QStringLiteral("only one action per run");
            return false;
        }
        if (o.action == a) {
            o.error = QStringLiteral("the same action twice");
            return false;
        }
        o.action = a;
        return true;
    };

    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.action = Action::Help;
            o.error.clear();
            return o;
        }
        if (!o.error.isEmpty())
            continue;
        if (a == QLatin1String("--upgrade") || a == QLatin1String("--restore")) {
            if (i + 1 >= args.size() || args.at(i + 1).startsWith(QLatin1String("--"))) {
                o.error = a + QStringLiteral(" needs a value");
                continue;
            }
            const QString value = args.at(++i);
            if (a == QLatin1String("--upgrade")) {
                if (!setAction(Action::Upgrade))
                    continue;
                for (const QString& item : value.split(QLatin1Char(','))) {
                    if (item == QLatin1String("sw"))
                        o.software = true;
                    else if (item == QLatin1String("ant"))
                        o.antenna = true;
                    else if (item == QLatin1String("pic"))
                        o.pic = true;
                    else {
                        o.error = QStringLiteral("unknown item '") + item + QStringLiteral("' (use sw, ant, pic)");
                        break;
                    }
                }
            } else {
                if (!setAction(Action::Restore))
                    continue;
                if (!isVersion(value)) {
                    o.error = QStringLiteral("'") + value + QStringLiteral("' is not a version");
                    continue;
                }
                o.restoreVersion = QString(value).replace(QLatin1Char('.'), QLatin1Char('_'));
            }
        } else if (a == QLatin1String("--factory-defaults")) {
            setAction(Action::FactoryDefaults);
        } else if (a == QLatin1String("--reset")) {
            setAction(Action::Reset);
        } else if (a == QLatin1String("--version")) {
            setAction(Action::Version);
        } else if (a == QLatin1String("--download-log")) {
            setAction(Action::DownloadLog);
        } else {
            o.error = QStringLiteral("unknown argument '") + a + QStringLiteral("'");
        }
    }
    if (o.error.isEmpty() && o.action == Action::None)
        o.error = QStringLiteral("no action given");
    return o;
}

}  // namespace cli
