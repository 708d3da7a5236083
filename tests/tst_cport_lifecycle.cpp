// Opening and closing the port on a real pseudo-terminal: the sequences and
// their events, the failures and their messages, the unplugged device.

#include "serial/CPort.h"
#include "tests/support/pty.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

namespace {

// Records every event and link signal of a port, in order; unhooks itself
// when it goes, as the port neither owns its links nor its handlers.
struct Recorder
{
    QStringList log;
    TComLink link;
    TCustomComPort &port;

    ~Recorder()
    {
        port.DetachLink(&link);
        port.OnBeforeOpen = port.OnAfterOpen = port.OnBeforeClose = port.OnAfterClose = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
    }

    explicit Recorder(TCustomComPort &p) : port(p)
    {
        auto note = [this](const char *what) {
            return [this, what](QObject *) { log << QLatin1String(what); };
        };
        auto noteOn = [this](const char *what) {
            return [this, what](QObject *, bool on) {
                log << QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(on);
            };
        };
        port.OnBeforeOpen = note("BeforeOpen");
        port.OnAfterOpen = note("AfterOpen");
        port.OnBeforeClose = note("BeforeClose");
        port.OnAfterClose = note("AfterClose");
        port.OnCTSChange = noteOn("CTS");
        port.OnDSRChange = noteOn("DSR");
        port.OnRLSDChange = noteOn("RLSD");
        link.OnConn = noteOn("link Conn");
        link.OnCTSChange = noteOn("link CTS");
        link.OnDSRChange = noteOn("link DSR");
        link.OnRLSDChange = noteOn("link RLSD");
        port.AttachLink(&link);
    }
};

} // namespace

class TestCPortLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void openAndCloseRaiseTheirSequencesOnce()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        Recorder r(port);

        port.Open();
        QVERIFY(port.Connected());
        // A pty has no modem lines: they are reported off instead of failing.
        QCOMPARE(r.log, (QStringList{"BeforeOpen", "link Conn 1", "AfterOpen", "link CTS 0",
                                     "CTS 0", "link DSR 0", "DSR 0", "link RLSD 0", "RLSD 0"}));
        r.log.clear();
        port.Open(); // already open: nothing
        QVERIFY(r.log.isEmpty());

        port.Close();
        QVERIFY(!port.Connected());
        QCOMPARE(r.log, (QStringList{"link CTS 0", "link DSR 0", "link RLSD 0", "CTS 0", "DSR 0",
                                     "RLSD 0", "BeforeClose", "link Conn 0", "AfterClose"}));
        r.log.clear();
        port.Close(); // already closed: nothing
        QVERIFY(r.log.isEmpty());

        // Connected as a property opens and closes too.
        port.setConnected(true);
        QVERIFY(port.Connected());
        port.setConnected(false);
        QVERIFY(!port.Connected());
    }

    void openFailuresCarryCodeErrnoAndText_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("winCode");
        QTest::newRow("missing device") << "missing" << ENOENT;
        QTest::newRow("not a terminal") << "file" << ENOTTY;
        QTest::newRow("held by another port") << "busy" << EBUSY;
    }

    void openFailuresCarryCodeErrnoAndText()
    {
        QFETCH(QString, kind);
        QFETCH(int, winCode);
        QTemporaryDir dir;
        Pty pty;
        TComPort other;
        QString path = dir.filePath(QStringLiteral("nothing-here"));
        if (kind == QLatin1String("file")) {
            QFile f(dir.filePath(QStringLiteral("plain")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            path = f.fileName();
        } else if (kind == QLatin1String("busy")) {
            path = pty.slavePath();
            other.setPort(path);
            other.Open();
        }
        TComPort port;
        port.setPort(path);
        Recorder r(port);
        try {
            port.Open();
            QFAIL("Open succeeded");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 1);
            QCOMPARE(e.WinCode, winCode);
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("Unable to open com port (win error code: %1)").arg(winCode));
        }
        QVERIFY(!port.Connected());
        QCOMPARE(r.log, QStringList{"BeforeOpen"});
        // The port stays usable: once the device is free it opens.
        if (kind == QLatin1String("busy")) {
            other.Close();
            port.Open();
            QVERIFY(port.Connected());
        }
    }

    void transfersOnAClosedPortFail()
    {
        TComPort port;
        char buf[4] = {};
        try {
            port.Write(buf, 4);
            QFAIL("Write succeeded");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 2);
            QCOMPARE(e.WinCode, EBADF);
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("WriteFile function failed (win error code: %1)").arg(EBADF));
        }
        QVERIFY_THROWS_EXCEPTION(EComPort, port.Read(buf, 4));
        try {
            port.Read(buf, 4);
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 3);
        }
    }

    void errorsWithoutSystemCodeHaveNoSuffix_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("14") << 14 << "Cannot set property while connected";
        QTest::newRow("19") << 19 << "Cannot change led state if ComPort is selected";
    }

    void errorsWithoutSystemCodeHaveNoSuffix()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        const EComPort e{ComError(code)};
        QCOMPARE(e.Code, code);
        QCOMPARE(e.WinCode, -1);
        QCOMPARE(QString::fromUtf8(e.what()), text);
    }

    void portNamesMapToDevicePaths_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("path");
        QTest::newRow("COM1") << "COM1" << "/dev/ttyS0";
        QTest::newRow("com12") << "com12" << "/dev/ttyS11";
        QTest::newRow("USB adapter") << "ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("absolute") << "/dev/serial/by-id/x" << "/dev/serial/by-id/x";
        QTest::newRow("COM0 is no COM port") << "COM0" << "/dev/COM0";
    }

    void portNamesMapToDevicePaths()
    {
        QFETCH(QString, port);
        QFETCH(QString, path);
        QCOMPARE(TCustomComPort::devicePath(port), path);
    }

    void changingPortWhileOpenReopensAtOnce()
    {
        Pty first, second;
        TComPort port;
        port.setPort(first.slavePath());
        port.BeginUpdate(); // the reopen happens even inside an update
        port.Open();
        Recorder r(port);
        port.setPort(second.slavePath());
        QVERIFY(port.Connected());
        QVERIFY(r.log.contains("AfterClose"));
        QVERIFY(r.log.contains("AfterOpen"));
        port.EndUpdate();
        const char hello[] = "hi";
        port.Write(hello, 2);
        QCOMPARE(second.read(2), QByteArray("hi"));

        // A name that cannot be opened leaves the port closed.
        QVERIFY_THROWS_EXCEPTION(EComPort, port.setPort(QStringLiteral("/nonexistent/tty")));
        QVERIFY(!port.Connected());
    }

    void syncMethodCannotChangeWhileOpen()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setSyncMethod(smNone);
        port.setSyncMethod(smThreadSync);
        port.Open();
        port.setSyncMethod(smThreadSync); // unchanged: fine
        try {
            port.setSyncMethod(smWindowSync);
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 14);
        }
        QCOMPARE(port.SyncMethod(), smThreadSync);
    }

    void linksRegisterOnce()
    {
        TComPort port;
        TComLink a, b;
        port.AttachLink(&a);
        try {
            port.AttachLink(&a);
            QFAIL("attached twice");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 18);
        }
        QVERIFY_THROWS_EXCEPTION(EComPort, port.DetachLink(&b));
        port.DetachLink(&a);
        QVERIFY_THROWS_EXCEPTION(EComPort, port.DetachLink(&a));
    }

    void storedConnectedOpensWhenLoadingEnds()
    {
        Pty pty;
        TComPort port;
        port.beginLoading();
        port.setPort(pty.slavePath());
        port.setConnected(true);
        QVERIFY(port.Connected()); // only the flag while loading
        port.endLoading();
        QVERIFY(port.Connected());
        const char x = 'x';
        port.Write(&x, 1); // really open
        QCOMPARE(pty.read(1), QByteArray("x"));
    }

    // The device vanishing (the other end closed, an adapter pulled) closes
    // the port, so the LED and the program see the link is gone.
    void vanishedDeviceClosesThePort()
    {
        Pty pty;
        int received = 0;
        TComPort port;
        port.setPort(pty.slavePath());
        Recorder r(port);
        port.OnRxChar = [&](QObject *, int count) {
            QByteArray b(count, 0);
            received += port.Read(b.data(), count);
        };
        port.Open();
        pty.write("12345");
        QTRY_COMPARE(received, 5);
        pty.closeMaster();
        QTRY_VERIFY(!port.Connected());
        QVERIFY(r.log.contains("link Conn 0"));
        QCOMPARE(r.log.last(), QStringLiteral("AfterClose"));
    }

    // An error escaping a handler ends the event thread silently: the port
    // stays open, nothing more is delivered, closing still works.
    void errorInHandlerEndsDeliveries()
    {
        Pty pty;
        int calls = 0;
        TComPort port;
        port.setPort(pty.slavePath());
        port.OnRxChar = [&](QObject *, int) {
            ++calls;
            throw EComPort(ComError::ReadFailed, EIO);
        };
        port.Open();
        pty.write("a");
        QTRY_COMPARE(calls, 1);
        pty.write("b");
        QTRY_COMPARE(port.QueuedInputCount(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(calls, 1);
        QVERIFY(port.Connected());
        port.Close();
        QVERIFY(!port.Connected());
        port.Open();
        pty.write("c");
        QTRY_COMPARE(calls, 2);
    }

    // Closing from inside a delivery must not wait for the thread that waits
    // for this very delivery.
    void closeInsideADeliveryDoesNotDeadlock()
    {
        Pty pty;
        int calls = 0;
        TComPort port;
        port.setPort(pty.slavePath());
        port.OnRxChar = [&](QObject *, int count) {
            ++calls;
            QByteArray b(count, 0);
            port.Read(b.data(), count);
            port.Close();
        };
        port.Open();
        pty.write("a");
        QTRY_COMPARE(calls, 1);
        QVERIFY(!port.Connected());
        port.Open(); // the device is free again at once
        pty.write("b");
        QTRY_COMPARE(calls, 2);
        QVERIFY(!port.Connected());
    }

    void emptyEventsStartNoThread()
    {
        Pty pty;
        TComLink link;
        bool conn = false;
        int calls = 0;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setEvents({});
        link.OnConn = [&](QObject *, bool on) { conn = on; };
        port.AttachLink(&link);
        port.OnRxChar = [&](QObject *, int) { ++calls; };
        port.Open();
        QVERIFY(conn);
        pty.write("abc");
        QTRY_COMPARE(port.QueuedInputCount(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
        char buf[8];
        QCOMPARE(port.Read(buf, 8), 3);
        QCOMPARE(QByteArray(buf, 3), QByteArray("abc"));
    }
};

QTEST_MAIN(TestCPortLifecycle)
#include "tst_cport_lifecycle.moc"
