#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The PIC firmware upgrade: the local file's version, the terminal's PIC
// version, the shell commands and what the shell's answers say. Pure
// functions; the telnet dialogue in the window applies them.
namespace pic {

// A PIC file smaller than this is not firmware.
inline constexpr qint64 kMinFileBytes = 100;

// The underscored version in a file name "PIC_<version>.s19": after the first
// "_", before the first ".s19" (letter case ignored) of the rest; a name
// without "_" gives the name without its extension.
QString fileVersion(const QString& fileName);

// The PIC version in a version text (the PIC line is followed by the FPGA
// line) or in the release text (the line ends in CR LF); "UNKNOWN" when the
// markers it needs are missing, rather than a piece of another field.
QString terminalVersion(const QString& text, bool fromVersionText);

// The lines the shell is sent, each ended by CR LF.
namespace cmd {
QByteArray userName();
QByteArray password();
QByteArray changeDirectory();    // cd "/tffs0/"
QByteArray batteryQuery();       // pic_data_show
QByteArray showDescriptor();     // copy "image.txt"
QByteArray showBackup();         // copy "uimage.txt"
QByteArray backUpDescriptor();   // mv "image.txt","uimage.txt"
QByteArray replaceDescriptor();  // copy "pic.s19","image.txt"
QByteArray restoreCheck();       // cd "/tffs0/"; copy "uimage.txt"
QByteArray restoreDescriptor();  // mv "uimage.txt", "image.txt"
QByteArray removeDescriptor();   // rm "image.txt"
QByteArray reflash();            // pic_driver_reflash 1
QByteArray reboot();             // pwd;sleep(4);reboot
QByteArray emptyLine();
}  // namespace cmd

// What the shell's output holds. Case-sensitive, anywhere in the text.
bool isLoginPrompt(const QString& text);
bool hasShellPrompt(const QString& text);
bool isSessionLimit(const QString& text);
bool isSuccessValue(const QString& text);  // "value = 0 = 0x0"
bool isFailureValue(const QString& text);  // "value = -1 = 0xffffffff"
bool hasValue(const QString& text);        // any "value = "

// The answer to the last of `commands` commands sent on one line: complete
// once that many value lines have arrived whole (the shell ends each
// command's output with one), so an answer split across reads is not taken
// for a whole one.
struct Answer {
    bool complete = false;
    QString output;  // what the last command printed before its value line
    QString value;   // its value line, "value = 0 = 0x0"
    bool ok() const { return complete && value.startsWith(QLatin1String("value = 0 = 0x0")); }
    bool failed() const { return complete && value.startsWith(QLatin1String("value = -1 = 0xffffffff")); }
};
Answer answerOf(const QString& text, int commands = 1);

enum class Battery { Absent, Present, Unknown, NoVerdict };
// The answer to pic_data_show: a battery reported present anywhere wins, for
// flashing a PIC with a battery fitted may damage the terminal; then absent
// (BATT_PRESENT=0, or a FAIL or ERROR of the query); then data without a verdict.
Battery batteryVerdict(const QString& answer);

// What "copy" showed of a descriptor: missing; a file that names no
// executable, which is what the copy of the PIC file that sends the terminal
// to its Boot ROM is; or one that does (or may: an answer other than success
// or failure), which is never removed or overwritten.
enum class Shown { Missing, PicCopy, Descriptor };
Shown shown(const Answer& a);
QString shownName(Shown s);

// The preparation phase, once image.txt and uimage.txt have been shown.
enum class PrepAction {
    BackUp,          // mv image.txt to uimage.txt, then the PIC copy in its place
    Replace,         // only the PIC copy to write: nothing to keep, or already kept
    AlreadySwapped,  // an earlier attempt swapped it: straight to the restart
    StaleBackup,     // both name an executable: stop, nothing may be overwritten
};
PrepAction prepAction(Shown image, Shown backup);

// The reflash phase, once uimage.txt and image.txt have been shown.
enum class RestoreAction {
    Restore,  // mv uimage.txt to image.txt, over the PIC copy
    Remove,   // no backup: rm the PIC copy
    Nothing,  // image.txt is the terminal's own, or there is nothing at all
};
RestoreAction restoreAction(Shown backup, Shown image);

// The received text of one step of the dialogue: what the step tests (the
// last kKeepBytes received since its command was sent) and what the log may
// take of it (kLogBytes of log lines per step; the rest is counted).
class ShellText {
public:
    static constexpr qsizetype kKeepBytes = 64 * 1024;
    static constexpr qint64 kLogBytes = 64 * 1024;

    void add(const QByteArray& piece);
    QString text() const { return QString::fromLatin1(text_); }
    // Whether a log line of this many bytes still fits the step's share;
    // counts it either way.
    bool mayLog(qint64 lineBytes);
    // A new command: starts again. Returns the bytes the log left out.
    qint64 restart();

private:
    QByteArray text_;
    qint64 logged_ = 0;
    qint64 leftOut_ = 0;
};

// The reflash's output on a platform that reports nothing but its value. A
// shell on a pty echoes "pic_driver_reflash 1" the moment it arrives, before
// the reflash has run: the echo, or a value line still arriving, says nothing
// yet; anything else ends the reflash's dialogue.
enum class QuietReflash { Wait, Done, Failed };
QuietReflash quietReflash(const QString& text);
// The shell's output with every echo of the password masked.
QByteArray masked(QByteArray text);

// The shell's output as the log may show it, piece by piece: the password
// masked also when its echo arrives split across pieces, for the end of a
// piece that may begin the password waits for the next one.
class EchoMask {
public:
    // What of this piece (and of what waited) may be logged now.
    QByteArray pass(const QByteArray& piece);
    // A new session: what waited is dropped, as it may be a piece of the password.
    void reset() { held_.clear(); }

private:
    QByteArray held_;
};

// How a PIC upgrade ended, judged when the terminal's versions are read back.
enum class Reflash { NotRun, Done, Failed, Skipped };
struct Verdict {
    bool took = false;
    QString status;   // for the status line
    QString logLine;
    QString box;      // empty when the user was told already
};
// reportedPic null: the terminal did not answer. backupLeft: a Boot ROM
// terminal still holds uimage.txt, which the PIC upgrade puts back.
Verdict judge(Reflash reflash, bool bootRom, bool backupLeft, const QString& reportedPic, const QString& fileVersion);

// Added to the boxes of a PIC upgrade stopped while the descriptor is swapped.
extern const QString kBootRomNote;

// What the log puts before each piece the shell sent in a state of the
// dialogue; a null text for the states that hold no dialogue.
QString pieceLogPrefix(int32_t state);

// Platforms 8 (7120), 9 (7520) and 10 (7130) report the reflash's end.
bool isReportingPlatform(int32_t platformId);
// 7120 and 7130 power off after the reflash and need a manual power-up.
bool isManualPowerUpPlatform(int32_t platformId);

}  // namespace pic
