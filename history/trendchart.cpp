#include "history/trendchart.h"

#include "platform/localeformat.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

struct Scale
{
    double low = 0, high = 1;
    double span() const { return high - low; }
};

// A range widened to round steps, about five of them.
Scale niceScale(double low, double high, double *step)
{
    if (high <= low) {
        const double pad = std::max(std::abs(low) * 0.05, 1e-3);
        low -= pad;
        high += pad;
    }
    const double raw = (high - low) / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double s = magnitude;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (magnitude * m >= raw) {
            s = magnitude * m;
            break;
        }
    *step = s;
    return {std::floor(low / s) * s, std::ceil(high / s) * s};
}

int decimalsFor(double step)
{
    return step >= 1 ? 0 : int(std::ceil(-std::log10(step) + 1e-9));
}

} // namespace

TrendChart::TrendChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("trendChart"));
    setAccessibleName(QStringLiteral("Тренд ёмкости и сопротивления"));
    setMinimumSize(320, 200);
}

void TrendChart::setTrend(const QString &label, std::vector<TrendPoint> points)
{
    label_ = label;
    points_ = std::move(points);
    setAccessibleDescription(QStringLiteral("%1: зарядов %2").arg(label_).arg(points_.size()));
    update();
}

void TrendChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    draw(p, rect());
}

void TrendChart::draw(QPainter &p, const QRect &rect) const
{
    p.save();
    p.fillRect(rect, Qt::white);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics fm(p.font());
    const QColor capacityColour(0, 110, 0), resistanceColour(200, 80, 0);
    p.setPen(Qt::black);
    const QString what = QStringLiteral("заряжено, mAh, и внутреннее R, Ом");
    p.drawText(rect.adjusted(8, 4, -8, 0), Qt::AlignTop | Qt::AlignHCenter,
               label_.isEmpty() ? QStringLiteral("Тренд: ") + what : label_ + QStringLiteral(": ") + what);
    if (points_.empty()) {
        p.drawText(rect, Qt::AlignCenter,
                   label_.isEmpty()
                       ? QStringLiteral("Меток пока нет: дайте заряду метку в таблице\nили в поле «Аккумулятор» над журналами")
                       : QStringLiteral("Нет зарядов этой метки с отчётом «Конец заряда.»"));
        p.restore();
        return;
    }

    double cLow = points_.front().capacity, cHigh = cLow;
    std::optional<double> rLow, rHigh;
    for (const TrendPoint &t : points_) {
        cLow = std::min(cLow, t.capacity);
        cHigh = std::max(cHigh, t.capacity);
        if (t.resistance) {
            rLow = rLow ? std::min(*rLow, *t.resistance) : *t.resistance;
            rHigh = rHigh ? std::max(*rHigh, *t.resistance) : *t.resistance;
        }
    }
    double cStep = 1, rStep = 1;
    const Scale cs = niceScale(cLow, cHigh, &cStep);
    const Scale rs = rLow ? niceScale(*rLow, *rHigh, &rStep) : Scale{};
    const int cDecimals = decimalsFor(cStep), rDecimals = decimalsFor(rStep);

    const int leftWidth = fm.horizontalAdvance(Fmt::fixed(cs.high, cDecimals)) + 12;
    const int rightWidth = rLow ? fm.horizontalAdvance(Fmt::fixed(rs.high, rDecimals)) + 12 : 12;
    const QRectF plot(rect.left() + leftWidth, rect.top() + fm.height() + 12,
                      rect.width() - leftWidth - rightWidth, rect.height() - 2 * fm.height() - 24);
    if (plot.width() < 10 || plot.height() < 10) {
        p.restore();
        return;
    }
    const qint64 first = points_.front().when.toMSecsSinceEpoch(), last = points_.back().when.toMSecsSinceEpoch();
    const double tSpan = std::max<qint64>(last - first, 1);
    auto x = [&](const TrendPoint &t) {
        return points_.size() == 1 ? plot.center().x()
                                   : plot.left() + (t.when.toMSecsSinceEpoch() - first) / tSpan * plot.width();
    };
    auto y = [&](double v, const Scale &s) { return plot.bottom() - (v - s.low) / s.span() * plot.height(); };

    // The grid and the scales.
    p.setPen(QPen(QColor(210, 210, 210), 1, Qt::DotLine));
    for (double v = cs.low; v <= cs.high + cStep / 2; v += cStep)
        p.drawLine(QPointF(plot.left(), y(v, cs)), QPointF(plot.right(), y(v, cs)));
    p.setPen(capacityColour);
    for (double v = cs.low; v <= cs.high + cStep / 2; v += cStep)
        p.drawText(QRectF(rect.left(), y(v, cs) - fm.height() / 2.0, leftWidth - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Fmt::fixed(v, cDecimals));
    if (rLow) {
        p.setPen(resistanceColour);
        for (double v = rs.low; v <= rs.high + rStep / 2; v += rStep)
            p.drawText(QRectF(plot.right() + 6, y(v, rs) - fm.height() / 2.0, rightWidth - 6, fm.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, Fmt::fixed(v, rDecimals));
    }
    p.setPen(Qt::black);
    p.drawRect(plot);
    // Charges of one day differ by the hour only.
    const QDateTime since = points_.front().when.toLocalTime(), until = points_.back().when.toLocalTime();
    const bool oneDay = since.date() == until.date();
    const QString dateFormat = oneDay ? QStringLiteral("dd.MM.yyyy HH:mm") : QStringLiteral("dd.MM.yyyy");
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), fm.height()), Qt::AlignLeft,
               since.toString(dateFormat));
    if (points_.size() > 1)
        p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), fm.height()), Qt::AlignRight,
                   until.toString(dateFormat));

    // The curves: thousands of charges draw as one path each, the marks
    // only while they stay apart.
    const bool marks = points_.size() <= size_t(plot.width() / 6);
    auto curve = [&](const QColor &colour, auto value, const Scale &s) {
        QPainterPath path;
        bool started = false;
        for (const TrendPoint &t : points_) {
            const std::optional<double> v = value(t);
            if (!v)
                continue;
            const QPointF at(x(t), y(*v, s));
            if (started)
                path.lineTo(at);
            else
                path.moveTo(at);
            started = true;
        }
        p.setPen(QPen(colour, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        if (marks) {
            p.setBrush(colour);
            for (const TrendPoint &t : points_)
                if (const std::optional<double> v = value(t))
                    p.drawEllipse(QPointF(x(t), y(*v, s)), 3, 3);
        }
    };
    curve(capacityColour, [](const TrendPoint &t) { return std::optional<double>(t.capacity); }, cs);
    if (rLow)
        curve(resistanceColour, [](const TrendPoint &t) { return t.resistance; }, rs);
    p.restore();
}
