#include "TfmMain.h"

#include <QTabWidget>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void captionAndPages()
    {
        TfmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostrel"));
        auto *pages = w.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
        QVERIFY(pages);
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QStringLiteral("Статистика"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Графики"));
        QCOMPARE(pages->tabText(2), QStringLiteral("Настройки"));
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(pages->widget(2)->objectName(), QStringLiteral("TabSetup"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
