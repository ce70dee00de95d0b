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
QByteArray backUpDescriptor();   // mv "image.txt","uimage.txt"
QByteArray replaceDescriptor();  // copy "pic.s19","image.txt"
QByteArray restoreCheck();       // cd "/tffs0/"; copy "uimage.txt"
QByteArray restoreDescriptor();  // mv "uimage.txt", "image.txt"
QByteArray removeDescriptor();   // rm "image.txt"
QByteArray reflash();            // pic_driver_reflash 1
QByteArray reboot();             // pwd;sleep(4);reboot
QByteArray emptyLine();
}  // namespace cmd

// What one piece of the shell's output holds. Case-sensitive, anywhere in the piece.
bool isLoginPrompt(const QString& piece);
bool hasShellPrompt(const QString& piece);
bool isSessionLimit(const QString& piece);
bool isSuccessValue(const QString& piece);  // "value = 0 = 0x0"
bool isFailureValue(const QString& piece);  // "value = -1 = 0xffffffff"
bool hasValue(const QString& piece);        // any "value = "

enum class Battery { Absent, Present, Unknown, NoVerdict };
// The answer to pic_data_show: absent first (a FAIL or ERROR says no battery
// is there), then present, then data without a verdict.
Battery batteryVerdict(const QString& piece);

// Platforms 8 (7120), 9 (7520) and 10 (7130) report the reflash's end.
bool isReportingPlatform(int32_t platformId);
// 7120 and 7130 power off after the reflash and need a manual power-up.
bool isManualPowerUpPlatform(int32_t platformId);

}  // namespace pic
