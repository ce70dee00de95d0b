#pragma once

// Plain data of the terminal simulator: what the terminal is (Model), what
// goes wrong on purpose (Faults), how it is started (Config), and what it
// received (Record). All of it is copied in and out of the simulator under a
// lock, so tests may change it at any time from any thread.

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QMetaType>
#include <QString>

#include <optional>

namespace qsim {

// How the application reports its version (the three shapes the upgrader reads).
enum class AppStyle {
    Old,         // "5.6.0.3 (rel), 03/14/2008 fpga 12"
    NewNumeric,  // "AppSW: ..., AppCompatLevel: ..., BROMCompatLevel: <n>, PIC:, FPGA:"
    NewUnknown,  // the same with "BROMCompatLevel: UNKNOWN"
};

// How the Boot ROM reports itself.
enum class BootRomStyle {
    Old,  // a text holding "BOOTROM"
    New,  // "BROMCompatLevel: <n>" with PIC and FPGA lines, no "AppSW:"
};

// What pic_data_show reports.
enum class Battery {
    Absent,      // BATT_PRESENT=0
    Present,     // BATT_PRESENT=1
    Unknown,     // "PIC Data Array" without any BATT_PRESENT line
    PollFailed,  // "pic_poll_data: failed"
};

// What pic_driver_reflash does.
enum class ReflashOutcome {
    Success,
    Fail,          // the reporting platforms print a line holding "FAIL"
    RecoveryMode,  // "Recovery Mode" first, then success once an empty line came
};

// The shell's greeting.
enum class ShellLogin {
    VxWorks,  // "VxWorks login:"
    Bsp2A,    // "[BSP 2A]" banner and "Username:"
    Bsp2C,    // "[BSP 2C]" banner and "Username:"
    None,     // straight to the "->" prompt
};

enum class Service { Zing, Ftp, Telnet };

enum class Mode {
    Off,          // powered off; only powerOn() brings it back
    Restarting,   // silent until the restart time has passed
    BootRom,      // answering at the default address
    Application,  // answering at the application address
};

QString serviceName(Service s);
QString modeName(Mode m);

// The terminal. Durations are terminal milliseconds: the simulator multiplies
// them by Config::timeScale.
struct Model {
    AppStyle appStyle = AppStyle::NewNumeric;
    BootRomStyle bootRomStyle = BootRomStyle::New;
    int bootRomCompatLevel = 2;  // reported after "BROMCompatLevel:"
    int appCompatLevel = 2;      // reported after "AppCompatLevel:"
    QString bootRomVersion = QStringLiteral("1.3.0");
    QString releaseDate = QStringLiteral("06/15/2012");  // mm/dd/yyyy
    QString pic = QStringLiteral("3.02");
    QString fpga = QStringLiteral("1.1");

    // Release information and antenna information.
    bool releaseInfoHasAntenna = true;
    QString antennaClass = QStringLiteral("11");  // CLASS:
    QString ahv = QStringLiteral("02409");         // AHV:
    QString atb = QStringLiteral("1.4");           // ATB:
    QString hpa = QStringLiteral("1.2");           // HPA:
    QString asn = QStringLiteral("A1B2C3D4");      // ASN:
    QString ahw = QStringLiteral("2.0");           // AHW:

    // Dotted version whose first digits name the hardware platform; empty:
    // the version of the last application that booted (or of the first
    // executable in tffs0/bin when none has booted yet).
    QString platformVersion;

    Battery battery = Battery::Absent;
    ReflashOutcome reflash = ReflashOutcome::Success;
    int recoveryPrompts = 1;   // "Recovery Mode" lines before the reflash goes on
    // PIC version after a good reflash; empty: the version tag of
    // /tffs0/pic.s19 (see imageVersion), else unchanged.
    QString picAfterReflash;

