// The PIC upgrade's parsers: the shell's output read as the dialogue reads it
// (accumulated piece by piece in a step's text, its answers, the battery and
// descriptor verdicts), the PIC version in a version or release text, the
// file's version and the verdict on the read-back version.
// Input: flags byte, seed byte, then shell output RS version text RS file name.
#include "FuzzSupport.h"
#include "upgrade/PicLogic.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {

using pic::Shown;

QString digits(const QString& s)
{
    QString d;
    for (QChar c : s)
        if (c.isDigit())
            d += c;
    return d;
}

// Piece lengths as TCP might cut a stream: a small generator seeded by the input.
class Cuts {
public:
    Cuts(uint8_t seed, qsizetype total, int maxPieces)
        : state_(seed * 2654435761u + 1), longest_(1 + seed % 97), shortest_(total / maxPieces + 1)
    {
    }
    qsizetype next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return std::max<qsizetype>(shortest_, 1 + (state_ >> 16) % longest_);
    }

private:
    uint32_t state_;
    qsizetype longest_;
    qsizetype shortest_;
};

bool sameAnswer(const pic::Answer& a, const pic::Answer& b)
{
    return a.complete == b.complete && a.output == b.output && a.value == b.value;
}

void checkAnswer(const QString& text, int commands)
{
    const pic::Answer a = pic::answerOf(text, commands);
    if (!a.complete) {
        FUZZ_CHECK(a.output.isEmpty() && a.value.isEmpty() && !a.ok() && !a.failed());
        // Half an answer is never taken for a file that may be overwritten.
        FUZZ_CHECK(pic::shown(a) == Shown::Descriptor);
        return;
    }
    // Its line, trimmed: a value line cut right after "value = " keeps no blank.
    FUZZ_CHECK(a.value.startsWith(QLatin1String("value =")));
    FUZZ_CHECK(!a.value.contains(QLatin1Char('\n')));
    FUZZ_CHECK(text.contains(a.output + a.value));
    // No success nor failure without the shell's own value line for it.
    FUZZ_CHECK(!a.ok() || pic::isSuccessValue(text));
    FUZZ_CHECK(!a.failed() || pic::isFailureValue(text));
    FUZZ_CHECK(!(a.ok() && a.failed()));
    const Shown s = pic::shown(a);
    FUZZ_CHECK((s == Shown::Missing) == a.failed());
    FUZZ_CHECK(s != Shown::PicCopy || a.ok());
    FUZZ_CHECK(!pic::shownName(s).isEmpty());
}

void checkBattery(const QString& text)
{
    const pic::Battery b = pic::batteryVerdict(text);
    const bool present = text.contains(QLatin1String("BATT_PRESENT=1"));
    // A battery reported anywhere stops the reflash, whatever else the text says.
    FUZZ_CHECK((b == pic::Battery::Present) == present);
    if (b == pic::Battery::Absent)
        FUZZ_CHECK(text.contains(QLatin1String("BATT_PRESENT=0")) || text.contains(QLatin1String("FAIL")) ||
                   text.contains(QLatin1String("ERROR")));
}

// Whatever names the executable is never moved over, copied over or removed.
void checkDescriptorSteps(Shown image, Shown backup)
{
    switch (pic::prepAction(image, backup)) {
    case pic::PrepAction::BackUp:
        FUZZ_CHECK(image == Shown::Descriptor && backup == Shown::Missing);
        break;
    case pic::PrepAction::Replace:
        FUZZ_CHECK(image != Shown::Descriptor);
        break;
    case pic::PrepAction::AlreadySwapped:
        FUZZ_CHECK(image == Shown::PicCopy);
        break;
    case pic::PrepAction::StaleBackup:
        FUZZ_CHECK(image == Shown::Descriptor && backup != Shown::Missing);
        break;
    }
    switch (pic::restoreAction(backup, image)) {
    case pic::RestoreAction::Restore:
        FUZZ_CHECK(backup == Shown::Descriptor && image != Shown::Descriptor);
        break;
    case pic::RestoreAction::Remove:
        FUZZ_CHECK(image == Shown::PicCopy);
        break;
    case pic::RestoreAction::Nothing:
        break;
    }
}

