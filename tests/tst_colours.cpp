#include "app/TfmMain.h"
#include "charts/UnitColor.h"
#include "charts/engine/chart.h"
#include "charts/colours.h"
#include "platform/programfolder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/windowtest.h"
#include "app/widgets.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestColours : public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        WindowTest::cleanup();
        for (qint32 *c : {&ColorWall, &ColorStartGradient, &ColorEndGradient, &ColorLabelLeft,
                          &ColorLabelBottom, &ColorLabelRicht})
            *c = 0;
    }

    // A curve colour comes from its label, at once; a cancelled dialog
    // changes nothing.
    void curveColours()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        dialogs.colorAnswers << QColor(10, 20, 30);
        emit w.LabelColor_AU->clicked();
        QCOMPARE(dialogs.colorsOffered.value(0), QColor(0, 128, 0));
        QCOMPARE(w.Series1.style.colour, QColor(10, 20, 30));
        w.Series1.append(1, QStringLiteral("0:00"), Qt::black);
        w.Chart1ClickSeries(&w.Series1, 0);
        QCOMPARE(fontColor(w.labelClickSeriesA), QColor(10, 20, 30));

        const QColor before = w.Series4.style.colour; // the label's, since start-up
        w.NBT->trigger(); // cancelled
        QCOMPARE(dialogs.colorsOffered.value(1), QColor(0, 0, 255));
        QCOMPARE(w.Series4.style.colour, before);
        QCOMPARE(fontColor(w.LabelColor_BT), QColor(0, 0, 255));
    }

    // The colour window keeps the scheme; the gradient switch shows and
    // hides it without losing it; the window comes and goes with "Цвета".
    void schemeAndWindow()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.NFormColor->trigger();
        QVERIFY(w.NFormColor->isChecked() && w.NGradientVisible->isChecked());
        QVERIFY(w.Chart1->GradientVisible);
        QCOMPARE(w.Chart1->LeftWallColor, w.Chart1->BackColor); // not recoloured on opening
        QVERIFY(w.FormColor);
        dialogs.colorAnswers << QColor(1, 1, 1) << QColor(2, 2, 2);
        w.FormColor->BtnWallColor->click();
        w.FormColor->BtnColorU->click();
        QCOMPARE(w.Chart1->LeftWallColor, QColor(1, 1, 1));
        QCOMPARE(ColorLabelRicht, colorValue(QColor(2, 2, 2)));

        w.NGradientVisible->trigger(); // off
        QVERIFY(!w.Chart1->GradientVisible);
        QCOMPARE(w.Chart1->LeftAxis.labelColor, QColor(255, 0, 0));
        QCOMPARE(w.Chart1->LeftWallColor, w.Chart1->BackColor);
        w.NGradientVisible->trigger(); // on again: the scheme is back
        QCOMPARE(w.Chart1->LeftWallColor, QColor(1, 1, 1));
        QCOMPARE(w.Chart1->RightAxis.labelColor, QColor(2, 2, 2));

        w.FormColor->close();
        QVERIFY(!w.NFormColor->isChecked());
        QTRY_VERIFY(!w.FormColor);
        w.NFormColor->trigger();
        QVERIFY(w.FormColor);
        w.NFormColor->trigger();
        QVERIFY(!w.NFormColor->isChecked());
        QTRY_VERIFY(!w.FormColor);

        w.close(); // the scheme and the switches survive a restart
        TfmMain again;
        QVERIFY(again.NGradientVisible->isChecked());
        QCOMPARE(again.Chart1->LeftWallColor, QColor(1, 1, 1));
        QCOMPARE(again.Chart1->RightAxis.labelColor, QColor(2, 2, 2));
        QCOMPARE(again.Chart1->GradientStartColor, QColor(0, 0, 0)); // never chosen: black
    }
};

QTEST_MAIN(TestColours)
#include "tst_colours.moc"