    // Login of the application's and of the Boot ROM's shell.
    ShellLogin appShellLogin = ShellLogin::VxWorks;
    ShellLogin bootRomShellLogin = ShellLogin::VxWorks;
    bool shellEcho = true;  // the shell echoes each line it received
    // With shellEcho, the password line is echoed too (a shell whose echo stays on).
    bool shellEchoesPassword = false;
    // Bytes the shell sends before its login or shell prompt (a banner).
    QByteArray shellBanner;

    // UPGRADE_ANT_FW: the confirmation's status and text; 0, 1 and 2 are
    // accepted and the terminal restarts after the confirmation.
    int antennaUpgradeStatus = 0;
    QString antennaUpgradeText = QStringLiteral("Antenna upgrade started");
    // ATB and HPA versions after an accepted upgrade; empty: the version tag
    // of atb.sxm (iac.sxm first) and hpa.sxm in /tffs0, else unchanged.
    QString atbAfterUpgrade;
    QString hpaAfterUpgrade;

    // RESTORE_FACTORY_DEFAULTS: the upgrader resets the terminal itself
    // five seconds after the confirmation; set this to restart on its own too.
    bool factoryDefaultsRestarts = false;

    // An executable smaller than this does not boot (a truncated upload).
    qint64 minExecutableBytes = 1;

    int restartMs = 20000;       // silent time of every restart
    int antennaFlashMs = 30000;  // UPGRADE_ANT_FW request to its confirmation
    int reflashMs = 10000;       // pic_driver_reflash 1 to its end
    int autoPowerOnMs = -1;      // after a power-off by the reflash; -1: stay off
};

// Per service: how it misbehaves.
enum class ServiceMode {
    Normal,
    Refuse,  // nothing listens: connections are refused
    Silent,  // accepts and reads, never writes
    Late,    // every answer is delayed by delayMs
};

struct ServiceFault {
    ServiceMode mode = ServiceMode::Normal;
    int delayMs = 0;  // for Late
};

// What happens to one ZING request code. Faults change the bytes on the
// wire; what the terminal does (restart, antenna flash) follows the Model.
struct ZingFault {
    enum class Kind {
        NoAnswer,  // read and recorded, never answered (RESET_CMD: not acted on)
        Status,    // normal answer with the 32-bit field at offset 8 replaced
        Truncate,  // only the first `length` bytes of the normal answer
        Raw,       // these bytes instead of the answer
        Close,     // the connection is closed instead of answering
    };
    Kind kind = Kind::NoAnswer;
    qint32 status = 0;
    int length = 0;
    QByteArray raw;

    static ZingFault noAnswer() { return {}; }
    static ZingFault withStatus(qint32 s) { ZingFault f; f.kind = Kind::Status; f.status = s; return f; }
    static ZingFault truncated(int n) { ZingFault f; f.kind = Kind::Truncate; f.length = n; return f; }
    static ZingFault rawBytes(const QByteArray& b) { ZingFault f; f.kind = Kind::Raw; f.raw = b; return f; }
    static ZingFault close() { ZingFault f; f.kind = Kind::Close; return f; }
};

// Everything that can go wrong on purpose. Set with Terminal::setFaults();
// the change applies to the next connection, command or answer.
struct Faults {
    ServiceFault zing, ftp, telnet;

    QMap<quint32, ZingFault> zingByCode;  // by request code (4 = VERSION_CMD, ...)

    bool ftpRefuseLogin = false;    // PASS answered 530
    QString ftpFail550File;         // file name (last path part) answered 550 by RETR/STOR/DELE/SIZE
    int ftpFailFileRetr = 550;      // what RETR of that file answers instead (426: the transfer aborted)
    QString ftpFail550Command;      // command answered 550 whatever its argument
    qint64 ftpResetAfterBytes = -1; // RETR/STOR: both connections reset after this many bytes; -1 off
    QString ftpResetFile;           // limit the reset to this file name; empty: any transfer
    QString ftpWithholdReplyFor;    // command whose final reply is never sent (transfers: the 226)
    // STOR: the flash keeps only this many bytes of the upload, yet the
    // transfer is answered 226 as a whole (a flash that filled up unnoticed); -1 off.
    qint64 ftpTruncateUploadTo = -1;
    QString ftpTruncateFile;        // limit the truncation to this file name; empty: any upload
    // RETR: only this many bytes are sent, and the transfer is answered 226
    // all the same (a stream that ended early); -1 off. Limited by ftpTruncateFile.
    qint64 ftpShortDownloadTo = -1;
    bool ftpMultiLineReplies = false;  // greeting and login answered with multi-line replies