// The shell's output fed as it may arrive: what a step reads after each piece
// is the stream so far, and an answer read whole from part of it is the
// answer of the whole.
void checkPieces(const QByteArray& whole, uint8_t seed)
{
    const QString all = fuzz::latin1(whole);
    const std::array<pic::Answer, 2> final = {pic::answerOf(all, 1), pic::answerOf(all, 2)};
    const bool present = pic::batteryVerdict(all) == pic::Battery::Present;
    pic::ShellText step;
    Cuts cuts(seed, whole.size(), 256);
    for (qsizetype at = 0; at < whole.size();) {
        const qsizetype n = std::min(cuts.next(), whole.size() - at);
        step.add(whole.mid(at, n));
        at += n;
        const QString text = step.text();
        if (whole.size() > pic::ShellText::kKeepBytes)
            continue;
        FUZZ_CHECK(text == all.left(at));
        for (int commands = 1; commands <= 2; ++commands) {
            const pic::Answer a = pic::answerOf(text, commands);
            if (a.complete)
                FUZZ_CHECK(sameAnswer(a, final[commands - 1]));
        }
        if (pic::batteryVerdict(text) == pic::Battery::Present)
            FUZZ_CHECK(present);
    }
    FUZZ_CHECK(step.text().size() <= pic::ShellText::kKeepBytes);
    FUZZ_CHECK(step.text() == all.right(pic::ShellText::kKeepBytes));
    step.restart();
    FUZZ_CHECK(step.text().isEmpty());
}

// A shell that talks on past the step's limit: the step keeps the newest part.
void checkEndless(const QByteArray& piece, uint8_t seed)
{
    const QByteArray filler(pic::ShellText::kKeepBytes - 64 + seed, static_cast<char>('a' + seed % 26));
    const QByteArray whole = filler + piece;
    pic::ShellText step;
    step.add(filler);
    Cuts cuts(seed, piece.size(), 16);
    for (qsizetype at = 0; at < piece.size();) {
        const qsizetype n = std::min(cuts.next(), piece.size() - at);
        step.add(piece.mid(at, n));
        at += n;
    }
    FUZZ_CHECK(step.text().size() <= pic::ShellText::kKeepBytes);
    FUZZ_CHECK(step.text() == fuzz::latin1(whole.right(pic::ShellText::kKeepBytes)));
}

// The log's share per step: never more than kLogBytes written, the rest counted.
void checkLogShare(const QByteArray& input, uint8_t seed)
{
    pic::ShellText step;
    qint64 written = 0;
    qint64 leftOut = 0;
    bool refused = false;
    Cuts cuts(seed, input.size(), 64);
    for (qsizetype at = 0; at < input.size();) {
        const qsizetype n = std::min(cuts.next(), input.size() - at);
        at += n;
        const qint64 line = n * 257;
        const bool may = step.mayLog(line);
        // Once a line was left out, later ones are too: the log shows no gap.
        FUZZ_CHECK(!(refused && may));
        refused = refused || !may;
        (may ? written : leftOut) += line;
    }
    FUZZ_CHECK(written <= pic::ShellText::kLogBytes);
    FUZZ_CHECK(step.restart() == leftOut);
    FUZZ_CHECK(step.mayLog(1));
}

void checkTerminalVersion(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String("PIC: "));
    for (bool fromVersionText : {true, false}) {
        const QString v = pic::terminalVersion(text, fromVersionText);
        FUZZ_CHECK(v == pic::terminalVersion(text, fromVersionText));
        if (at < 0)
            FUZZ_CHECK(v == QStringLiteral("UNKNOWN"));
        if (v == QStringLiteral("UNKNOWN"))
            continue;
        FUZZ_CHECK(!v.isEmpty() && v == v.trimmed() && text.contains(v));
        if (fromVersionText) {
            FUZZ_CHECK(text.indexOf(QLatin1String("FPGA: "), at) >= 0);
        } else {
            FUZZ_CHECK(text.indexOf(QLatin1String("\r\n"), at) >= 0);
            FUZZ_CHECK(!v.contains(QStringLiteral("\r\n")));
        }
    }
}

// Both texts as the terminal writes them give back the version they carry.
void checkVersionRoundTrip(const QByteArray& raw)
{
    const QString v = fuzz::token(raw, 12, "0123456789._ABCDEFabcdef");
    if (v.isEmpty())
        return;
    const QString versionText = QStringLiteral("AppSW: 5.7.1.12, 06/15/2012 AppCompatLevel: 2\r\nBROMCompatLevel: 2\r\nPIC: ") +
                                v + QStringLiteral("\r\nFPGA: 1.1");
    const QString releaseText = QStringLiteral("ATB: 1.4\r\nAHW: 2.0\r\nHPA: 1.2\r\nASN: A1\r\nCLASS: 11\r\nAHV: 02409\r\nPIC: ") +
                                v + QStringLiteral("\r\nFPGA: 1.1\r\n");
    FUZZ_CHECK(pic::terminalVersion(versionText, true) == v);
    FUZZ_CHECK(pic::terminalVersion(releaseText, false) == v);
}

