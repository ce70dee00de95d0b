#pragma once

#include <QString>

// Text helpers with the semantics the procedures were written with: trimming
// removes blanks only, positions count from 1 and 0 means "not found".
namespace txt {

inline QString trimBlanks(const QString& s)
{
    int b = 0;
    int e = static_cast<int>(s.size());
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

inline QString leftTrimBlanks(const QString& s)
{
    int b = 0;
    while (b < s.size() && s.at(b) == QLatin1Char(' '))
        ++b;
    return s.mid(b);
}

// 1-based position of needle in hay, 0 when absent; case-sensitive.
inline int instr(const QString& hay, const QString& needle, int start = 1)
{
    if (start < 1)
        start = 1;
    const qsizetype p = hay.indexOf(needle, start - 1, Qt::CaseSensitive);
    return p < 0 ? 0 : static_cast<int>(p) + 1;
}

inline bool contains(const QString& hay, const QString& needle)
{
    return hay.contains(needle, Qt::CaseSensitive);
}

}  // namespace txt
