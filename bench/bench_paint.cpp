// Time of one repaint of the chart holding four noisy curves, at the chart's
// design size, in 3D and in 2D: of 1 000 and 10 000 points (the first hours
// of a charge, where the noise spans much of the plot) and of 100 000 points
// each (a day-long charge sampled every second).
//
//   build/bench/bench_paint [points]

#include "charts/engine/chart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<int> counts = argc > 1 ? std::vector<int>{std::atoi(argv[1])}
                                              : std::vector<int>{1000, 10000, 100000};
    for (const int points : counts) {
        ChartSeries series[4];
        TChart chart;
        chart.resize(615, 424);
        for (int s = 0; s < 4; ++s) {
            series[s].style.axis = s % 2 ? VerticalAxis::Left : VerticalAxis::Right;
            series[s].style.colour = QColor::fromHsv(s * 80, 255, 200);
            series[s].style.width = s % 2 ? 1 : 2;
            for (int i = 0; i < points; ++i) {
                const double noise = std::sin(i * 12.9898 + s) * 0.002;
                series[s].append(s % 2 ? 22 + i / 10000.0 + noise * 100 : 1.3 + i / 1e6 + noise,
                                 QStringLiteral("%1:%2").arg(i / 3600).arg(i / 60 % 60, 2, 10, QLatin1Char('0')),
                                 Qt::black);
            }
            chart.addSeries(&series[s]);
        }
        QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
        for (bool view3D : {true, false}) {
            chart.setView3D(view3D);
            const int rounds = 50;
            QElapsedTimer timer;
            timer.start();
            for (int r = 0; r < rounds; ++r) {
                QPainter p(&image);
                chart.draw(p, image.rect());
            }
            std::printf("%s, 4 x %6d points: %6.2f ms a repaint\n", view3D ? "3D" : "2D", points,
                        timer.nsecsElapsed() / 1e6 / rounds);
        }
    }
    return 0;
}
