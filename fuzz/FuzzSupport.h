#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

}  // namespace fuzz
