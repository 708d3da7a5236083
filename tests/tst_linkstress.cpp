// A continuous stream through the real port, as a fast USB adapter delivers
// it: pieces of every size at a 1 ms pace. Every packet must become its line
// and its points, whatever the piece size and however busy the machine is.

#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "tools/chargesim/chargesim.h"
#include "platform/clock.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/chargerrig.h"
#include "tests/support/pty.h"
#include "link/statistika.h"
#include "link/step.h"
#include "app/widgets.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int Packets = 400; // per channel and run

quint16 adcOf(int i) { return quint16(1000 + i * 7 % 3000); }

QByteArray stream()
{
    QByteArray out;
    for (int i = 0; i < Packets; ++i) {
        for (const char code : {'\x01', '\x02'}) {
            const quint16 adc = adcOf(i) + (code == 2 ? 1 : 0);
            const qint16 t = qint16(200 + i % 90);
            out += code;
            out += char(adc >> 8);
            out += char(adc);
            out += char(quint16(t) >> 8);
            out += char(t);
        }
    }
    return out;
}

// Writes `bytes` to the line in pieces of `piece` bytes, one piece per
// millisecond on average (a late writer catches up, as an adapter does).
void writePaced(Pty &line, const QByteArray &bytes, int piece)
{
    auto due = std::chrono::steady_clock::now();
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        line.write(bytes.mid(at, piece));
        due += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(due);
    }
}

// Keeps one core busy while it lives.
class BusyThread
{
public:
    BusyThread()
        : thread_([this] {
              volatile unsigned x = 0;
              while (!stop_.load(std::memory_order_relaxed))
                  x = x * 1664525u + 1013904223u;
          })
    {}
    ~BusyThread()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

class TestLinkStress : public WindowTest
{
    Q_OBJECT

    // One run: the whole stream in pieces of `piece` bytes; every packet is
    // its line, in order, with its two points, and no dump appears.
    void runOnce(int piece, const char *what)
    {
        TfmMain w;
        Pty line;
        w.ComPort1->setPort(line.slavePath());
        w.btnStart->click();
        QCOMPARE(w.btnStart->text(), QStringLiteral("Stop"));

        const QByteArray bytes = stream();
        std::thread writer([&] { writePaced(line, bytes, piece); });
        const bool whole = QTest::qWaitFor(
            [&] { return w.Memo1->lineCount() >= Packets && w.Memo2->lineCount() >= Packets; },
            30000);
        writer.join();
        // Every byte written is taken (or the checks below say what was not).
        static_cast<void>(QTest::qWaitFor([&] { return w.receiver.RecvTotal >= bytes.size(); }, 5000));
        w.btnStart->click();

        const QString context = QStringLiteral("%1, pieces of %2 bytes").arg(QLatin1String(what)).arg(piece);
        QVERIFY2(whole, qPrintable(context + QStringLiteral(": %1 and %2 lines")
                                                 .arg(w.Memo1->lineCount())
                                                 .arg(w.Memo2->lineCount())));
        QCOMPARE(w.receiver.RecvTotal, int(bytes.size()));
        const QRegularExpression adc(QStringLiteral("    ADC=(\\d+)    "));
        for (LogMemo *m : {w.Memo1, w.Memo2}) {
            const QStringList l = m->lines();
            QVERIFY2(l.size() == Packets,
                     qPrintable(context + QStringLiteral(": %1 lines").arg(l.size())));
            const int extra = m == w.Memo2 ? 1 : 0;
            for (int i = 0; i < Packets; ++i) {
                const auto match = adc.match(l[i]);
                QVERIFY2(match.hasMatch() && match.captured(1).toInt() == adcOf(i) + extra,
                         qPrintable(context + QStringLiteral(": line %1 is '%2'").arg(i).arg(l[i])));
            }
        }
        for (const ChartSeries *s : {&w.Series1, &w.Series2, &w.Series3, &w.Series4})
            QVERIFY2(s->count() == Packets, qPrintable(context + QStringLiteral(": %1 points")
                                                                      .arg(s->count())));
        QVERIFY2(w.statusPanelText(1).isEmpty(), qPrintable(context + QStringLiteral(": ") + w.statusPanelText(1)));
    }

private slots:
    void everyPieceSize_data()
    {
        QTest::addColumn<int>("piece");
        for (int round = 1; round <= 3; ++round)
            for (int piece = 1; piece <= 7; ++piece)
                QTest::addRow("round %d, %d-byte pieces", round, piece) << piece;
    }

