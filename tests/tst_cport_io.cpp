// Bytes through the port on a real pseudo-terminal: received-characters
// events on the GUI thread, reads, writes and the other line events.

#include "serial/CPort.h"
#include "tests/support/pty.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

// A handler in the style of the program's: reads what the event announces.
struct Collector
{
    QByteArray bytes;
    QList<int> counts;
    bool offGuiThread = false;

    void attach(TCustomComPort &port)
    {
        port.OnRxChar = [this, &port](QObject *, int count) {
            offGuiThread |= QThread::currentThread() != qApp->thread();
            counts << count;
            QByteArray chunk(count, 0);
            const int n = port.Read(chunk.data(), count);
            bytes += chunk.left(n);
        };
    }
};

} // namespace

class TestCPortIo : public QObject
{
    Q_OBJECT

private slots:
    // A long stream arrives complete, in order, on the GUI thread.
    void tenThousandPacketsArriveInOrder()
    {
        Pty pty;
        Collector c;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setBaudRate(br38400);
        c.attach(port);
        port.Open();

        QByteArray sent;
        for (int i = 0; i < 10000; ++i) {
            const char packet[5] = {char(1 + i % 2), char(i >> 8), char(i), char(i % 7), char(0xFA)};
            sent.append(packet, 5);
        }
        // Written from another thread in uneven pieces, as a line delivers.
        std::thread writer([&] {
            for (qsizetype at = 0; at < sent.size();) {
                const qsizetype n = std::min<qsizetype>(sent.size() - at, 1 + (at * 7) % 613);
                pty.write(sent.mid(at, n));
                at += n;
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(c.bytes.size(), sent.size(), 30000);
        writer.join();
        QVERIFY(c.bytes == sent);
        QVERIFY(!c.offGuiThread);
        for (int n : c.counts)
            QVERIFY(n >= 1);
    }

    // smWindowSync hands each event over separately, still on the GUI
    // thread; smNone runs the handling in the event thread itself.
    void otherDeliveryModes_data()
    {
        QTest::addColumn<int>("sync");
        QTest::addColumn<bool>("onGuiThread");
        QTest::newRow("window sync") << int(smWindowSync) << true;
        QTest::newRow("none") << int(smNone) << false;
    }

    void otherDeliveryModes()
    {
        QFETCH(int, sync);
        QFETCH(bool, onGuiThread);
        Pty pty;
        std::atomic<int> received {0};
        std::atomic<bool> guiThread {!onGuiThread};
        TComPort port;
        port.setPort(pty.slavePath());
        port.setSyncMethod(TSyncMethod(sync));
        port.OnRxChar = [&](QObject *, int count) {
            guiThread = QThread::currentThread() == qApp->thread();
            QByteArray b(count, 0);
            received += port.Read(b.data(), count);
        };
        port.Open();
        pty.write("12345");
        QTRY_COMPARE(received.load(), 5);
        QCOMPARE(guiThread.load(), onGuiThread);
        port.Close();
    }

    void readReturnsOnlyWhatIsWaiting()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setEvents({});
        port.Open();
        pty.write("1234567");
        QTRY_COMPARE(port.QueuedInputCount(), 7);
        char buf[100];
        QCOMPARE(port.Read(buf, 100), 7); // at once, with the default timeouts
        QCOMPARE(QByteArray(buf, 7), QByteArray("1234567"));
        QCOMPARE(port.Read(buf, 100), 0);
    }

    // Bytes that come while a handler runs, and bytes it left unread, bring
    // one further event whose count covers them all.
    void bytesDuringAHandlerBringAFurtherEvent()
    {
        Pty pty;
        QList<int> counts;
        QByteArray got;
        TComPort port;
        port.setPort(pty.slavePath());
        port.OnRxChar = [&](QObject *, int count) {
            counts << count;
            if (counts.size() == 1) {
                char two[2];
                port.Read(two, 2); // leave the rest unread
                got.append(two, 2);
                pty.write("XYZ");
                QTRY_COMPARE(port.QueuedInputCount(), count - 2 + 3);
                return;
            }
            QByteArray all(count, 0);
            port.Read(all.data(), count);
            got += all;
        };
        port.Open();
        pty.write("abcde");
        QTRY_COMPARE(counts.size(), 2);
        QCOMPARE(counts, (QList<int>{5, 6}));
        QCOMPARE(got, QByteArray("abcdeXYZ"));
        // No event for bytes that are already known and unread.
        QCoreApplication::processEvents();
        QCOMPARE(counts.size(), 2);
    }

    // An event that finds the queue empty (read already) calls no handler.
    void eventForAnEmptyQueueCallsNoHandler()
    {
        Pty pty;
        Collector c;
        TComPort port;
        port.setPort(pty.slavePath());
        c.attach(port);
        port.Open();
        pty.write("abc");
        // Read without letting any delivery run.
        char buf[8];
        int n = 0;
        for (int tries = 0; tries < 500 && n < 3; ++tries) {
            n += port.Read(buf + n, 8 - n);
            if (n < 3)
                QThread::msleep(2);
        }
        QCOMPARE(n, 3);
        pty.write("d");
        QTRY_COMPARE(c.bytes, QByteArray("d"));
        QCOMPARE(c.counts, QList<int>{1});
    }

    // Closing while a delivery waits runs that delivery during Close, and
    // its Read still works because the device is still open.
    void closeServesAWaitingDelivery()
    {
        Pty pty;
        Collector c;
        bool openDuringHandler = false;
        TComPort port;
        port.setPort(pty.slavePath());
        port.OnRxChar = [&](QObject *, int count) {
            openDuringHandler = port.Connected();
            QByteArray b(count, 0);
            c.bytes += b.left(port.Read(b.data(), count));
        };
        port.Open();
        pty.write("hello");
        // Give the event thread time to hand the event over; the GUI thread
        // does not run it until Close.
        QThread::msleep(200);
        QVERIFY(c.bytes.isEmpty());
        port.Close();
        QCOMPARE(c.bytes, QByteArray("hello"));
        QVERIFY(openDuringHandler);
        QVERIFY(!port.Connected());
    }

    void writeReachesTheLineAndRaisesItsEvents()
    {
        Pty pty;
        TComLink link;
        QByteArray linkSaw;
        QStringList tx;
        int txEmpty = 0;
        TComPort port;
        port.setPort(pty.slavePath());
        link.OnTxBuf = [&](QObject *, const char *b, int n) { linkSaw.append(b, n); };
        link.OnTx = [&](QObject *, bool on) { tx << (on ? "on" : "off"); };
        port.AttachLink(&link);
        port.OnTxEmpty = [&](QObject *) { ++txEmpty; };
        port.Open();
        const QByteArray frame = QByteArray::fromHex("0a0102030405060708090a0b0c0d0e");
        QCOMPARE(port.Write(frame.constData(), int(frame.size())), 15);
        QCOMPARE(pty.read(15), frame);
        QCOMPARE(linkSaw, frame);
        QTRY_COMPARE(txEmpty, 1);
        QCOMPARE(tx, (QStringList{"on", "off"}));
    }

    void eventCharAndDiscardNull()
    {
        Pty pty;
        int flags = 0;
        Collector c;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setEventChar('X');
        port.setDiscardNull(true);
        port.OnRxFlag = [&](QObject *) { ++flags; };
        c.attach(port);
        port.Open();
        pty.write(QByteArray("ab\0X\0c", 6));
        QTRY_COMPARE(c.bytes, QByteArray("abXc"));
        QCOMPARE(flags, 1);
    }

    // A small input queue holds back what does not fit (the kernel keeps
    // it); nothing is lost, and filling it raises the 80 % event.
    void smallInputQueueLosesNothing()
    {
        Pty pty;
        int full = 0;
        Collector c;
        TComPort port;
        port.setPort(pty.slavePath());
        port.Buffer().setInputSize(64);
        port.OnRx80Full = [&](QObject *) { ++full; };
        port.Open();
        QByteArray sent;
        for (int i = 0; i < 1000; ++i)
            sent.append(char(i * 13));
        pty.write(sent);
        QTRY_COMPARE(port.QueuedInputCount(), 64);
        QTRY_VERIFY(full >= 1);
        c.attach(port);
        char buf[64];
        c.bytes.append(buf, port.Read(buf, 64));
        QTRY_COMPARE(c.bytes.size(), sent.size());
        QVERIFY(c.bytes == sent);
    }

    void readTimeoutsFollowTheirSettings()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setEvents({});
        port.Open();
        char buf[8];
        // Wait up to the constant for a first byte, then return.
        port.Timeouts().setReadTotalMultiplier(-1);
        port.Timeouts().setReadTotalConstant(50);
        QCOMPARE(port.Read(buf, 8), 0);
        pty.write("ab");
        QTRY_COMPARE(port.QueuedInputCount(), 2);
        QCOMPARE(port.Read(buf, 8), 2);
        // No timeouts at all: wait for every byte asked for.
        port.Timeouts().setReadInterval(0);
        port.Timeouts().setReadTotalMultiplier(0);
        port.Timeouts().setReadTotalConstant(0);
        std::thread late([&] {
            QThread::msleep(30);
            pty.write("wxyz");
        });
        QCOMPARE(port.Read(buf, 4), 4);
        late.join();
        QCOMPARE(QByteArray(buf, 4), QByteArray("wxyz"));
    }
};

QTEST_MAIN(TestCPortIo)
#include "tst_cport_io.moc"
