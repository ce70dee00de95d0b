#include "app/CliOptions.h"

#include "app/CliCauses.h"
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
    {"--status", Action::Status},
};

}  // namespace

QString usage()
{
    return QStringLiteral("usage: qora-upgrader-cli [--address A] [--json] [--quiet] --upgrade sw,ant,pic [--force] | "
                          "--station sw,ant,pic [--report FILE] [--count N] | --status | --restore VERSION | --factory-defaults | --reset | --terminal-version | "
                          "--download-log | --list-backups | --version | --help");
}

QString helpText()
{
    // Each code with its meaning, wrapped to the width of the text around it.
    QString codes;
    for (const FailureCode& c : failureCodes()) {
        QString line = QStringLiteral("  %1").arg(QLatin1String(c.name), -21);
        for (const QString& word : QString::fromLatin1(c.meaning).split(QLatin1Char(' '))) {
            if (line.size() + word.size() > 76) {
                codes += line + QLatin1Char('\n');
                line = QString(23, QLatin1Char(' '));
            }
            line += (line.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ")) + word;
        }
        codes += line + QLatin1Char('\n');
    }
    return usage() + QStringLiteral(R"(

Runs one action of the QORA upgrader without a person at the window, in the
current folder as the upgrader's home folder (the folder of the release
package), and answers its questions by policy: confirmations Yes (the
question whether to flash a PIC when the battery cannot be told: No),
messages OK, the restore window with the version given.

Actions (exactly one):
  --upgrade ITEMS      install the chosen items of the package, in the fixed
                       order software, antenna, PIC; ITEMS is a comma list of
                       sw, ant and pic (any subset); an item the terminal
                       already runs in the package's version is skipped
  --force              (with --upgrade) install such items all the same
  --station ITEMS      upgrade one terminal after another at one address,
                       each as --upgrade ITEMS does: wait until a terminal
                       answers, identify it, upgrade what is not current,
                       add its record to the report, then wait until it is
                       disconnected; Ctrl+C between terminals ends the run
  --report FILE        (with --station) the report, one CSV line per
                       terminal (default: station-report.csv in the folder)
  --count N            (with --station) end after N terminals
  --status             compare the terminal with the package without changing
                       anything: per item the terminal's version, the
                       package's, and whether an upgrade would run or why not
  --restore VERSION    put back a version saved in the Backup folder by an
                       earlier upgrade (5.7.1.12 or 5_7_1_12)
  --factory-defaults   restore the terminal's factory defaults and reset it
  --reset              reset the terminal and read its version again
  --terminal-version   read the terminal's versions: software (or its Boot
                       ROM), antenna, PIC; with --quiet the software's alone
  --download-log       fetch the terminal's system log into Backup/sylog.log;
                       an earlier one there is kept as sylog_<date>_<time>.log
  --list-backups       list the versions --restore accepts (the terminal is
                       not contacted)
  --version            print this tool's version
  --help               this text
--upgrade, --station and --status need a release package in the folder.

Options (--opt=value works as --opt value):
  --address A          the terminal's address when it is not the default one
  --json               end with one JSON object: action, items with their
                       versions, backup, warnings, outcome, code, reason,
                       advice, log, duration (--station: one per terminal,
                       and one for the whole run)
  --quiet              print only the outcome (--station: and its own lines)

Output: status lines, message boxes and progress on standard output as they
happen; usage errors and failures on standard error. An upgrade is judged by
what the terminal runs afterwards: the software version read back, the
antenna and PIC versions it reports; other boxes seen on the way are
warnings. The outcome names the backup made (or why there is none), the
file downloaded and the log file. A failure names its cause: the text of the
box that stopped the action, a code, and what to do.

Failure codes (the outcome's "code"):
)") + codes + QStringLiteral(R"(
Exit status: 0 success (--status: every item with a file is current);
1 failure (--status: an upgrade is due); 2 bad usage or bad settings
(nothing is sent to the terminal); 3 refused before the terminal was
contacted (no package, two packages, another upgrader in the folder);
4 --status could not compare (the terminal's versions were not read);
130 or 143 stopped by SIGINT (Ctrl+C) or SIGTERM: the upgrader closes as at
File > Exit, a partial download is removed and the log closed. While the
terminal is at work (its stack halted, an upload, an antenna flash, a PIC
upgrade) the first signal says what it is doing, and the run goes on until
it is safe to stop; a second signal ends it at once.
--station: 0 when no terminal failed, 1 when one did, also when Ctrl+C
ended it between terminals; a signal while a terminal is upgraded ends it
as above (130 or 143); 3 when the folder refuses every terminal (no
package, two packages, another upgrader in it).

Settings: the QORA_* environment variables apply as for the window
(QORA_DEFAULT_TERMINAL_IP, QORA_ZING_PORT, QORA_FTP_PORT, QORA_TELNET_PORT,
QORA_TIME_SCALE, QORA_LOOPBACK_ONLY); a value that cannot be used is refused.
)");
}

bool needsPackage(Action action)
{
    return action == Action::Upgrade || action == Action::Status || action == Action::Station;
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

    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        QString a = args.at(i);
        // --opt=value as well as --opt value.
        std::optional<QString> attached;
        if (const qsizetype eq = a.indexOf(QLatin1Char('=')); a.startsWith(QLatin1String("--")) && eq > 2) {
            attached = a.mid(eq + 1);
            a.truncate(eq);
        }
        auto valueOf = [&]() -> std::optional<QString> {
            if (attached && !attached->isEmpty())
                return attached;
            if (attached || i + 1 >= args.size() || args.at(i + 1).startsWith(QLatin1String("--"))) {
                o.error = a + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            return args.at(++i);
        };
        auto noValue = [&] {
            if (attached)
                o.error = a + QStringLiteral(" takes no value");
            return !attached;
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.action = Action::Help;
            o.error.clear();
            return o;
        }
        const auto plain = std::find_if(std::begin(kPlainActions), std::end(kPlainActions),
                                        [&](const Flag& f) { return a == QLatin1String(f.name); });
        if (plain != std::end(kPlainActions)) {
            if (noValue())
                setAction(plain->action);
        } else if (a == QLatin1String("--json")) {
            o.json = noValue();
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = noValue();
        } else if (a == QLatin1String("--force")) {
            o.force = noValue();
        } else if (a == QLatin1String("--address")) {
            const auto v = valueOf();
            if (v && !Settings::parseIPv4(*v, nullptr))
                o.error = QStringLiteral("'") + *v + QStringLiteral("' is not an address like 192.168.128.100");
            else if (v)
                o.address = *v;
        } else if (a == QLatin1String("--upgrade") || a == QLatin1String("--station")) {
            const auto v = valueOf();
            if (!v || !setAction(a == QLatin1String("--upgrade") ? Action::Upgrade : Action::Station))
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
        } else if (a == QLatin1String("--report")) {
            if (const auto v = valueOf())
                o.reportFile = *v;
        } else if (a == QLatin1String("--count")) {
            const auto v = valueOf();
            bool number = false;
            o.count = v ? v->toInt(&number) : 0;
            if (v && (!number || o.count < 1))
                o.error = QStringLiteral("--count needs a number of terminals (1 or more), not '") + *v + QStringLiteral("'");
        } else if (a == QLatin1String("--restore")) {
            const auto v = valueOf();
            if (!v || !setAction(Action::Restore))
                continue;
            if (!isVersion(*v))
                o.error = QStringLiteral("'") + *v + QStringLiteral("' is not a version");
            else
                o.restoreVersion = QString(*v).replace(QLatin1Char('.'), QLatin1Char('_'));
        } else {
            o.error = QStringLiteral("unknown argument '") + args.at(i) + QStringLiteral("'");
        }
    }
    if (o.error.isEmpty() && o.action == Action::None)
        o.error = QStringLiteral("no action given");
    if (o.error.isEmpty() && o.force && o.action != Action::Upgrade)
        o.error = QStringLiteral("--force goes with --upgrade only");
    if (o.error.isEmpty() && (!o.reportFile.isEmpty() || o.count > 0) && o.action != Action::Station)
        o.error = QStringLiteral("--report and --count go with --station only");
    return o;
}

}  // namespace cli
