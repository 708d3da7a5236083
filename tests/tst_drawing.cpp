// What the screen shows after the small repaints a running charge makes
// (a log's slider creeping a line at a time) is what drawing the widget
// whole shows, and bars that come and go still do.

#include "app/logmemo.h"
#include "app/widgets.h"
#include "platform/screenpacer.h"

#include <QApplication>
#include <QGroupBox>
#include <QTabWidget>
#include <QLabel>
#include <QVBoxLayout>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <functional>
#include <vector>

namespace {

// The widget as its window's backing store holds it, and as drawn afresh.
QImage onScreen(QWidget *w)
{
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    return w->screen()
        ->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage drawnWhole(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Empty when the widget on screen is the widget drawn whole, else where and
// how they differ first.
QString differs(QWidget *w)
{
    const QImage shown = onScreen(w), whole = drawnWhole(w);
    if (shown.size() != whole.size())
        return QStringLiteral("%1: %2x%3 on screen, %4x%5 drawn whole")
            .arg(w->metaObject()->className())
            .arg(shown.width()).arg(shown.height()).arg(whole.width()).arg(whole.height());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != whole.pixel(x, y))
                return QStringLiteral("%1 at %2,%3: %4 on screen, %5 drawn whole")
                    .arg(w->metaObject()->className()).arg(x).arg(y)
                    .arg(shown.pixel(x, y), 8, 16).arg(whole.pixel(x, y), 8, 16);
    return {};
}

// Counts one kind of event a widget receives.
class EventCount : public QObject
{
public:
    EventCount(QWidget *w, QEvent::Type type) : type_(type) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == type_;
        return false;
    }

private:
    QEvent::Type type_;
};

// The bars wait up to a second and a half to show what the last new lines
// did to them.
constexpr int NewsSettleMs = 1800;

} // namespace

class TestDrawing : public QObject
{
    Q_OBJECT

private slots:
    // Lines a second at a time, then the user scrolling and jumping: each
    // time the bars on screen are the bars drawn whole.
    void logBarsAsTheyAre()
    {
        LogMemo memo;
        memo.setFlushTimer(false);
        memo.setFocusPolicy(Qt::NoFocus); // no caret blinking between the two pictures
        memo.resize(260, 180);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        QScrollBar *bar = memo.verticalScrollBar();
        QString wide;
        for (int i = 0; i < 150; ++i) {
            memo.addLine(QStringLiteral("00:%1  ADC=%2  U=1.2825").arg(i, 2, 10, QLatin1Char('0')).arg(500 + i) + wide);
            if (i % 40 == 39)
                wide += QStringLiteral(" wider");
            memo.flush();
            QTest::qWait(i % 7 == 0 ? 40 : 1);
        }
        QTest::qWait(NewsSettleMs);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(differs(bar), QString());
        QCOMPARE(differs(memo.horizontalScrollBar()), QString());
        for (int to : {bar->maximum() - 1, 60, 0, 3, bar->maximum()}) {
            bar->setValue(to);
            QTest::qWait(30); // the user's own scrolling shows at once
            QCOMPARE(differs(bar), QString());
            QCOMPARE(differs(memo.viewport()), QString());
        }
    }

    // A long slider moved a line at a time is drawn again only at its ends
    // and its middle, each part on its own: every part is drawn, and the
    // bar on screen is the bar drawn whole.
    void longSliderStepByStep()
    {
        LogMemo memo;
        memo.setFlushTimer(false);
        memo.setFocusPolicy(Qt::NoFocus);
        memo.resize(260, 300);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines << QStringLiteral("00:%1  ADC=%2").arg(i, 2, 10, QLatin1Char('0')).arg(500 + i);
        memo.setLines(lines);
        QScrollBar *bar = memo.verticalScrollBar();
        QVERIFY(bar->maximum() > 5);
        // A bar that covers itself (as the default style's does) is drawn
        // alone: the log's frame behind it is not drawn again.
        QTest::qWait(50);
        EventCount framePaints(&memo, QEvent::Paint);
        for (int to = 1; to <= bar->maximum(); ++to) {
            bar->setValue(to);
            QTest::qWait(20);
            QCOMPARE(differs(bar), QString());
        }
        QCOMPARE(framePaints.count, 0);
        for (int to = bar->maximum() - 1; to >= 0; to -= 2) {
            bar->setValue(to);
            QTest::qWait(20);
            QCOMPARE(differs(bar), QString());
        }
    }

