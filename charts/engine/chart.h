#pragma once

// The charting engine: line series against a left and a right value axis
// and a bottom axis labelled with the points' texts, in a flat or a 3D look,
// with zoom, a legend and a click-on-series event. One routine, draw(),
// paints it on any QPainter: the screen, an image, a metafile.

#include "charts/engine/axis.h"
#include "charts/engine/series.h"

#include <QFont>
#include <QPolygonF>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <vector>

class TChart : public QWidget
{
    Q_OBJECT

public:
    struct Axis
    {
        AxisRange range;        // the range in effect while not automatic
        bool automatic = true;
        bool visible = true;
        bool lineVisible = true;
        bool gridVisible = true;
        QFont labelFont;
        QColor labelColor = Qt::black;
    };

    explicit TChart(QWidget *parent = nullptr);

    Axis LeftAxis, RightAxis, BottomAxis, TopAxis;

    // The chart draws these series in list order; it does not own them.
    void addSeries(ChartSeries *series);
    const std::vector<ChartSeries *> &seriesList() const { return series_; }

    bool view3D() const { return view3D_; }
    void setView3D(bool on);
    int Chart3DPercent = 10;

    QColor BackColor{192, 192, 192};
    bool GradientVisible = false;
    QColor GradientStartColor = Qt::white; // at the bottom
    QColor GradientEndColor{226, 226, 226}; // at the top
    bool BackWallTransparent = true;
    QColor BackWallColor{192, 192, 192};
    bool BottomWallTransparent = true;
    QColor BottomWallColor = Qt::white;
    QColor LeftWallColor{228, 228, 228};
    QColor LegendColor{192, 192, 192};
    QColor LegendShadowColor{128, 128, 128};
    int LegendShadowSize = 2;
    // Margins in percent of the chart's height (top, bottom) and width.
    int MarginTop = 5, MarginBottom = 3, MarginLeft = 3, MarginRight = 3;
    bool AnimatedZoom = true;

    // The range each axis shows now: its zoomed range, or the automatic one
    // from the series drawn against it.
    AxisRange rangeOf(const Axis &axis) const;

    void undoZoom();
    void zoomPercent(double percent);
    // Zooms to a rectangle of the plot given in pixels (drag-to-zoom).
    void zoomRect(const QRectF &pixels);

    void draw(QPainter &painter, const QRect &rect) const;
    // The whole chart as a placeable Windows metafile; throws
    // std::runtime_error with the system's message on failure.
    void saveToMetafile(const QString &path) const;
    // The metafile's bytes.
    QByteArray metafile() const;

    // The series and point whose drawn line passes within a few pixels.
    bool hitTest(const QPoint &pos, ChartSeries **series, int *index) const;
    // Called with the series and the point index when a line is clicked.
    std::function<void(ChartSeries *, int)> OnClickSeries;

    // The front plane of the plot for a chart of `size` (data is drawn there).
    QRectF plotRect(const QSize &size) const;

    // The drawn polyline of a series: every visible point, or per pixel
    // column its first, lowest, highest and last point when the points
    // outnumber the pixels.
    static QPolygonF seriesPolyline(const ChartSeries &s, AxisRange x, AxisRange y,
                                    const QRectF &plot);

    QSize sizeHint() const override { return {615, 424}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct Layout;
    Layout layout(const QRect &rect, const QFontMetricsF &leftFm, const QFontMetricsF &rightFm,
                  const QFontMetricsF &bottomFm) const;
    AxisRange verticalRange(VerticalAxis which) const;
    AxisRange bottomRange() const;
    const ChartSeries *labelSource() const;
    std::vector<const ChartSeries *> legendEntries() const;

    std::vector<ChartSeries *> series_;
    bool view3D_ = true;
    bool dragging_ = false;
    QPoint dragFrom_, dragTo_;
    QVariantAnimation zoomAnimation_;
    AxisRange zoomFrom_[3], zoomTo_[3];
};
