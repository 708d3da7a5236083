#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include <algorithm>

// A log's bar changes with every line that comes, but its slider moves by
// a pixel only every so many lines: repainted only when it does, and for
// new lines about once a second, in the pass that draws them. Only what
// changed is drawn again, the slider's two ends and its middle, not the
// whole bar: a styled bar's tall fills cost more than the lines. What the
// user does with it shows at once. Only the log view uses it.
class LogScrollBar : public QScrollBar
{
public:
    static constexpr int NewsRepaintMs = 1000;

    LogScrollBar(Qt::Orientation o, QWidget *parent) : QScrollBar(o, parent)
    {
        later_.setSingleShot(true);
        connect(&later_, &QTimer::timeout, this, [this] { repaintChanged(); });
    }

    // Changes from here on come from new lines; they are weighed once the
    // news is all in (a new range leaves the view short of the end for a
    // moment, which is no change worth drawing).
    void setNews(bool on)
    {
        news_ = on;
        if (!on && unsettled_)
            settle(true);
    }

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderRangeChange || change == SliderValueChange || change == SliderStepsChange) {
            if (news_)
                unsettled_ = true;
            else
                settle(false);
            return;
        }
        changed_ = {};
        later_.stop();
        QScrollBar::sliderChange(change);
    }

    void resizeEvent(QResizeEvent *e) override
    {
        shown_ = {}; // the slider is drawn anew at the new size
        ends_ = -1;
        QScrollBar::resizeEvent(e);
        weighCover();
    }

    void showEvent(QShowEvent *e) override
    {
        QScrollBar::showEvent(e);
        weighCover();
    }

    void changeEvent(QEvent *e) override
    {
        QScrollBar::changeEvent(e);
        if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange
            || e->type() == QEvent::EnabledChange)
            weighCover();
    }

    // A repaint of the slider's ends and middle is drawn a part at a time,
    // each clipped to a rectangle: a style fills the whole groove, and a
    // fill clipped to several parts is spread over the length of the bar
    // (and, beyond some rows, handed to paint threads), while one clipped
    // to a rectangle is cut to it first.
    void paintEvent(QPaintEvent *e) override
    {
        if (weighing_) {
            QScrollBar::paintEvent(e);
            return;
        }
        painted_.start();
        QPaintEngine *engine = nullptr;
        {
            QPainter probe(this);
            engine = probe.paintEngine();
        }
        const QRegion whole = engine ? engine->systemClip() : QRegion();
        if (whole.rectCount() <= 1) {
            QScrollBar::paintEvent(e);
            return;
        }
        for (const QRect &r : whole) {
            engine->setSystemClip(QRegion(r));
            QScrollBar::paintEvent(e);
        }
        engine->setSystemClip(whole);
    }

private:
    // A bar whose style covers every pixel of it is drawn without what lies
    // behind it: its repaints then draw the bar alone, not the window, the
    // page, the panel and the log's frame under it first. Whether it does is
    // seen by drawing it on nothing, at each size and look it takes.
    void weighCover()
    {
        if (weighing_)
            return;
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        if (!isVisible() || size().isEmpty()
            || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this))
            return;
        QImage drawn(size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        weighing_ = true;
        render(&drawn, QPoint(), QRegion(), RenderFlags());
        weighing_ = false;
        for (int y = 0; y < drawn.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(drawn.constScanLine(y));
            if (std::any_of(line, line + drawn.width(), [](QRgb px) { return qAlpha(px) != 255; }))
                return;
        }
        setAttribute(Qt::WA_OpaquePaintEvent, true);
    }

    void settle(bool news)
    {
        unsettled_ = false;
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
        // At either end an arrow is enabled or not.
        const int ends = (value() > minimum() ? 1 : 0) | (value() < maximum() ? 2 : 0);
        if (slider == shown_ && ends == ends_)
            return;
        changed_ += ends == ends_ && shown_.isValid() ? sliderChanged(shown_, slider) : QRegion(rect());
        shown_ = slider;
        ends_ = ends;
        // News about a second after the bar was drawn (a charger's next
        // sample, give or take the line's jitter) is drawn in the pass that
        // draws the lines; news sooner than that waits for a later pass, and
        // the timer draws the last of it only when no news came to do so.
        if (news && painted_.isValid() && painted_.elapsed() < NewsRepaintMs * 3 / 4) {
            if (!later_.isActive())
                later_.start(int(NewsRepaintMs * 3 / 2 - painted_.elapsed()));
            return;
        }
        repaintChanged();
    }

    // Where the slider was and where it is differ only at its ends, and in
    // its middle where a style may draw a grip; the rest of it, and the
    // groove around it, look the same along the bar.
    QRegion sliderChanged(const QRect &was, const QRect &is) const
    {
        // A style draws the slider's edge a little beyond its rectangle.
        const int edge = 4, grip = 8;
        const bool vertical = orientation() == Qt::Vertical;
        const QRect both = vertical ? was.united(is).adjusted(0, -edge, 0, edge) : was.united(is).adjusted(-edge, 0, edge, 0);
        const QRect common = was.intersected(is);
        if (common.isEmpty())
            return both;
        QRegion changed(both);
        changed -= vertical ? common.adjusted(0, edge, 0, -edge) : common.adjusted(edge, 0, -edge, 0);
        for (const QRect &r : {was, is}) {
            const QPoint c = r.center();
            changed += vertical ? QRect(both.left(), c.y() - grip, both.width(), 2 * grip + 1)
                                : QRect(c.x() - grip, both.top(), 2 * grip + 1, both.height());
        }
        return changed;
    }

    void repaintChanged()
    {
        later_.stop();
        update(changed_);
        changed_ = {};
    }

    QRect shown_;
    int ends_ = -1;
    bool news_ = false, unsettled_ = false, weighing_ = false;
    QRegion changed_;
    QElapsedTimer painted_;
    QTimer later_;
};

