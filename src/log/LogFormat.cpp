#include "log/LogFormat.h"

#include <QLocale>
#include <QStringList>

namespace qlog {

namespace {
const QString kRule = QString(79, QLatin1Char('*'));
const QByteArray kCrLf = QByteArrayLiteral("\r\n");

void appendCode(QString& out, char32_t code)
{
    out.append(QStringLiteral(" /x") + QString::number(quint32(code), 16).toUpper() + QLatin1Char(' '));
}

bool isPrintableAscii(char16_t code)
{
    return code >= 32 && code <= 126;
}
}  // namespace

QString levelTag(int level)
{
    switch (level) {
    case 0:
        return QStringLiteral("ERR: ");
    case 1:
        return QStringLiteral("INF: ");
    case 2:
        return QStringLiteral("VRB: ");
    case 3:
        return QStringLiteral("DET: ");
    default:
        return QStringLiteral("\t");
    }
}

QByteArray formatLine(const QTime& time, int level, const QString& text, const QString& said)
{
    QString body;
    body.reserve(text.size() + said.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (code == u'\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            body.append(QLatin1String("\r\n"));
            ++i;
        } else if (isPrintableAscii(code) || code == u'\t') {
            body.append(QChar(code));
        } else {
            appendCode(body, code);
        }
    }
    body += fromTerminal(said);
    // A line that begins like "[12:00:00] INF:" would pass for an entry of its own.
    body.replace(QLatin1String("\r\n["), QLatin1String("\r\n /x5B "));
    const QString line = QLatin1Char('[') + time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] ") +
                         levelTag(level) + QLatin1Char('\t') + body;
    return line.toLatin1() + kCrLf;
}

QByteArray headerBlock(const QDateTime& now)
{
    // Unambiguous whatever the machine's regional settings are.
    const QString stamp = now.date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" @ ") +
                          now.time().toString(QStringLiteral("HH:mm:ss"));
    return kRule.toLatin1() + kCrLf + QStringLiteral("QORA Software Upgrader logging initialized: ").toLatin1() +
           stamp.toLatin1() + kCrLf + kRule.toLatin1() + kCrLf;
}

QByteArray closingBlock(const QDateTime& now)
{
    const QLocale c = QLocale::c();
    const QString stamp = c.toString(now.date(), QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" @ ") +
                          c.toString(now.time(), QStringLiteral("hh:mm:ss AP"));
    return kCrLf + kRule.toLatin1() + kCrLf + (QStringLiteral("Close logging.  [") + stamp + QStringLiteral("] ")).toLatin1() +
           kCrLf + kRule.toLatin1() + kCrLf;
}

QString logFileName(const QDateTime& now, int run)
{
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QStringLiteral("_Upgrader_log");
    return run > 1 ? stamp + QLatin1Char('_') + QString::number(run) + QStringLiteral(".txt") : stamp + QStringLiteral(".txt");
}

QString logFilePath(const QString& dirWithSeparator, const QString& fileName)
{
    QString name = fileName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return dirWithSeparator + name;
}

QString printableBytes(const QByteArray& bytes, int length)
{
    QString out;
    const int n = qBound(0, length, static_cast<int>(bytes.size()));
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        const auto code = static_cast<unsigned char>(bytes.at(i));
        if (code >= 32 && code <= 126)
            out.append(QLatin1Char(static_cast<char>(code)));
        else
            out.append(QStringLiteral(" /x") + QString::number(code, 16).toUpper() + QLatin1Char(' '));
    }
    return out;
}

QString fromTerminal(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isPrintableAscii(c.unicode()))
            out.append(c);
        else
            appendCode(out, c.unicode());
    }
    return out;
}

QString controlsShown(const QString& text, bool lineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (QChar::category(code) == QChar::Other_Format)
                appendCode(out, code);
            else
                out.append(text.mid(i, 2));
            ++i;
            continue;
        }
        const QChar::Category kind = c.category();
        const bool hidden = kind == QChar::Other_Control || kind == QChar::Other_Format || kind == QChar::Other_Surrogate ||
                            kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph;
        if (hidden && !(lineBreaks && c == QLatin1Char('\n')))
            appendCode(out, c.unicode());
        else
            out.append(c);
    }
    return out;
}

QString printableText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (code == u'\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            out.append(QStringLiteral(" | "));
            ++i;
        } else if (code >= 32 && code <= 126) {
            out.append(QChar(code));
        } else {
            out.append(QStringLiteral(" /x") + QString::number(code, 16).toUpper() + QLatin1Char(' '));
        }
    }
    return out;
}

QString printableLines(const QString& text)
{
    QStringList lines = text.split(QLatin1String("\r\n"));
    for (QString& l : lines)
        l = printableText(l);
    return lines.join(QLatin1String("\r\n"));
}

QString boxLine(const QString& title, const QString& text)
{
    return QStringLiteral("Message box \"") + printableText(title) + QStringLiteral("\": ") + printableText(text);
}

QString connectionLine(const QString& who, const QString& host, quint16 port)
{
    return who + QStringLiteral(": connecting to ") + printableText(host) + QStringLiteral(" port ") + QString::number(port);
}

}  // namespace qlog
