#include "charts/engine/chart.h"

#include "platform/localeformat.h"
#include "platform/wmfpaint.h"
#include "platform/filewrite.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QVarLengthArray>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

struct TChart::Layout
{
    QRectF plot;   // front plane: data, left and bottom axes
    double depth;  // 3D offset of the back wall, up and to the right
    QRectF legend; // empty without entries
    AxisRange left, right, bottom;
};

namespace {

constexpr int HitDistance = 4;

QString axisText(double v)
{
    return Fmt::grouped(v, 3);
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

TChart::TChart(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true); // for the cross cursor over a line
    setMinimumSize(100, 80);
    zoomAnimation_.setDuration(250);
    zoomAnimation_.setStartValue(0.0);
    zoomAnimation_.setEndValue(1.0);
    connect(&zoomAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        const double t = v.toDouble();
        Axis *axes[3] = {&LeftAxis, &RightAxis, &BottomAxis};
        for (int i = 0; i < 3; ++i) {
            axes[i]->automatic = false;
            axes[i]->range = {zoomFrom_[i].min + (zoomTo_[i].min - zoomFrom_[i].min) * t,
                              zoomFrom_[i].max + (zoomTo_[i].max - zoomFrom_[i].max) * t};
        }
        update();
    });
}

void TChart::addSeries(ChartSeries *series)
{
    series_.push_back(series);
    update();
}

void TChart::setView3D(bool on)
{
    view3D_ = on;
    update();
}

AxisRange TChart::verticalRange(VerticalAxis which) const
{
    bool any = false;
    double lo = 0, hi = 0;
    for (const ChartSeries *s : series_) {
        if (s->style.axis != which || s->isEmpty())
            continue;
        lo = any ? std::min(lo, s->minValue()) : s->minValue();
        hi = any ? std::max(hi, s->maxValue()) : s->maxValue();
        any = true;
    }
    return any ? automaticRange(lo, hi) : AxisRange{0, 1};
}

AxisRange TChart::bottomRange() const
{
    int most = 0;
    for (const ChartSeries *s : series_)
        most = std::max(most, s->count());
    return most > 1 ? AxisRange{0, double(most - 1)} : automaticRange(0, 0);
}

AxisRange TChart::rangeOf(const Axis &axis) const
{
    if (!axis.automatic)
        return axis.range;
    if (&axis == &LeftAxis)
        return verticalRange(VerticalAxis::Left);
    if (&axis == &RightAxis)
        return verticalRange(VerticalAxis::Right);
    if (&axis == &BottomAxis)
        return bottomRange();
    return axis.range;
}

void TChart::undoZoom()
{
    zoomAnimation_.stop();
    for (Axis *a : {&LeftAxis, &RightAxis, &BottomAxis, &TopAxis})
        a->automatic = true;
    TopAxis.range = {};
    update();
}

void TChart::zoomPercent(double percent)
{
    zoomAnimation_.stop();
    for (Axis *a : {&LeftAxis, &RightAxis, &BottomAxis, &TopAxis}) {
        a->range = zoomed(rangeOf(*a), percent);
        a->automatic = false;
    }
    update();
}

void TChart::zoomRect(const QRectF &px)
{
    const QRectF plot = plotRect(size());
    const AxisRange x = rangeOf(BottomAxis), l = rangeOf(LeftAxis), r = rangeOf(RightAxis);
    auto vertical = [&](const AxisRange &a) {
        return AxisRange{fromPixel(a, px.bottom(), plot.bottom(), plot.top()),
                         fromPixel(a, px.top(), plot.bottom(), plot.top())};
    };
    zoomFrom_[0] = l;
    zoomFrom_[1] = r;
    zoomFrom_[2] = x;
    zoomTo_[0] = vertical(l);
    zoomTo_[1] = vertical(r);
    zoomTo_[2] = {fromPixel(x, px.left(), plot.left(), plot.right()),
                  fromPixel(x, px.right(), plot.left(), plot.right())};
    zoomAnimation_.stop();
    if (AnimatedZoom) {
        zoomAnimation_.start();
    } else {
        Axis *axes[3] = {&LeftAxis, &RightAxis, &BottomAxis};
        for (int i = 0; i < 3; ++i) {
            axes[i]->automatic = false;
            axes[i]->range = zoomTo_[i];
        }
        update();
    }
}

