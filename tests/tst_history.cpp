// The charge history on real database files: what is written reads back,
// a damaged or newer file, a full disk, two programs writing at once, a
// program killed mid-charge, and the recorder keeping each charge of the
// link's events with the figures its own lines sum up to.

#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "history/historyviews.h"
#include "history/historywriter.h"
#include "tools/chargesim/chargesim.h"
#include "charts/chargesummary.h"
#include "link/statistika.h"
#include "platform/clock.h"
#include "tests/support/recordingview.h"
#include "tests/support/testlocale.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

HistoryEntry sampleEntry(char channel, const QString &label, qint64 startMs)
{
    HistoryEntry e;
    e.channel = channel;
    e.label = label;
    e.started = QDateTime::fromMSecsSinceEpoch(startMs);
    e.chemistry = QStringLiteral("NiMH");
    e.currentMilliamps = 1000;
    e.capacity = 1834.5;
    e.samples = 6600;
    e.uStart = 1.2;
    e.uPeak = 1.5125;
    e.uEnd = 1.5063;
    e.tPeak = 37.5;
    e.tRise = 1.25;
    e.resistance = 0.042;
    return e;
}

// A child process of this test writing `count` charges of its own, each in
// several pieces, in transactions of its own as the writer makes them.
int childWrites(const QString &path, const QString &who, int count)
{
    HistoryWriter writer(path);
    for (int i = 0; i < count; ++i) {
        auto id = std::make_shared<qint64>(0);
        writer.post([=](HistoryStore &s) {
            HistoryEntry e = sampleEntry('A', who, i);
            *id = s.keep(e, processOwner());
            return *id != 0;
        });
        for (int piece = 0; piece < 3; ++piece)
            writer.post([=](HistoryStore &s) {
                return s.appendLines(*id, {QStringLiteral("%1 %2 %3").arg(who).arg(i).arg(piece)});
            });
    }
    writer.flush();
    return 0;
}

