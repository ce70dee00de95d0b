#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Shared by the fuzz targets and their corpus replay: a broken invariant must
// stop the run the same way a sanitizer report does.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace fuzz {

// Inputs that feed several arguments separate them with this byte (ASCII RS),
// which no realistic argument holds.
inline constexpr char kFieldSeparator = '\x1e';

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Exactly count fields; missing ones are empty, the last takes the rest.
inline QList<QByteArray> fields(const QByteArray& input, int count)
{
    QList<QByteArray> out;
    qsizetype from = 0;
    for (int i = 0; i < count - 1; ++i) {
        const qsizetype sep = input.indexOf(kFieldSeparator, from);
        if (sep < 0) {
            out << input.mid(from);
            from = input.size();
            continue;
        }
        out << input.mid(from, sep - from);
        from = sep + 1;
    }
    out << input.mid(from);
    return out;
}

inline QString latin1(const QByteArray& b)
{
    return QString::fromLatin1(b);
}

inline bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// What may reach a log line, a status line or a screen of the terminal's text.
inline bool isPrintableAscii(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

// A text of several lines for the log or a box: printable lines between CR LF pairs.
inline bool isPrintableLines(const QString& s)
{
    for (const QString& line : s.split(QStringLiteral("\r\n")))
        if (!isPrintableAscii(line))
            return false;
    return true;
}

// A well-formed value made of the input's bytes: each one picks a character
// of the alphabet, at most limit of them.
inline QString token(const QByteArray& raw, qsizetype limit, const char* alphabet)
{
    const size_t n = std::strlen(alphabet);
    QString out;
    for (qsizetype i = 0; i < raw.size() && out.size() < limit; ++i)
        out += QLatin1Char(alphabet[static_cast<uchar>(raw.at(i)) % n]);
    return out;
}

}  // namespace fuzz
