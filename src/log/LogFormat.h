#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The log file's format: pure functions, no file access.
namespace qlog {

// "ERR: ", "INF: ", "VRB: ", "DET: "; a tab for any other level.
QString levelTag(int level);
// One call's text as written: "[hh:mm:ss] " + tag + tab + text + said + CR
// LF. The text's CR LF pairs break it into physical lines; said, what the
// terminal sent, is shown as fromTerminal() shows it. Nothing else reaches the
// file raw, and no line but the first may begin like a line of its own.
QByteArray formatLine(const QTime& time, int level, const QString& text, const QString& said = {});
// The three lines written once at start.
QByteArray headerBlock(const QDateTime& now);
// The four lines written once at shutdown.
QByteArray closingBlock(const QDateTime& now);
// year-month-day_hour-minute-second_Upgrader_log.txt for the first run of
// a second; a later run of the same second gets "_Upgrader_log_<run>.txt",
// which sorts after the first by name.
QString logFileName(const QDateTime& now, int run = 1);
// Folder plus file name; a "/" inside the file name becomes "_" so a name
// can never leave the folder.
QString logFilePath(const QString& dirWithSeparator, const QString& fileName);
// The first length bytes, printable characters as they are, any other byte as
// " /x" + upper-case hex without leading zeros + " ".
QString printableBytes(const QByteArray& bytes, int length);
// Text the terminal sent, as the log and the front end show it: every
// character outside 32..126 in the form above, CR and LF too, so that it
// stays on the line it starts on.
QString fromTerminal(const QString& text);
// Any text for a screen or the JSON: control and format characters (C0 but
// LF when lineBreaks, DEL, C1, bidirectional marks, lone surrogates) in the
// form above; everything else, letters of any script included, as it is.
QString controlsShown(const QString& text, bool lineBreaks);
// A text of the program's own (a box, an address typed by the user) as one
// printable line: CR LF as " | ", any other character outside 32..126 in
// the form above.
QString printableText(const QString& text);
// A terminal's text of several lines as the log may hold it: its CR LF
// pairs stay line breaks, every line rendered as printableText.
QString printableLines(const QString& text);
// The line that records a message box the user is shown.
QString boxLine(const QString& title, const QString& text);
// The line that records the address of a connection being opened.
QString connectionLine(const QString& who, const QString& host, quint16 port);

}  // namespace qlog
