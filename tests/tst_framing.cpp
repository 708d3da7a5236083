// Framing and decoding of received bytes, on a recording view: no window.

#include "link/chargeclock.h"
#include "link/statistika.h"
#include "platform/clock.h"
#include "platform/localeformat.h"
#include "tests/support/recordingview.h"
#include "tests/support/testlocale.h"

#include <QRandomGenerator>

#include <stdexcept>
#include <QtTest>

namespace {

double at(int h, int m, int s, int ms = 0)
{
    return (((h * 60 + m) * 60 + s) * 1000 + ms) / 86400000.0;
}

void feed(RecordingView &w, const QByteArray &bytes)
{
    w.receiveChunk(bytes);
}

// The charge started at ten.
struct View : RecordingView
{
    View() { receiver.clock.StartTime = at(10, 0, 0); }
};

QStringList lines(const char *const *texts)
{
    QStringList out;
    for (; *texts; ++texts)
        out << QString::fromUtf8(*texts);
    return out;
}

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

    QDateTime now_;

private slots:
    void initTestCase()
    {
        Clock::setSource([this] { return now_; });
    }

    void init()
    {
        useLocale(QStringLiteral("ru_RU"));
        now_ = QDateTime(QDate(2026, 12, 6), QTime(10, 12, 7, 89));
    }

