// Whatever a charger in step sends is decoded exactly: the receiver's lines,
// points, texts and link log equal those of an independent model of the
// protocol, and the step is never moved. Values are any the 16-bit fields
// hold (a sensor not plugged in reads -127.0, a board with a small ADC step
// sends counts above 12 bits), replies come in time or late, and the port
// delivers the bytes in pieces of any size.
//
// OSTREL_ORACLE_PACKETS=n runs the random streams for about n packets (the
// quick form here runs about 100 000).

#include "link/exchange.h"
#include "tests/support/modelpair.h"
#include "tests/support/testlocale.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 12, 7, 89));
constexpr double ChargeTime = (12 * 60 + 7) / 86400.0; // 0:12:07

// One thing that happens on the link.
struct Action
{
    enum Kind { Bytes, Silence, AwaitReply } kind;
    QByteArray bytes; // an event's bytes

    void on(ModelPair &pair) const
    {
        switch (kind) {
        case Bytes: pair.event(bytes); break;
        case Silence: pair.silence(); break;
        case AwaitReply: pair.awaitReply(); break;
        }
    }
};

// A parameter-block reply with its checksum: any bytes, or a block a user
// would write (currents in device units, hours, minutes, degrees), whose
// small bytes are often codes the charger sends.
QByteArray reply(QRandomGenerator &rng, bool realistic)
{
    QByteArray r(15, '\0');
    if (realistic) {
        auto units = [&rng, &r](int at, bool wide) {
            const int u = int(rng.bounded(100, 3001)) * 51 / 250;
            r[at] = char(u);
            if (wide)
                r[at + 1] = char(u >> 8);
        };
        units(0, true);
        units(2, false);
        r[3] = char(rng.bounded(60));
        r[4] = char(rng.bounded(11));
        units(5, true);
        units(7, false);
        r[8] = char(rng.bounded(60));
        r[9] = char(rng.bounded(11));
        r[10] = char(rng.bounded(30, 61));
        r[11] = char(rng.bounded(1, 21));
    } else {
        for (int i = 0; i < 12; ++i)
            r[i] = char(rng.bounded(256));
    }
    unsigned sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += quint8(r[i]);
    r[12] = char(sum);
    r[13] = char(sum >> 8);
    r[14] = char(realistic ? 0 : rng.bounded(256));
    return r;
}

// Random streams a charger in step may send.
class LegalStreams
{
public:
    explicit LegalStreams(quint32 seed) : rng_(seed) {}

    PacketOracle::Settings settings(int step, bool english)
    {
        PacketOracle::Settings s;
        s.adcStep = step;
        s.senseR = int(rng_.bounded(1, 301));
        s.rdTenths = int(rng_.bounded(1, 101));
        s.settingsPageShown = rng_.bounded(2);
        s.chartingSensors = rng_.bounded(2);
        for (bool &on : s.viewOn)
            on = rng_.bounded(4) != 0;
        s.decimal = english ? QLatin1Char('.') : QLatin1Char(',');
        s.logEnabled = rng_.bounded(4) == 0;
        return s;
    }

    // About `packets` packets of every kind, in pieces and with silences.
    QList<Action> actions(int packets)
    {
        QList<Action> out;
        QByteArray segment; // bytes since the last cut
        auto cut = [&] {
            // The port hands the bytes on in events of any size.
            for (qsizetype at = 0; at < segment.size();) {
                const int n = std::min(int(segment.size() - at), eventSize());
                out.append(Action{Action::Bytes, segment.mid(at, n)});
                at += n;
                if (rng_.bounded(200) == 0)
                    out.append(Action{Action::AwaitReply, {}}); // a request whose reply gets mixed with packets
            }
            segment.clear();
        };
        bool knownBefore = false;
        for (int n = 0; n < packets;) {
            const quint32 pick = rng_.bounded(100);
            if (pick < 3) {
                // A parameter-block reply: in time, after a tick that ended
                // the wait, or unasked; one awaited may come behind packets
                // of a charge, and a second may follow it unasked (a write
                // that timed out, then a read).
                cut();
                const quint32 how = rng_.bounded(4);
                if (how < 3)
                    out.append(Action{Action::AwaitReply, {}});
                if (how == 1)
                    out.append(Action{Action::Silence, {}});
                for (int k = how == 2 ? int(rng_.bounded(1, 3)) : 0; k > 0; --k, ++n)
                    segment += knownPacket();
                segment += reply();
                if (how == 2 && rng_.bounded(2))
                    segment += reply();
                n += 3;
                knownBefore = false;
            } else if (pick < 5 && knownBefore) {
                // Packets with codes the charger does not know, up to three,
                // between packets it sends.
                for (int k = int(rng_.bounded(1, 4)); k > 0; --k, ++n)
                    segment += unknownPacket();
                segment += knownPacket();
                ++n;
            } else if (pick < 7) {
                cut();
                out.append(Action{Action::Silence, {}});
                knownBefore = false;
            } else {
                segment += knownPacket();
                ++n;
                knownBefore = true;
            }
        }
        cut();
        out.append(Action{Action::Silence, {}});
        return out;
    }

private:
    int eventSize()
    {
        switch (rng_.bounded(4)) {
        case 0: return int(rng_.bounded(1, 301));
        case 1: return 5 * int(rng_.bounded(1, 4));
        default: return int(rng_.bounded(1, 16));
        }
    }