const ChartSeries *TChart::labelSource() const
{
    const ChartSeries *best = nullptr;
    for (const ChartSeries *s : series_)
        if (!best || s->count() > best->count())
            best = s;
    return best;
}

std::vector<const ChartSeries *> TChart::legendEntries() const
{
    std::vector<const ChartSeries *> out;
    for (const ChartSeries *s : series_)
        if (s->style.showInLegend)
            out.push_back(s);
    return out;
}

TChart::Layout TChart::layout(const QRect &rect, const QFontMetricsF &leftFm,
                              const QFontMetricsF &rightFm, const QFontMetricsF &bottomFm) const
{
    Layout l;
    l.left = rangeOf(LeftAxis);
    l.right = rangeOf(RightAxis);
    l.bottom = rangeOf(BottomAxis);
    const double w = rect.width(), h = rect.height();
    QRectF inner(rect.left() + w * MarginLeft / 100, rect.top() + h * MarginTop / 100,
                 w * (100 - MarginLeft - MarginRight) / 100,
                 h * (100 - MarginTop - MarginBottom) / 100);

    const auto entries = legendEntries();
    if (!entries.empty()) {
        double widest = 0;
        for (const ChartSeries *s : entries)
            widest = std::max(widest, bottomFm.horizontalAdvance(s->title()));
        const double lw = widest + 36, lh = entries.size() * (bottomFm.height() + 2) + 8;
        l.legend = QRectF(inner.right() - lw, inner.top(), lw, lh);
        inner.setRight(inner.right() - lw - 8);
    }

    auto labelsWidth = [](const Axis &a, const AxisRange &r, const QFontMetricsF &fm) {
        if (!a.visible)
            return 0.0;
        double widest = 0;
        for (double v : labelValues(r, 10))
            widest = std::max(widest, fm.horizontalAdvance(axisText(v)));
        return widest + 6;
    };
    const double leftW = labelsWidth(LeftAxis, l.left, leftFm);
    const double rightW = labelsWidth(RightAxis, l.right, rightFm);
    const double bottomH = BottomAxis.visible ? bottomFm.height() + 6 : 2;
    QRectF plot(inner.left() + leftW, inner.top(), inner.width() - leftW - rightW,
                inner.height() - bottomH);
    l.depth = view3D_ ? std::round(std::min(plot.width(), plot.height()) * Chart3DPercent / 100.0)
                      : 0;
    plot.adjust(0, l.depth, -l.depth, 0);
    if (plot.width() < 10)
        plot.setWidth(10);
    if (plot.height() < 10)
        plot.setHeight(10);
    l.plot = plot;
    return l;
}

QRectF TChart::plotRect(const QSize &size) const
{
    return layout(QRect(QPoint(0, 0), size), QFontMetricsF(LeftAxis.labelFont),
                  QFontMetricsF(RightAxis.labelFont), QFontMetricsF(BottomAxis.labelFont))
        .plot;
}

namespace {

// The points of a series drawn for a bottom axis range: those in sight and
// one on either side.
std::pair<int, int> pointsInSight(const ChartSeries &s, AxisRange x)
{
    const int n = s.count();
    return {std::clamp(int(std::floor(x.min)) - 1, 0, n - 1), std::clamp(int(std::ceil(x.max)) + 1, 0, n - 1)};
}

// More points than pixel columns: the curve is drawn by columns.
bool dense(const ChartSeries &s, AxisRange x, const QRectF &plot)
{
    const auto [first, last] = pointsInSight(s, x);
    return s.count() > 0 && last - first + 1 > plot.width();
}

} // namespace

