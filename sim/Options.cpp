#include "Options.h"

#include <QCommandLineParser>

namespace qsim {

namespace {

struct Opt {
    const char* name;
    const char* value;  // nullptr: a switch
    const char* help;
};

// One table: the parser, --help and the checks below all come from it.
const Opt kOptions[] = {
    {"flash", "DIR", "Flash folder (tffs0/, ram0/); created when missing, seeded when empty. Default: qora-sim-flash"},
    {"app-address", "A", "Address the application answers at (127.x.x.x only). Default: 127.0.0.2"},
    {"default-address", "A", "Address the Boot ROM answers at (127.x.x.x only). Default: 127.0.0.1"},
    {"zing-port", "N", "ZING port; 0 picks a free one. Default: 0"},
    {"ftp-port", "N", "FTP port; 0 picks a free one. Default: 0"},
    {"telnet-port", "N", "Telnet port; 0 picks a free one. Default: 0"},
    {"time-scale", "F", "Multiplies every terminal time below. Default: QORA_TIME_SCALE or 1"},
    {"seed-version", "V", "Application version put on an empty flash folder. Default: 5.7.1.12"},
    {"restart-ms", "N", "Silent time of every restart. Default: 20000"},
    {"start-delay-ms", "N", "Time before the first boot. Default: 0"},
    {"antenna-flash-ms", "N", "UPGRADE_ANT_FW request to its confirmation. Default: 30000"},
    {"reflash-ms", "N", "Duration of pic_driver_reflash 1. Default: 10000"},
    {"auto-power-on-ms", "N", "Power on again this long after the reflash powered off (7120, 7130); -1 stays off. Default: 5000"},
    {"app-style", "S", "Application version text: old, new (numeric Boot ROM level) or unknown (level UNKNOWN). Default: new"},
    {"bootrom-style", "S", "Boot ROM version text: old (\"BOOTROM\") or new (numeric level). Default: new"},
    {"brom-level", "N", "Boot ROM compatibility level reported. Default: 2"},
    {"app-level", "N", "AppCompatLevel reported. Default: 2"},
    {"bootrom-version", "V", "Boot ROM version in its text. Default: 1.3.0"},
    {"release-date", "D", "Release date, mm/dd/yyyy. Default: 06/15/2012"},
    {"pic", "V", "PIC version. Default: 3.02"},
    {"fpga", "V", "FPGA version. Default: 1.1"},
    {"pic-after-reflash", "V", "PIC version after a good reflash. Default: the version tag of the flashed pic.s19, else unchanged"},
    {"antenna-class", "S", "CLASS: value of the antenna lines. Default: 11"},
    {"ahv", "S", "AHV: value. Default: 02409"},
    {"atb", "S", "ATB: value. Default: 1.4"},
    {"hpa", "S", "HPA: value. Default: 1.2"},
    {"asn", "S", "ASN: value. Default: A1B2C3D4"},
    {"ahw", "S", "AHW: value. Default: 2.0"},
    {"no-antenna-info", nullptr, "Release information without the antenna lines"},
    {"atb-after-upgrade", "V", "ATB: value after an accepted antenna upgrade. Default: the version tag of the flashed atb.sxm or iac.sxm, else unchanged"},
    {"hpa-after-upgrade", "V", "HPA: value after an accepted antenna upgrade. Default: the version tag of the flashed hpa.sxm, else unchanged"},
    {"antenna-status", "N", "Status of UPGRADE_ANT_FW_CNF; 0, 1, 2 accept and restart. Default: 0"},
    {"antenna-text", "T", "Text of UPGRADE_ANT_FW_CNF. Default: Antenna upgrade started"},
    {"platform-version", "V", "Version whose first digits give the platform. Default: that of the running application"},
    {"battery", "S", "pic_data_show: absent, present, unknown or poll-failed. Default: absent"},
    {"reflash", "S", "pic_driver_reflash 1: ok, fail or recovery. Default: ok"},
    {"recovery-prompts", "N", "\"Recovery Mode\" lines before the reflash goes on. Default: 1"},
    {"shell-login", "S", "Application shell greeting: vxworks, bsp2a, bsp2c or none. Default: vxworks"},
    {"bootrom-shell-login", "S", "Boot ROM shell greeting, as --shell-login. Default: vxworks"},
    {"no-echo", nullptr, "The shell does not echo the lines it receives"},
    {"factory-defaults-restart", nullptr, "Restart on its own after RESTORE_FACTORY_DEFAULTS"},
    {"min-executable-bytes", "N", "Smaller executables do not boot. Default: 1"},
    {"zing-fault", "F", "ZING service: refuse, silent or late:MS"},
    {"ftp-fault", "F", "FTP service: refuse, silent or late:MS"},
    {"telnet-fault", "F", "Telnet service: refuse, silent or late:MS"},
    {"zing-ignore", "CODE", "Leave this request code unanswered (RESET_CMD: not acted on); repeatable"},
    {"zing-status", "CODE=S", "Answer this code with S in the field at offset 8; repeatable"},
    {"zing-truncate", "CODE=N", "Answer this code with only the first N bytes; repeatable"},
    {"zing-raw", "CODE=HEX", "Answer this code with these bytes; repeatable"},
    {"zing-close", "CODE", "Close the connection instead of answering this code; repeatable"},
    {"ftp-refuse-login", nullptr, "Answer PASS with 530"},
    {"ftp-550-file", "NAME", "Answer 550 to RETR, STOR, DELE and SIZE of this file name"},
    {"ftp-550-command", "CMD", "Answer 550 to this command"},
    {"ftp-reset-after", "N[:FILE]", "Reset data and control connection after N bytes of a transfer (of FILE only)"},
    {"ftp-truncate-upload", "N[:FILE]", "Keep only N bytes of an upload (of FILE only), still answered 226"},
    {"ftp-withhold", "CMD", "Never send the final reply to this command"},
    {"ftp-multiline", nullptr, "Greeting and login answered with multi-line replies"},
    {"telnet-split", "N[:MS]", "Write shell output in pieces of N bytes, MS apart (default 30)"},
    {"telnet-session-limit", nullptr, "Even the first telnet session gets \"Sorry, session limit reached.\""},
    {"telnet-endless", "CMD", "This shell command prints data lines without end, never its value or a prompt"},
    {"pic-data-text", "TEXT", "pic_data_show prints TEXT (\\r and \\n: CR and LF) instead, then its value"},
    {"stdio-shell", "PORT", "Start no terminal: serve on standard input and output the shell of the simulator whose telnet "
                            "service listens on PORT (at --app-address, else --default-address), as the login program of "
                            "a real telnet server; that simulator's echo off (--no-echo), for the pty echoes"},
};

bool toInt(const QString& text, int* out, int min = INT_MIN, int max = INT_MAX)
{
    bool ok = false;
    const int v = text.toInt(&ok, 0);  // 0x.. or decimal
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool loopback(const QString& text, QHostAddress* out)
{
    const QHostAddress a(text);
    if (a.protocol() != QAbstractSocket::IPv4Protocol || !a.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8))
        return false;
    *out = a;
    return true;
}

bool serviceFault(const QString& text, ServiceFault* out)
{
    if (text == QLatin1String("refuse")) {
        out->mode = ServiceMode::Refuse;
    } else if (text == QLatin1String("silent")) {
        out->mode = ServiceMode::Silent;
    } else if (text.startsWith(QLatin1String("late:"))) {
        out->mode = ServiceMode::Late;
        return toInt(text.mid(5), &out->delayMs, 0);
    } else {
        return false;
    }
    return true;
}

template <typename E>
bool oneOf(const QString& text, std::initializer_list<std::pair<const char*, E>> table, E* out)
{
    for (const auto& [name, value] : table) {
        if (text == QLatin1String(name)) {
            *out = value;
            return true;
        }
    }
    return false;
}

bool codeAndValue(const QString& text, quint32* code, QString* value)
{
    const int eq = text.indexOf(QLatin1Char('='));
    int c = 0;
    if (eq <= 0 || !toInt(text.left(eq), &c, 0, 0xFFFF))
        return false;
    *code = quint32(c);
    *value = text.mid(eq + 1);
    return true;
}

// Qt's own help layout drops a word that ends exactly at its wrap column
// (a default value went missing), so the help text is laid out here.
QString helpText(const QString& program)
{
    constexpr int kNameColumn = 32;
    constexpr int kWidth = 80;
    QString out = QStringLiteral("Usage: %1 [options]\n").arg(program) +
                  QStringLiteral("Simulated terminal: ZING, FTP and telnet services over a flash folder, on\n"
                                 "loopback addresses only. Prints its ports on one line, then one line per\n"
                                 "event it serves. Times are terminal milliseconds, multiplied by the time\n"
                                 "scale. After a flash the antenna and the PIC report the version that the\n"
                                 "flashed image carries in a \"version=V\" tag (an S-record file: in its S0\n"
                                 "header).\n\nOptions:\n");
    const QString indent(kNameColumn, QLatin1Char(' '));
    const auto entry = [&](const QString& names, const QString& help) {
        QString line = QStringLiteral("  ") + names;
        if (line.size() < kNameColumn) {
            line = line.leftJustified(kNameColumn, QLatin1Char(' '));
        } else {
            out += line + QLatin1Char('\n');
            line = indent;
        }
        bool empty = true;  // no word on this line yet
        for (const QString& word : help.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!empty && line.size() + 1 + word.size() > kWidth) {
                out += line + QLatin1Char('\n');
                line = indent;
                empty = true;
            }
            if (!empty)
                line += QLatin1Char(' ');
            line += word;
            empty = false;
        }
        out += line + QLatin1Char('\n');
    };
    entry(QStringLiteral("-h, --help"), QStringLiteral("Show this help."));
    for (const Opt& o : kOptions) {
        QString names = QStringLiteral("--") + QString::fromLatin1(o.name);
        if (o.value)
            names += QStringLiteral(" <%1>").arg(QString::fromLatin1(o.value));
        entry(names, QString::fromLatin1(o.help));
    }
    return out;
}

}  // namespace

