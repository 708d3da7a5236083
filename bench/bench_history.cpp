// Years of use: a history of 10 000 charges (about 800 labels, each charge
// with its lines). Times opening the history window, applying a filter,
// reading and drawing a trend, and the window thread's share of keeping a
// charge: the longest a link event spends in the recorder while the writer
// works on its own thread.
//
//   build/bench/bench_history [entries]

#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "history/historywindow.h"
#include "history/historywriter.h"
#include "history/trendchart.h"
#include "link/statistika.h"
#include "platform/localeformat.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// Labels like "AA-17"; one label ("AA-trend") holds a charge in ten, so
// its trend has a thousand points.
void fill(const QString &path, int count)
{
    HistoryStore s;
    if (!s.open(path))
        qFatal("%s", qPrintable(s.error()));
    s.begin();
    const QDateTime first(QDate(2020, 1, 1), QTime(9, 0));
    QStringList lines{QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA.")};
    for (int i = 0; i < 600; ++i)
        lines << sampleLineText(Fmt::chargeTime(i / 86400.0), quint16(4800 + i), 250, 225);
    for (int i = 0; i < count; ++i) {
        HistoryEntry e;
        e.channel = i % 2 ? 'B' : 'A';
        e.label = i % 10 == 0 ? QStringLiteral("AA-trend") : QStringLiteral("AA-%1").arg(i % 800);
        e.started = first.addSecs(qint64(i) * 4 * 3600);
        e.ended = e.started.addSecs(3600);
        e.chemistry = QStringLiteral("NiMH");
        e.currentMilliamps = 1000;
        e.samples = 3600;
        e.seconds = 3600;
        e.capacity = 2000 - i * 0.05 + (i % 7) * 3;
        e.uStart = 1.2;
        e.uPeak = 1.51;
        e.uEnd = 1.505;
        e.tPeak = 35;
        e.resistance = 0.03 + i * 1e-6;
        e.end = ChargeEnd::Report;
        e.endReport = QStringLiteral("Конец заряда.");
        s.keep(e, QStringLiteral("bench"));
        s.appendLines(e.id, lines);
    }
    if (!s.commit())
        qFatal("%s", qPrintable(s.error()));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("history.db"));
    QElapsedTimer t;
    t.start();
    fill(path, count);
    std::printf("%d entries written in %.0f ms, file %.1f MB\n", count, msSince(t),
                QFileInfo(path).size() / 1048576.0);

    HistoryStore reader;
    reader.open(path);
    HistoryWriter writer(path);
    for (int run = 0; run < 3; ++run) {
        t.restart();
        const size_t read = reader.entries().size();
        std::printf("reading %zu entries: %.1f ms\n", read, msSince(t));
        t.restart();
        auto *window = new HistoryWindow(reader, writer);
        window->show();
        QCoreApplication::processEvents();
        const double open = msSince(t);

        auto *filter = window->findChild<QLineEdit *>(QStringLiteral("filterLabel"));
        t.restart();
        filter->setText(QStringLiteral("AA-7"));
        QCoreApplication::processEvents();
        const double narrow = msSince(t);
        const int narrowed = window->model()->rowCount();
        t.restart();
        filter->clear();
        QCoreApplication::processEvents();
        const double wide = msSince(t);

        t.restart();
        TrendChart chart;
        chart.setTrend(QStringLiteral("AA-trend"), trendOf(window->model()->entries(), QStringLiteral("AA-trend")));
        QImage image(900, 400, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&image);
            chart.draw(p, image.rect());
        }
        const double trend = msSince(t);
        // The worst a label can be: every charge of the history its own.
        t.restart();
        std::vector<TrendPoint> all;
        for (const HistoryEntry &e : window->model()->entries())
            all.push_back({e.started, e.capacity, e.resistance});
        chart.setTrend(QStringLiteral("все"), std::move(all));
        {
            QPainter p(&image);
            chart.draw(p, image.rect());
        }
        const double everyTrend = msSince(t);
        std::printf("run %d: window open %.1f ms, filter %.1f ms (to %d rows), cleared %.1f ms, "
                    "trend of %d charges %.1f ms, of %zu %.1f ms\n",
                    run + 1, open, narrow, narrowed, wide, count / 10, trend, chart.points().size(), everyTrend);
        delete window;
    }

    // A charge kept live: a block and 20 000 samples, as the window thread
    // hands them over; the longest single event is what a user could feel.
    HistoryRecorder recorder(argc > 2 ? nullptr : &writer, processOwner());
    recorder.setLabel(Channel::A, QStringLiteral("AA-live"));
    std::vector<double> costs;
    QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
    LogEvent block;
    block.kind = LogEvent::Kind::ChargeStart;
    block.current = 204;
    block.mode = 0x40;
    block.stepSetting = 250;
    block.senseR = 51;
    recorder.take(block, logLines(block, false), now);
    for (int i = 0; i < 20000; ++i) {
        LogEvent e;
        e.chargeTime = Fmt::chargeTime(i / 86400.0);
        e.adc = quint16(4800 + i % 400);
        e.tenths = 225;
        e.adcStep = 250;
        const QStringList lines = logLines(e, true);
        now = now.addMSecs(500);
        t.restart();
        recorder.take(e, lines, now);
        costs.push_back(msSince(t));
    }
    t.restart();
    writer.flush();
    const double drain = msSince(t);
    std::sort(costs.begin(), costs.end());
    std::printf("keeping a charge: per event median %.4f ms, 99.9%% %.3f ms, longest %.3f ms; "
                "writer drained %.1f ms after\n",
                costs[costs.size() / 2], costs[costs.size() * 999 / 1000], costs.back(), drain);
    return 0;
}