QPolygonF TChart::seriesPolyline(const ChartSeries &s, AxisRange x, AxisRange y, const QRectF &plot)
{
    QPolygonF out;
    if (s.count() == 0)
        return out;
    const auto [first, last] = pointsInSight(s, x);
    auto px = [&](int i) { return toPixel(x, i, plot.left(), plot.right()); };
    auto py = [&](double v) { return toPixel(y, v, plot.bottom(), plot.top()); };
    const std::vector<double> &v = s.values();
    if (!dense(s, x, plot)) {
        out.reserve(last - first + 1);
        for (int i = first; i <= last; ++i)
            out << QPointF(px(i), py(v[size_t(i)]));
        return out;
    }
    // More points than pixels: each pixel column keeps its lowest and highest
    // point, in the order they came, so the drawn curve looks the same at a
    // fraction of the cost (and with few vertices for the pen to join).
    out.reserve(int(plot.width()) * 2 + 8);
    const double k = (plot.right() - plot.left()) / x.span();
    const double a = plot.left() - x.min * k;
    for (int i = first; i <= last;) {
        const double column = std::floor(a + i * k);
        int end = int(std::ceil((column + 1 - a) / k));
        end = std::clamp(end, i + 1, last + 1);
        int loAt = i, hiAt = i;
        double lo = v[size_t(i)], hi = lo;
        for (int j = i + 1; j < end; ++j) {
            const double value = v[size_t(j)];
            if (value < lo) {
                lo = value;
                loAt = j;
            }
            if (value > hi) {
                hi = value;
                hiAt = j;
            }
        }
        const int firstAt = std::min(loAt, hiAt), secondAt = std::max(loAt, hiAt);
        out << QPointF(column, py(v[size_t(firstAt)]));
        if (secondAt != firstAt)
            out << QPointF(column, py(v[size_t(secondAt)]));
        i = end;
    }
    return out;
}

namespace {

// A wide pen on a pixel device: the raster engine strokes a polyline as one
// outline and scan-converts it, which costs every scanline times every edge
// crossing it; a noisy curve of a thousand vertices took tens of
// milliseconds a repaint. Stroked segment by segment, the same pixels (less
// a bevel's tip, a pixel at a corner) cost well under one. Vector devices
// (the metafile, SVG, PDF) keep the polyline with its joins.
void drawSegments(QPainter &p, const QPolygonF &line)
{
    QVarLengthArray<QLineF, 1024> segments;
    segments.reserve(line.size() - 1);
    for (qsizetype i = 1; i < line.size(); ++i)
        segments.append(QLineF(line[i - 1], line[i]));
    p.drawLines(segments.constData(), int(segments.size()));
}

// A curve of more points than pixel columns, on pixels: each column is
// one vertical stroke from its lowest to its highest point, reaching half
// way to the next column's first point. The same pixels as the polyline's
// steep segments, at a fraction of their cost: no joins, no diagonals
// drawn twice over the noise.
void drawColumns(QPainter &p, const QPolygonF &line, const QPen &pen)
{
    QVarLengthArray<QLineF, 1024> strokes;
    const double half = pen.widthF() / 2;
    QVarLengthArray<QRectF, 1024> bars;
    for (qsizetype i = 0; i < line.size();) {
        const double x = line[i].x();
        double top = line[i].y(), bottom = top;
        qsizetype j = i;
        for (; j < line.size() && line[j].x() == x; ++j) {
            top = std::min(top, line[j].y());
            bottom = std::max(bottom, line[j].y());
        }
        if (i > 0) { // from the previous column's last point
            const double mid = (line[i - 1].y() + line[i].y()) / 2;
            top = std::min(top, mid);
            bottom = std::max(bottom, mid);
        }
        if (j < line.size()) { // to the next column's first point
            const double mid = (line[j - 1].y() + line[j].y()) / 2;
            top = std::min(top, mid);
            bottom = std::max(bottom, mid);
        }
        if (half > 0.5)
            bars.append(QRectF(x - half, std::round(top), 2 * half, std::max(1.0, std::round(bottom) - std::round(top))));
        else
            strokes.append(QLineF(x, top, x, bottom));
        i = j;
    }
    if (!bars.isEmpty()) {
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(pen.color());
        p.drawRects(bars.constData(), int(bars.size()));
        p.restore();
    }
    if (!strokes.isEmpty())
        p.drawLines(strokes.constData(), int(strokes.size()));
}

} // namespace