// A child that begins a charge and then waits to be killed.
int childRunning(const QString &path)
{
    HistoryStore store;
    if (!store.open(path))
        return 1;
    HistoryEntry e = sampleEntry('B', QStringLiteral("killed"), 1000);
    e.seconds = 90;
    store.keep(e, processOwner());
    std::puts("running");
    std::fflush(stdout);
    pause();
    return 0;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QDateTime now_;
    QString db(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        Clock::setSource([this] { return now_; });
    }
    void cleanupTestCase() { Clock::setSource(nullptr); }

    void writtenEntriesReadBack()
    {
        const QString path = db("deep/er/history.db");
        {
            HistoryStore s;
            QVERIFY2(s.open(path), qPrintable(s.error()));
            QCOMPARE(s.schemaVersion(), HistoryStore::SchemaVersion);
            HistoryEntry a = sampleEntry('A', QStringLiteral("AA-1"), 1'700'000'000'000);
            HistoryEntry b = sampleEntry('B', QStringLiteral("AA-2"), 1'700'000'100'000);
            b.tRise.reset();
            b.resistance.reset();
            QVERIFY(s.begin());
            QVERIFY(s.keep(a, processOwner()) > 0);
            QVERIFY(s.keep(b, processOwner()) > a.id);
            QVERIFY(s.appendLines(a.id, {QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA.")}));
            QVERIFY(s.appendLines(a.id, {QStringLiteral("0:00:01    ADC=4800    U=1,2000    T=22,5;")}));
            QVERIFY(s.commit());
            a.end = ChargeEnd::Report;
            a.endReport = QStringLiteral("Конец заряда.");
            a.ended = a.started.addSecs(3600);
            // Kept again by its key: the same entry, brought up to date,
            // its label as given (a label changes only by setLabel).
            const qint64 id = a.id;
            a.id = 0;
            a.label = QStringLiteral("from a stale copy");
            QCOMPARE(s.keep(a, processOwner()), id);
            QVERIFY(s.setLabel(b.key, QStringLiteral("AA-3")));
            QVERIFY(s.setMeta(QStringLiteral("label.A"), QStringLiteral("AA-1")));
        }
        HistoryStore s;
        QVERIFY(s.open(path));
        QVERIFY(s.movedAside().isEmpty());
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2));
        const HistoryEntry &a = all[0];
        QCOMPARE(a.channel, 'A');
        QCOMPARE(a.label, QStringLiteral("AA-1"));
        QCOMPARE(a.started.toMSecsSinceEpoch(), 1'700'000'000'000);
        QCOMPARE(a.ended, a.started.addSecs(3600));
        QCOMPARE(a.end, ChargeEnd::Report);
        QCOMPARE(endText(a), QStringLiteral("Конец заряда."));
        QCOMPARE(a.capacity, 1834.5);
        QCOMPARE(a.uPeak, 1.5125);
        QCOMPARE(a.tRise, std::optional<double>(1.25));
        QCOMPARE(a.resistance, std::optional<double>(0.042));
        QCOMPARE(all[1].label, QStringLiteral("AA-3"));
        QCOMPARE(all[1].tRise, std::nullopt);
        QCOMPARE(all[1].resistance, std::nullopt);
        QCOMPARE(all[1].end, ChargeEnd::Running);
        QVERIFY(!all[1].ended.isValid());
        QCOMPARE(s.lines(a.id), QStringList({QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                                            QStringLiteral("0:00:01    ADC=4800    U=1,2000    T=22,5;")}));
        QCOMPARE(s.lines(all[1].id), QStringList());
        QCOMPARE(s.labels(), QStringList({QStringLiteral("AA-3"), QStringLiteral("AA-1")}));
        QCOMPARE(s.meta(QStringLiteral("label.A")), QStringLiteral("AA-1"));
        QCOMPARE(s.meta(QStringLiteral("label.B")), QString());
    }

    // A charge's lines come back as they were kept, in pieces of any size:
    // a few lines every few seconds, or a flood's thousands at once.
    void piecesOfEverySizeReadBack()
    {
        HistoryStore s;
        QVERIFY2(s.open(db("pieces.db")), qPrintable(s.error()));
        HistoryEntry a = sampleEntry('A', QStringLiteral("AA-1"), 1'700'000'000'000);
        QVERIFY(s.keep(a, processOwner()) > 0);
        QStringList kept;
        int n = 0;
        for (int count : {1, 1, 4, 6, 20, 45, 100, 1000, 9000}) {
            QStringList piece;
            for (int i = 0; i < count; ++i, ++n)
                piece << QStringLiteral("%1:%2:%3    ADC=%4    U=1,%5    T=2%6,5; Ток")
                             .arg(n / 3600).arg(n / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(n % 60, 2, 10, QLatin1Char('0')).arg(4000 + (n * 7919) % 997)
                             .arg((n * 31) % 10000, 4, 10, QLatin1Char('0')).arg(n % 10);
            if (count == 1 && kept.isEmpty())
                piece = QStringList{QString()}; // an empty line alone
            QVERIFY(s.appendLines(a.id, piece));
            kept += piece;
        }
        QCOMPARE(s.lines(a.id), kept);
    }

    void damagedFileIsMovedAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addRow("not a database") << QByteArray("Старт.\r\n0:00:01    ADC=4800;\r\n").repeated(200);
        QTest::addRow("header overwritten") << QByteArray();
    }
    void damagedFileIsMovedAside()
    {
        QFETCH(QByteArray, content);
        const QString path = db(QTest::currentDataTag()) + QStringLiteral(".db");
        if (content.isEmpty()) {
            {
                HistoryStore s;
                QVERIFY(s.open(path));
                HistoryEntry e = sampleEntry('A', QStringLiteral("x"), 5);
                QVERIFY(s.keep(e, processOwner()));
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.write(QByteArray(100, '\x5a'));
            f.close();
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();

        HistoryStore s;
        QVERIFY2(s.open(path), qPrintable(s.error()));
        QVERIFY(!s.movedAside().isEmpty());
        QFile aside(s.movedAside());
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), before); // kept as it was
        QCOMPARE(s.entries().size(), size_t(0));
        HistoryEntry e = sampleEntry('A', QStringLiteral("new"), 7);
        QVERIFY(s.keep(e, processOwner()) > 0);
    }

    void newerSchemaIsNotTouched()
    {
        const QString path = db("newer.db");
        {
            HistoryStore s;
            QVERIFY(s.open(path));
            QVERIFY(s.begin());
            QVERIFY(s.setMeta(QStringLiteral("k"), QStringLiteral("v")));
            QVERIFY(s.commit());
        }
        setUserVersion(path, 99); // as a later program leaves it
        HistoryStore s;
        QVERIFY(!s.open(path));
        QCOMPARE(s.error(), QStringLiteral("база истории записана более новой версией программы"));
        QVERIFY(s.movedAside().isEmpty());
        QVERIFY(QFile::exists(path));
    }

    // A full disk: writing fails with one message, the window is never
    // waited on, and once there is room again the running charge is added.
    void fullDiskSaysSoOnceAndRecovers()
    {
        const QString path = db("full.db");
        HistoryWriter writer(path);
        QSignalSpy failed(&writer, &HistoryWriter::failed);
        writer.post([](HistoryStore &s) { return s.setMeta(QStringLiteral("k"), QStringLiteral("v")); });
        writer.flush();
        // Room for no more pages than the database has now.
        writer.post([](HistoryStore &s) { return s.execute("PRAGMA max_page_count = 1"); });
        writer.flush();
        HistoryRecorder recorder(&writer, processOwner());
        RecordingView view;
        now_ = QDateTime(QDate(2026, 12, 7), QTime(10, 0));
        view.receiver.clock.start(Clock::timeOfDay());
        // A sample's lines go to the writer every few seconds: a page of
        // them is soon more than the room left.
        for (int i = 0; i < 200; ++i)
            sendSample(view, recorder, Channel::A, quint16(4800 + i));
        writer.flush();
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("запись: диск заполнен"));
        writer.post([](HistoryStore &s) { return s.execute("PRAGMA max_page_count = 1073741823"); });
        sendSample(view, recorder, Channel::A, 4900);
        recorder.flush();
        writer.flush();
        QCOMPARE(failed.count(), 1);
        HistoryStore reader;
        QVERIFY(reader.open(path));
        const std::vector<HistoryEntry> all = reader.entries();
        QCOMPARE(all.size(), size_t(1));
        QCOMPARE(all[0].samples, 201); // the lines of the failed writes are lost, the figures are not
    }

    // A database that takes no writes (a read-only file or disk): one
    // message however many writes fail.
    void readOnlySaysSoOnce()
    {
        const QString path = db("readonly.db");
        HistoryWriter writer(path);
        QSignalSpy failed(&writer, &HistoryWriter::failed);
        writer.post([](HistoryStore &s) { return s.execute("PRAGMA query_only = ON"); });
        HistoryRecorder recorder(&writer, processOwner());
        RecordingView view;
        now_ = QDateTime(QDate(2026, 12, 7), QTime(11, 0));
        view.receiver.clock.start(Clock::timeOfDay());
        for (int i = 0; i < 20; ++i)
            sendSample(view, recorder, Channel::B, quint16(4800 + i));
        writer.flush();
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.first().first().toString().contains(QStringLiteral("нет права записи")),
                 qPrintable(failed.first().first().toString()));
    }

    // Writing that fails, goes well and fails again (a disk nearly full
    // takes the small writes only) tells its trouble once; another trouble
    // is told at once, and so is the same one after a quiet spell.
    void troubleThatComesAndGoesIsToldOnce()
    {
        for (const bool quiet : {true, false}) {
            HistoryWriter writer(db(quiet ? "flap-quiet.db" : "flap-retell.db"));
            if (!quiet)
                writer.setRetellAfter(std::chrono::milliseconds(0));
            QSignalSpy failed(&writer, &HistoryWriter::failed);
            for (int i = 0; i < 3; ++i) {
                writer.post([](HistoryStore &s) { return s.execute("INSERT INTO nothing VALUES (1)"); });
                writer.flush();
                writer.post([](HistoryStore &s) { return s.setMeta(QStringLiteral("k"), QStringLiteral("v")); });
                writer.flush();
            }
            QCOMPARE(failed.count(), quiet ? 1 : 3);
            writer.post([](HistoryStore &s) { return s.execute("INSERT INTO nowhere VALUES (1)"); });
            writer.flush();
            QCOMPARE(failed.count(), quiet ? 2 : 4);
            QVERIFY2(failed.first().first().toString().contains(QStringLiteral("nothing")),
                     qPrintable(failed.first().first().toString()));
            QVERIFY2(failed.last().first().toString().contains(QStringLiteral("nowhere")),
                     qPrintable(failed.last().first().toString()));
        }
    }

    void twoProgramsWriteAtOnce()
    {
        const QString path = db("shared.db");
        { HistoryStore s; QVERIFY(s.open(path)); }
        QProcess one, two;
        for (QProcess *p : {&one, &two}) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("OSTREL_HISTORY_CHILD"), QStringLiteral("write"));
            env.insert(QStringLiteral("OSTREL_HISTORY_PATH"), path);
            env.insert(QStringLiteral("OSTREL_HISTORY_WHO"), p == &one ? QStringLiteral("one") : QStringLiteral("two"));
            p->setProcessEnvironment(env);
            p->start(QCoreApplication::applicationFilePath(), {});
        }
        for (QProcess *p : {&one, &two}) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        HistoryStore s;
        QVERIFY(s.open(path));
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2 * ChildCharges));
        QMap<QString, int> perLabel;
        for (const HistoryEntry &e : all) {
            ++perLabel[e.label];
            const QStringList lines = s.lines(e.id);
            QCOMPARE(lines.size(), 3);
            for (int piece = 0; piece < 3; ++piece)
                QCOMPARE(lines[piece].section(QLatin1Char(' '), 0, 0), e.label);
        }
        QCOMPARE(perLabel.value(QStringLiteral("one")), ChildCharges);
        QCOMPARE(perLabel.value(QStringLiteral("two")), ChildCharges);
    }

    // A program killed mid-charge leaves its entry cut short for the next
    // start to find; a charge another running program keeps stays running.
    void killedProgramsChargeIsCutShort()
    {
        const QString path = db("killed.db");
        HistoryStore s;
        QVERIFY(s.open(path));
        HistoryEntry mine = sampleEntry('A', QStringLiteral("mine"), 2000);
        QVERIFY(s.keep(mine, processOwner()));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OSTREL_HISTORY_CHILD"), QStringLiteral("run"));
        env.insert(QStringLiteral("OSTREL_HISTORY_PATH"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForReadyRead(60000));
        QCOMPARE(child.readAll(), QByteArray("running\n"));
        QCOMPARE(s.closeAbandoned(ownerAlive), 0); // both alive
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(s.closeAbandoned(ownerAlive), 1);
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2));
        const HistoryEntry &killed = all[0], &running = all[1]; // by their start
        QCOMPARE(running.label, QStringLiteral("mine"));
        QCOMPARE(running.end, ChargeEnd::Running);
        QCOMPARE(killed.label, QStringLiteral("killed"));
        QCOMPARE(killed.end, ChargeEnd::CutShort);
        QCOMPARE(endText(killed), QStringLiteral("прерван"));
        QCOMPARE(killed.ended, killed.started.addSecs(90));
        QVERIFY(!ownerAlive(QStringLiteral("%1:1").arg(getpid()))); // the same number, another start
        QVERIFY(ownerAlive(processOwner()));
    }

    // The recorder keeps each charge: its figures are what its own lines
    // sum up to, its lines are the log's from its block on, and it ends as
    // the charge did.
    void recorderKeepsEachCharge()
    {
        useLocale(QStringLiteral("ru_RU"));
        const QString path = db("recorded.db");
        HistoryWriter writer(path);
        HistoryRecorder recorder(&writer, processOwner());
        recorder.setLabel(Channel::A, QStringLiteral("AA-7"));
        RecordingView view;
        now_ = QDateTime(QDate(2026, 12, 7), QTime(23, 58));
        view.receiver.clock.start(Clock::timeOfDay());
        // Samples of B before any block: the program came in mid-charge.
        for (int i = 0; i < 3; ++i)
            sendSample(view, recorder, Channel::B, 5000 + i);
        sendPacket(view, recorder, 0x07, 204, 0x4000);   // A: NiMH, trickle
        sendPacket(view, recorder, 0x05, 560, 520);    // A: internal resistance
        for (int i = 0; i < 400; ++i) {
            sendSample(view, recorder, Channel::A, quint16(4800 + i), qint16(220 + i / 20));
            if (i == 200)
                recorder.setLabel(Channel::A, QStringLiteral("AA-8"));
        }
        sendPacket(view, recorder, 0x03, 0x8000, 0);    // A: the end
        for (int i = 0; i < 5; ++i)                    // trickle: not kept
            sendSample(view, recorder, Channel::A, 5300);
        sendPacket(view, recorder, 0x08, 100, 0xA000);   // B: a block, NiCd
        sendSample(view, recorder, Channel::B, 4000);
        sendPacket(view, recorder, 0x09, 100, 0x00);   // A: a discharge begins
        sendSample(view, recorder, Channel::A, 4000);
        recorder.endAll(ChargeEnd::Stopped, now_);
        writer.flush();

        HistoryStore s;
        QVERIFY(s.open(path));
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(4));
        const HistoryEntry &midway = all[0], &a = all[1], &b = all[2], &discharge = all[3];

        QCOMPARE(midway.channel, 'B');
        QCOMPARE(midway.chemistry, QString());
        QCOMPARE(midway.samples, 3);
        QCOMPARE(midway.end, ChargeEnd::NextBlock);

        QCOMPARE(a.channel, 'A');
        QCOMPARE(a.label, QStringLiteral("AA-8")); // changed while it ran
        QCOMPARE(a.end, ChargeEnd::Report);
        QCOMPARE(a.endReport, QStringLiteral("Конец заряда."));
        QCOMPARE(a.chemistry, QStringLiteral("NiMH"));
        QCOMPARE(a.currentMilliamps, 1000);
        QVERIFY(a.trickle);
        QVERIFY(!a.timeOnly);
        QCOMPARE(a.resistance, std::optional<double>(0.3));
        QCOMPARE(a.samples, 400);
        QCOMPARE(a.seconds, 399.0 * 2); // two seconds a sample, over midnight
        QCOMPARE(a.started.toLocalTime().date(), QDate(2026, 12, 7));
        QCOMPARE(a.ended.toLocalTime().date(), QDate(2026, 12, 8));
        const QStringList lines = s.lines(a.id);
        QCOMPARE(lines.first(), QStringLiteral("Старт."));
        QCOMPARE(lines.last(), QStringLiteral("END:  Конец заряда."));
        QCOMPARE(lines.size(), 3 + 1 + 400 + 1);
        // Reopened, the charge sums up as it was kept.
        const std::vector<ChargeSummary> again = chargeSummaries(lines);
        QCOMPARE(again.size(), size_t(1));
        QCOMPARE(again[0].capacity(0), a.capacity);
        QCOMPARE(again[0].peakU, a.uPeak);
        QCOMPARE(again[0].finalU, a.uEnd);
        QCOMPARE(again[0].peakT, a.tPeak);
        QCOMPARE(again[0].riseMax, a.tRise);
        // And as the window's log sums it up.
        const std::vector<ChargeSummary> window = chargeSummaries(view.logs[0]);
        QCOMPARE(window[0].capacity(0), a.capacity);
        QVERIFY(a.capacity > 0);

        QCOMPARE(b.chemistry, QStringLiteral("NiCd"));
        QVERIFY(b.timeOnly);
        QCOMPARE(b.end, ChargeEnd::Stopped);
        QCOMPARE(b.label, QString());
        QCOMPARE(discharge.discharge, true);
        QCOMPARE(discharge.end, ChargeEnd::Stopped);
        QCOMPARE(discharge.label, QStringLiteral("AA-8"));
        QCOMPARE(s.lines(discharge.id).mid(0, 2), QStringList({QStringLiteral("Разряд."), QStringLiteral("Параметры заряда:")}));
    }

    // Ten charges of one simulated cell that loses capacity: each kept with
    // what the simulator says it put in, and the trend falls charge by charge.
    void fadingCellsTrend()
    {
        useLocale(QStringLiteral("ru_RU"));
        const QString path = db("fading.db");
        HistoryWriter writer(path);
        HistoryRecorder recorder(&writer, processOwner());
        recorder.setLabel(Channel::A, QStringLiteral("AA-A"));
        recorder.setLabel(Channel::B, QStringLiteral("AA-B"));
        const int interval = 5000;
        chargesim::Simulator sim({.link = {}, .intervalMs = interval, .speed = 1, .charges = 10, .fadePercent = 3,
                                  .cell = "AA"});
        RecordingView view;
        now_ = QDateTime(QDate(2026, 12, 1), QTime(20, 0));
        view.receiver.clock.start(Clock::timeOfDay());
        // Until both channels have gone quiet after their tenth charge.
        for (int quiet = 0; quiet < 50;) {
            const std::vector<chargesim::Packet> packets = sim.nextPackets();
            quiet = packets.empty() ? quiet + 1 : 0;
            for (const chargesim::Packet &p : packets)
                sendPacket(view, recorder, p[0], quint16(p[1] << 8 | p[2]), quint16(p[3] << 8 | p[4]), 0);
            now_ = now_.addMSecs(interval);
        }
        writer.flush();
        HistoryStore s;
        QVERIFY(s.open(path));
        const std::vector<HistoryEntry> all = s.entries();
        const std::vector<chargesim::ChargeStart> begun = sim.chargesBegun();
        QCOMPARE(begun.size(), size_t(20));
        for (const char *label : {"AA-A", "AA-B"}) {
            const std::vector<TrendPoint> trend = trendOf(all, QLatin1String(label));
            QCOMPARE(trend.size(), size_t(10));
            std::vector<double> expected;
            for (const chargesim::ChargeStart &c : begun)
                if (c.cell == label)
                    expected.push_back(c.milliampHours);
            QCOMPARE(expected.size(), size_t(10));
            for (size_t i = 0; i < trend.size(); ++i) {
                // Whole intervals of samples: within one interval's charge.
                const double slack = 1000.0 * interval / 3600000 * 2;
                QVERIFY2(std::abs(trend[i].capacity - expected[i]) <= slack,
                         qPrintable(QStringLiteral("%1 charge %2: %3 mAh kept, %4 put in")
                                        .arg(QLatin1String(label)).arg(i + 1).arg(trend[i].capacity).arg(expected[i])));
                // Channel B's first charge is begun midway; from there on each holds less.
                if (i >= 2)
                    QVERIFY(trend[i].capacity < trend[i - 1].capacity);
            }
        }
    }