    quint16 value()
    {
        switch (rng_.bounded(10)) {
        case 0: return 0;
        case 1: return 0x7FFF;
        case 2: return 0x8000;
        case 3: return 0xFFFF;
        case 4: return quint16(rng_.bounded(0x1000, 0x10000)); // above 12 bits
        case 5: return quint16(-1270);                         // no sensor
        default: return quint16(rng_.bounded(0x10000));
        }
    }

    QByteArray packet(quint8 code)
    {
        const quint16 w1 = value(), w2 = value();
        QByteArray p(5, Qt::Uninitialized);
        p[0] = char(code);
        p[1] = char(w1 >> 8);
        p[2] = char(w1);
        p[3] = char(w2 >> 8);
        p[4] = char(w2);
        return p;
    }

    QByteArray knownPacket()
    {
        static const quint8 codes[] = {0x01, 0x02, 0x01, 0x02, 0x01, 0x02, 0x03, 0x04, 0x05,
                                       0x06, 0x07, 0x08, 0x09, 0x0A, 0x30};
        return packet(codes[rng_.bounded(quint32(std::size(codes)))]);
    }

    QByteArray unknownPacket()
    {
        quint8 code;
        do
            code = quint8(rng_.bounded(256));
        while ((code >= 0x01 && code <= 0x0A) || code == 0x30);
        return packet(code);
    }

    QByteArray reply() { return ::reply(rng_, rng_.bounded(2)); }

