#include "app/CliCauses.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace cli {

namespace {

constexpr FailureCode kCodes[] = {
    {"usage", "the command line cannot be used", "see --help", BadUsage},
    {"settings", "a QORA_* setting cannot be used", "correct or unset the variable named", BadUsage},
    {"no-backup", "--restore names a version that is not in Backup/", "--list-backups lists the versions there",
     BadUsage},
    {"locked", "another upgrader (window or front end) is running in this folder",
     "let the other one finish, then run again", NothingSent},
    {"no-package", "no qorax_*.bin in the folder", "run the front end in the folder of the release package",
     NothingSent},
    {"two-packages", "more than one qorax_*.bin in the folder", "keep exactly one package in the folder", NothingSent},
    {"bad-package", "the package's name or content cannot be used", "copy the release package again", NothingSent},
    {"unreachable", "the terminal does not answer",
     "check the cable, the power and this PC's address (ping the terminal); name a terminal at another address with "
     "--address; --terminal-version shows when it answers",
     Failure},
    {"connection-lost", "the terminal stopped answering in the middle of the action",
     "check the cable and the power; once --terminal-version answers, run the action again (an upgrade that had "
     "begun: --reset first)",
     Failure},
    {"bad-version", "the terminal answered with a version that cannot be read",
     "--reset, then run again; send the log if it stays", Failure},
    {"ftp-login", "the terminal refused the file-transfer login",
     "check that --address names the terminal and not another device; power-cycle the terminal and run again",
     Failure},
    {"ftp-refused", "the terminal refused a file operation", "run again; send the log if it repeats", Failure},
    {"upload-incomplete", "an upload reached the terminal only in part; it still runs its previous software",
     "run the upgrade again", Failure},
    {"local-file", "a file on this PC could not be read or written; the terminal was not changed",
     "free disk space or fix the folder's permissions, then run again", Failure},
    {"backup-failed", "the running software could not be copied to Backup/; the terminal was not changed",
     "check the connection and the free disk space, then run again", Failure},
    {"backup-damaged", "the backup --restore names is not what was saved (it differs from its record)",
     "--list-backups shows which backups are whole; restore another version", NothingSent},
    {"too-old", "the package is older than the terminal's Boot ROM accepts", "get the current release package",
     Failure},
    {"release-series", "the package (or the backup) is of another release series than the terminal runs",
     "use the package of the terminal's series (--status shows both)", Failure},
    {"no-file", "the package has no usable file for an item named in --upgrade",
     "name only the items the package has (--status lists them), or add their files", Failure},
    {"antenna-files", "more than one set of antenna files in the folder, or none usable",
     "keep only the release's antenna files in the folder", Failure},
    {"antenna-class", "the antenna files are for another antenna class",
     "use the antenna files for this terminal's antenna (--status shows its class)", Failure},
    {"antenna-refused", "the terminal refused the antenna firmware", "check the files, then run again", Failure},
    {"antenna-unconfirmed", "the antenna upgrade was not confirmed in time; it may still be flashing",
     "keep the terminal powered for a few minutes, then --terminal-version", Failure},
    {"battery", "a battery is fitted: the PIC cannot be flashed", "remove the battery, then --upgrade pic", Failure},
    {"battery-unknown", "the terminal could not tell whether a battery is fitted; unattended, the PIC is not flashed",
     "make sure no battery is fitted, then run the PIC upgrade in the window, which asks", Failure},
    {"pic-failed", "the PIC upgrade failed", "--upgrade pic again; send the log if it repeats", Failure},
    {"shell", "the terminal's shell could not be used (no answer, another session open, closed)",
     "close any other telnet session to the terminal (power-cycle it when unsure), then --upgrade pic", Failure},
    {"boot-rom", "the terminal runs its Boot ROM",
     "--upgrade sw installs the package's software; after an interrupted PIC upgrade: --upgrade pic", Failure},
    {"not-taken", "an item did not take: the terminal does not report the package's version",
     "run the upgrade again; send the log if it repeats", Failure},
    {"reset-failed", "the terminal did not take the reset", "power-cycle the terminal", Failure},
    {"no-log", "the terminal has no system log at the moment", "run --download-log again later", Failure},
    {"incomplete", "the action did not complete (the upgrader closed, or no end within the front end's time limit)",
     "--terminal-version shows where the terminal stands; send the log", Failure},
    {"interrupted", "stopped by SIGINT (Ctrl+C) or SIGTERM",
     "the outcome is unchecked: read the terminal's versions with --terminal-version", 128 + 2},
    {"fault", "another fault: the box names it", "read the box and the log; send the log if it is not clear",
     Failure},
};

// Looked up in this order: where a box holds two of them, the more telling
// comes first (a time-out before the version it could not get).
struct BoxKind {
    const char* fragment;
    const char* code;
};
constexpr BoxKind kBoxKinds[] = {
    {"Another upgrader is already running in ", "locked"},
    {"Unable to find binary file in: ", "no-package"},
    {"Unable to open the folder: ", "no-package"},
    {"binary files found in ", "two-packages"},
    {"Unable to use binary file ", "bad-package"},
    {"Unable to read binary file ", "bad-package"},
    {"Please use a newer Upgrader version.", "too-old"},
    {"Release Series conflict", "release-series"},
    {"Incorrect Username or Password!", "ftp-login"},
    {"stopped: a file on this PC could not be", "local-file"},
    {"Invalid PIC firmware file ", "local-file"},
    {"software could not be made:", "backup-failed"},
    {" is damaged: ", "backup-damaged"},
    {"was incomplete.", "upload-incomplete"},
    {"An unexpected FTP error occurred", "ftp-refused"},
    {"image file (image.txt) could not be fetched", "ftp-refused"},
    {"Unable to read Satellite IP Modem's software version.", "bad-version"},
    {"FTP timeout.", "connection-lost"},
    {"Unable to get Satellite IP Modem's software version.", "unreachable"},
    {"Cannot connect to", "unreachable"},
    {"Connection Problem.", "connection-lost"},
    {"Connection lost.", "connection-lost"},
    {"Unknown FTP failure.", "connection-lost"},
    {"Check connection before retrying upgrade.", "connection-lost"},
    {"Unable to reset Satellite IP Modem.", "reset-failed"},
    {"Antenna Upgrade failed (Error Code", "antenna-refused"},
    {"did not confirm the Antenna Upgrade.", "antenna-unconfirmed"},
    {"Conflict detected: There is more than one", "antenna-files"},
    {"Antenna Firmware files Unavailable.", "antenna-files"},
    {"Antenna-Type conflict.", "antenna-class"},
    {"Battery detected.", "battery"},
    {"Battery Presence Could NOT", "battery-unknown"},
    {"no other active Telnet session", "shell"},
    {"closed the shell session.", "shell"},
    {"PIC Upgrade failed to connect to: ", "shell"},
    {"Can not send command to upgrade the PIC.", "shell"},
    {"PIC binary", "no-file"},
    {"Unexpected PIC data.", "pic-failed"},
    {"PIC Upgrade", "pic-failed"},
    {"No Restore versions are available.", "no-backup"},
};

const BoxKind* kindOf(const QString& text)
{
    const auto it = std::find_if(std::begin(kBoxKinds), std::end(kBoxKinds),
                                 [&](const BoxKind& k) { return text.contains(QLatin1String(k.fragment)); });
    return it == std::end(kBoxKinds) ? nullptr : it;
}

// The window's own instructions: its menus, its buttons, restarting it.
bool isWindowInstruction(const QString& sentence)
{
    static const char* const kMarks[] = {"Tools",          "Help menu",          "Click ",
                                         "'OK'",           "will now close",     "restart the Upgrader",
                                         "Restart the Upgrader", "restart Upgrader", "Get Software Version",
                                         "Get Software version", "Get system version"};
    return std::any_of(std::begin(kMarks), std::end(kMarks),
                       [&](const char* m) { return sentence.contains(QLatin1String(m)); });
}

// A line without the window's instructions; sentences in a line are two blanks apart.
QString withoutInstructions(const QString& line)
{
    QStringList kept;
    for (const QString& sentence : line.split(QStringLiteral("  "), Qt::SkipEmptyParts)) {
        if (!isWindowInstruction(sentence))
            kept << sentence.trimmed();
    }
    QString s = kept.join(QLatin1Char(' ')).trimmed();
    if (s.startsWith(QLatin1String("- ")))
        s.remove(0, 2);
    return s;
}

bool isHeading(const QString& paragraph)
{
    return paragraph.endsWith(QLatin1Char(':')) || paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts).size() < 3;
}

}  // namespace