    void everyPieceSize()
    {
        QFETCH(int, piece);
        runOnce(piece, "clean stream");
    }

    // Line noise in a charge: each stray byte costs a dump and a few
    // packets, and the logs go on with measurement lines.
    void strayBytesInACharge()
    {
        ChargerRig<> rig({.link = {}, .intervalMs = 10, .fault = chargesim::Fault::StrayByte,
                                  .strayEvery = 20});
        auto &[sim, w] = rig;
        w.btnStart->click();
        const QString regained = QStringLiteral("синхронизация восстановлена - ");
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() >= 110 && w.Memo2->lineCount() >= 110
                                     && w.statusPanelText(1).startsWith(regained),
                                 20000);
        w.btnStart->click();
        sim.stop();
        const int strays = sim.straysSent();
        QVERIFY(strays >= 4);
        const QRegularExpression sample(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d    ADC=\\d+    U=1,\\d{4}    T=\\d+,\\d;$"));
        for (LogMemo *m : {w.Memo1, w.Memo2}) {
            const QStringList l = m->lines();
            const int dumps = int(l.filter(QStringLiteral(";   0x")).size());
            const int good = int(l.size()) - dumps;
            // The packet with the stray byte is spoiled, and those read out
            // of step after it are dumped until enough in a row carry codes
            // the charger never sends (then they are read again in step);
            // now and then a temperature byte read as a code is one the
            // charger sends and the run starts over.
            QVERIFY2(dumps >= 1 && dumps <= 2 * StepWatch::Evidence * strays,
                     qPrintable(QStringLiteral("%1 dumps for %2 stray bytes").arg(dumps).arg(strays)));
            int measured = 0;
            for (const QString &line : l)
                measured += sample.match(line).hasMatch() ? 1 : 0;
            QVERIFY2(measured >= good - strays, qPrintable(QStringLiteral("%1 of %2").arg(measured).arg(good)));
        }
    }

    // A charger whose values look odd is in step all the same: a sensor not
    // plugged in, a board that measures with a small ADC step. Every packet
    // is its line, and the step is never moved.
    void oddValuesStayInStep_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("mark"); // in every measurement line
        QTest::addColumn<int>("minCount");
        QTest::newRow("no sensor") << int(chargesim::Fault::NoSensor) << QStringLiteral("    T=-127,0;") << 0;
        QTest::newRow("counts above 12 bits") << int(chargesim::Fault::HighCounts) << QStringLiteral("    U=") << 4096;
    }
    void oddValuesStayInStep()
    {
        QFETCH(int, fault);
        QFETCH(QString, mark);
        QFETCH(int, minCount);
        ChargerRig<> rig({.link = {}, .intervalMs = 10, .fault = chargesim::Fault(fault)});
        auto &[sim, w] = rig;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() >= 150 && w.Memo2->lineCount() >= 150, 20000);
        w.btnStart->click();
        sim.stop();
        const QRegularExpression sample(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d    ADC=(\\d+)    U=\\d+,\\d{4}    T=-?\\d+,\\d;$"));
        for (LogMemo *m : {w.Memo1, w.Memo2}) {
            int samples = 0;
            for (const QString &line : m->lines()) {
                const auto match = sample.match(line);
                if (!match.hasMatch())
                    continue;
                ++samples;
                QVERIFY2(line.contains(mark) && match.captured(1).toInt() >= minCount, qPrintable(line));
            }
            const ChartSeries &u = m == w.Memo1 ? w.Series1 : w.Series3;
            QCOMPARE(samples, u.count());
            QVERIFY(samples >= 140);
            QVERIFY(m->lines().filter(QStringLiteral(";   0x")).isEmpty());
        }
        QVERIFY2(w.statusPanelText(1).isEmpty(), qPrintable(w.statusPanelText(1)));
    }

    void underLoad()
    {
        BusyThread busy;
        for (int piece = 1; piece <= 7; ++piece) {
            runOnce(piece, "under load");
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_MAIN(TestLinkStress)
#include "tst_linkstress.moc"
