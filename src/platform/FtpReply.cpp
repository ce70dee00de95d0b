#include "platform/FtpReply.h"

#include "log/LogFormat.h"

#include <QRegularExpression>

namespace {

// A reply's text reaches boxes and the log: each line of it printable.
QString shownLine(const QByteArray& line)
{
    return qlog::fromTerminal(QString::fromUtf8(line));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The code of a line that starts a reply ("220 ...", "220-...", "220"), or 0.
int replyCode(const QByteArray& line, char* separator)
{
    if (line.size() < 3 || line[0] < '1' || line[0] > '5' || !isDigit(line[1]) || !isDigit(line[2]))
        return 0;
    const char sep = line.size() > 3 ? line[3] : ' ';
    if (sep != ' ' && sep != '-')
        return 0;
    *separator = sep;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

}  // namespace

void FtpReplyParser::feed(const QByteArray& bytes)
{
    qsizetype from = 0;
    while (from < bytes.size() && !overflowed_) {
        const qsizetype lf = bytes.indexOf('\n', from);
        const qsizetype end = lf < 0 ? bytes.size() : lf;
        pendingBytes_ += end - from + (lf < 0 ? 0 : 1);
        if (pendingBytes_ > kMaxReplyBytes) {
            overflowed_ = true;
            return;
        }
        const qsizetype room = kMaxLine - line_.size();
        const qsizetype take = std::min(end - from, room);
        if (take > 0)
            line_.append(bytes.constData() + from, take);
        if (end - from > take)
            lineCut_ = true;
        if (lf < 0)
            break;
        takeLine();
        from = lf + 1;
    }
}

void FtpReplyParser::takeLine()
{
    QByteArray line;
    line.swap(line_);
    if (!lineCut_ && line.endsWith('\r'))
        line.chop(1);
    lineCut_ = false;

    if (++pendingLines_ > kMaxReplyLines) {
        overflowed_ = true;
        return;
    }
    char sep = 0;
    const int code = replyCode(line, &sep);
    if (multiCode_ != 0) {
        const QString shown = shownLine(line);
        if (multiText_.size() + shown.size() + 2 <= kMaxText) {
            multiText_.append(QLatin1String("\r\n"));
            multiText_.append(shown);
        }
        // Only "ddd " with the opening code ends it; inner lines may look like replies.
        if (code == multiCode_ && sep == ' ') {
            ready_.push_back({multiCode_, multiText_});
            multiCode_ = 0;
            multiText_.clear();
            replyEnded();
        }
        return;
    }
    if (code == 0) {
        ++ignoredLines_;
        return;
    }
    if (sep == '-') {
        multiCode_ = code;
        multiText_ = shownLine(line);
        return;
    }
    ready_.push_back({code, shownLine(line)});
    replyEnded();
}

void FtpReplyParser::replyEnded()
{
    pendingBytes_ = 0;
    pendingLines_ = 0;
}

std::optional<FtpReply> FtpReplyParser::next()
{
    if (ready_.empty())
        return std::nullopt;
    FtpReply r = std::move(ready_.front());
    ready_.pop_front();
    return r;
}

void FtpReplyParser::reset()
{
    *this = FtpReplyParser();
}

std::optional<quint16> parsePasvReply(const QString& text, quint32* address)
{
    static const QRegularExpression six(QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch m = six.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        n[i] = m.captured(i + 1).toInt();
        if (n[i] > 255)
            return std::nullopt;
    }
    const int port = n[4] * 256 + n[5];
    if (port == 0)
        return std::nullopt;
    if (address)
        *address = (quint32(n[0]) << 24) | (quint32(n[1]) << 16) | (quint32(n[2]) << 8) | quint32(n[3]);
    return static_cast<quint16>(port);
}

std::optional<quint16> parseEpsvReply(const QString& text)
{
    // The delimiter is whatever printable character the server chose, used four times.
    static const QRegularExpression form(QStringLiteral("\\(([!-~])\\1\\1(\\d{1,5})\\1\\)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int port = m.captured(2).toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

std::optional<qint64> parseSizeReply(const FtpReply& reply)
{
    static const QRegularExpression form(QStringLiteral("^213 +(\\d{1,18}) *$"));
    const QRegularExpressionMatch m = form.match(reply.text);
    if (reply.code != 213 || !m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong();
}

std::optional<qint64> parseListedSize(const QByteArray& listing, const QString& name)
{
    // The size is the number just before the date, wherever the owner and
    // group columns leave it.
    static const QRegularExpression unixLine(
        QStringLiteral("^-\\S{9}\\S*\\s+(?:\\S+\\s+)*?(\\d{1,18})\\s+"
                       "(?:jan|feb|mar|apr|may|jun|jul|aug|sep|oct|nov|dec)\\s+\\d{1,2}\\s+(?:\\d{1,2}:\\d{2}|\\d{4})\\s+(.+)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dosLine(
        QStringLiteral("^\\d{1,2}-\\d{1,2}-\\d{2,4}\\s+\\d{1,2}:\\d{2}\\s*(?:[ap]m)?\\s+(\\d{1,18})\\s+(.+)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString wanted = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (wanted.isEmpty())
        return std::nullopt;
    for (QByteArray line : listing.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = QString::fromLatin1(line);
        QRegularExpressionMatch m = unixLine.match(text);
        if (!m.hasMatch())
            m = dosLine.match(text);
        if (!m.hasMatch())
            continue;
        const QString listed = m.captured(2);
        if (listed.mid(listed.lastIndexOf(QLatin1Char('/')) + 1).compare(wanted, Qt::CaseInsensitive) == 0)
            return m.captured(1).toLongLong();
    }
    return std::nullopt;
}
