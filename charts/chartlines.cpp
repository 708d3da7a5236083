#include "charts/chartlines.h"

#include "platform/localeformat.h"
#include "charts/engine/series.h"

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

QString readoutText(const ChartSeries &u, const ChartSeries *t, int i)
{
    QString text = QStringLiteral("Время = ") + u.point(i).label + QStringLiteral("  U=")
                   + u.formatValue(u.point(i).value);
    if (t && i < t->count())
        text += QStringLiteral("  T=") + t->formatValue(t->point(i).value) + QStringLiteral("°C");
    return text;
}
