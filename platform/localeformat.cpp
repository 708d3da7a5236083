#include "platform/localeformat.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr qint64 MsPerDay = 86400000;

// One piece of a time layout. Layouts are taken apart once, so printing a
// time in the receive path is a few appends rather than a format parse.
struct TimeToken
{
    enum Kind { Literal, Hour, Minute, Second, Millis, AmPm } kind;
    int width = 1;        // digits (at least) for numbers
    bool twelveHour = false;
    bool lowerCase = false;
    QString text;         // for literals
};

using TimeLayout = std::vector<TimeToken>;

TimeLayout parseLayout(const QString &format)
{
    TimeLayout layout;
    auto literal = [&layout](const QString &s) {
        if (s.isEmpty())
            return;
        if (!layout.empty() && layout.back().kind == TimeToken::Literal)
            layout.back().text += s;
        else
            layout.push_back({TimeToken::Literal, 0, false, false, s});
    };
    bool hasAmPm = format.contains(QLatin1Char('A'), Qt::CaseInsensitive);
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            if (end == i + 1) {
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            literal(format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1));
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        switch (c.unicode()) {
        case 'h': case 'H':
            layout.push_back({TimeToken::Hour, int(std::min<qsizetype>(run, 2)),
                              c == QLatin1Char('h') && hasAmPm, false, {}});
            break;
        case 'm':
            layout.push_back({TimeToken::Minute, int(std::min<qsizetype>(run, 2)), false, false, {}});
            break;
        case 's':
            layout.push_back({TimeToken::Second, int(std::min<qsizetype>(run, 2)), false, false, {}});
            break;
        case 'z':
            layout.push_back({TimeToken::Millis, run >= 3 ? 3 : 1, false, false, {}});
            break;
        case 'A': case 'a':
            // "AP"/"ap" or a lone "A"/"a": one marker.
            if (i + 1 < format.size() && format[i + 1].toLower() == QLatin1Char('p'))
                run = 2;
            layout.push_back({TimeToken::AmPm, 0, false, c == QLatin1Char('a'), {}});
            break;
        case 't':
            // A time of day or a duration has no time zone.
            break;
        default:
            literal(format.mid(i, run));
        }
        i += run;
    }
    return layout;
}

// Literals that met where a token was dropped become one, and blanks left
// hanging at either end go.
TimeLayout tidy(const TimeLayout &layout)
{
    TimeLayout merged;
    for (const TimeToken &t : layout) {
        if (t.kind == TimeToken::Literal && !merged.empty()
            && merged.back().kind == TimeToken::Literal)
            merged.back().text += t.text;
        else
            merged.push_back(t);
    }
    if (!merged.empty() && merged.front().kind == TimeToken::Literal) {
        merged.front().text = merged.front().text.trimmed();
        if (merged.front().text.isEmpty())
            merged.erase(merged.begin());
    }
    if (!merged.empty() && merged.back().kind == TimeToken::Literal) {
        merged.back().text = merged.back().text.trimmed();
        if (merged.back().text.isEmpty())
            merged.pop_back();
    }
    return merged;
}

// The same layout as a duration: 24-hour hours and no AM/PM marker.
TimeLayout durationLayout(const TimeLayout &layout)
{
    TimeLayout out;
    for (const TimeToken &t : layout) {
        if (t.kind == TimeToken::AmPm)
            continue;
        TimeToken copy = t;
        copy.twelveHour = false;
        out.push_back(copy);
    }
    return tidy(out);
}

// The layout back as a Qt format string, for reading a time.
QString qtFormat(const TimeLayout &layout)
{
    QString f;
    for (const TimeToken &t : layout) {
        switch (t.kind) {
        case TimeToken::Literal:
            f += QLatin1Char('\'') + QString(t.text).replace(QLatin1Char('\''), QStringLiteral("''"))
                 + QLatin1Char('\'');
            break;
        case TimeToken::Hour: f += QString(t.width, t.twelveHour ? 'h' : 'H'); break;
        case TimeToken::Minute: f += QString(t.width, 'm'); break;
        case TimeToken::Second: f += QString(t.width, 's'); break;
        case TimeToken::Millis: f += QString(t.width, 'z'); break;
        case TimeToken::AmPm: f += t.lowerCase ? QStringLiteral("ap") : QStringLiteral("AP"); break;
        }
    }
    return f;
}

struct Formats
{
    QString decimal;
    QString group;
    QString timeSeparator;
    QString am, pm;
    TimeLayout longTime;
    TimeLayout charge;
    QString chargeQtFormat;