    // News after a quiet spell is drawn in the same pass of the screen as
    // what the delivery that brought it showed itself (the received count):
    // one pass, not two.
    void newsAndItsDeliveryInOnePass()
    {
        QWidget window;
        auto *counter = new QLabel(QStringLiteral("Принято"));
        auto *news = new QLabel(QStringLiteral("-"));
        auto *layout = new QVBoxLayout(&window);
        for (QLabel *l : {counter, news}) {
            l->setFixedSize(200, 20); // as the window's own: a new text lays nothing out
            layout->addWidget(l);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(50);
        EventCount passes(&window, QEvent::UpdateRequest);
        ScreenPacer pacer(333, [&] { news->setText(QStringLiteral("00:00:01 ADC=500")); });
        for (int second = 1; second <= 2; ++second) {
            counter->setText(QStringLiteral("Прин. %1").arg(5 * second));
            pacer.news();
            QTRY_COMPARE(news->text(), QStringLiteral("00:00:01 ADC=500"));
            QTest::qWait(400); // the pace over: the next news comes after a quiet spell
            QCOMPARE(passes.count, second);
            news->setText(QStringLiteral("-"));
            QTest::qWait(50);
            passes.count = second;
        }
    }

    // A ticking label draws its new texts over the background it kept, and
    // whatever changes that background (a palette, a size, the page shown
    // again, the box disabled) has it take the new one: the window on
    // screen is always the window of a twin whose label keeps nothing.
    void tickingLabelKeepsItsBackground()
    {
        struct Form
        {
            QTabWidget tabs;
            QGroupBox *box = new QGroupBox(QStringLiteral("Инфо"));
            TLabel *clock = new TLabel(QStringLiteral("Время"));
            explicit Form(bool keep)
            {
                auto *page = new QWidget;
                auto *layout = new QVBoxLayout(page);
                layout->addWidget(box);
                auto *inBox = new QVBoxLayout(box);
                clock->setFixedSize(110, 18);
                inBox->addWidget(clock);
                inBox->addWidget(new QLabel(QStringLiteral("Послано")));
                tabs.addTab(page, QStringLiteral("Статистика"));
                tabs.addTab(new QWidget, QStringLiteral("Графики"));
                clock->setKeepsBackground(keep);
                tabs.resize(300, 200);
                tabs.show();
            }
        } kept(true), twin(false);
        twin.tabs.move(kept.tabs.x() + 400, kept.tabs.y()); // apart, each wholly on screen
        QVERIFY(QTest::qWaitForWindowExposed(&kept.tabs));
        QVERIFY(QTest::qWaitForWindowExposed(&twin.tabs));
        int tick = 0;
        const auto sameAsTwin = [&]() -> QString {
            const QString text = QStringLiteral("03:15:%1").arg(tick++ % 60, 2, 10, QLatin1Char('0'));
            kept.clock->setText(text);
            twin.clock->setText(text);
            QTest::qWait(40);
            const QImage shown = onScreen(&kept.tabs), whole = drawnWhole(&twin.tabs);
            if (shown != whole)
                return QStringLiteral("the window on screen is not its twin's after %1").arg(text);
            return {};
        };
        QCOMPARE(sameAsTwin(), QString());
        EventCount boxPaints(kept.box, QEvent::Paint);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(sameAsTwin(), QString());
        QCOMPARE(boxPaints.count, 0); // new texts alone: the box beneath is not drawn again
        const std::vector<std::function<void(Form &)>> changes = {
            [](Form &f) {
                QWidget *page = f.tabs.widget(0);
                page->setAutoFillBackground(true);
                QPalette p = page->palette();
                p.setColor(QPalette::Window, QColor(200, 220, 240));
                page->setPalette(p);
            },
            [](Form &f) {
                QPalette p = f.tabs.palette();
                p.setColor(QPalette::Window, QColor(240, 200, 200));
                f.tabs.setPalette(p);
            },
            [](Form &f) { f.tabs.resize(340, 230); },
            [](Form &f) { f.tabs.setCurrentIndex(1); },
            [](Form &f) { f.tabs.setCurrentIndex(0); },
            [](Form &f) { f.box->setEnabled(false); },
            [](Form &f) { f.box->setTitle(QStringLiteral("Информация о заряде")); },
        };
        for (const auto &change : changes) {
            change(kept);
            change(twin);
            QTest::qWait(40);
            QCOMPARE(sameAsTwin(), QString());
            QCOMPARE(sameAsTwin(), QString());
        }
    }

    // A bar that shows only when needed comes with the lines that need it
    // and goes with them.
    void barsComeAndGo()
    {
        LogMemo memo;
        memo.setFlushTimer(false);
        memo.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        memo.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        memo.resize(260, 180);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        memo.addLine(QStringLiteral("one short line"));
        memo.flush();
        QTest::qWait(20);
        QVERIFY(!memo.verticalScrollBar()->isVisible());
        QVERIFY(!memo.horizontalScrollBar()->isVisible());
        for (int i = 0; i < 60; ++i)
            memo.addLine(QStringLiteral("line %1").arg(i));
        memo.flush();
        QTRY_VERIFY(memo.verticalScrollBar()->isVisible());
        QVERIFY(!memo.horizontalScrollBar()->isVisible());
        memo.addLine(QString(200, QLatin1Char('x')));
        memo.flush();
        QTRY_VERIFY(memo.horizontalScrollBar()->isVisible());
        memo.setLines({QStringLiteral("short again")});
        QTRY_VERIFY(!memo.verticalScrollBar()->isVisible());
        QTRY_VERIFY(!memo.horizontalScrollBar()->isVisible());
    }
};

QTEST_MAIN(TestDrawing)

#include "tst_drawing.moc"
