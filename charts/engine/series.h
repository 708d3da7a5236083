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

// Which vertical scale a curve is drawn against.
enum class VerticalAxis { Left, Right };

// How a curve is drawn and named.
struct SeriesStyle
{
    QColor colour = Qt::black;
    int width = 1;
    Qt::PenStyle line = Qt::SolidLine; // a curve of another kind (a kept charge) stands apart
    VerticalAxis axis = VerticalAxis::Left;
    QString valueFormat = QStringLiteral("#,##0.###"); // or "##0.#"
    bool showInLegend = false;
    bool crossCursor = false; // the mouse shows a cross over the line
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
    void setTitle(const QString &title) { title_ = title; }

    int count() const { return int(values_.size()); }
    bool isEmpty() const { return values_.empty(); }
    ChartPoint point(int i) const
    {
        const Run &r = runAt(i);
        return {values_[size_t(i)], r.label, r.colour};
    }
    // The values alone, side by side: drawing a long curve walks only these.
    const std::vector<double> &values() const { return values_; }
    const QString &label(int i) const { return runAt(i).label; }
    double minValue() const { return min_; }
    double maxValue() const { return max_; }

    void append(double value, const QString &label, QColor colour);
    void clear();

    // A value in the series' value format and the locale's separators.
    QString formatValue(double value) const;

    SeriesStyle style;

private:
    QString name_;
    QString title_;
    // Neighbouring points mostly carry the same "h:nn" text and colour: a
    // run of them holds the two once, and a point is its value alone.
    struct Run
    {
        int first; // the run's first point
        QString label;
        QRgb colour;
    };
    const Run &runAt(int i) const;

    std::vector<double> values_;
    std::vector<Run> runs_;
    double min_ = 0, max_ = 0;
};

// Appends a point at the next X position. Callers append only while the
// series' view button is down.
void AddChartPoint(ChartSeries &series, double value, const QString &label, QColor colour);
