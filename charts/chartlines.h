#pragma once

#include <QString>

// The pieces of a log line the chart is rebuilt from: the texts after the
// first Latin "U" and "T" (skipping the "=") and the time up to the second
// colon. A line without a "U" gives an empty u and is no measurement.
struct ChartLineParts
{
    QString u;
    QString time;
    QString t;
};

ChartLineParts ParseChartLine(const QString &line);
