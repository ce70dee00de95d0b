#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>

// One complete FTP reply: its three-digit code and every line of it.
struct FtpReply {
    int code = 0;
    // The lines of the reply joined by CR LF, without the last line end; in
    // each line every character outside 32..126 as qlog::fromTerminal shows it.
    QString text;

    bool preliminary() const { return code >= 100 && code < 200; }
    bool positive() const { return code >= 200 && code < 300; }
    bool intermediate() const { return code >= 300 && code < 400; }
    bool negative() const { return code >= 400; }
};

// Splits the bytes of a control connection into replies. Bytes may come in
// any pieces; lines may end in CR LF or a bare LF. A multi-line reply
// ("123-" ... "123 ") comes out as one reply. Lines that belong to no reply
// are dropped. Memory stays bounded whatever the server sends: over-long
// lines and over-long replies are cut, not buffered. A reply that runs past
// kMaxReplyLines lines or kMaxReplyBytes bytes (counted from the end of the
// reply before it, stray lines included) overflows the parser: no server
// sends that, so the session is broken.
class FtpReplyParser {
public:
    static constexpr qsizetype kMaxLine = 4096;
    static constexpr qsizetype kMaxText = 64 * 1024;
    static constexpr int kMaxReplyLines = 1000;
    static constexpr qsizetype kMaxReplyBytes = 256 * 1024;

    void feed(const QByteArray& bytes);
    // The next complete reply, oldest first.
    std::optional<FtpReply> next();
    void reset();
    // True once a reply ran past the bounds; everything fed after is ignored.
    bool overflowed() const { return overflowed_; }

    // Lines dropped because they started no reply (for tests and traces).
    int ignoredLines() const { return ignoredLines_; }

private:
    void takeLine();
    void replyEnded();

    QByteArray line_;
    bool lineCut_ = false;
    int multiCode_ = 0;
    QString multiText_;
    std::deque<FtpReply> ready_;
    int ignoredLines_ = 0;
    // Since the last complete reply.
    qsizetype pendingBytes_ = 0;
    int pendingLines_ = 0;
    bool overflowed_ = false;
};

// The data port of a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" reply;
// the address, when asked for, as a host-order IPv4 number. Servers differ in
// the brackets around the numbers, so only the six numbers count.
std::optional<quint16> parsePasvReply(const QString& text, quint32* address = nullptr);
// The data port of a "229 Entering Extended Passive Mode (|||port|)" reply.
std::optional<quint16> parseEpsvReply(const QString& text);
// The size in a "213 <size>" reply to SIZE; nullopt for anything else.
std::optional<qint64> parseSizeReply(const FtpReply& reply);
// The size a LIST listing gives for the regular file `name`, in the Unix
// ("-rw-r--r-- 1 owner group 1234 Jan 01 00:00 name", group optional) or the
// DOS ("01-01-24 10:00AM 1234 name") layout. Names compare without letter
// case and without a folder part, as a DOS-style flash may list them; nullopt
// when no line gives the file's size.
std::optional<qint64> parseListedSize(const QByteArray& listing, const QString& name);
