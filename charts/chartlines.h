#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The pieces of a log line the chart is rebuilt from: the texts after the
// first Latin "U" and "T" (skipping the "=") and the time up to the second
// colon. A line without a "U" gives an empty u and is no measurement.
struct ChartLineParts
{
    QString u;
    QString time;
    QString t;
};

ChartLineParts parseChartLine(const QString &line);

struct LogPoint
{
    double value;
    QString time;
};

// The curves of one channel rebuilt from its log: a voltage and a
// temperature point for each measurement line, as asked. A value that is no
// number in the locale stops the rebuild there: what came before stays and
// `failed` is set.
struct LogCurves
{
    std::vector<LogPoint> u, t;
    bool failed = false;
};
LogCurves curvesFromLog(const QStringList &lines, bool wantU, bool wantT);

// A measurement line, "<charge time>    ADC=n    U=v    T=t;", read back:
// the time as printed and as a fraction of a day, and the two values.
struct LogSample
{
    QString timeText;
    double time;
    double u, t;
};
std::optional<LogSample> parseSampleLine(const QString &line);

class ChartSeries;
// The readout of a clicked voltage point: its time and value and, while the
// temperature curve is shown (`t` given) and holds the point, its value.
QString readoutText(const ChartSeries &u, const ChartSeries *t, int index);
