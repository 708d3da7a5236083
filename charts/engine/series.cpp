#include "charts/engine/series.h"

#include "platform/localeformat.h"

#include <algorithm>

void ChartSeries::append(double value, const QString &label, QColor colour)
{
    if (values_.empty()) {
        min_ = max_ = value;
    } else {
        min_ = std::min(min_, value);
        max_ = std::max(max_, value);
    }
    const QRgb rgb = colour.rgb();
    if (runs_.empty() || runs_.back().label != label || runs_.back().colour != rgb)
        runs_.push_back({int(values_.size()), label, rgb});
    values_.push_back(value);
}

const ChartSeries::Run &ChartSeries::runAt(int i) const
{
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), i,
                                        [](int point, const Run &r) { return point < r.first; });
    return *(after - 1);
}

void ChartSeries::clear()
{
    values_.clear();
    runs_.clear();
    min_ = max_ = 0;
}

QString ChartSeries::formatValue(double value) const
{
    if (style.valueFormat == QLatin1String("##0.#"))
        return Fmt::upTo(value, 1);
    return Fmt::grouped(value, 3);
}

void AddChartPoint(ChartSeries &series, double value, const QString &label, QColor colour)
{
    series.append(value, label, colour);
}
