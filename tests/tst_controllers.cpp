// What the window used to decide itself, without a window: the charge watch
// and the screen's pace.

#include "charts/chargewatch.h"
#include "charts/journal.h"
#include "platform/screenpacer.h"

#include <QtTest>

class TestControllers : public QObject
{
    Q_OBJECT

private slots:
    // A charge holds the computer awake from its first sample over the open
    // port to its end report; the last channel to end lets it sleep.
    void chargesHoldSleepUntilTheLastEnds()
    {
        ChargeWatch w;
        QVERIFY(!w.sample(0, false)); // a file's samples begin no charge
        QVERIFY(!w.charging(0));
        QVERIFY(w.sample(0, true));
        QVERIFY(!w.sample(0, true)); // once a charge
        QVERIFY(w.sample(1, true));
        QCOMPARE(w.stop(0, false), ChargeStop::Running);
        QCOMPARE(w.stop(0, true), ChargeStop::LinkLost);
        QVERIFY(!w.ended(0));
        QVERIFY(!w.charging(0) && w.charging(1));
        QVERIFY(w.ended(1));
        QVERIFY(!w.anyCharging());
        // An ended charge keeps how it stood until the logs are cleared.
        QCOMPARE(w.stop(1, false), ChargeStop::Running);
        w.logsCleared();
        QCOMPARE(w.stop(1, false), ChargeStop::Unknown);
    }

    // Stop, a lost adapter and a cleared log act on the running charges only.
    void interruptions()
    {
        ChargeWatch w;
        QVERIFY(!w.linkLost()); // nothing running: no notice
        w.sample(1, true);
        QVERIFY(w.linkLost());
        QVERIFY(w.charging(1)); // the charger goes on while the adapter is awaited
        QCOMPARE(w.stop(1, true), ChargeStop::LinkLost);
        w.logsCleared();
        QCOMPARE(w.stop(1, true), ChargeStop::LinkLost);
        w.interrupted(ChargeStop::Stopped);
        QVERIFY(!w.anyCharging());
        QCOMPARE(w.stop(1, false), ChargeStop::Stopped);
        QCOMPARE(w.stop(0, false), ChargeStop::Unknown); // never charged
        QVERIFY(w.sample(1, true)); // a new charge
        QCOMPARE(w.stop(1, false), ChargeStop::Running);
    }

    // Journals left behind, newest first: only unsaved work is offered, and
    // only until one is restored; torn records alone are kept for a look.
    void leftoverJournals_data()
    {
        QTest::addColumn<int>("unsaved");
        QTest::addColumn<int>("damaged");
        QTest::addColumn<bool>("oneRestored");
        QTest::addColumn<int>("fate");
        QTest::newRow("all saved") << 0 << 0 << false << int(LeftoverFate::Remove);
        QTest::newRow("all saved, after a restore") << 0 << 0 << true << int(LeftoverFate::Remove);
        QTest::newRow("unsaved") << 3 << 0 << false << int(LeftoverFate::Offer);
        QTest::newRow("unsaved and torn") << 3 << 1 << false << int(LeftoverFate::Offer);
        QTest::newRow("unsaved, after a restore") << 3 << 0 << true << int(LeftoverFate::SetAside);
        QTest::newRow("torn only") << 0 << 2 << false << int(LeftoverFate::SetAside);
    }
    void leftoverJournals()
    {
        QFETCH(int, unsaved);
        QFETCH(int, damaged);
        QFETCH(bool, oneRestored);
        QFETCH(int, fate);
        JournalContent c;
        c.unsavedLines = unsaved;
        c.damaged = damaged;
        QCOMPARE(int(leftoverFate(c, oneRestored)), fate);
    }

    // The journal takes the link log's new part whole and the charge's
    // start when it changed; a journal begun again takes the start again.
    void journalFollowsTheLink()
    {
        JournalFollower f;
        const JournalFollower::ChargeStart ten{10.0 / 24, 0, QStringLiteral("10:00:00")};
        f.caughtUp(6, ten);
        QCOMPARE(f.news(QStringLiteral("legend"), ten), QByteArray());
        QCOMPARE(f.news(QStringLiteral("legend  \r\n01 "), ten), JournalRecord::linkLog(QStringLiteral("  \r\n01 ")));
        QCOMPARE(f.news(QStringLiteral("legend  \r\n01 "), ten), QByteArray());
        // The log begun again: only what it gains after that.
        QCOMPARE(f.news(QStringLiteral("leg"), ten), QByteArray());
        QCOMPARE(f.news(QStringLiteral("legend"), ten), JournalRecord::linkLog(QStringLiteral("end")));
        const JournalFollower::ChargeStart eleven{11.0 / 24, 0, QStringLiteral("11:00:00")};
        QCOMPARE(f.news(QStringLiteral("legend!"), eleven),
                 JournalRecord::linkLog(QStringLiteral("!")) + JournalRecord::chargeStart(11.0 / 24, 0, QStringLiteral("11:00:00")));
        f.startedAgain(7);
        QCOMPARE(f.news(QStringLiteral("legend!"), eleven), JournalRecord::chargeStart(11.0 / 24, 0, QStringLiteral("11:00:00")));
    }

    // News after a quiet spell shows once the event loop is back; a busy
    // source is shown once a pass; without news there is no pass.
    void pace()
    {
        int pending = 0, shown = 0, passes = 0;
        ScreenPacer pacer(20, [&] {
            ++passes;
            shown += std::exchange(pending, 0);
        });
        ++pending;
        pacer.news();
        QVERIFY(pacer.running());
        QCOMPARE(shown, 0); // not inside the delivery
        QTRY_COMPARE(shown, 1);
        const int first = passes;
        for (int i = 0; i < 5; ++i) {
            ++pending;
            pacer.news(); // the pace runs: no pass of their own
        }
        QCOMPARE(passes, first);
        QTRY_COMPARE(shown, 6);
        QCOMPARE(passes, first + 1);
        QTRY_VERIFY(!pacer.running());
        QCOMPARE(passes, first + 1); // nothing new, no pass
        // Quiet again: the next news shows at once.
        ++pending;
        pacer.news();
        QTRY_COMPARE(shown, 7);
        QCOMPARE(passes, first + 2);
    }
};

QTEST_GUILESS_MAIN(TestControllers)
#include "tst_controllers.moc"
