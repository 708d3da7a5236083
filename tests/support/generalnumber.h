#pragma once

#include "platform/localeformat.h"

#include <QString>

#include <cstring>

// How a number in the locale's convention is read without any shortcut:
// the text with the locale's separator made a point, through Qt's own
// reader. The program's reader must give the same for every text.
inline double generalToDouble(const QString &text, bool *ok)
{
    QString s = text.trimmed();
    const QString dec = Fmt::decimalSeparator();
    if (dec != QLatin1String(".")) {
        if (s.contains(QLatin1Char('.'))) {
            *ok = false;
            return 0;
        }
        s.replace(dec, QStringLiteral("."));
    }
    return s.toDouble(ok);
}

// Equal as the program would store them: same bits, or both not a number.
inline bool sameReading(double a, bool okA, double b, bool okB)
{
    if (okA != okB)
        return false;
    if (!okA)
        return true;
    return (a != a && b != b) || std::memcmp(&a, &b, sizeof a) == 0;
}