void checkFileVersion(const QString& name, const QByteArray& raw)
{
    const QString v = pic::fileVersion(name);
    FUZZ_CHECK(name.contains(v));
    FUZZ_CHECK(!v.contains(QLatin1String(".s19"), Qt::CaseInsensitive));
    const QString made = fuzz::token(raw, 8, "0123456789_");
    FUZZ_CHECK(pic::fileVersion(QStringLiteral("PIC_") + made + QStringLiteral(".s19")) == made);
}

void checkVerdict(uint8_t flags, const QString& reported, const QString& fileVersion)
{
    static const pic::Reflash kReflash[] = {pic::Reflash::NotRun, pic::Reflash::Done, pic::Reflash::Failed,
                                            pic::Reflash::Skipped};
    const pic::Reflash reflash = kReflash[flags & 3];
    const bool bootRom = flags & 4;
    const bool backupLeft = flags & 8;
    const pic::Verdict v = pic::judge(reflash, bootRom, backupLeft, reported, fileVersion);
    const QString success = QStringLiteral("PIC Upgrade Successful.  Software version retrieved!");
    // Success only for a reflash that ran, read back from the software, with the file's version.
    if (v.took) {
        FUZZ_CHECK(reflash == pic::Reflash::Done && !bootRom && !reported.isNull());
        FUZZ_CHECK(!digits(fileVersion).isEmpty() && digits(reported) == digits(fileVersion));
        FUZZ_CHECK(v.box.isEmpty());
    }
    FUZZ_CHECK((v.status == success) == v.took);
    FUZZ_CHECK(v.took || !v.status.startsWith(QLatin1String("PIC Upgrade Successful")));
    FUZZ_CHECK(v.took == v.logLine.startsWith(QLatin1String("PIC Upgrade was Successful")));
    // The versions reach the status line, the log and a box rendered.
    FUZZ_CHECK(fuzz::isPrintableAscii(v.status) && fuzz::isPrintableAscii(v.logLine) && fuzz::isPrintableLines(v.box));
    const qsizetype shown = 6 * (reported.size() + fileVersion.size());
    FUZZ_CHECK(v.status.size() <= 120 + shown && v.logLine.size() <= 200 + shown && v.box.size() <= 600 + shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint8_t seed = data[1];
    const QList<QByteArray> f = fuzz::fields(fuzz::bytes(data + 2, size - 2), 3);
    const QString shell = fuzz::latin1(f[0]);
    const QString versionText = fuzz::latin1(f[1]);
    const QString name = fuzz::latin1(f[2]);

    FUZZ_CHECK(!pic::isLoginPrompt(shell) || shell.contains(QLatin1String("VxWorks login:")) ||
               shell.contains(QLatin1String("Username:")));
    FUZZ_CHECK(!(pic::isSuccessValue(shell) || pic::isFailureValue(shell)) || pic::hasValue(shell));
    checkAnswer(shell, 1);
    checkAnswer(shell, 2);
    checkBattery(shell);
    const Shown image = pic::shown(pic::answerOf(shell, 1));
    const Shown backup = pic::shown(pic::answerOf(shell, 2));
    checkDescriptorSteps(image, backup);
    checkDescriptorSteps(backup, image);
    checkPieces(f[0], seed);
    if (flags & 0x10)
        checkEndless(f[0], seed);
    checkLogShare(f[0], seed);

    checkTerminalVersion(versionText);
    checkVersionRoundTrip(f[1]);
    checkFileVersion(name, f[2]);
    const QString fileVersion = pic::fileVersion(name);
    checkVerdict(flags, pic::terminalVersion(versionText, flags & 0x20), fileVersion);
    checkVerdict(flags, flags & 0x40 ? QString() : versionText, fileVersion);

    const QString prefix = pic::pieceLogPrefix(static_cast<int8_t>(seed));
    FUZZ_CHECK(prefix.isNull() || fuzz::isPrintableAscii(prefix));
    return 0;
}