ParseResult parseOptions(const QStringList& args, ProgramOptions* out, QString* message)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    for (const Opt& o : kOptions) {
        if (o.value)
            parser.addOption(QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help), QString::fromLatin1(o.value)));
        else
            parser.addOption(QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help)));
    }
    if (!parser.parse(args)) {
        *message = parser.errorText();
        return ParseResult::Error;
    }
    if (parser.isSet(help)) {
        *message = helpText(args.value(0, QStringLiteral("qora-terminal-sim")));
        return ParseResult::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *message = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return ParseResult::Error;
    }

    ProgramOptions o;
    o.config.flashDir = QStringLiteral("qora-sim-flash");
    o.model.autoPowerOnMs = 5000;
    QString bad;
    const auto has = [&](const char* n) { return parser.isSet(QString::fromLatin1(n)); };
    const auto val = [&](const char* n) { return parser.value(QString::fromLatin1(n)); };
    const auto vals = [&](const char* n) { return parser.values(QString::fromLatin1(n)); };
    const auto text = [&](const char* n, QString* target) {
        if (has(n))
            *target = val(n);
    };
    const auto number = [&](const char* n, int* target, int min, int max) {
        if (has(n) && !toInt(val(n), target, min, max) && bad.isEmpty())
            bad = QStringLiteral("--%1: not a number in %2..%3: %4").arg(QLatin1String(n)).arg(min).arg(max).arg(val(n));
    };
    const auto port = [&](const char* n, quint16* target) {
        int p = *target;
        number(n, &p, 0, 65535);
        *target = quint16(p);
    };
    const auto invalid = [&](const char* n) {
        if (bad.isEmpty())
            bad = QStringLiteral("--%1: invalid value: %2").arg(QLatin1String(n), val(n));
    };

    text("flash", &o.config.flashDir);
    if (has("stdio-shell")) {
        int p = 0;
        number("stdio-shell", &p, 1, 65535);
        o.stdioShellPort = p;
    }
    for (const auto& [name, target] : {std::pair{"app-address", &o.config.appAddress},
                                       std::pair{"default-address", &o.config.defaultAddress}}) {
        if (has(name) && !loopback(val(name), target) && bad.isEmpty())
            bad = QStringLiteral("refusing --%1 %2: only loopback addresses (127.x.x.x) may be used")
                      .arg(QLatin1String(name), val(name));
    }
    port("zing-port", &o.config.zingPort);
    port("ftp-port", &o.config.ftpPort);
    port("telnet-port", &o.config.telnetPort);
    if (has("time-scale")) {
        bool ok = false;
        o.config.timeScale = val("time-scale").toDouble(&ok);
        if (!ok || o.config.timeScale <= 0)
            invalid("time-scale");
    }
    text("seed-version", &o.seedVersion);
    number("restart-ms", &o.model.restartMs, 0, INT_MAX);
    number("start-delay-ms", &o.config.startDelayMs, 0, INT_MAX);
    number("antenna-flash-ms", &o.model.antennaFlashMs, 0, INT_MAX);
    number("reflash-ms", &o.model.reflashMs, 0, INT_MAX);
    number("auto-power-on-ms", &o.model.autoPowerOnMs, -1, INT_MAX);
    if (has("app-style")
        && !oneOf<AppStyle>(val("app-style"), {{"old", AppStyle::Old}, {"new", AppStyle::NewNumeric}, {"unknown", AppStyle::NewUnknown}},
                            &o.model.appStyle))
        invalid("app-style");
    if (has("bootrom-style")
        && !oneOf<BootRomStyle>(val("bootrom-style"), {{"old", BootRomStyle::Old}, {"new", BootRomStyle::New}}, &o.model.bootRomStyle))
        invalid("bootrom-style");
    number("brom-level", &o.model.bootRomCompatLevel, INT_MIN, INT_MAX);
    number("app-level", &o.model.appCompatLevel, INT_MIN, INT_MAX);
    text("bootrom-version", &o.model.bootRomVersion);
    text("release-date", &o.model.releaseDate);
    text("pic", &o.model.pic);
    text("fpga", &o.model.fpga);
    text("pic-after-reflash", &o.model.picAfterReflash);
    text("antenna-class", &o.model.antennaClass);
    text("ahv", &o.model.ahv);
    text("atb", &o.model.atb);
    text("hpa", &o.model.hpa);
    text("asn", &o.model.asn);
    text("ahw", &o.model.ahw);
    if (has("no-antenna-info"))
        o.model.releaseInfoHasAntenna = false;
    text("atb-after-upgrade", &o.model.atbAfterUpgrade);
    text("hpa-after-upgrade", &o.model.hpaAfterUpgrade);
    number("antenna-status", &o.model.antennaUpgradeStatus, INT_MIN, INT_MAX);
    text("antenna-text", &o.model.antennaUpgradeText);
    text("platform-version", &o.model.platformVersion);
    if (has("battery")
        && !oneOf<Battery>(val("battery"), {{"absent", Battery::Absent}, {"present", Battery::Present},
                                             {"unknown", Battery::Unknown}, {"poll-failed", Battery::PollFailed}},
                           &o.model.battery))
        invalid("battery");
    if (has("reflash")
        && !oneOf<ReflashOutcome>(val("reflash"), {{"ok", ReflashOutcome::Success}, {"fail", ReflashOutcome::Fail},
                                                    {"recovery", ReflashOutcome::RecoveryMode}},
                                  &o.model.reflash))
        invalid("reflash");
    number("recovery-prompts", &o.model.recoveryPrompts, 1, 100);
    for (const auto& [name, target] : {std::pair{"shell-login", &o.model.appShellLogin},
                                       std::pair{"bootrom-shell-login", &o.model.bootRomShellLogin}}) {
        if (has(name)
            && !oneOf<ShellLogin>(val(name), {{"vxworks", ShellLogin::VxWorks}, {"bsp2a", ShellLogin::Bsp2A},
                                               {"bsp2c", ShellLogin::Bsp2C}, {"none", ShellLogin::None}},
                                  target))
            invalid(name);
    }
    if (has("no-echo"))
        o.model.shellEcho = false;
    if (has("factory-defaults-restart"))
        o.model.factoryDefaultsRestarts = true;
    if (has("min-executable-bytes")) {
        int n = 0;
        number("min-executable-bytes", &n, 0, INT_MAX);
        o.model.minExecutableBytes = n;
    }

    for (const auto& [name, target] : {std::pair{"zing-fault", &o.faults.zing}, std::pair{"ftp-fault", &o.faults.ftp},
                                       std::pair{"telnet-fault", &o.faults.telnet}}) {
        if (has(name) && !serviceFault(val(name), target))
            invalid(name);
    }
    for (const QString& v : vals("zing-ignore")) {
        int c = 0;
        if (!toInt(v, &c, 0, 0xFFFF) && bad.isEmpty())
            bad = QStringLiteral("--zing-ignore: not a code: %1").arg(v);
        o.faults.zingByCode[quint32(c)] = ZingFault::noAnswer();
    }
    for (const QString& v : vals("zing-close")) {
        int c = 0;
        if (!toInt(v, &c, 0, 0xFFFF) && bad.isEmpty())
            bad = QStringLiteral("--zing-close: not a code: %1").arg(v);
        o.faults.zingByCode[quint32(c)] = ZingFault::close();
    }
    for (const char* name : {"zing-status", "zing-truncate", "zing-raw"}) {
        for (const QString& v : vals(name)) {
            quint32 code = 0;
            QString rest;
            int n = 0;
            const bool isRaw = QLatin1String(name) == QLatin1String("zing-raw");
            if (!codeAndValue(v, &code, &rest) || (!isRaw && !toInt(rest, &n))) {
                if (bad.isEmpty())
                    bad = QStringLiteral("--%1: expected CODE=VALUE: %2").arg(QLatin1String(name), v);
                continue;
            }
            if (QLatin1String(name) == QLatin1String("zing-status"))
                o.faults.zingByCode[code] = ZingFault::withStatus(n);
            else if (QLatin1String(name) == QLatin1String("zing-truncate"))
                o.faults.zingByCode[code] = ZingFault::truncated(n);
            else
                o.faults.zingByCode[code] = ZingFault::rawBytes(QByteArray::fromHex(rest.toLatin1()));
        }
    }
    if (has("ftp-refuse-login"))
        o.faults.ftpRefuseLogin = true;
    text("ftp-550-file", &o.faults.ftpFail550File);
    text("ftp-550-command", &o.faults.ftpFail550Command);
    // "N" or "N:name": a byte count, for the file of that name or for any.
    const auto bytesForFile = [&](const char* n, qint64* bytes, QString* file) {
        if (!has(n))
            return;
        const QString v = val(n);
        const int colon = v.indexOf(QLatin1Char(':'));
        int count = 0;
        if (!toInt(colon < 0 ? v : v.left(colon), &count, 0))
            invalid(n);
        *bytes = count;
        if (colon >= 0)
            *file = v.mid(colon + 1);
    };
    bytesForFile("ftp-reset-after", &o.faults.ftpResetAfterBytes, &o.faults.ftpResetFile);
    bytesForFile("ftp-truncate-upload", &o.faults.ftpTruncateUploadTo, &o.faults.ftpTruncateFile);
    text("ftp-withhold", &o.faults.ftpWithholdReplyFor);
    if (has("ftp-multiline"))
        o.faults.ftpMultiLineReplies = true;
    if (has("telnet-split")) {
        const QStringList parts = val("telnet-split").split(QLatin1Char(':'));
        if (!toInt(parts.value(0), &o.faults.telnetSplitBytes, 1)
            || (parts.size() > 1 && !toInt(parts.value(1), &o.faults.telnetSplitGapMs, 1)) || parts.size() > 2)
            invalid("telnet-split");
    }
    if (has("telnet-session-limit"))
        o.faults.telnetSessionLimit = true;
    text("telnet-endless", &o.faults.telnetEndlessAfter);
    if (has("pic-data-text")) {
        // CR and LF are awkward to put in a command line.
        QString t = val("pic-data-text");
        t.replace(QLatin1String("\\r"), QLatin1String("\r")).replace(QLatin1String("\\n"), QLatin1String("\n"));
        o.faults.picDataShowText = t.toUtf8();
    }

    if (!bad.isEmpty()) {
        *message = bad;
        return ParseResult::Error;
    }
    *out = o;
    return ParseResult::Run;
}

}  // namespace qsim
