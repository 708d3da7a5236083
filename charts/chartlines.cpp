#include "charts/chartlines.h"

#include "platform/localeformat.h"
#include "charts/engine/series.h"

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

// The same pieces as views into the line: a rebuild reads a day's lines
// without copying any of them.
struct ChartLineViews
{
    QStringView u, time, t;
};

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

} // namespace

ChartLineParts parseChartLine(const QString &line)
{
    const ChartLineViews v = chartLineViews(line);
    return {v.u.toString(), v.time.toString(), v.t.toString()};
}

LogCurves curvesFromLog(const QStringList &lines, bool wantU, bool wantT)
{
    LogCurves curves;
    // Neighbouring lines mostly share their "h:nn" time: one text serves them.
    QString time;
    auto take = [&](QStringView text, std::vector<LogPoint> &into) {
        bool ok = false;
        const double v = Fmt::toDouble(text, &ok);
        if (ok)
            into.push_back({v, time});
        return ok;
    };
    for (const QString &line : lines) {
        const ChartLineViews parts = chartLineViews(line);
        if (parts.u.isEmpty())
            continue;
        if (parts.time != time)
            time = parts.time.toString();
        if ((wantU && !take(parts.u, curves.u)) || (wantT && !take(parts.t, curves.t))) {
            curves.failed = true;
            break;
        }
    }
    return curves;
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

QString readoutText(const ChartSeries &u, const ChartSeries *t, int i)
{
    QString text = QStringLiteral("Время = ") + u.point(i).label + QStringLiteral("  U=")
                   + u.formatValue(u.point(i).value);
    if (t && i < t->count())
        text += QStringLiteral("  T=") + t->formatValue(t->point(i).value) + QStringLiteral("°C");
    return text;
}