    Formats()
    {
        const QLocale l;
        decimal = l.decimalPoint();
        group = l.groupSeparator();
        am = l.amText();
        pm = l.pmText();
        longTime = tidy(parseLayout(l.timeFormat(QLocale::LongFormat)));
        charge = durationLayout(longTime);
        chargeQtFormat = qtFormat(charge);
        // The separator is what stands between hours and minutes; a layout
        // that spells the units out ("5 h 07 min") falls back to a colon.
        timeSeparator = QStringLiteral(":");
        for (size_t i = 0; i + 2 < charge.size(); ++i)
            if (charge[i].kind == TimeToken::Hour && charge[i + 1].kind == TimeToken::Literal
                && charge[i + 2].kind == TimeToken::Minute) {
                const QString sep = charge[i + 1].text;
                bool plain = !sep.isEmpty();
                for (QChar c : sep)
                    plain = plain && !c.isLetter() && !c.isSpace();
                if (plain)
                    timeSeparator = sep;
            }
    }
};

Formats &formats()
{
    static Formats f;
    return f;
}

qint64 wrappedMillis(double dayFraction)
{
    double f = dayFraction - std::floor(dayFraction);
    qint64 ms = std::llround(f * MsPerDay);
    return ms >= MsPerDay ? ms - MsPerDay : ms;
}

void appendNumber(QString &out, int value, int width)
{
    const QString digits = QString::number(value);
    for (qsizetype i = digits.size(); i < width; ++i)
        out += QLatin1Char('0');
    out += digits;
}

QString formatTime(const TimeLayout &layout, qint64 ms)
{
    const int h = int(ms / 3600000), m = int(ms / 60000 % 60), s = int(ms / 1000 % 60),
              z = int(ms % 1000);
    QString out;
    out.reserve(12);
    for (const TimeToken &t : layout) {
        switch (t.kind) {
        case TimeToken::Literal: out += t.text; break;
        case TimeToken::Hour:
            appendNumber(out, t.twelveHour ? (h % 12 == 0 ? 12 : h % 12) : h, t.width);
            break;
        case TimeToken::Minute: appendNumber(out, m, t.width); break;
        case TimeToken::Second: appendNumber(out, s, t.width); break;
        case TimeToken::Millis: appendNumber(out, z, t.width); break;
        case TimeToken::AmPm: {
            const QString &marker = h < 12 ? formats().am : formats().pm;
            out += t.lowerCase ? marker.toLower() : marker;
            break;
        }
        }
    }
    return out;
}

QString withLocaleDecimal(QString s)
{
    // A value that rounds to zero prints without a sign.
    if (s.startsWith(QLatin1Char('-'))) {
        bool allZero = true;
        for (qsizetype i = 1; i < s.size() && allZero; ++i)
            allZero = s[i] == QLatin1Char('0') || s[i] == QLatin1Char('.');
        if (allZero)
            s.remove(0, 1);
    }
    const QString &dec = formats().decimal;
    if (dec != QLatin1String("."))
        s.replace(QLatin1Char('.'), dec);
    return s;
}

QString trimZeros(QString s)
{
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

} // namespace

void Fmt::refresh()
{
    formats() = Formats();
}

QString Fmt::decimalSeparator()
{
    return formats().decimal;
}

QString Fmt::timeSeparator()
{
    return formats().timeSeparator;
}

QString Fmt::fixed(double value, int decimals)
{
    return withLocaleDecimal(QString::number(value, 'f', decimals));
}

namespace {

qint64 powerOfTen(int decimals)
{
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return scale;
}

} // namespace

qint64 Fmt::scaledRatio(qint64 num, qint64 den, int decimals)
{
    Q_ASSERT(den > 0 && decimals >= 0 && decimals <= 9);
    // |num| * scale / den, rounded half up on magnitudes; the callers' values
    // (counts times steps, resistances) stay far inside 64 bits.
    const quint64 magnitude = num < 0 ? quint64(0) - quint64(num) : quint64(num);
    const quint64 scaled = (magnitude * quint64(powerOfTen(decimals)) * 2 + quint64(den)) / (quint64(den) * 2);
    return num < 0 ? -qint64(scaled) : qint64(scaled);
}

