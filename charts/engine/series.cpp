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
    values_.push_back(value);
    if (labelTexts_.empty() || labelTexts_.back() != label)
        labelTexts_.push_back(label);
    labels_.push_back(quint32(labelTexts_.size() - 1));
    colours_.push_back(colour.rgb());
}

void ChartSeries::clear()
{
    values_.clear();
    labels_.clear();
    labelTexts_.clear();
    colours_.clear();
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
