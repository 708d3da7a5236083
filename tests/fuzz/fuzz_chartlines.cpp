// Log lines read back for the chart, the readout, summaries and tables, in
// both decimal conventions. The numbers and the rebuilt curves must be what
// the general reader gives.

#include "charts/chargesummary.h"
#include "charts/chartlines.h"
#include "charts/engine/series.h"
#include "platform/localeformat.h"
#include "tests/support/generalnumber.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QLocale::setDefault(QLocale(data[0] & 1 ? QStringLiteral("ru_RU") : QStringLiteral("en_US")));
    Fmt::refresh();
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)).split(QLatin1Char('\n'));
    ChartSeries u, t;
    for (const QString &line : lines) {
        const ChartLineParts parts = parseChartLine(line);
        bool ok = false, generalOk = false;
        const double v = Fmt::toDouble(parts.u, &ok);
        if (!sameReading(v, ok, generalToDouble(parts.u, &generalOk), generalOk))
            std::abort();
        if (ok) {
            u.append(v, parts.time, Qt::green);
            t.append(Fmt::toDouble(parts.t, &ok), parts.time, Qt::red);
        }
        parseSampleLine(line);
    }
    for (int i = 0; i < u.count(); ++i)
        readoutText(u, i % 2 ? &t : nullptr, i);
    // The rebuild against the same reading done line by line.
    const bool wantU = data[0] & 2, wantT = data[0] & 4;
    const LogCurves curves = curvesFromLog(lines, wantU, wantT);
    size_t nu = 0, nt = 0;
    bool failed = false;
    for (const QString &line : lines) {
        const ChartLineParts parts = parseChartLine(line);
        if (parts.u.isEmpty())
            continue;
        auto check = [&](const QString &text, const std::vector<LogPoint> &points, size_t &n) {
            bool ok = false;
            const double v = generalToDouble(text, &ok);
            if (ok && (n >= points.size() || !sameReading(points[n].value, true, v, true) || points[n].time != parts.time))
                std::abort();
            n += ok;
            return ok;
        };
        if ((wantU && !check(parts.u, curves.u, nu)) || (wantT && !check(parts.t, curves.t, nt))) {
            failed = true;
            break;
        }
    }
    if (failed != curves.failed || nu != curves.u.size() || nt != curves.t.size())
        std::abort();
    for (const ChargeSummary &s : chargeSummaries(lines)) {
        summaryText(s, 'A', 100, ChargeStop(data[0] % 4));
        summaryLine(s, 50);
    }
    return 0;
}