QString Fmt::ratio(qint64 num, qint64 den, int decimals)
{
    const qint64 value = scaledRatio(num, den, decimals);
    const quint64 scale = quint64(powerOfTen(decimals));
    const quint64 scaled = value < 0 ? quint64(-value) : quint64(value);
    QString out;
    if (value < 0)
        out += QLatin1Char('-');
    out += QString::number(scaled / quint64(scale));
    if (decimals > 0) {
        out += formats().decimal;
        const QString digits = QString::number(scaled % quint64(scale));
        out += QString(decimals - digits.size(), QLatin1Char('0')) + digits;
    }
    return out;
}

QString Fmt::grouped(double value, int maxDecimals)
{
    QString s = trimZeros(QString::number(value, 'f', maxDecimals));
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    const qsizetype point = s.indexOf(QLatin1Char('.'));
    const qsizetype intEnd = point < 0 ? s.size() : point;
    const qsizetype intStart = s.startsWith(QLatin1Char('-')) ? 1 : 0;
    QString intPart = s.mid(intStart, intEnd - intStart);
    for (qsizetype pos = intPart.size() - 3; pos > 0; pos -= 3)
        intPart.insert(pos, formats().group);
    QString out = s.left(intStart) + intPart;
    if (point >= 0)
        out += formats().decimal + s.mid(point + 1);
    return out;
}

QString Fmt::upTo(double value, int maxDecimals)
{
    QString s = trimZeros(QString::number(value, 'f', maxDecimals));
    return withLocaleDecimal(s == QLatin1String("-0") ? QStringLiteral("0") : s);
}

QString Fmt::significant(double value, int digits)
{
    const double a = std::fabs(value);
    if (a >= 1e-5 && a < 1e-4) {
        // The general format keeps fixed point down to 0.00001, where C's
        // %g would already write 1e-05.
        QString s = QString::number(value, 'f', 4 + digits);
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        return withLocaleDecimal(s);
    }
    return withLocaleDecimal(QString::number(value, 'g', digits));
}

double Fmt::toDouble(QStringView text, bool *ok)
{
    const QStringView s = text.trimmed();
    const QString &dec = formats().decimal;
    // Plain decimals, as the logs hold them by the hundred thousand, are
    // read here without a copy; both ways round to the nearest double, so
    // the result is the same. Anything else takes the general way below.
    char plain[64];
    if (dec.size() == 1 && s.size() < qsizetype(sizeof plain)) {
        qsizetype n = 0, separator = -1;
        for (const QChar c : s) {
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                plain[n] = char(c.unicode());
            else if (c == QLatin1Char('-') && n == 0)
                plain[n] = '-';
            else if (c == dec.front() && separator < 0)
                plain[separator = n] = '.';
            else
                break;
            ++n;
        }
        const qsizetype digitsFrom = n > 0 && plain[0] == '-' ? 1 : 0;
        const bool digitsBefore = separator < 0 ? n > digitsFrom : separator > digitsFrom;
        const bool digitsAfter = separator < 0 || separator + 1 < n;
        if (n == s.size() && digitsBefore && digitsAfter) {
            double value = 0;
            if (std::from_chars(plain, plain + n, value).ec == std::errc()) {
                *ok = true;
                return value;
            }
        }
    }
    QString general = s.toString();
    if (dec != QLatin1String(".")) {
        if (general.contains(QLatin1Char('.'))) {
            *ok = false;
            return 0;
        }
        general.replace(dec, QStringLiteral("."));
    }
    return general.toDouble(ok);
}

QString Fmt::longTime(double dayFraction)
{
    return formatTime(formats().longTime, wrappedMillis(dayFraction));
}

QString Fmt::chargeTime(double dayFraction)
{
    return formatTime(formats().charge, wrappedMillis(dayFraction));
}

bool Fmt::parseChargeTime(const QString &text, double *dayFraction)
{
    const QTime t = QTime::fromString(text.trimmed(), formats().chargeQtFormat);
    if (!t.isValid())
        return false;
    *dayFraction = t.msecsSinceStartOfDay() / double(MsPerDay);
    return true;
}

QString Fmt::hoursMinutes(double dayFraction)
{
    const qint64 ms = wrappedMillis(dayFraction);
    QString out = QString::number(ms / 3600000);
    out += formats().timeSeparator;
    appendNumber(out, int(ms / 60000 % 60), 2);
    return out;
}

QString Fmt::wallClockStamp(const QTime &time)
{
    QString out;
    out.reserve(12);
    appendNumber(out, time.hour(), 2);
    out += QLatin1Char('-');
    appendNumber(out, time.minute(), 2);
    out += QLatin1Char('-');
    appendNumber(out, time.second(), 2);
    out += QLatin1Char('-');
    appendNumber(out, time.msec(), 3);
    return out;
}
