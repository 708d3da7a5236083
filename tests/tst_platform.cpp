#include "platform/clock.h"
#include "platform/errorreport.h"
#include "tests/support/scripteddialogs.h"

#include <QPushButton>
#include <QtTest>

#include <stdexcept>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Dialogs::install(nullptr);
        Clock::setSource(nullptr);
    }

    // A handler that throws shows the error's text and the program goes on:
    // the next click runs the handler again.
    void handlerErrorIsReportedAndProgramGoesOn()
    {
        auto &dialogs = ScriptedDialogs::install();
        QPushButton button;
        int runs = 0;
        connectHandler(&button, &QPushButton::clicked, &button, [&](bool) {
            ++runs;
            if (runs == 1)
                throw std::runtime_error("Не могу открыть порт: COM1");
        });
        button.click();
        button.click();
        QCOMPARE(runs, 2);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Не могу открыть порт: COM1")});
    }

    void clockSourceCanBeReplaced_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<double>("fraction");
        QTest::newRow("midnight") << QTime(0, 0) << 0.0;
        QTest::newRow("noon") << QTime(12, 0) << 0.5;
        QTest::newRow("18:00") << QTime(18, 0) << 0.75;
        QTest::newRow("last second") << QTime(23, 59, 59) << 86399.0 / 86400.0;
    }

    void clockSourceCanBeReplaced()
    {
        QFETCH(QTime, time);
        QFETCH(double, fraction);
        const QDateTime at(QDate(2026, 12, 6), time);
        Clock::setSource([at] { return at; });
        QCOMPARE(Clock::now(), at);
        QVERIFY(qAbs(Clock::timeOfDay() - fraction) < 1e-9);
        Clock::setSource(nullptr);
        QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 5);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