std::span<const FailureCode> failureCodes()
{
    return kCodes;
}

const FailureCode& failureCode(const QString& name)
{
    const auto it = std::find_if(std::begin(kCodes), std::end(kCodes),
                                 [&](const FailureCode& c) { return name == QLatin1String(c.name); });
    return it == std::end(kCodes) ? kCodes[std::size(kCodes) - 1] : *it;
}

QString codeOfBox(const QString& text)
{
    const BoxKind* k = kindOf(text);
    return QLatin1String(k ? k->code : "fault");
}

QString causeOfBox(const QString& text)
{
    QList<QStringList> paragraphs{{}};
    for (const QString& raw : QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) {
            if (!paragraphs.last().isEmpty())
                paragraphs.append(QStringList());
        } else {
            paragraphs.last() << line;
        }
    }
    if (paragraphs.last().isEmpty())
        paragraphs.removeLast();
    if (paragraphs.isEmpty())
        return {};

    QStringList lines = paragraphs.first();
    // "WARNING:" says nothing by itself: what follows it does.
    if (isHeading(lines.join(QLatin1Char(' '))) && paragraphs.size() > 1)
        lines += paragraphs.at(1);
    // The line that tells what kind of failure this is, and the terminal's error code, when further down.
    const BoxKind* k = kindOf(text);
    for (qsizetype p = 1; p < paragraphs.size(); ++p) {
        for (const QString& line : paragraphs.at(p)) {
            const bool telling = (k && line.contains(QLatin1String(k->fragment))) ||
                                 line.startsWith(QLatin1String("Error Code"));
            if (telling && !lines.contains(line))
                lines << line;
        }
    }
    QStringList cause;
    for (const QString& line : lines) {
        const QString kept = withoutInstructions(line);
        if (!kept.isEmpty())
            cause << kept;
    }
    return cause.join(QLatin1Char(' ')).replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

}  // namespace cli
