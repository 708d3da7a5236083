// The receiver keeps step with the charger's packets: a byte added or lost
// on the line, or a burst of noise, costs the packets it touches, never the
// rest of the charge; a stream in step is never moved.

#include "platform/clock.h"
#include "platform/localeformat.h"
#include "tests/support/packetoracle.h"
#include "tests/support/recordingview.h"
#include "link/statistika.h"
#include "link/step.h"

#include <QRandomGenerator>
#include "tests/support/testlocale.h"

#include <QtTest>

namespace {

// The charge started at ten; the clock stands at 10:00:05.
constexpr double Start = 10.0 / 24;
double chargeTime()
{
    return Clock::timeOfDay() - Start;
}
QString chargeTimeText()
{
    return Fmt::chargeTime(chargeTime());
}

struct View : RecordingView
{
    View() { receiver.clock.StartTime = Start; }
};

constexpr int Packets = 60; // both channels, alternating

struct Sample
{
    quint8 code;
    quint16 adc;
    qint16 tenths;
};

// Values as a charge gives them: NiMH and NiCd cells at room temperature and
// warmer, or the counts of another calibration.
QList<Sample> samples(bool highCounts)
{
    QList<Sample> out;
    for (int i = 0; i < Packets; ++i) {
        const bool a = i % 2 == 0;
        if (highCounts)
            out.append({quint8(a ? 1 : 2), quint16(0x0C7E + i), qint16(0x00F0 + i % 7)});
        else
            out.append({quint8(a ? 1 : 2), quint16(a ? 0x01E0 + i : 0x0228 + i % 40),
                        qint16(a ? 225 + i % 30 : 0x0100 + i % 50)});
    }
    return out;
}

QByteArray bytesOf(const QList<Sample> &list)
{
    QByteArray out;
    for (const Sample &s : list) {
        out += char(s.code);
        out += char(s.adc >> 8);
        out += char(s.adc);
        out += char(quint16(s.tenths) >> 8);
        out += char(s.tenths);
    }
    return out;
}

QStringList expectedLines(const QList<Sample> &list, quint8 code)
{
    QStringList out;
    for (const Sample &s : list)
        if (s.code == code)
            out << sampleLineText(chargeTimeText(), s.adc, 250, s.tenths);
    return out;
}

// The lines of a log but its dumps, which must be `dumps`.
QStringList withoutDumps(QStringList lines, int dumps)
{
    const qsizetype before = lines.size();
    lines.removeIf([](const QString &l) { return l.contains(QStringLiteral(";   0x")); });
    return before - lines.size() == dumps ? lines : QStringList{QStringLiteral("%1 dumps").arg(before - lines.size())};
}

// Feeds the bytes as the port would deliver them: events of 1 to 7 bytes,
// to the receiver and, if given, to the model of a receiver that never
// moves the step.
void deliver(RecordingView &view, const QByteArray &bytes, quint32 seed, PacketOracle *model = nullptr)
{
    QRandomGenerator rng(seed);
    for (qsizetype at = 0; at < bytes.size();) {
        const int event = std::min(int(rng.bounded(1, 8)), int(bytes.size() - at));
        const auto *data = reinterpret_cast<const quint8 *>(bytes.constData() + at);
        view.receiver.receive(data, event);
        if (model)
            model->event(data, event);
        at += event;
    }
}

} // namespace

