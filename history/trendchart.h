#pragma once

// A cell's health over the dates: the charge put in by each of its charges
// (left scale, mAh) and its internal resistance where known (right scale,
// ohms), the dates along the bottom.

#include "history/historyviews.h"

#include <QWidget>

class TrendChart : public QWidget
{
    Q_OBJECT

public:
    explicit TrendChart(QWidget *parent = nullptr);

    void setTrend(const QString &label, std::vector<TrendPoint> points);
    const std::vector<TrendPoint> &points() const { return points_; }
    // One routine for the screen and a picture.
    void draw(QPainter &p, const QRect &rect) const;

    QSize sizeHint() const override { return {640, 360}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString label_;
    std::vector<TrendPoint> points_;
};
