#include "charts/logreader.h"

#include "platform/localeformat.h"

#include <QRegularExpression>

namespace {

// From two characters after the first `mark` up to `stop` or the end.
QStringView valueAfter(QStringView line, QChar mark, QChar stop)
{
    const qsizetype p = line.indexOf(mark);
    if (p < 0 || p + 2 > line.size())
        return {};
    const qsizetype end = line.indexOf(stop, p + 2);
    return line.mid(p + 2, (end < 0 ? line.size() : end) - (p + 2));
}

} // namespace

ChartLineViews chartLineViews(QStringView line)
{
    ChartLineViews parts;
    parts.u = valueAfter(line, QLatin1Char('U'), QLatin1Char(' '));
    const qsizetype first = line.indexOf(QLatin1Char(':'));
    const qsizetype second = first < 0 ? -1 : line.indexOf(QLatin1Char(':'), first + 1);
    parts.time = second < 0 ? line : line.left(second);
    parts.t = valueAfter(line, QLatin1Char('T'), QLatin1Char(';'));
    return parts;
}

ChartLineParts parseChartLine(const QString &line)
{
    const ChartLineViews v = chartLineViews(line);
    return {v.u.toString(), v.time.toString(), v.t.toString()};
}

std::optional<LogSample> parseSampleLine(const QString &line)
{
    static const QString adcMark = QStringLiteral("    ADC="), uMark = QStringLiteral("    U="),
                         tMark = QStringLiteral("    T=");
    const qsizetype adc = line.indexOf(adcMark);
    const qsizetype u = line.indexOf(uMark);
    const qsizetype t = line.indexOf(tMark);
    if (adc <= 0 || u < adc || t < u || !line.endsWith(QLatin1Char(';')))
        return std::nullopt;
    LogSample s{line.left(adc), 0, 0, 0};
    bool okU = false, okT = false;
    const bool okTime = Fmt::parseChargeTime(s.timeText, &s.time);
    const QStringView view(line);
    s.u = Fmt::toDouble(view.mid(u + uMark.size(), t - u - uMark.size()), &okU);
    s.t = Fmt::toDouble(view.mid(t + tMark.size(), line.size() - 1 - t - tMark.size()), &okT);
    if (!okTime || !okU || !okT)
        return std::nullopt;
    return s;
}

QStringList columnValues(const QStringList &lines, QChar key)
{
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype p = line.indexOf(key);
        if (p < 0)
            continue;
        qsizetype end = p + 2;
        while (end < line.size() && line[end] != QLatin1Char(' ') && line[end] != QLatin1Char(';'))
            ++end;
        const QString value = p + 2 < line.size() ? line.mid(p + 2, end - p - 2) : QString();
        if (!value.isEmpty())
            out << value;
    }
    return out;
}

QStringList timeColumn(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        out << (space < 0 ? line : line.left(space));
    }
    return out;
}

namespace {

// The line that begins a charge's block ("Старт.") or a discharge's
// ("Разряд.").
bool beginsACharge(const QString &line)
{
    return line == QStringLiteral("Старт.") || line == QStringLiteral("Разряд.");
}

std::optional<BlockParameters> parseParameterLine(const QString &line)
{
    static const QRegularExpression current(QStringLiteral("^Ni(Mh|Сd) аккумулятор\\. Ток = (-?\\d+) mA\\.$"));
    const auto m = current.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return BlockParameters{m.captured(1) == QLatin1String("Mh") ? QStringLiteral("NiMH") : QStringLiteral("NiCd"),
                           m.captured(2).toInt()};
}

} // namespace

LogRecord readLogLine(const QString &line)
{
    using Kind = LogRecord::Kind;
    LogRecord r;
    if (beginsACharge(line)) {
        r.kind = Kind::BlockStart;
        r.discharge = line.startsWith(QStringLiteral("Разряд"));
    } else if (std::optional<LogSample> s = parseSampleLine(line)) {
        r.kind = Kind::Sample;
        r.sample = std::move(*s);
    } else if (std::optional<BlockParameters> p = parseParameterLine(line)) {
        r.kind = Kind::Parameters;
        r.parameters = std::move(*p);
    } else if (line == QStringLiteral("Включен режим дозаряда.")) {
        r.kind = Kind::Trickle;
    } else if (line.startsWith(QStringLiteral("Внутреннее R аккумулятора = "))) {
        r.kind = Kind::Resistance;
        r.text = line.mid(28);
    } else if (line.startsWith(QLatin1String("END: ")) || line == QLatin1String("END:")) {
        r.kind = Kind::EndReport;
        r.text = line.mid(4).trimmed();
    }
    return r;
}
