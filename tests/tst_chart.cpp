#include "app/TfmMain.h"
#include "charts/engine/chart.h"
#include "charts/chartlines.h"
#include "platform/codepage.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/scripteddialogs.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QPainter>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QtTest>

#include <cmath>

namespace {

void fill(LogMemo *memo, const QStringList &lines)
{
    memo->clear();
    for (const QString &l : lines)
        memo->addLine(l);
    memo->flush();
}

QString sample(const char *time, double u, double t)
{
    return QStringLiteral("%1    ADC=1    U=%2    T=%3;").arg(QLatin1String(time), Fmt::fixed(u, 4), Fmt::fixed(t, 1));
}

bool hasColour(const QImage &img, QColor c)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c)
                return true;
    return false;
}

} // namespace

class TestChart : public WindowTest
{
    Q_OBJECT

private slots:

    void axisArithmetic()
    {
        AxisRange r{0, 100};
        for (int i = 0; i < 3; ++i)
            r = zoomed(r, 102);
        QVERIFY(std::abs(r.span() - 100 * std::pow(0.96, 3)) < 1e-9);
        QCOMPARE((r.min + r.max) / 2, 50.0);
        QCOMPARE(zoomed({0, 100}, 99), (AxisRange{-1, 101}));
        // Degenerate data still gives a usable range.
        QVERIFY(automaticRange(5, 5).span() > 0);
        QVERIFY(automaticRange(0, 0).span() > 0);
        QCOMPARE(zoomed({1, 1.0000001}, 200), (AxisRange{1, 1.0000001}));
        const auto labels = labelValues({1.27, 1.39}, 10);
        QVERIFY(labels.size() >= 5 && labels.size() <= 13);
        QVERIFY(labels.front() >= 1.27 && labels.back() <= 1.39 + 1e-9);
        QVERIFY(labelValues({0, 1e300}, 10).size() <= 11);
    }