    QRandomGenerator rng_;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestDecodeOracle : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useLocale(QStringLiteral("ru_RU"));
    }

    // Streams found to lose a charge: each decodes as it reads.
    void chargerStreams_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<QList<int>>("pieces"); // event sizes, used in turn
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("log");
        QTest::addColumn<bool>("lateReply"); // the stream follows a reply after a tick
        const QList<int> whole{10};
        QTest::newRow("both sensors absent") << hex("0101F4FB0A 0201FEFB0A") << 300 << whole << 250 << false << false;
        QTest::newRow("sensor B absent") << hex("0102070 0FA 020209FB0A") << 300 << whole << 250 << false << false;
        QTest::newRow("counts above 12 bits") << hex("0114500103 0214640107") << 300 << whole << 25 << false << false;
        QTest::newRow("late reply") << hex("0101F400FA 0201FE00FA") << 3 << whole << 250 << false << true;
        QTest::newRow("three unknown packets")
            << hex("0B00000003 0C00000007 0D00000000") + hex("010190 00FA").repeated(3) << 1
            << QList<int>{15, 5} << 250 << false << false;
        QTest::newRow("unknown packets in step")
            << hex("0B02300130 0101900 0FA 0C00000000") << 1 << QList<int>{15} << 250 << false << false;
        QTest::newRow("link log of pieces") << hex("010190 00FA") << 4 << QList<int>{8, 9, 3} << 250 << true << false;
        QTest::newRow("dump of pieces") << hex("0B02300130") + hex("010190 00FA").repeated(3) << 1
                                        << QList<int>{17, 3} << 250 << true << false;
    }
    void chargerStreams()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, repeat);
        QFETCH(QList<int>, pieces);
        QFETCH(int, step);
        QFETCH(bool, log);
        QFETCH(bool, lateReply);
        PacketOracle::Settings s;
        s.adcStep = step;
        s.logEnabled = log;
        ModelPair both(s, ChargeTime, Now);
        const QByteArray factory = hex("CC00141E03 66000A0A03 280AB00100");
        if (lateReply) {
            both.awaitReply();
            both.silence();
            both.event(factory);
        }
        const QByteArray bytes = stream.repeated(repeat);
        for (qsizetype at = 0, k = 0; at < bytes.size(); ++k) {
            const int n = std::min(pieces[k % pieces.size()], int(bytes.size() - at));
            both.event(bytes.mid(at, n));
            at += n;
        }
        const QString difference = both.difference();
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(both.view.status.isEmpty());
        QVERIFY(both.view.logs[0].size() >= repeat);

        if (lateReply) {
            // The next read is answered in step.
            ParameterExchange exchange;
            exchange.readRequested();
            both.awaitReply();
            both.event(factory);
            QCOMPARE(both.view.replies, QList<QByteArray>{factory});
            QCOMPARE(exchange.reply(reinterpret_cast<const quint8 *>(factory.constData())).status,
                     QStringLiteral("Считанно!"));
        }
    }

    // Whatever a reply that is not awaited holds, the packets after it are
    // in step: one that came after the wait, two in a row, or the rest of
    // one whose first bytes went to the reply handler with packets held
    // before it (a write that timed out, then a read: the second reply
    // follows unasked).
    void repliesNeverMoveTheStep_data()
    {
        QTest::addColumn<int>("heldBefore"); // packets held in read mode before the reply
        QTest::addColumn<int>("replies");
        QTest::newRow("late") << -1 << 1;
        QTest::newRow("two late") << -1 << 2;
        QTest::newRow("behind one packet") << 1 << 2;
        QTest::newRow("behind two packets") << 2 << 2;
    }
    void repliesNeverMoveTheStep()
    {
        QFETCH(int, heldBefore);
        QFETCH(int, replies);
        QRandomGenerator rng(22);
        const QByteArray sample = hex("0101F400FA"), samples = hex("0101F400FA 0201FE00FA").repeated(3);
        for (int round = 0; round < 5000; ++round) {
            const QByteArray r = reply(rng, round % 2);
            ModelPair both({}, ChargeTime, Now);
            if (heldBefore >= 0) {
                both.awaitReply();
                both.event(sample.repeated(heldBefore));
                // The handler takes 15 bytes: the packets held and the reply's first.
                both.event(r.left(15 - 5 * heldBefore));
                both.event(r.mid(15 - 5 * heldBefore) + r.repeated(replies - 1) + samples);
            } else {
                both.event(r.repeated(replies) + samples);
            }
            const QString difference = both.difference();
            QVERIFY2(difference.isEmpty(), qPrintable(r.toHex(' ') + QStringLiteral(": ") + difference));
        }
    }

    // Random legal streams over the whole ranges: no difference at all.
    void randomLegalStreams()
    {
        const qint64 wanted = qEnvironmentVariableIntValue("OSTREL_ORACLE_PACKETS") > 0
                                  ? qEnvironmentVariableIntValue("OSTREL_ORACLE_PACKETS")
                                  : 100000;
        constexpr int PerStream = 400;
        qint64 packets = 0;
        for (quint32 stream = 0; packets < wanted; ++stream) {
            LegalStreams gen(stream);
            const bool english = stream % 3 == 0;
            useLocale(english ? QStringLiteral("en_US") : QStringLiteral("ru_RU"));
            const int step = int(stream * 211 % 500) + 1;
            ModelPair both(gen.settings(step, english), ChargeTime, Now);
            for (const Action &a : gen.actions(PerStream))
                a.on(both);
            const QString difference = both.difference();
            QVERIFY2(difference.isEmpty(),
                     qPrintable(QStringLiteral("stream %1 (step %2): ").arg(stream).arg(step) + difference));
            packets += PerStream;
        }
        qInfo("%lld packets of legal streams, no difference", packets);
    }
};

QTEST_MAIN(TestDecodeOracle)
#include "tst_decodeoracle.moc"