void TChart::draw(QPainter &p, const QRect &rect) const
{
    const QFontMetricsF leftFm(LeftAxis.labelFont, p.device()), rightFm(RightAxis.labelFont, p.device()),
        bottomFm(BottomAxis.labelFont, p.device());
    const Layout l = layout(rect, leftFm, rightFm, bottomFm);
    const QRectF &plot = l.plot;
    const double d = l.depth;
    p.save();

    // Background, the gradient as bands of solid colour from the bottom up.
    p.setPen(Qt::NoPen);
    p.setBrush(BackColor);
    p.drawRect(rect);
    if (GradientVisible) {
        const int bands = 64;
        const double bandH = double(rect.height()) / bands;
        for (int i = 0; i < bands; ++i) {
            p.setBrush(mix(GradientStartColor, GradientEndColor, (i + 0.5) / bands));
            const double top = rect.bottom() + 1 - (i + 1) * bandH;
            p.drawRect(QRectF(rect.left(), std::floor(top), rect.width(), std::ceil(bandH) + 1));
        }
    }

    // Walls: back, and in 3D the left wall and the floor joining it.
    const QRectF back = plot.translated(d, -d);
    p.setPen(QPen(Qt::black, 1));
    if (d > 0) {
        p.setBrush(LeftWallColor);
        p.drawPolygon(QPolygonF({plot.topLeft(), back.topLeft(), back.bottomLeft(), plot.bottomLeft()}));
        p.setBrush(BottomWallTransparent ? QBrush(Qt::NoBrush) : QBrush(BottomWallColor));
        p.drawPolygon(QPolygonF({plot.bottomLeft(), back.bottomLeft(), back.bottomRight(), plot.bottomRight()}));
    }
    p.setBrush(BackWallTransparent ? QBrush(Qt::NoBrush) : QBrush(BackWallColor));
    p.drawRect(back);

    // Grid on the back wall, and the axis labels.
    const QPen grid(QColor(128, 128, 128), 1, Qt::DotLine);
    const auto rightValues = labelValues(l.right, std::max(2, int(plot.height() / (rightFm.height() * 2))));
    const auto leftValues = labelValues(l.left, std::max(2, int(plot.height() / (leftFm.height() * 2))));
    if (RightAxis.gridVisible) {
        p.setPen(grid);
        for (double v : rightValues) {
            const double y = toPixel(l.right, v, plot.bottom(), plot.top()) - d;
            p.drawLine(QPointF(back.left(), y), QPointF(back.right(), y));
        }
    }
    if (LeftAxis.gridVisible) {
        p.setPen(grid);
        for (double v : leftValues) {
            const double y = toPixel(l.left, v, plot.bottom(), plot.top()) - d;
            p.drawLine(QPointF(back.left(), y), QPointF(back.right(), y));
        }
    }
    if (LeftAxis.visible) {
        p.setFont(LeftAxis.labelFont);
        p.setPen(LeftAxis.labelColor);
        for (double v : leftValues) {
            const double y = toPixel(l.left, v, plot.bottom(), plot.top());
            const QString t = axisText(v);
            p.drawText(QPointF(plot.left() - 4 - leftFm.horizontalAdvance(t), y + leftFm.ascent() / 2 - 1), t);
        }
        if (LeftAxis.lineVisible) {
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(plot.topLeft(), plot.bottomLeft());
        }
    }
    if (RightAxis.visible) {
        p.setFont(RightAxis.labelFont);
        p.setPen(RightAxis.labelColor);
        for (double v : rightValues) {
            const double y = toPixel(l.right, v, plot.bottom(), plot.top()) - d;
            p.drawText(QPointF(back.right() + 4, y + rightFm.ascent() / 2 - 1), axisText(v));
        }
        if (RightAxis.lineVisible) {
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(back.topRight(), back.bottomRight());
        }
    }
    if (BottomAxis.visible) {
        if (BottomAxis.lineVisible) {
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(plot.bottomLeft(), plot.bottomRight());
        }
        // Point labels, thinned so that none overlaps the next.
        if (const ChartSeries *src = labelSource(); src && !src->isEmpty()) {
            p.setFont(BottomAxis.labelFont);
            p.setPen(BottomAxis.labelColor);
            const double perPoint = plot.width() / l.bottom.span();
            const double widest = bottomFm.horizontalAdvance(QStringLiteral("00:00")) + 8;
            const int step = std::max(1, int(std::ceil(widest / std::max(perPoint, 1e-9))));
            const int first = std::max(0, int(std::ceil(l.bottom.min)));
            const int last = std::min(src->count() - 1, int(std::floor(l.bottom.max)));
            for (int i = (first + step - 1) / step * step; i <= last; i += step) {
                const QString &t = src->label(i);
                const double x = toPixel(l.bottom, i, plot.left(), plot.right());
                p.drawText(QPointF(x - bottomFm.horizontalAdvance(t) / 2, plot.bottom() + 3 + bottomFm.ascent()), t);
                if (BottomAxis.gridVisible && i > l.bottom.min) {
                    p.setPen(grid);
                    p.drawLine(QPointF(x + d, back.top()), QPointF(x + d, back.bottom()));
                    p.setPen(BottomAxis.labelColor);
                }
            }
        }
    }

    // The curves, clipped to the plot.
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    p.setBrush(Qt::NoBrush);
    for (const ChartSeries *s : series_) {
        const AxisRange y = s->style.axis == VerticalAxis::Left ? l.left : l.right;
        const QPolygonF line = seriesPolyline(*s, l.bottom, y, plot);
        if (line.isEmpty())
            continue;
        // Bevelled joins: round ones cost an arc per vertex of a long curve.
        p.setPen(QPen(s->style.colour, s->style.width, s->style.line, Qt::FlatCap, Qt::BevelJoin));
        const bool raster = p.paintEngine()->type() == QPaintEngine::Raster;
        if (line.size() == 1)
            p.drawPoint(line.front());
        else if (raster && s->style.line == Qt::SolidLine && dense(*s, l.bottom, plot))
            drawColumns(p, line, p.pen());
        else if (raster && s->style.width > 1 && s->style.line == Qt::SolidLine)
            drawSegments(p, line);
        else
            p.drawPolyline(line);
    }
    p.setClipping(false);

    // Legend with its shadow.
    if (!l.legend.isEmpty()) {
        const auto entries = legendEntries();
        p.setPen(Qt::NoPen);
        p.setBrush(LegendShadowColor);
        p.drawRect(l.legend.translated(LegendShadowSize, LegendShadowSize));
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(LegendColor);
        p.drawRect(l.legend);
        p.setFont(BottomAxis.labelFont);
        double y = l.legend.top() + 4;
        for (const ChartSeries *s : entries) {
            const double mid = y + bottomFm.height() / 2;
            p.setPen(QPen(s->style.colour, 2, s->style.line));
            p.drawLine(QPointF(l.legend.left() + 6, mid), QPointF(l.legend.left() + 26, mid));
            p.setPen(Qt::black);
            p.drawText(QPointF(l.legend.left() + 30, y + bottomFm.ascent()), s->title());
            y += bottomFm.height() + 2;
        }
    }
    p.restore();
}