    void lineParts_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("u");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("t");
        QTest::newRow("measurement") << "0:05:12    ADC=512    U=1,2345    T=24,5;" << "1,2345" << "0:05" << "24,5";
        QTest::newRow("no colon") << "U=1 T=2" << "1" << "U=1 T=2" << "2";
        QTest::newRow("U at the end") << "x U=1,5" << "1,5" << "x U=1,5" << "";
        QTest::newRow("no U") << "END:  Конец заряда." << "" << "END:  Конец заряда." << "";
        QTest::newRow("Cyrillic letters") << "Старт. Ток = 1000 mA." << "" << "Старт. Ток = 1000 mA." << "";
    }
    void lineParts()
    {
        QFETCH(QString, line);
        const ChartLineParts p = parseChartLine(line);
        QTEST(p.u, "u");
        QTEST(p.time, "time");
        QTEST(p.t, "t");
    }

    // A rebuild reads the log, plots only the curves that are on, and
    // stops at a line it cannot read.
    void rebuildFromTheLogs()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        fill(w.Memo1, {QStringLiteral("Старт."), sample("0:05:12", 1.2345, 24.5), sample("0:06:12", 1.25, 25)});
        fill(w.Memo2, {sample("1:00:00", 1.3, 20)});
        w.ConstructChartGraf(w.Memo1);
        QCOMPARE(w.Series1.count(), 2);
        QCOMPARE(w.Series1.point(0).value, 1.2345);
        QCOMPARE(w.Series1.point(0).label, QStringLiteral("0:05"));
        QCOMPARE(w.Series2.point(1).value, 25.0);
        QCOMPARE(w.Series3.count(), 0); // channel B untouched
        QVERIFY(!w.Chart1->BottomAxis.automatic); // ended with the 99 percent zoom

        w.BtnViewAT->setChecked(false);
        fill(w.Memo1, {sample("0:01:00", 1.2, 20), QStringLiteral("0:02:00    U=1,3    T=x;")});
        w.ConstructChartGraf(w.Memo1); // the T text is not read while its curve is off
        QCOMPARE(w.Series1.count(), 2);
        QCOMPARE(w.Series2.count(), 0);
        QVERIFY(dialogs.messages.isEmpty());

        w.BtnViewAT->setChecked(true);
        w.Chart1->undoZoom();
        w.ConstructChartGraf(w.Memo1);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Ошибка в построении графика!")});
        QCOMPARE(w.Series1.count(), 2); // what was plotted stays
        QVERIFY(w.Chart1->BottomAxis.automatic); // no zoom after a failure

        dialogs.messages.clear();
        fill(w.Memo1, {QStringLiteral("0:02:00    U=1.3    T=20,0;")}); // the other separator
        w.ConstructChartGraf(w.Memo1);
        QCOMPARE(dialogs.messages.size(), 1);
    }

    // Undo zoom re-plots the logs outside the sensor poll and ends at plain
    // automatic scaling; during the poll it only resets the scales.
    void undoZoomAndToggles()
    {
        TfmMain w;
        fill(w.Memo2, {sample("0:00:01", 1.3, 20), sample("0:00:02", 1.31, 21)});
        w.BtnzoomplusA->click();
        w.BtnUndoZoomA->click();
        QCOMPARE(w.Series3.count(), 2);
        QVERIFY(w.Chart1->LeftAxis.automatic && w.Chart1->BottomAxis.automatic);

        w.BtnViewBT->click(); // off
        QVERIFY(w.LabelColor_BT->isHidden());
        QCOMPARE(w.Series4.count(), 0);

        w.CheckBoxConstruktorGraf->setEnabled(true);
        w.Series2.append(30, QStringLiteral("0:01"), Qt::green);
        w.BtnViewBT->click();
        QCOMPARE(w.Series2.count(), 1); // the polled point stays
        QCOMPARE(w.Series4.count(), 0);

        w.BtnChartClear1->click();
        for (ChartSeries *s : w.Chart1->seriesList())
            QCOMPARE(s->count(), 0);
    }

    void clickReadout()
    {
        TfmMain w;
        useLocale("en_US");
        w.Series1.append(1234.5678, QStringLiteral("1:05"), Qt::green);
        w.Series2.append(25.25, QStringLiteral("1:05"), Qt::green);
        setFontColor(w.LabelColor_AU, QColor(1, 2, 3));
        w.Chart1ClickSeries(&w.Series1, 0);
        QCOMPARE(w.labelClickSeriesA->text(), QStringLiteral("Время = 1:05  U=1,234.568  T=25.3°C"));
        QCOMPARE(fontColor(w.labelClickSeriesA), QColor(1, 2, 3));
        w.BtnViewAT->setChecked(false);
        w.Chart1ClickSeries(&w.Series1, 0);
        QCOMPARE(w.labelClickSeriesA->text(), QStringLiteral("Время = 1:05  U=1,234.568"));
        w.Chart1ClickSeries(&w.Series2, 0);
        QVERIFY(w.labelClickSeriesB->text().isEmpty());
    }

    // The keys act on the chart page only; only Home is taken from the
    // focused control.
    void pageKeys()
    {
        TfmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Series1.append(1, QStringLiteral("0:00"), Qt::green);
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(w.Series1.count(), 1); // not on this page

        w.PageControl1->setCurrentWidget(w.TabSheet1);
        QTest::keyClick(w.BtnViewA, Qt::Key_Minus);
        QVERIFY(w.Chart1->LeftAxis.automatic); // the main block's minus is not bound
        QTest::keyClick(w.BtnViewA, Qt::Key_Minus, Qt::KeypadModifier);
        QVERIFY(!w.Chart1->LeftAxis.automatic);
        QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
        QApplication::sendEvent(w.BtnViewA, &home);
        QVERIFY(w.Chart1->LeftAxis.automatic);
        QTest::keyClick(w.BtnViewA, Qt::Key_Delete);
        QCOMPARE(w.Series1.count(), 0);
    }

    // Drawn with their colours, and a click on a drawn line finds its point.
    void drawingAndHitTest()
    {
        TChart chart;
        chart.resize(400, 300);
        ChartSeries a, b;
        a.style.colour = QColor(0, 128, 0);
        a.style.width = 2;
        b.style.colour = QColor(0, 0, 255);
        b.style.width = 2;
        b.style.axis = VerticalAxis::Right;
        for (int i = 0; i < 50; ++i) {
            a.append(20 + i % 5, QStringLiteral("0:%1").arg(i, 2, 10, QLatin1Char('0')), Qt::green);
            b.append(1.3, QStringLiteral("0:00"), Qt::blue); // all equal: no division by zero
        }
        chart.addSeries(&a);
        chart.addSeries(&b);
        for (bool view3D : {true, false}) {
            chart.setView3D(view3D);
            QImage img(chart.size(), QImage::Format_RGB32);
            QPainter p(&img);
            chart.draw(p, img.rect());
            p.end();
            QVERIFY(hasColour(img, QColor(0, 128, 0)));
            QVERIFY(hasColour(img, QColor(0, 0, 255)));
        }
        const QRectF plot = chart.plotRect(chart.size());
        const AxisRange x = chart.rangeOf(chart.BottomAxis), y = chart.rangeOf(chart.LeftAxis);
        const QPoint at(int(std::lround(toPixel(x, 10, plot.left(), plot.right()))),
                        int(std::lround(toPixel(y, a.point(10).value, plot.bottom(), plot.top()))));
        ChartSeries *hit = nullptr;
        int index = -1;
        QVERIFY(chart.hitTest(at, &hit, &index));
        QCOMPARE(hit, &a);
        QCOMPARE(index, 10);
        QVERIFY(!chart.hitTest(QPoint(2, 2), &hit, &index));

        ChartSeries empty;
        TChart bare;
        bare.resize(200, 150);
        bare.addSeries(&empty);
        QImage img(bare.size(), QImage::Format_RGB32);
        QPainter p(&img);
        bare.draw(p, img.rect()); // nothing to draw, nothing breaks
    }

    // On pixels a wide curve is stroked segment by segment: it must cover
    // what the polyline covers, short of a bevel's tip at some corners and
    // of single edge pixels that the two scan conversions round apart.
    void wideCurveOnPixels()
    {
        TChart chart;
        chart.resize(400, 300);
        chart.setView3D(false);
        ChartSeries noisy;
        noisy.style.colour = QColor(0, 128, 0);
        noisy.style.width = 2;
        for (int i = 0; i < 2000; ++i)
            noisy.append(1.3 + i / 1e5 + std::sin(i * 12.9898) * 0.002, QString(), Qt::black);
        chart.addSeries(&noisy);
        QImage drawn(chart.size(), QImage::Format_RGB32);
        drawn.fill(Qt::white);
        {
            QPainter p(&drawn);
            chart.draw(p, drawn.rect());
        }
        const QRectF plot = chart.plotRect(chart.size());
        QImage reference(chart.size(), QImage::Format_RGB32);
        reference.fill(Qt::white);
        {
            QPainter p(&reference);
            p.setClipRect(plot);
            p.setPen(QPen(noisy.style.colour, 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
            p.drawPolyline(TChart::seriesPolyline(noisy, chart.rangeOf(chart.BottomAxis),
                                                  chart.rangeOf(chart.LeftAxis), plot));
        }
        int both = 0, onlyDrawn = 0, onlyReference = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const bool d = drawn.pixelColor(x, y) == noisy.style.colour;
                const bool r = reference.pixelColor(x, y) == noisy.style.colour;
                both += d && r;
                onlyDrawn += d && !r;
                onlyReference += r && !d;
            }
        QVERIFY2(both > 5000, qPrintable(QString::number(both)));
        QVERIFY2(onlyDrawn * 100 < both, qPrintable(QStringLiteral("%1 of %2").arg(onlyDrawn).arg(both)));
        QVERIFY2(onlyReference * 50 < both, qPrintable(QStringLiteral("%1 of %2").arg(onlyReference).arg(both)));
    }

    // A day-long series is drawn through its per-column extremes.
    void longSeriesKeepsItsExtremes()
    {
        ChartSeries s;
        for (int i = 0; i < 100000; ++i)
            s.append(i == 54321 ? 9 : (i == 12345 ? -9 : std::sin(i / 1000.0)), QString(), Qt::black);
        const QRectF plot(0, 0, 500, 200);
        const QPolygonF line = TChart::seriesPolyline(s, {0, 99999}, {-10, 10}, plot);
        QVERIFY(line.size() <= 4 * 501 + 8);
        double top = 1e9, bottom = -1e9;
        for (const QPointF &p : line) {
            top = std::min(top, p.y());
            bottom = std::max(bottom, p.y());
        }
        QCOMPARE(top, toPixel({-10, 10}, 9, 200, 0));
        QCOMPARE(bottom, toPixel({-10, 10}, -9, 200, 0));
    }

    // The export asks for a folder and a name, carries a legend of the
    // visible curves, and other programs can read it.
    void metafileExport()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.resize(638, 568);
        w.Series1.append(1.3, QStringLiteral("0:00"), Qt::green);
        w.Series1.append(1.4, QStringLiteral("0:01"), Qt::green);
        w.BtnViewB->setChecked(false);
        QTemporaryDir out;
        dialogs.folderAnswers << out.path();
        dialogs.textAnswers << QStringLiteral("chart");
        w.BtnSaveGrafA->click();
        QCOMPARE(dialogs.asked.value(0), programFolder());
        QCOMPARE(dialogs.titles.value(0), QStringLiteral("Сохранить как Metafile *.emf"));
        QVERIFY(dialogs.asked.value(1).startsWith(QStringLiteral("Имя|")));
        const QString path = QDir(out.path()).filePath(QStringLiteral("chart.emf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray wmf = f.readAll();
        QVERIFY(wmf.startsWith(QByteArray::fromHex("d7cdc69a")));
        QVERIFY(wmf.contains(toCp1251(QStringLiteral("Канал"))));
        QVERIFY(wmf.contains(toCp1251(QStringLiteral("Темп. А"))));
        QVERIFY(wmf.contains(toCp1251(QStringLiteral("Темп. В"))));
        QVERIFY(!wmf.contains(toCp1251(QStringLiteral("Канал В")))); // its curve is off
        for (ChartSeries *s : w.Chart1->seriesList())
            QVERIFY(!s->style.showInLegend);

        QProcess convert;
        convert.start(QStringLiteral("wmf2svg"), {QStringLiteral("-o"), path + QStringLiteral(".svg"), path});
        QVERIFY(convert.waitForFinished(20000));
        QCOMPARE(convert.exitCode(), 0);
        QFile svg(path + QStringLiteral(".svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray svgText = svg.readAll();
        QVERIFY(svgText.contains("<polyline"));
        QVERIFY(svgText.contains(toCp1251(QStringLiteral("Темп. А"))));

        // An existing name and "No": nothing written.
        f.close();
        QFile::resize(path, 10);
        dialogs.folderAnswers << out.path();
        dialogs.textAnswers << QStringLiteral("chart");
        dialogs.answers << QMessageBox::No;
        w.BtnSaveGrafA->click();
        QCOMPARE(dialogs.questions.value(0), QStringLiteral("Такой файл есть.  Продолжить?"));
        QCOMPARE(dialogs.titles.last(), QStringLiteral("MkDir"));
        QCOMPARE(QFileInfo(path).size(), 10);

        // A folder that cannot be written: the error reaches the report.
        dialogs.folderAnswers << QStringLiteral("/nonexistent-folder");
        dialogs.textAnswers << QStringLiteral("x");
        w.BtnSaveGrafA->click();
        QVERIFY(dialogs.messages.value(0).contains(QStringLiteral("/nonexistent-folder")));

        // Cancelling either dialog does nothing.
        const int before = dialogs.titles.size();
        w.BtnSaveGrafA->click();
        QCOMPARE(dialogs.titles.size(), before);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
