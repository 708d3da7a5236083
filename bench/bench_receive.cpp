// Packets per second through the receive path: framing, decoding, log lines
// and chart points, with the window's real memos. Fed in the chunk sizes the
// port's event thread delivers, once into empty logs and once into logs that
// already hold a week of lines, and then with the crash-safe journal
// writing every line and point. With each run, the resident memory the
// program holds a packet once they are in: a log line and its chart points.
//
//   build/bench/bench_receive [packets]

#include "app/TfmMain.h"
#include "link/statistika.h"
#include "app/widgets.h"
#include "tests/support/resident.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

QByteArray stream(int packets)
{
    QByteArray out;
    out.reserve(packets * 5);
    for (int i = 0; i < packets; ++i) {
        const quint16 adc = quint16(520 + i % 40);
        const quint16 temp = quint16(250 + i % 30);
        const char code = i % 2 ? 0x02 : 0x01;
        out += code;
        out += char(adc >> 8);
        out += char(adc);
        out += char(temp >> 8);
        out += char(temp);
    }
    return out;
}

void prefill(TfmMain &w, int lines)
{
    const QString line = QStringLiteral("11:59:59    ADC=532    U=1,3300    T=25,1;");
    for (LogMemo *m : {w.Memo1, w.Memo2}) {
        for (int i = 0; i < lines; ++i)
            m->addLine(line);
        m->flush();
    }
    for (SeriesId s : {SeriesId::AU, SeriesId::AT, SeriesId::BU, SeriesId::BT})
        for (int i = 0; i < lines; ++i)
            w.series(s).append(1.33, QStringLiteral("11:59"), Qt::green);
}

struct Figures
{
    double rate;          // packets a second
    double bytesAPacket;  // resident memory grown, a packet
};

Figures run(int packets, int existing, bool journal)
{
    TfmMain w;
    w.show();
    QTemporaryDir state;
    if (journal)
        w.startJournal(state.path());
    w.TimerResetReceiver->stop(); // a stall of the benchmark is no silence
    prefill(w, existing);
    // A summary looked at (a tooltip, an end report) keeps both channels'
    // summaries summing up as the packets come, as in a real charge.
    w.channelSummary(Channel::A);
    w.channelSummary(Channel::B);
    QCoreApplication::processEvents();

    const QByteArray bytes = stream(packets);
    const long before = residentKb();
    // What one event of the port typically holds at full line rate.
    const int sizes[] = {5, 10, 3, 2, 5, 20, 5, 10};
    QElapsedTimer timer;
    timer.start();
    qsizetype at = 0;
    qint64 nextLoop = 20;
    for (int event = 0; at < bytes.size(); ++event) {
        const int waiting = int(std::min<qsizetype>(sizes[event % 8], bytes.size() - at));
        w.receiver.receive(reinterpret_cast<const quint8 *>(bytes.constData() + at), waiting);
        at += waiting;
        // Let the event loop run now and then, as it does between the
        // port's events: the memos' batched writes and the repaints happen
        // there. (Painting after every event would measure the paint engine;
        // under load the port's thread hands over bigger chunks instead.)
        if (timer.elapsed() >= nextLoop) {
            QCoreApplication::processEvents();
            nextLoop = timer.elapsed() + 20;
        }
    }
    w.Memo1->flush();
    w.Memo2->flush();
    if (journal)
        w.journalTimerTimer();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (w.Memo1->lineCount() != existing + packets / 2)
        std::fprintf(stderr, "lost lines: %d\n", w.Memo1->lineCount());
    return {packets / seconds, (residentKb() - before) * 1024.0 / packets};
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int packets = argc > 1 ? std::atoi(argv[1]) : 100000;
    const double lineRate = 38400.0 / 10 / 5; // 10 bits a byte, 5 bytes a packet
    for (bool journal : {false, true}) {
        for (int existing : {0, 604800}) { // empty logs, and a week in them
            const auto [rate, bytes] = run(packets, existing, journal);
            std::printf("%6d lines in each log, journal %-3s: %9.0f packets/s (%.2f us/packet, %.0fx the line rate), "
                        "%.0f bytes held a packet\n",
                        existing, journal ? "on" : "off", rate, 1e6 / rate, rate / lineRate, bytes);
        }
    }
    return 0;
}
