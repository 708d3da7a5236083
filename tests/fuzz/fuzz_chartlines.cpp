// Log lines read back for the chart, the readout, summaries and tables, in
// both decimal conventions.

#include "charts/chargesummary.h"
#include "charts/chartlines.h"
#include "charts/engine/series.h"
#include "platform/localeformat.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdint>

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
        bool ok = false;
        const double v = Fmt::toDouble(parts.u, &ok);
        if (ok) {
            u.append(v, parts.time, Qt::green);
            t.append(Fmt::toDouble(parts.t, &ok), parts.time, Qt::red);
        }
        parseSampleLine(line);
    }
    for (int i = 0; i < u.count(); ++i)
        readoutText(u, i % 2 ? &t : nullptr, i);
    curvesFromLog(lines, data[0] & 2, data[0] & 4);
    for (const ChargeSummary &s : chargeSummaries(lines)) {
        summaryText(s, 'A', 100, ChargeStop(data[0] % 4));
        summaryLine(s, 50);
    }
    return 0;
}
