#include "app/CliOptions.h"

#include "platform/Settings.h"

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

struct Flag {
    const char* name;
    Action action;
};

// Actions that take no value.
constexpr Flag kPlainActions[] = {
    {"--factory-defaults", Action::FactoryDefaults}, {"--reset", Action::Reset},
    {"--terminal-version", Action::TerminalVersion}, {"--download-log", Action::DownloadLog},
    {"--list-backups", Action::ListBackups},         {"--version", Action::ToolVersion},
};

}  // namespace

QString usage()
{
    return QStringLiteral("usage: qora-upgrader-cli [--address A] [--json] [--quiet] --upgrade sw,ant,pic | --restore "
                          "VERSION | --factory-defaults | --reset | --terminal-version | --download-log | --list-backups "
                          "| --version | --help");
}

QString helpText()
{
    return usage() + QStringLiteral(R"(

Runs one action of the QORA upgrader without a person at the window, in the
current folder as the upgrader's home folder (the folder of the release
package), and answers its questions by policy: confirmations Yes (the
question whether to flash a PIC when the battery cannot be told: No),
messages OK, the restore window with the version given.

Actions (exactly one):
  --upgrade ITEMS      install the chosen items of the package, in the fixed
                       order software, antenna, PIC; ITEMS is a comma list of
                       sw, ant and pic (any subset)
  --restore VERSION    put back a version saved in the Backup folder by an
                       earlier upgrade (5.7.1.12 or 5_7_1_12)
  --factory-defaults   restore the terminal's factory defaults and reset it
  --reset              reset the terminal and read its version again
  --terminal-version   read the terminal's software version
  --download-log       fetch the terminal's system log into Backup/sylog.log;
                       an earlier one there is kept as sylog_<date>_<time>.log
  --list-backups       list the versions --restore accepts (the terminal is
                       not contacted)
  --version            print this tool's version
  --help               this text
Only --upgrade needs a release package in the folder.

Options:
  --address A          the terminal's address when it is not the default one
  --json               end with one JSON object: action, items with their
                       versions before and after, backup, warnings, outcome,
                       log, duration
  --quiet              print only the outcome

Output: status lines, message boxes and progress on standard output as they
happen; usage errors and failures on standard error. An upgrade is judged by
what the terminal runs afterwards: the software version read back, the
antenna and PIC versions it reports; boxes seen on the way are listed as
warnings. The outcome names the backup made (or why there is none) and the
log file.

Exit status: 0 success; 1 failure (an item did not take, a FAULT message in
an action that installs nothing, the upgrader closing, or the action not
completing); 2 bad usage or bad settings (nothing is sent to the terminal);
130 or 143 stopped by SIGINT (Ctrl+C) or SIGTERM: the upgrader closes as at
File > Exit, a partial download is removed and the log closed; a second
signal ends it at once.

Settings: the QORA_* environment variables apply as for the window
(QORA_DEFAULT_TERMINAL_IP, QORA_ZING_PORT, QORA_FTP_PORT, QORA_TELNET_PORT,
QORA_TIME_SCALE, QORA_LOOPBACK_ONLY); a value that cannot be used is refused.
)");
}

bool needsPackage(Action action)
{
    return action == Action::Upgrade;
}

Options parse(const QStringList& args)
{
    Options o;
    auto setAction = [&o](Action a) {
        if (o.action != Action::None) {
            o.error = o.action == a ? QStringLiteral("the same action twice") : QStringLiteral("only one action per run");
            return false;
        }
        o.action = a;
        return true;
    };
    auto valueOf = [&](qsizetype& i) -> std::optional<QString> {
        if (i + 1 >= args.size() || args.at(i + 1).startsWith(QLatin1String("--"))) {
            o.error = args.at(i) + QStringLiteral(" needs a value");
            return std::nullopt;
        }
        return args.at(++i);
    };

    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.action = Action::Help;
            o.error.clear();
            return o;
        }
        const auto plain = std::find_if(std::begin(kPlainActions), std::end(kPlainActions),
                                        [&](const Flag& f) { return a == QLatin1String(f.name); });
        if (plain != std::end(kPlainActions)) {
            setAction(plain->action);
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (a == QLatin1String("--address")) {
            const auto v = valueOf(i);
            if (v && !Settings::parseIPv4(*v, nullptr))
                o.error = QStringLiteral("'") + *v + QStringLiteral("' is not an address like 192.168.128.100");
            else if (v)
                o.address = *v;
        } else if (a == QLatin1String("--upgrade")) {
            const auto v = valueOf(i);
            if (!v || !setAction(Action::Upgrade))
                continue;
            for (const QString& item : v->split(QLatin1Char(','))) {
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
        } else if (a == QLatin1String("--restore")) {
            const auto v = valueOf(i);
            if (!v || !setAction(Action::Restore))
                continue;
            if (!isVersion(*v))
                o.error = QStringLiteral("'") + *v + QStringLiteral("' is not a version");
            else
                o.restoreVersion = QString(*v).replace(QLatin1Char('.'), QLatin1Char('_'));
        } else {
            o.error = QStringLiteral("unknown argument '") + a + QStringLiteral("'");
        }
    }
    if (o.error.isEmpty() && o.action == Action::None)
        o.error = QStringLiteral("no action given");
    return o;
}

}  // namespace cli