private:
    static constexpr int ChildCharges = 150;

    static void setUserVersion(const QString &path, int version);

    void sendPacket(RecordingView &view, HistoryRecorder &recorder, quint8 code, quint16 a, quint16 b,
                    int sampleSeconds = 2)
    {
        const qsizetype seen = view.events.size();
        std::array<qsizetype, 2> had{view.logs[0].size(), view.logs[1].size()};
        const quint8 packet[5] = {code, quint8(a >> 8), quint8(a), quint8(b >> 8), quint8(b)};
        view.receiver.receiveChunk(packet, 5);
        for (qsizetype i = seen; i < view.events.size(); ++i) {
            const LogEvent &e = view.events[i];
            const QStringList &log = view.logs[size_t(e.channel)];
            recorder.take(e, log.mid(had[size_t(e.channel)]), Clock::now());
            had[size_t(e.channel)] = log.size();
        }
        now_ = now_.addSecs(code <= 2 ? sampleSeconds : 0);
    }
    void sendSample(RecordingView &view, HistoryRecorder &recorder, Channel ch, quint16 adc, qint16 tenths = 225)
    {
        sendPacket(view, recorder, ch == Channel::A ? 0x01 : 0x02, adc, quint16(tenths));
    }
};

#include <sqlite3.h>

void TestHistory::setUserVersion(const QString &path, int version)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(version);
    QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

int main(int argc, char **argv)
{
    const QByteArray child = qgetenv("OSTREL_HISTORY_CHILD");
    if (!child.isEmpty()) {
        QCoreApplication app(argc, argv);
        const QString path = qEnvironmentVariable("OSTREL_HISTORY_PATH");
        if (child == "write")
            return childWrites(path, qEnvironmentVariable("OSTREL_HISTORY_WHO"), 150);
        return childRunning(path);
    }
    QCoreApplication app(argc, argv);
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
