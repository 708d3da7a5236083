// The simulated charger: its packets, its curves, and its bytes arriving
// through the real port.

#include "serial/CPort.h"
#include "tools/chargesim/chargesim.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace chargesim;

class TestChargeSim : public QObject
{
    Q_OBJECT

private slots:
    void samplePacketsAreBigEndian_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("adc");
        QTest::addColumn<int>("tenths");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("A") << 0 << 0x0234 << 251 << QByteArray::fromHex("01023400fb");
        QTest::newRow("B, below zero") << 1 << 600 << -55 << QByteArray::fromHex("020258ffc9");
    }

    void samplePacketsAreBigEndian()
    {
        QFETCH(int, channel);
        QFETCH(int, adc);
        QFETCH(int, tenths);
        QFETCH(QByteArray, bytes);
        const Packet p = samplePacket(channel ? Channel::B : Channel::A, std::uint16_t(adc),
                                      std::int16_t(tenths));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(p.data()), 5), bytes);
    }

    // The curves look like a charge: a plateau, a peak near the end with a
    // small drop after it, and the temperature rising at the end; so do
    // those of cells that have lost capacity, only sooner.
    void curvesEndLikeACharge()
    {
        for (const CellCurve &c : {nimhCell(), nicdCell(), nimhCell().afterCharges(3, 10)}) {
            double peakAt = 0, peak = 0;
            for (double t = 0; t <= c.minutes; t += 0.25)
                if (c.volts(t) > peak) {
                    peak = c.volts(t);
                    peakAt = t;
                }
            QVERIFY(peakAt > 0.85 * c.minutes);
            QVERIFY(c.volts(c.minutes) < peak);
            QVERIFY(peak < 1.6);
            QVERIFY(c.volts(c.minutes / 2) > 1.3);
            QVERIFY(c.celsius(c.minutes) - c.celsius(0) > 8);
            QVERIFY(c.celsius(c.minutes / 2) - c.celsius(0) < 2);
        }
    }

    // The simulator keeps quiet while nobody holds the port and streams
    // paced samples of both channels once a program opens it by its link.
    void streamsToAPortOpenedByItsLink()
    {
        QTemporaryDir dir;
        Options o;
        o.link = dir.filePath(QStringLiteral("charger")).toStdString();
        o.intervalMs = 20;
        Simulator sim(o);
        QCOMPARE(QFileInfo(QString::fromStdString(o.link)).symLinkTarget(),
                 QString::fromStdString(sim.slavePath()));
        QVERIFY(!sim.peerConnected());
        sim.start();

        QByteArray got;
        TComPort port;
        port.setPort(QString::fromStdString(o.link));
        port.setBaudRate(br38400);
        port.OnRxChar = [&](QObject *, int count) {
            QByteArray b(count, 0);
            got += b.left(port.Read(b.data(), count));
        };
        port.Open();
        QVERIFY(sim.peerConnected());
        QTRY_VERIFY(got.size() >= 40);
        port.Close();
        // Each channel opens its charge: the start block, then the cell's
        // internal resistance.
        QCOMPARE(got.left(5).toHex(), QByteArray("0700cc4000"));
        QCOMPARE(int(got[5]), 0x05);
        QCOMPARE(got.mid(10, 5).toHex(), QByteArray("0800666000"));
        QCOMPARE(int(got[15]), 0x06);
        for (qsizetype at = 20; at + 5 <= got.size(); at += 5) {
            const auto *p = reinterpret_cast<const unsigned char *>(got.constData() + at);
            QCOMPARE(int(p[0]), at / 5 % 2 ? 2 : 1); // A then B
            const double volts = (p[1] << 8 | p[2]) * o.adcStep / 100000.0;
            const double celsius = std::int16_t(p[3] << 8 | p[4]) / 10.0;
            QVERIFY2(volts > 1.2 && volts < 1.6, qPrintable(QString::number(volts)));
            QVERIFY2(celsius > 15 && celsius < 40, qPrintable(QString::number(celsius)));
        }
        QTRY_VERIFY(!sim.peerConnected());
    }

    // A charger with no sensors reads -127.0 degrees everywhere; one that
    // measures with a step of 25 sends ten times the counts.
    void oddChargers()
    {
        Simulator plain({.link = {}}), noSensor({.link = {}, .fault = Fault::NoSensor}),
            highCounts({.link = {}, .fault = Fault::HighCounts});
        for (int i = 0; i < 3; ++i) {
            const auto normal = plain.nextSamples(), absent = noSensor.nextSamples(), high = highCounts.nextSamples();
            for (size_t ch = 0; ch < 2; ++ch) {
                QCOMPARE(absent[ch][3] << 8 | absent[ch][4], 0xFB0A);
                const int count = normal[ch][1] << 8 | normal[ch][2], tenfold = high[ch][1] << 8 | high[ch][2];
                QVERIFY2(tenfold > 4095 && std::abs(tenfold - 10 * count) <= 20,
                         qPrintable(QStringLiteral("%1 and %2").arg(count).arg(tenfold)));
            }
        }
    }

    // When a cell is charged the channel reports the end and starts the next.
    void chargesEndAndStartAgain()
    {
        Simulator sim({.link = {}, .intervalMs = 60000, .speed = 7});
        QByteArray codes;
        for (int i = 0; i < 40; ++i)
            for (const Packet &p : sim.nextPackets())
                if (p[0] != 0x01 && p[0] != 0x02)
                    codes += char(p[0]) + (p[0] == 0x03 ? QByteArray(1, char(p[1])) : QByteArray());
        QVERIFY(codes.startsWith(QByteArray::fromHex("07050806")));
        QVERIFY(codes.contains(QByteArray::fromHex("03800705")));
    }

    // A channel stops after its charges: the end report of the last is the
    // channel's last packet, however long the charger runs on.
    void quietAfterItsCharges_data()
    {
        QTest::addColumn<bool>("repeat");
        QTest::addColumn<int>("charges");
        QTest::addColumn<int>("expected");
        QTest::newRow("three of a fading cell") << true << 3 << 3;
        QTest::newRow("once") << false << 0 << 1;
        QTest::newRow("one") << true << 1 << 1;
        QTest::newRow("once with more asked") << false << 3 << 1;
    }

    void quietAfterItsCharges()
    {
        QFETCH(bool, repeat);
        QFETCH(int, charges);
        QFETCH(int, expected);
        // A charge minute an interval: 400 intervals take both channels
        // through three charges and a whole one more.
        Simulator sim({.link = {}, .intervalMs = 60000, .speed = 1, .repeat = repeat, .charges = charges,
                       .fadePercent = 10});
        int starts[2] = {}, ends[2] = {}, afterLastEnd[2] = {};
        for (int i = 0; i < 400; ++i)
            for (const Packet &p : sim.nextPackets()) {
                const int ch = (p[0] - 1) % 2;
                afterLastEnd[ch] += ends[ch] == expected;
                starts[ch] += p[0] == 0x07 || p[0] == 0x08;
                ends[ch] += p[0] == 0x03 || p[0] == 0x04;
            }
        for (int ch = 0; ch < 2; ++ch) {
            QCOMPARE(starts[ch], expected);
            QCOMPARE(ends[ch], expected);
            QCOMPARE(afterLastEnd[ch], 0);
        }
        QCOMPARE(int(sim.chargesBegun().size()), 2 * expected);
    }

    // Three charges of a cell that loses a tenth a charge, as a program on
    // the port receives them: each takes about a tenth fewer samples than
    // the one before, as the simulator says when it begins them.
    void fadingCellThroughThePort()
    {
        Simulator sim({.link = {}, .intervalMs = 10, .speed = 6000, // a charge minute an interval
                       .charges = 3, .fadePercent = 10, .cell = "AA"});
        std::vector<ChargeStart> told;
        sim.onChargeStart([&](const ChargeStart &c) { told.push_back(c); });
        sim.start();
        QByteArray got;
        TComPort port;
        port.setPort(QString::fromStdString(sim.slavePath()));
        port.setBaudRate(br38400);
        port.OnRxChar = [&](QObject *, int count) {
            QByteArray b(count, 0);
            got += b.left(port.Read(b.data(), count));
        };
        port.Open();
        QTRY_VERIFY_WITH_TIMEOUT(got.count(QByteArray::fromHex("0380000000")) >= 3
                                     && got.count(QByteArray::fromHex("0480000000")) >= 3,
                                 60000);
        port.Close();
        sim.stop();

        // Each channel's charges as the samples between a start block and
        // an end report, and what came after its third end report.
        QList<int> samples[2];
        int ends[2] = {}, afterEnd[2] = {};
        for (qsizetype at = 0; at + 5 <= got.size(); at += 5) {
            const int code = got[at], ch = (code - 1) % 2;
            afterEnd[ch] += ends[ch] == 3;
            if (code == 0x03 || code == 0x04)
                ++ends[ch];
            else if (code == 0x07 || code == 0x08)
                samples[ch].append(0);
            else if (code <= 0x02 && !samples[ch].isEmpty())
                ++samples[ch].last();
        }
        QCOMPARE(afterEnd[1], 0); // channel A ran on, B kept quiet
        const std::vector<ChargeStart> begun = sim.chargesBegun();
        QCOMPARE(told.size(), begun.size());
        QCOMPARE(begun.at(0).describe(), std::string("channel A: cell AA-A, charge 1, about 1250 mAh"));
        QCOMPARE(begun.at(1).describe(), std::string("channel B: cell AA-B, charge 1, about 417 mAh"));
        for (int ch = 0; ch < 2; ++ch) {
            std::vector<ChargeStart> charges;
            std::copy_if(begun.begin(), begun.end(), std::back_inserter(charges),
                         [&](const ChargeStart &c) { return int(c.channel) == ch; });
            QCOMPARE(int(charges.size()), 3);
            QCOMPARE(ends[ch], 3);
            QCOMPARE(samples[ch].size(), 3);
            // Channel B's first cell was ten minutes into its charge when
            // the charger began: not a whole charge to compare with.
            const int firstWhole = ch == 0 ? 0 : 1;
            for (int k = 0; k < 3; ++k) {
                QVERIFY(std::abs(samples[ch][k] - charges[size_t(k)].minutes) <= 1.5);
                if (k > firstWhole) {
                    const double fewer = double(samples[ch][k]) / samples[ch][k - 1],
                                 less = charges[size_t(k)].milliampHours / charges[size_t(k - 1)].milliampHours;
                    QVERIFY2(std::abs(fewer - 0.9) < 0.03 && std::abs(less - 0.9) < 0.03,
                             qPrintable(QStringLiteral("%1 and %2").arg(fewer).arg(less)));
                }
            }
        }
    }
};

QTEST_MAIN(TestChargeSim)
#include "tst_chargesim.moc"
