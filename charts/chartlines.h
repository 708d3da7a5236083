#pragma once

// The chart's curves rebuilt from a log's lines (as logreader reads them)
// and the readout of a clicked point.

#include "charts/logreader.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

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

class ChartSeries;
// The readout of a clicked voltage point: its time and value and, while the
// temperature curve is shown (`t` given) and holds the point, its value.
QString readoutText(const ChartSeries &u, const ChartSeries *t, int index);
