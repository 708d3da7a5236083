// A charge sums up the same from the link's events as from its log's lines:
// random packets of every kind the logs record, values over their full
// ranges, any calibration, the clock across midnight, both locales.

#include "history/summaryfeed.h"
#include "charts/chargesummary.h"
#include "platform/clock.h"
#include "tests/support/recordingview.h"
#include "tests/support/testlocale.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QString differenceOf(const ChargeSummary &a, const ChargeSummary &b)
{
    QStringList d;
    auto same = [&](const char *what, auto x, auto y) {
        if (!(x == y))
            d << QString::fromLatin1(what);
    };
    same("discharge", a.discharge, b.discharge);
    same("chemistry", a.chemistry, b.chemistry);
    same("current", a.currentMilliamps, b.currentMilliamps);
    same("trickle", a.trickle, b.trickle);
    same("samples", a.samples, b.samples);
    same("firstTime", a.firstTime, b.firstTime);
    same("lastTime", a.lastTime, b.lastTime);
    same("endTime", a.endTime, b.endTime);
    same("firstU", a.firstU, b.firstU);
    same("peakU", a.peakU, b.peakU);
    same("finalU", a.finalU, b.finalU);
    same("peakT", a.peakT, b.peakT);
    same("riseMax", a.riseMax, b.riseMax);
    same("resistance", a.resistance, b.resistance);
    same("endReport", a.endReport, b.endReport);
    return d.join(QLatin1Char(' '));
}

} // namespace

class TestSummaryFeed : public QObject
{
    Q_OBJECT

    QDateTime now_;

private slots:
    void initTestCase() { Clock::setSource([this] { return now_; }); }
    void cleanupTestCase() { Clock::setSource(nullptr); }

    void eventsSumUpAsLines_data()
    {
        QTest::addColumn<QString>("locale");
        for (quint32 seed = 1; seed <= 6; ++seed) {
            QTest::addRow("ru %u", seed) << QStringLiteral("ru_RU");
            QTest::addRow("en %u", seed) << QStringLiteral("en_US");
        }
    }
    void eventsSumUpAsLines()
    {
        QFETCH(QString, locale);
        useLocale(locale);
        QRandomGenerator rng(quint32(qHash(QTest::currentDataTag())));
        RecordingView view;
        view.adcStep = int(rng.bounded(1, 501));
        view.senseR = int(rng.bounded(1, 301));
        view.rdTenths = int(rng.bounded(1, 101));
        view.receiver.AdcStep = quint16(view.adcStep);
        now_ = QDateTime(QDate(2026, 12, 6), QTime(23, 0, 0));
        view.receiver.clock.start(Clock::timeOfDay());
        std::array<SummaryFeed, 2> live;
        qsizetype seen = 0;
        const quint8 codes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
        for (int i = 0; i < 4000; ++i) {
            // Mostly samples, as a charge is; every kind now and then.
            const quint8 code = rng.bounded(4) ? quint8(1 + rng.bounded(2)) : codes[rng.bounded(10)];
            const quint16 a = quint16(rng.bounded(65536)), b = quint16(rng.bounded(65536));
            const quint8 packet[5] = {code, quint8(a >> 8), quint8(a), quint8(b >> 8), quint8(b)};
            view.receiver.receiveChunk(packet, 5);
            for (; seen < view.events.size(); ++seen)
                live[view.events[seen].channel == Channel::A ? 0 : 1].take(view.events[seen]);
            // Seconds pass, now and then a Stop and Start.
            now_ = now_.addMSecs(rng.bounded(3000));
            if (rng.bounded(500) == 0)
                view.receiver.clock.start(Clock::timeOfDay());
        }
        QVERIFY(now_.date() > QDate(2026, 12, 6)); // the clock went past midnight
        for (int ch = 0; ch < 2; ++ch) {
            const std::vector<ChargeSummary> fromLines = chargeSummaries(view.logs[size_t(ch)]);
            const std::vector<ChargeSummary> fromEvents = live[size_t(ch)].summaries.charges();
            QCOMPARE(fromEvents.size(), fromLines.size());
            QVERIFY(fromLines.size() > 50);
            for (size_t i = 0; i < fromLines.size(); ++i) {
                const QString d = differenceOf(fromEvents[i], fromLines[i]);
                QVERIFY2(d.isEmpty(), qPrintable(QStringLiteral("channel %1, charge %2: %3").arg(ch).arg(i).arg(d)));
            }
            // And the last few alone, as the window asks for them.
            const std::vector<ChargeSummary> lastTwo = live[size_t(ch)].summaries.charges(2);
            QCOMPARE(differenceOf(lastTwo.back(), fromLines.back()), QString());
            QCOMPARE(differenceOf(lastTwo.front(), fromLines[fromLines.size() - 2]), QString());
        }
    }
};

QTEST_GUILESS_MAIN(TestSummaryFeed)
#include "tst_summaryfeed.moc"
