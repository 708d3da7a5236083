#pragma once

#include <QColor>
#include <QString>

#include <vector>

// One point of a curve: X is its ordinal in the series, so the bottom axis
// is labelled with the points' time texts rather than scaled in time.
struct ChartPoint
{
    double value;
    QString label;
    QRgb colour;
};

// The data of one curve: points in order with their value range kept up to
// date, so scaling never walks a day-long series.
class ChartSeries
{
public:
    explicit ChartSeries(QString name = {}, QString title = {})
        : name_(std::move(name)), title_(std::move(title)) {}

    const QString &name() const { return name_; }
    const QString &title() const { return title_; }

    int count() const { return int(points_.size()); }
    bool isEmpty() const { return points_.empty(); }
    const ChartPoint &point(int i) const { return points_[size_t(i)]; }
    const std::vector<ChartPoint> &points() const { return points_; }
    double minValue() const { return min_; }
    double maxValue() const { return max_; }

    void append(double value, const QString &label, QColor colour);
    void clear();

private:
    QString name_;
    QString title_;
    std::vector<ChartPoint> points_;
    double min_ = 0, max_ = 0;
};

// Appends a point at the next X position. Callers append only while the
// series' view button is down.
void AddChartPoint(ChartSeries &series, double value, const QString &label, QColor colour);