    int telnetSplitBytes = 0;    // shell output written in pieces of this size; 0: whole
    int telnetSplitGapMs = 30;   // pause between the pieces (real time, not scaled)
    bool telnetSessionLimit = false;  // even the first session gets "Sorry, session limit reached."
    QString telnetFailCommand;   // a shell command of this name does nothing and returns -1
    // A shell command of this name answers with endless data lines instead,
    // never with its value or a prompt (a shell stuck printing).
    QString telnetEndlessAfter;
    // pic_data_show prints these bytes instead of the model's text, then its value.
    std::optional<QByteArray> picDataShowText;
    // Every shell still reads and records lines but neither writes nor acts
    // on them any more (a dead shell). Set by a SilenceShell cut; kept until
    // faults are set again without it.
    bool telnetSilenced = false;

    // NLST answers these bytes instead of the folder's names (unset: the folder).
    std::optional<QByteArray> ftpNameListing;

    // The line to the terminal cut at one received item, for tests that stop
    // an operation at every step. The item is recorded, then the terminal is
    // cut off before it acts on it; Status::cuts counts the cuts made.
    struct Cut {
        enum class Action {
            None,
            PowerOff,    // as power-off(): connections fall silent, the terminal stays off
            ResetLinks,  // every open connection is reset (RST); the terminal stays up
            // Only the shells: the other services, and a ZING or FTP item
            // at atSeq, go on as if nothing happened.
            CloseShell,    // every open telnet session is closed (FIN), its pending output dropped
            SilenceShell,  // sets telnetSilenced: every shell, now or later, goes dead
        };
        Action action = Action::None;
        quint64 atSeq = 0;       // Record::seq of the item
        // RETR, STOR, NLST or LIST at atSeq: cut after this many bytes of its
        // data instead of at the command; -1: at the command.
        qint64 afterBytes = -1;
    } cut;
};

struct Config {
    QString flashDir;
    QHostAddress appAddress{QStringLiteral("127.0.0.2")};
    QHostAddress defaultAddress{QStringLiteral("127.0.0.1")};
    quint16 zingPort = 0;  // 0: a free port, the same on both addresses
    quint16 ftpPort = 0;
    quint16 telnetPort = 0;
    double timeScale = timeScaleFromEnvironment();
    int startDelayMs = 0;  // power-on time of the first boot (terminal ms)

    // QORA_TIME_SCALE, or 1 when unset or not a positive number.
    static double timeScaleFromEnvironment();
};

// One item the terminal received.
struct Record {
    quint64 seq = 0;    // 1, 2, 3... over all services
    qint64 atMs = 0;    // since the simulator started
    Service service = Service::Zing;
    int connection = 0; // per service, counted from 1
    QString address;    // the terminal address the connection came in on
    QByteArray raw;     // bytes as received (ZING: the whole request)
    quint32 zingCode = 0;
    QString command;    // FTP: upper-case command
    QString argument;   // FTP: the rest of the line, unchanged
    QString line;       // telnet: the line without its end; FTP: the whole line
    QString note;       // anomalies: "short", "oversized", "unknown code", ...
};

struct Status {
    Mode mode = Mode::Off;
    QString version;      // dotted version of the running application; empty otherwise
    QString address;      // address answering now; empty while off or restarting
    int resetCount = 0;   // restarts since start (not the first boot)
    int bootCount = 0;    // boots since start (the first one included)
    int platform = 14;    // platform number of the hardware
    int cuts = 0;         // cuts made by Faults::cut
};

}  // namespace qsim

Q_DECLARE_METATYPE(qsim::Record)
