#include "series.h"

#include <algorithm>

void ChartSeries::append(double value, const QString &label, QColor colour)
{
    if (points_.empty()) {
        min_ = max_ = value;
    } else {
        min_ = std::min(min_, value);
        max_ = std::max(max_, value);
    }
    // Neighbouring points mostly carry the same "h:nn" text; sharing it keeps
    // a day-long series small.
    const QString &text =
        !points_.empty() && points_.back().label == label ? points_.back().label : label;
    points_.push_back({value, text, colour.rgb()});
}

void ChartSeries::clear()
{
    points_.clear();
    min_ = max_ = 0;
}

void AddChartPoint(ChartSeries &series, double value, const QString &label, QColor colour)
{
    series.append(value, label, colour);
}