QByteArray TChart::metafile() const
{
    WmfDevice device(size());
    {
        QPainter p(&device);
        draw(p, QRect(QPoint(0, 0), size()));
    }
    return device.bytes();
}

void TChart::saveToMetafile(const QString &path) const
{
    writeWholeFile(path, metafile());
}

bool TChart::hitTest(const QPoint &pos, ChartSeries **series, int *index) const
{
    const QRectF plot = plotRect(size());
    if (!plot.adjusted(-HitDistance, -HitDistance, HitDistance, HitDistance).contains(pos))
        return false;
    const AxisRange x = rangeOf(BottomAxis);
    const double perPoint = plot.width() / x.span();
    const double slack = HitDistance / std::max(perPoint, 1e-9) + 1;
    const double at = fromPixel(x, pos.x(), plot.left(), plot.right());
    // The curve drawn last lies on top, so it is tried first.
    for (auto it = series_.rbegin(); it != series_.rend(); ++it) {
        const ChartSeries *s = *it;
        if (s->isEmpty())
            continue;
        const AxisRange y = rangeOf(s->style.axis == VerticalAxis::Left ? LeftAxis : RightAxis);
        auto point = [&](int i) {
            return QPointF(toPixel(x, i, plot.left(), plot.right()),
                           toPixel(y, s->values()[size_t(i)], plot.bottom(), plot.top()));
        };
        const int n = s->count();
        const int from = std::clamp(int(std::floor(at - slack)), 0, n - 1);
        const int to = std::clamp(int(std::ceil(at + slack)), 0, n - 1);
        double best = HitDistance + 0.5;
        int bestIndex = -1;
        for (int i = from; i <= to; ++i) {
            const QPointF a = point(i);
            const QPointF b = i < to ? point(i + 1) : a;
            // Distance from the click to the segment a-b.
            const QPointF ab = b - a, ap = QPointF(pos) - a;
            const double len2 = QPointF::dotProduct(ab, ab);
            const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / len2, 0.0, 1.0) : 0;
            const QPointF q = a + ab * t;
            const double dist = std::hypot(pos.x() - q.x(), pos.y() - q.y());
            if (dist < best) {
                best = dist;
                bestIndex = t <= 0.5 ? i : std::min(i + 1, to);
            }
        }
        if (bestIndex >= 0) {
            *series = const_cast<ChartSeries *>(s);
            *index = bestIndex;
            return true;
        }
    }
    return false;
}

void TChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    draw(p, rect());
    if (dragging_) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(dragFrom_, dragTo_).normalized());
    }
}

void TChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    dragFrom_ = dragTo_ = event->position().toPoint();
}

void TChart::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_) {
        ChartSeries *s = nullptr;
        int i = -1;
        const bool over = hitTest(event->position().toPoint(), &s, &i) && s->style.crossCursor;
        if (over)
            setCursor(Qt::CrossCursor);
        else
            unsetCursor();
        return;
    }
    dragTo_ = event->position().toPoint();
    update();
}

void TChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    dragTo_ = event->position().toPoint();
    update();
    const QPoint moved = dragTo_ - dragFrom_;
    if (moved.manhattanLength() < 4) {
        ChartSeries *s = nullptr;
        int i = -1;
        if (OnClickSeries && hitTest(dragFrom_, &s, &i))
            OnClickSeries(s, i);
    } else if (moved.x() > 0 && moved.y() > 0) {
        zoomRect(QRectF(dragFrom_, dragTo_));
    } else {
        // Dragging up or to the left takes the zoom back, as such charts do.
        undoZoom();
    }
}

void TChart::wheelEvent(QWheelEvent *event)
{
    event->accept(); // the wheel neither scrolls nor zooms the chart
}