    // Every kind of packet gives exactly its lines, in either locale.
    void decodedLines_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QStringList>("memo1");
        QTest::addColumn<QStringList>("memo2");
        const char *none[] = {nullptr};
        struct Row { const char *name, *locale, *hex; const char *a[4] = {}; const char *b[4] = {}; };
        const Row rows[] = {
            {"sample A ru", "ru_RU", "0101900 0FA", {"00:12:07    ADC=400    U=1,0000    T=25,0;"}, {}},
            {"sample A en", "en_US", "010190 00FD", {"0:12:07    ADC=400    U=1.0000    T=25.3;"}, {}},
            {"sample B negative", "ru_RU", "020000FF9C", {}, {"00:12:07    ADC=0    U=0,0000    T=-10,0;"}},
            {"end, no flags", "ru_RU", "0400000000", {}, {"END: "}},
            {"end of charge", "ru_RU", "0380000000", {"END:  Конец заряда."}, {}},
            {"errors 1 and 2", "ru_RU", "0303FF0000",
             {"END:  Ошибка 1. Превышено максимальное время заряда. Ошибка 2. Большая температура / большой рост температуры."}, {}},
            {"internal R ru", "ru_RU", "0502300208", {"Внутреннее R аккумулятора = 0,300"}, {}},
            {"internal R en, negative", "en_US", "0602080230", {}, {"Внутреннее R аккумулятора = -0.279"}},
            {"NiCd with trickle", "ru_RU", "0700CC6000",
             {"Старт.", "NiСd аккумулятор. Ток = 1000 mA.", "Включен режим дозаряда."}, {}},
            {"NiCd time-only stop", "ru_RU", "0800CCE000",
             {}, {"Старт.", "NiСd аккумулятор. Ток = 1000 mA.", "Останов только по времени и ошибкам."}},
            {"NiMH ignores 80", "ru_RU", "0700CCC000",
             {"Старт.", "NiMh аккумулятор. Ток = 1000 mA.", "Включен режим дозаряда."}},
            {"discharge", "ru_RU", "0A00660000",
             {}, {"Разряд.", "Параметры заряда:", "NiMh аккумулятор. Ток = 500 mA."}},
            {"unrecognised", "ru_RU", "0B01020304",
             {"00:12:07;   0x0B 0x01 0x02 0x03 0x04"}, {"00:12:07;   0x0B 0x01 0x02 0x03 0x04"}},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << QString::fromLatin1(r.locale)
                                  << QByteArray::fromHex(QByteArray(r.hex).replace(' ', ""))
                                  << lines(r.a[0] ? r.a : none) << lines(r.b[0] ? r.b : none);
    }
    void decodedLines()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, packet);
        QFETCH(QStringList, memo1);
        QFETCH(QStringList, memo2);
        useLocale(locale);
        View w;
        feed(w, packet);
        QCOMPARE(w.log(Channel::A), memo1);
        QCOMPARE(w.log(Channel::B), memo2);
        QVERIFY(w.status.isEmpty());
    }

    void headersSeparateBlocks()
    {
        View w;
        feed(w, QByteArray::fromHex("0380000000"));
        feed(w, QByteArray::fromHex("0900CC2000"));
        QCOMPARE(w.log(Channel::A), QStringList({QStringLiteral("END:  Конец заряда."), QString(),
                                                QStringLiteral("Разряд."), QStringLiteral("Параметры заряда:"),
                                                QStringLiteral("NiСd аккумулятор. Ток = 1000 mA.")}));
    }

    // The dump covers every held byte and repeats for each unknown packet.
    void unrecognisedPacketsDumpTheWholeCall()
    {
        View w;
        feed(w, QByteArray::fromHex("0B00000000" "0101900 0FA" "FF00000000"));
        const QString dump = QStringLiteral("00:12:07;   0x0B 0x00 0x00 0x00 0x00 0x01 0x01 0x90 0x00 0xFA"
                                            " 0xFF 0x00 0x00 0x00 0x00");
        QCOMPARE(w.log(Channel::A), QStringList({dump, QStringLiteral("00:12:07    ADC=400    U=1,0000    T=25,0;"), dump}));
        QCOMPARE(w.log(Channel::B), QStringList({dump, dump}));
    }

    // A call with more unknown packets than two is dumped once, where the
    // first of them is: noise grows the logs with the bytes it brings, not
    // with their square.
    void noiseIsDumpedOncePerCall()
    {
        View w;
        feed(w, QByteArray::fromHex("0101900 0FA" "0B00000000" "0C00000000" "0D00000000"));
        const QString dump = QStringLiteral("00:12:07;   0x01 0x01 0x90 0x00 0xFA 0x0B 0x00 0x00 0x00 0x00"
                                            " 0x0C 0x00 0x00 0x00 0x00 0x0D 0x00 0x00 0x00 0x00");
        QCOMPARE(w.log(Channel::A), QStringList({QStringLiteral("00:12:07    ADC=400    U=1,0000    T=25,0;"), dump}));
        QCOMPARE(w.log(Channel::B), QStringList({dump}));

        // 51 packets of noise, as many as a call holds: one line each log,
        // the time and five characters a byte.
        w.receiver.resetReceiver();
        w.logs[0].clear();
        w.logs[1].clear();
        feed(w, QByteArray(255, char(0xEE)));
        QCOMPARE(int(w.log(Channel::A).size()), 1);
        QCOMPARE(int(w.log(Channel::A)[0].size()), int(QStringLiteral("00:12:07;  ").size()) + 5 * 255);
    }

    // No loaded voltage: the chunk stops there with the status-bar error.
    void zeroLoadStopsTheChunk()
    {
        View w;
        feed(w, QByteArray::fromHex("0101900 0FA" "0500640000" "0201900 0FA"));
        QCOMPARE(int(w.log(Channel::A).size()), 1);
        QCOMPARE(int(w.log(Channel::B).size()), 0);
        QCOMPARE(w.status.value(w.status.size() - 1), QStringLiteral("ошибка в принимаемых данных - 00:12:07"));
        feed(w, QByteArray::fromHex("0201900 0FA"));
        QCOMPARE(int(w.log(Channel::B).size()), 1);
    }

    void framingAcrossEvents()
    {
        View w;
        const QByteArray a = QByteArray::fromHex("0101900 0FA"), b = QByteArray::fromHex("0201900 0FA");
        feed(w, a.left(2));
        QCOMPARE(int(w.log(Channel::A).size()), 0);
        feed(w, a.mid(2));
        QCOMPARE(int(w.log(Channel::A).size()), 1);
        feed(w, b + a);
        QCOMPARE(int(w.log(Channel::A).size()), 2);
        QCOMPARE(int(w.log(Channel::B).size()), 1);

        // Silence with nothing held leaves the status bar alone.
        w.receiver.resetReceiver();
        QVERIFY(w.status.isEmpty());
        feed(w, a.left(2));
        now_ = now_.addSecs(1);
        w.receiver.resetReceiver();
        QCOMPARE(w.status.value(w.status.size() - 1), QStringLiteral("ошибка в принимаемых данных - 00:12:08"));
        feed(w, a.mid(2));
        QCOMPARE(w.receiver.heldCount(), 3);
        QCOMPARE(int(w.log(Channel::A).size()), 2);
        QCOMPARE(w.receiver.RecvTotal, 20);
        QCOMPARE(w.receivedTotal, 20);
        w.receiver.RecvTotal = 0; // the counter's double click
        feed(w, a.left(1));
        QCOMPARE(w.receivedTotal, 1);
    }

    void readModeHoldsTheReply()
    {
        View w;
        const QByteArray block = QByteArray::fromHex("0101900 0FA").repeated(4);
        w.receiver.ReadMode = true;
        feed(w, block.left(5));
        feed(w, block.mid(5, 5));
        QCOMPARE(w.receiver.heldCount(), 10);
        feed(w, block.mid(10, 5));
        QCOMPARE(w.replies, QList<QByteArray>{block.left(15)});
        QVERIFY(!w.receiver.ReadMode);
        QCOMPARE(w.receiver.heldCount(), 0);

        w.receiver.ReadMode = true;
        feed(w, block.left(12));
        feed(w, block.mid(12, 8));
        QCOMPARE(w.replies.last(), block);
        QCOMPARE(int(w.log(Channel::A).size()), 0);

        // A reply after a silence tick is three ordinary packets.
        w.receiver.ReadMode = true;
        feed(w, block.left(5));
        w.receiver.resetReceiver();
        QVERIFY(!w.receiver.ReadMode);
        feed(w, block.left(15));
        QCOMPARE(int(w.log(Channel::A).size()), 3);
    }

    void linkLogEntry()
    {
        View w;
        w.receiver.LogEnabled = true;
        feed(w, QByteArray::fromHex("010064 00FA"));
        QCOMPARE(w.receiver.LogText, logLegend() + QStringLiteral("  \r\n10-12-07-089 00:12:07 Nbytes (5) 01 00 64 00 FA "
                                                       " DataReceive N5-5 :01 00 64 00 FA "));
        feed(w, QByteArray::fromHex("01"));
        QVERIFY(w.receiver.LogText.endsWith(QStringLiteral("  \r\n10-12-07-089 00:12:07 Nbytes (1) 01 ")));
    }

    // Reads never overflow the receive buffer and, while more bytes wait,
    // end on packet boundaries; a packet begun too near the end makes room
    // by handing on the whole packets before it.
    void chunkSizes_data()
    {
        QTest::addColumn<int>("held");
        QTest::addColumn<int>("waiting");
        QTest::addColumn<int>("chunk");
        QTest::newRow("small") << 0 << 10 << 10;
        QTest::newRow("burst") << 0 << 300 << 255;
        QTest::newRow("burst after a partial") << 4 << 300 << 251;
        QTest::newRow("fits exactly") << 1 << 256 << 256;
        QTest::newRow("one byte completes") << 254 << 10 << 1;
        QTest::newRow("no room for a packet") << 256 << 10 << 10;
        QTest::newRow("no room, a burst") << 256 << 300 << 254;
        QTest::newRow("buffer full") << 257 << 1 << 1;
    }
    void chunkSizes()
    {
        QFETCH(int, held);
        QFETCH(int, waiting);
        QFETCH(int, chunk);
        QCOMPARE(nextChunkSize(held, waiting), chunk);
    }

    // Held bytes that never end on a packet (a stream read at points that
    // keep missing a packet's end) are framed as they come until the buffer
    // is full; then the whole packets go on, each byte in the link log once.
    void aFullBufferHandsOnWholePackets_data()
    {
        QTest::addColumn<bool>("replyAwaited");
        QTest::newRow("packets") << false;
        QTest::newRow("a reply awaited") << true;
    }
    void aFullBufferHandsOnWholePackets()
    {
        QFETCH(bool, replyAwaited);
        View w;
        w.receiver.LogEnabled = true;
        w.receiver.ReadMode = replyAwaited;
        const QByteArray bytes = QByteArray::fromHex("0101900 0FA").repeated(60);
        // 256 bytes in events that all end inside a packet, then the rest.
        feed(w, bytes.left(1));
        for (int at = 1; at < 256; at += 5)
            feed(w, bytes.mid(at, 5));
        QCOMPARE(w.receiver.heldCount(), 256);
        QVERIFY(w.log(Channel::A).isEmpty() && w.replies.isEmpty());
        w.receive(bytes.mid(256));
        QCOMPARE(w.receiver.heldCount(), 0);
        QCOMPARE(w.replies, replyAwaited ? QList<QByteArray>{bytes.left(255)} : QList<QByteArray>());
        QCOMPARE(w.log(Channel::A).size(), replyAwaited ? 60 - 51 : 60);
        QVERIFY(w.status.isEmpty());
        QString handedOn;
        for (qsizetype at = w.receiver.LogText.indexOf(QStringLiteral("N5-")); at >= 0;
             at = w.receiver.LogText.indexOf(QStringLiteral("N5-"), at + 1)) {
            const qsizetype from = w.receiver.LogText.indexOf(QLatin1Char(' '), at) + 1;
            const qsizetype to = w.receiver.LogText.indexOf(QStringLiteral("  "), from);
            handedOn += w.receiver.LogText.mid(from, to < 0 ? -1 : to - from);
        }
        handedOn.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
        QCOMPARE(handedOn, QString::fromLatin1(bytes.toHex().toUpper()));
    }

    // Random bytes at any chunking: nothing outside the buffers, every byte
    // counted (the sanitizers watch the memory).
    void randomStream()
    {
        View w;
        w.receiver.LogEnabled = true;
        QRandomGenerator rng(7);
        int total = 0;
        for (int event = 0; event < 3000; ++event) {
            QByteArray bytes(int(rng.bounded(1, 400)), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(rng.bounded(256));
            for (qsizetype done = 0; done < bytes.size();) {
                const int n = w.receiver.nextChunkSize(int(bytes.size() - done));
                w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData() + done), n);
                done += n;
                QVERIFY(w.receiver.heldCount() >= 0 && w.receiver.heldCount() <= RecvBufferSize);
            }
            total += int(bytes.size());
            if (event % 100 == 0)
                w.receiver.resetReceiver();
        }
        QCOMPARE(w.receiver.RecvTotal, total);
        QVERIFY(int(w.log(Channel::A).size()) > 0);
    }

    // A measurement feeds the curves whose view buttons are down, with the
    // full-precision value and the "h:nn" label.
    void chartPointsFollowViewButtons()
    {
        View w;
        w.viewOn[size_t(SeriesId::AU)] = false;
        feed(w, QByteArray::fromHex("01019100FD"));
        QCOMPARE(w.points[size_t(SeriesId::AU)].size(), 0);
        QCOMPARE(w.points[size_t(SeriesId::AT)].size(), 1);
        QCOMPARE(w.points[size_t(SeriesId::AT)][0].value, 25.3);
        QCOMPARE(w.points[size_t(SeriesId::AT)][0].label, QStringLiteral("0:12"));
        QCOMPARE(w.log(Channel::A).size(), 1);
        feed(w, QByteArray::fromHex("0200010000"));
        QCOMPARE(w.points[size_t(SeriesId::BU)][0].value, 250 / 100000.0); // not the rounded 0.0025 text
        QCOMPARE(w.points[size_t(SeriesId::BT)].size(), 1);
    }

    void sensorReadings()
    {
        View w;
        const QByteArray reading = QByteArray::fromHex("3000FDFF9C");
        feed(w, reading); // settings page not shown
        QVERIFY(w.sensorReadings.isEmpty());
        w.settingsPageShown = true;
        feed(w, reading);
        QCOMPARE(w.sensorReadings, (QList<std::pair<double, double>>{{25.3, -10.0}}));
        QCOMPARE(w.points[size_t(SeriesId::AT)].size(), 0);

        // Together with a measurement: no labels, but the points when charting.
        w.chartingSensors = true;
        feed(w, QByteArray::fromHex("3000C80064") + QByteArray::fromHex("0101900 0FA"));
        QCOMPARE(w.sensorReadings.size(), 1);
        QCOMPARE(w.points[size_t(SeriesId::AT)].size(), 2);
        QCOMPARE(w.points[size_t(SeriesId::AT)][0].value, 20.0);
        QCOMPARE(w.points[size_t(SeriesId::BT)][0].value, 10.0);
        QCOMPARE(w.log(Channel::A).size(), 1);
        QCOMPARE(w.log(Channel::B).size(), 0);
    }

    // The decoder speaks in events; each event's lines are the log's, and
    // its values are the packet's, whatever the lines make of them.
    void eventsCarryThePackets()
    {
        View w;
        using Kind = LogEvent::Kind;
        feed(w, QByteArray::fromHex("0701F46000" "0201900 0FA" "0600F00064" "0480000000" "0900CC2000" "0B00000000"));
        QList<Kind> kinds;
        for (const LogEvent &e : std::as_const(w.events))
            kinds << e.kind;
        QCOMPARE(kinds, (QList<Kind>{Kind::ChargeStart, Kind::Sample, Kind::Resistance, Kind::EndReport,
                                     Kind::DischargeStart, Kind::Unrecognised, Kind::Unrecognised}));
        const QList<LogEvent> &e = w.events;
        QCOMPARE(e[0].channel, Channel::A);
        QCOMPARE(e[0].current, quint16(0x01F4));
        QCOMPARE(e[0].mode, quint8(0x60));
        QCOMPARE(e[1].channel, Channel::B);
        QCOMPARE(e[1].adc, quint16(400));
        QCOMPARE(e[1].tenths, qint16(250));
        QCOMPARE(e[1].adcStep, 250);
        QCOMPARE(e[1].chargeTime, QStringLiteral("00:12:07"));
        QCOMPARE(e[2].emf, quint16(240));
        QCOMPARE(e[2].loaded, quint16(100));
        QCOMPARE(e[2].rdTenths, 39);
        QCOMPARE(e[0].senseR, 51);
        QCOMPARE(e[3].flags, quint8(0x80));
        QCOMPARE(e[5].channel, Channel::A);
        QCOMPARE(e[6].channel, Channel::B);

        // Formatted again, the events give each log exactly.
        std::array<QStringList, 2> again;
        for (const LogEvent &ev : e) {
            QStringList &log = again[ev.channel == Channel::A ? 0 : 1];
            log += logLines(ev, !log.isEmpty());
        }
        QCOMPARE(again, w.logs);

        // A packet that cannot be read is no event and no line.
        const qsizetype before = w.events.size();
        feed(w, QByteArray::fromHex("0500640000"));
        QCOMPARE(w.events.size(), before);
        LogEvent unloaded;
        unloaded.kind = LogEvent::Kind::Resistance;
        unloaded.emf = 100;
        QVERIFY_THROWS_EXCEPTION(std::domain_error, logLines(unloaded, true));
    }

    // Each receiver owns its link: two chargers on two ports share no held
    // byte, counter, read mode or link log.
    void receiversShareNothing()
    {
        View a, b;
        a.receiver.LogEnabled = true;
        const QByteArray sample = QByteArray::fromHex("0101900 0FA");
        feed(a, sample.left(3));
        b.receiver.ReadMode = true;
        feed(b, sample);
        feed(a, sample.mid(3));
        QCOMPARE(a.log(Channel::A).size(), 1);
        QCOMPARE(b.log(Channel::A).size(), 0); // held as a reply's first packet
        QCOMPARE(b.receiver.heldCount(), 5);
        QVERIFY(!a.receiver.ReadMode);
        QCOMPARE(a.receiver.RecvTotal, 5);
        QCOMPARE(b.receiver.RecvTotal, 5);
        QVERIFY(a.receiver.LogText.contains(QStringLiteral("N5-5 :01 01 90 00 FA")));
        QCOMPARE(b.receiver.LogText, logLegend());
    }

    // The port's read loop: reads sized to keep packets whole, and an end
    // when the port gives less than it said was waiting.
    void readLoop()
    {
        View w;
        const QByteArray bytes = QByteArray::fromHex("0101900 0FA").repeated(60); // 300 bytes
        QList<int> asked;
        qsizetype at = 0;
        const int taken = w.receiver.receive(int(bytes.size()) + 7, [&](quint8 *buffer, int most) {
            asked << most;
            const int n = int(std::min<qsizetype>(most, bytes.size() - at));
            std::memcpy(buffer, bytes.constData() + at, size_t(n));
            at += n;
            return n;
        });
        QCOMPARE(taken, 300);
        QCOMPARE(asked, (QList<int>{255, 52, 7})); // the last one came back empty
        QCOMPARE(w.log(Channel::A).size(), 60);
        QCOMPARE(w.receiver.heldCount(), 0);
    }

    // The shown charge clock keeps growing across midnight from the time it
    // last showed; with nothing shown yet it carries the time reached.
    void chargeClockAcrossMidnight()
    {
        ChargeClock clock;
        clock.start(at(23, 59, 0));
        now_ = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 600));
        QCOMPARE(clock.tick(), QStringLiteral("00:00:59"));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1));
        QCOMPARE(clock.tick(), QStringLiteral("00:00:59"));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 30));
        QCOMPARE(clock.tick(), QStringLiteral("00:01:28"));
        QVERIFY(clock.started());

        // Started just before midnight, first shown just after it.
        ChargeClock late;
        late.start(at(23, 59, 59));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 900));
        QCOMPARE(late.tick(), QStringLiteral("00:00:01"));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 1, 0));
        QCOMPARE(late.tick(), QStringLiteral("00:01:01"));

        // Started just after midnight: nothing to carry.
        ChargeClock early;
        early.start(at(0, 0, 0, 500));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1, 600));
        QCOMPARE(early.tick(), QStringLiteral("00:00:01"));
        QCOMPARE(early.TimeOffset, 0.0);

        // Stopped, the shown time is gone: a later start carries no old one.
        clock.stop();
        QVERIFY(!clock.started());
        clock.restart(at(0, 0, 1));
        QVERIFY(!clock.started());
    }
};

QTEST_MAIN(TestFraming)
#include "tst_framing.moc"