class TestStep : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useLocale(QStringLiteral("ru_RU"));
        Clock::setSteadySource(nullptr);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 6), QTime(10, 0, 5)); });
    }

    // A fault in the middle of a stream: the packets before it are intact,
    // and all but the few after it are their lines again, in order.
    void faultsCostOnlyAFewPackets_data()
    {
        QTest::addColumn<bool>("highCounts");
        QTest::addColumn<int>("at");        // byte offset of the fault
        QTest::addColumn<int>("remove");    // bytes lost there
        QTest::addColumn<QByteArray>("add"); // bytes added there
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("told"); // the bytes after the fault show it
        const QByteArray noise = QByteArray::fromHex("5AC3010200FF3007E10A0E8801");
        for (const bool high : {false, true}) {
            for (int inPacket = 0; inPacket < 5; ++inPacket) {
                const int at = 20 * 5 + inPacket;
                const char *counts = high ? "high counts" : "charge";
                QTest::addRow("%s, stray byte at %d", counts, inPacket)
                    << high << at << 0 << QByteArray("\x02", 1) << quint32(inPacket) << true;
                // Read one byte late, a charge's packets begin with the high
                // byte of their count: 01 or 02 for the usual cell voltages,
                // the codes of a measurement. Those bytes are a stream a
                // charger in step may send, so nothing may move it; counts of
                // another calibration begin with a code the charger never sends.
                QTest::addRow("%s, lost byte at %d", counts, inPacket)
                    << high << at << 1 << QByteArray() << quint32(10 + inPacket) << high;
                QTest::addRow("%s, two bytes lost at %d", counts, inPacket)
                    << high << at << 2 << QByteArray() << quint32(20 + inPacket) << true;
                QTest::addRow("%s, noise burst at %d", counts, inPacket)
                    << high << at << 0 << noise << quint32(30 + inPacket) << true;
            }
        }
    }
    void faultsCostOnlyAFewPackets()
    {
        QFETCH(bool, highCounts);
        QFETCH(int, at);
        QFETCH(int, remove);
        QFETCH(QByteArray, add);
        QFETCH(quint32, seed);
        QFETCH(bool, told);
        const QList<Sample> sent = samples(highCounts);
        QByteArray bytes = bytesOf(sent);
        bytes.remove(at, remove);
        bytes.insert(at, add);
        View view;
        PacketOracle model({}, chargeTimeText(), Fmt::hoursMinutes(chargeTime()), QString());
        deliver(view, bytes, seed, &model);
        if (!told) {
            // Decoded as it reads, as any stream in step is.
            QCOMPARE(view.logs, model.logs);
            QCOMPARE(view.status, QStringList());
            return;
        }

        constexpr int before = 20 / 2;     // whole packets of each channel before the fault
        constexpr int spoiled = 2 / 2; // those it touches
        for (const quint8 code : {1, 2}) {
            const QStringList want = expectedLines(sent, code);
            const QStringList &got = view.log(code == 1 ? Channel::A : Channel::B);
            QCOMPARE(got.mid(0, before), want.mid(0, before));
            const int tail = int(want.size()) - before - spoiled;
            QVERIFY2(got.size() >= tail, qPrintable(QString::number(got.size())));
            QCOMPARE(got.mid(got.size() - tail), want.mid(want.size() - tail));
        }
        QVERIFY(!view.status.isEmpty());
        QVERIFY2(view.status.last().startsWith(QStringLiteral("синхронизация восстановлена - ")),
                 qPrintable(view.status.join(QLatin1Char('|'))));
    }

    // What a charger in step sends is never moved: a packet with a code it
    // does not know (dumped as always), a sensor that is not plugged in,
    // the end of a charge.
    void aStreamInStepStaysInStep_data()
    {
        QTest::addColumn<QByteArray>("odd");
        QTest::addColumn<bool>("dumped");
        QTest::addColumn<bool>("quiet"); // nothing in the status bar
        QTest::newRow("unknown code") << QByteArray::fromHex("0B02300130") << true << true;
        QTest::newRow("two unknown codes") << QByteArray::fromHex("0B02300130FF01020304") << true << true;
        QTest::newRow("three unknown codes")
            << QByteArray::fromHex("0B00000003 0C00000007 0D00000000") << true << true;
        QTest::newRow("no sensor") << QByteArray::fromHex("0101E08000") << false << true;
        QTest::newRow("end report") << QByteArray::fromHex("0380000000") << false << true;
    }
    void aStreamInStepStaysInStep()
    {
        QFETCH(QByteArray, odd);
        QFETCH(bool, dumped);
        QFETCH(bool, quiet);
        const QList<Sample> sent = samples(false);
        QByteArray bytes = bytesOf(sent);
        // The odd packets come every fourth packet from the tenth on.
        for (int p = 40; p >= 10; p -= 4)
            bytes.insert(p * 5, odd);
        View view;
        deliver(view, bytes, 3);
        for (const quint8 code : {1, 2}) {
            QStringList got = view.log(code == 1 ? Channel::A : Channel::B);
            got.removeIf([](const QString &l) {
                return l.contains(QStringLiteral(";   0x")) || l.startsWith(QStringLiteral("END"))
                    || l.contains(QStringLiteral("T=-3276,8"));
            });
            QCOMPARE(got, expectedLines(sent, code));
        }
        QCOMPARE(view.log(Channel::B).join(QString()).contains(QStringLiteral("0x0B")), dumped);
        QCOMPARE(view.status.isEmpty(), quiet);
    }

    // A parameter-block reply is never cut, even one that comes right after
    // the step was regained and whose bytes make no sense as packets.
    void repliesAreNeverCut()
    {
        const QList<Sample> sent = samples(false);
        QByteArray bytes = bytesOf(sent);
        bytes.insert(50, '\x07'); // the stream now ends where a packet of the new step ends
        View view;
        deliver(view, bytes, 5);
        QVERIFY(view.status.last().startsWith(QStringLiteral("синхронизация восстановлена - ")));
        QCOMPARE(view.receiver.heldCount(), 0);
        const QByteArray reply = QByteArray::fromHex("CC00141E02660A0A01280A8E01FF");
        view.receiver.ReadMode = true;
        deliver(view, reply + QByteArray(1, '\x00'), 6);
        QCOMPARE(view.replies, QList<QByteArray>{reply + QByteArray(1, '\x00')});
    }

    // A stray byte before a stream that arrives in packet-sized pieces: the
    // held count never ends on a packet, so the bytes wait until the buffer
    // is full; the step is found among them, and the read that follows still
    // fits. Every packet is its line.
    void aMoveWhileTheBufferIsFullKeepsEveryByte()
    {
        const QByteArray pair = QByteArray::fromHex("0101900 0EE 020191 00EF");
        const QByteArray bytes = QByteArray(1, '\x5A') + pair.repeated(75);
        View view;
        view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), 1);
        for (int at = 1; at < 256; at += 5)
            view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData() + at), 5);
        QCOMPARE(view.receiver.heldCount(), 256);
        view.receive(bytes.mid(256));
        QCOMPARE(view.status, QStringList{stepRegainedText(chargeTimeText())});
        // The four packets read out of step are dumped (once: their call
        // holds more than two), then read again.
        QCOMPARE(withoutDumps(view.log(Channel::A), 1),
                 QStringList(75, sampleLineText(chargeTimeText(), 0x190, 250, 0xEE)));
        QCOMPARE(withoutDumps(view.log(Channel::B), 1),
                 QStringList(75, sampleLineText(chargeTimeText(), 0x191, 250, 0xEF)));
        QCOMPARE(view.receiver.heldCount(), 0);
    }

    // A packet that cannot be decoded among those read again after a move
    // drops the rest of its call, but not the new step: the packet begun at
    // the end of the call is completed by the next bytes.
    void anErrorAfterAMoveKeepsTheNewStep()
    {
        const QByteArray sample = QByteArray::fromHex("0101900 0EE");
        const QByteArray bytes = QByteArray(1, '\xEE') + sample + QByteArray::fromHex("0500640000")
                                 + sample.repeated(4);
        View view;
        view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), 25);
        // The four packets out of step share one dump.
        QCOMPARE(withoutDumps(view.log(Channel::A), 1),
                 QStringList{sampleLineText(chargeTimeText(), 0x190, 250, 0xEE)});
        QCOMPARE(view.status.last(), QStringLiteral("ошибка в принимаемых данных - ") + chargeTimeText());
        QCOMPARE(view.receiver.heldCount(), 4);
        view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData() + 25), int(bytes.size()) - 25);
        QCOMPARE(withoutDumps(view.log(Channel::A), 1),
                 QStringList(3, sampleLineText(chargeTimeText(), 0x190, 250, 0xEE)));
        QCOMPARE(view.receiver.heldCount(), 0);
    }

    // Bytes that pile up without the held count ever ending on a packet (a
    // fast stream read at arbitrary points) are decoded, not dropped.
    void aLongUnevenStreamIsNotDropped()
    {
        const QList<Sample> sent = samples(false);
        const QByteArray bytes = bytesOf(sent).repeated(4); // 1200 bytes
        View view;
        // Events of 77 and 70 bytes: 7-byte writes read ten or eleven at a time.
        for (qsizetype at = 0, k = 0; at < bytes.size(); ++k) {
            const int event = std::min(k % 2 ? 70 : 77, int(bytes.size() - at));
            view.receive(bytes.mid(at, event));
            at += event;
        }
        QCOMPARE(view.log(Channel::A), expectedLines(sent, 1) + expectedLines(sent, 1)
                                           + expectedLines(sent, 1) + expectedLines(sent, 1));
        QCOMPARE(view.log(Channel::B), expectedLines(sent, 2) + expectedLines(sent, 2)
                                           + expectedLines(sent, 2) + expectedLines(sent, 2));
        QCOMPARE(view.status, QStringList());
    }

    // Noise is told three seconds after it began, once until the watch is
    // rearmed; a second without packets, or one in which most packets were
    // the charger's, or unknown codes without a run no charger sends (a
    // reply after its wait) break the row. While told noise lasts, the
    // watch says so; a clean second or a silent one ends that.
    void noiseWatchJudgesSeconds()
    {
        NoiseWatch w;
        QVERIFY(!w.take(0, 40, true, 10'999)); // begins late in a second
        QVERIFY(!w.take(1, 40, true, 11'000));
        QVERIFY(!w.take(0, 40, true, 12'500));
        QVERIFY(!w.take(0, 40, true, 13'998));
        QVERIFY(!w.noisy(13'998));
        QVERIFY(w.take(0, 40, true, 13'999));  // three seconds on
        QVERIFY(w.noisy(13'999));
        QVERIFY(!w.take(0, 40, true, 14'000)); // said once
        QVERIFY(!w.take(0, 40, true, 20'000));
        QVERIFY(!w.take(40, 0, false, 21'000)); // 20 was noise, 21 so far is not
        QVERIFY(w.noisy(21'500));
        QVERIFY(!w.take(40, 0, false, 22'000));
        QVERIFY(!w.noisy(22'000));               // 21 was clean
        QVERIFY(!w.noisy(25'000));               // and nothing since

        w.rearm();
        QVERIFY(!w.take(0, 40, true, 30'000));
        QVERIFY(!w.take(0, 40, true, 31'000));
        QVERIFY(!w.take(0, 40, true, 33'000));  // 32 had no packets: begins again
        QVERIFY(!w.take(0, 40, true, 34'000));
        QVERIFY(!w.take(0, 40, true, 35'000));
        QVERIFY(!w.take(0, 40, true, 35'999));
        QVERIFY(w.take(0, 40, true, 36'000));

        NoiseWatch charger, replies, half;
        for (qint64 ms = 0; ms < 10'000; ms += 250) {
            QVERIFY(!charger.take(20, 19, true, ms)); // most packets known
            QVERIFY(!replies.take(0, 3, false, ms));  // late replies: no evidence
            QVERIFY(!half.take(10, 10, true, ms));    // as many known as not
        }
    }

    // Through the receiver: seconds of noise put the text in the status bar
    // once, and it stays there while the noise lasts (the moves and errors
    // noise causes say nothing); once the line is clean the link's texts
    // come again. The charger's stream never brings the text.
    void noiseReachesTheStatusBarOnce()
    {
        qint64 now = 0;
        Clock::setSteadySource([&now] { return now; });
        View view;
        QRandomGenerator rng(7);
        const QByteArray sample = QByteArray::fromHex("0101900 0FA"), failing = QByteArray::fromHex("0500640000");
        for (int k = 0; now < 8000; now += 100, ++k) {
            // A broken line: the charger's packets (one in ten that cannot
            // be decoded) among three times their bytes of random ones.
            QByteArray line;
            for (int p = 0; p < 3; ++p) {
                for (int n = int(rng.bounded(31)); n > 0; --n)
                    line += char(rng.bounded(256));
                line += (k * 3 + p) % 10 == 9 ? failing : sample;
            }
            view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(line.constData()), int(line.size()));
        }
        QCOMPARE(view.status.count(noiseSuspectedText()), 1);
        QCOMPARE(view.status.last(), noiseSuspectedText());

        view.receiver.resetReceiver(); // a silence: the line is quiet, then clean
        const QByteArray clean = bytesOf(samples(false)).left(200); // two seconds
        for (int at = 0; at < clean.size(); at += 10, now += 100)
            view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(clean.constData() + at), 10);
        const QByteArray bad = QByteArray::fromHex("0500640000");
        view.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bad.constData()), 5);
        QCOMPARE(view.status.last(), QStringLiteral("ошибка в принимаемых данных - ") + chargeTimeText());

        View quiet;
        const QByteArray stream = bytesOf(samples(false));
        for (int at = 0; at + 10 <= stream.size(); at += 10, now += 100)
            quiet.receiver.receiveChunk(reinterpret_cast<const quint8 *>(stream.constData() + at), 10);
        QCOMPARE(quiet.status, QStringList());
    }
    void cleanupTestCase() { Clock::setSteadySource(nullptr); }
};

QTEST_MAIN(TestStep)
#include "tst_step.moc"
