// Line settings reach the device: read back from the pseudo-terminal's
// termios after each change.

#include "serial/CPort.h"
#include "serial/ComDevice.h"
#include "tests/support/pty.h"

#include <QtTest>

#include <termios.h>

namespace {

// Counts how often the buffer sizes are applied to an open device, which
// happens once per ApplySettings and once per buffer setter.
class CountingPort : public TComPort
{
public:
    using TComPort::TComPort;
    int bufferApplies = 0;

protected:
    void ApplyBufferSizes() override
    {
        if (Connected())
            ++bufferApplies;
        TComPort::ApplyBufferSizes();
    }
};

void apply(TComPort &port, int what)
{
    switch (what) {
    case 0: port.setDataBits(dbSeven); break;
    case 1: port.setDataBits(dbFive); break;
    case 2: port.Parity().setBits(prOdd); break;
    case 3: port.Parity().setBits(prEven); break;
    case 4: port.Parity().setBits(prMark); break;
    case 5: port.Parity().setBits(prSpace); break;
    case 6: port.setStopBits(sbTwoStopBits); break;
    case 7: port.setStopBits(sbOne5StopBits); break;
    case 8: port.FlowControl().setFlowControl(fcHardware); break;
    case 9: port.FlowControl().setFlowControl(fcSoftware); break;
    case 10: port.Parity().setCheck(true); break;
    case 11: port.FlowControl().setOutCTSFlow(true); break;
    case 12: port.FlowControl().setXonXoffIn(true); break;
    }
}

} // namespace

class TestCPortSettings : public QObject
{
    Q_OBJECT

private slots:
    // The program's stored settings: 38400 8N1, no flow control, raw.
    void storedSettingsGiveARawLine()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setBaudRate(br38400);
        port.Open();
        const termios t = pty.slaveSettings();
        QCOMPARE(cfgetospeed(&t), speed_t(B38400));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QVERIFY(t.c_cflag & CLOCAL);
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
    }

    // What each property asks of the line, as termios flags.
    void propertiesMapToTermios_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<uint>("cflagMask");
        QTest::addColumn<uint>("cflag");
        QTest::addColumn<uint>("iflagMask");
        QTest::addColumn<uint>("iflag");
        const uint par = PARENB | PARODD | CMSPAR;
        QTest::newRow("7 data bits") << 0 << uint(CSIZE) << uint(CS7) << 0u << 0u;
        QTest::newRow("5 data bits") << 1 << uint(CSIZE) << uint(CS5) << 0u << 0u;
        QTest::newRow("odd") << 2 << par << uint(PARENB | PARODD) << 0u << 0u;
        QTest::newRow("even") << 3 << par << uint(PARENB) << 0u << 0u;
        QTest::newRow("mark") << 4 << par << par << 0u << 0u;
        QTest::newRow("space") << 5 << par << uint(PARENB | CMSPAR) << 0u << 0u;
        QTest::newRow("two stop bits") << 6 << uint(CSTOPB) << uint(CSTOPB) << 0u << 0u;
        QTest::newRow("1.5 stop bits") << 7 << uint(CSTOPB) << uint(CSTOPB) << 0u << 0u;
        QTest::newRow("hardware flow") << 8 << uint(CRTSCTS) << uint(CRTSCTS) << uint(IXON | IXOFF) << 0u;
        QTest::newRow("software flow") << 9 << uint(CRTSCTS) << 0u << uint(IXON | IXOFF) << uint(IXON | IXOFF);
        QTest::newRow("parity check") << 10 << 0u << 0u << uint(INPCK) << uint(INPCK);
        QTest::newRow("CTS out flow") << 11 << uint(CRTSCTS) << uint(CRTSCTS) << 0u << 0u;
        QTest::newRow("XON in only") << 12 << 0u << 0u << uint(IXON | IXOFF) << uint(IXOFF);
    }

    void propertiesMapToTermios()
    {
        QFETCH(int, what);
        QFETCH(uint, cflagMask);
        QFETCH(uint, cflag);
        QFETCH(uint, iflagMask);
        QFETCH(uint, iflag);
        TComPort port;
        apply(port, what);
        termios t {};
        buildTermios(t, lineConfigOf(port));
        QCOMPARE(uint(t.c_cflag & cflagMask), cflag);
        QCOMPARE(uint(t.c_iflag & iflagMask), iflag);
        QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG)), 0u);
    }

    // On a device the same settings apply at once while the port is open.
    // A pseudo-terminal takes stop bits, flow control and parity checking;
    // it refuses other data bits, which is error 7 with the port still open.
    void propertiesApplyAtOnceWhileOpen()
    {
        QFETCH(int, what);
        QFETCH(uint, cflagMask);
        QFETCH(uint, cflag);
        QFETCH(uint, iflagMask);
        QFETCH(uint, iflag);
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.Open();
        if (what == 0) {
            try {
                apply(port, what);
                QFAIL("a pty took 7 data bits");
            } catch (const EComPort &e) {
                QCOMPARE(e.Code, 7);
            }
            QVERIFY(port.Connected());
            return;
        }
        if (what <= 5)
            QSKIP("a pseudo-terminal has no data bits or parity");
        apply(port, what);
        const termios t = pty.slaveSettings();
        QCOMPARE(uint(t.c_cflag & cflagMask), cflag);
        QCOMPARE(uint(t.c_iflag & iflagMask), iflag);
    }

    void propertiesApplyAtOnceWhileOpen_data() { propertiesMapToTermios_data(); }

    void baudRatesStandardAndCustom_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("custom");
        QTest::addColumn<int>("expected");
        QTest::newRow("38400") << int(br38400) << 0 << 38400;
        QTest::newRow("115200") << int(br115200) << 0 << 115200;
        QTest::newRow("14400 (no B constant)") << int(br14400) << 0 << 14400;
        QTest::newRow("256000 (no B constant)") << int(br256000) << 0 << 256000;
        QTest::newRow("custom 250000") << int(brCustom) << 250000 << 250000;
    }

    void baudRatesStandardAndCustom()
    {
        QFETCH(int, rate);
        QFETCH(int, custom);
        QFETCH(int, expected);
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.Open();
        if (custom)
            port.setCustomBaudRate(custom);
        port.setBaudRate(TBaudRate(rate));
        QCOMPARE(pty.slaveBaud(), expected);
    }

    void baudRateWrittenWhileClosedAppliesAtOpen()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        port.setBaudRate(br57600);
        QCOMPARE(port.BaudRate(), br57600); // stored only: nothing to apply to
        port.Open();
        QCOMPARE(pty.slaveBaud(), 57600);
        port.Close();
        port.setBaudRate(br4800);
        QCOMPARE(pty.slaveBaud(), 57600);
        port.Open();
        QCOMPARE(pty.slaveBaud(), 4800);
    }

    void oddBufferSizesBecomeEven_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("stored");
        QTest::newRow("1025") << 1025 << 1024;
        QTest::newRow("4097") << 4097 << 4096;
        QTest::newRow("even stays") << 2048 << 2048;
        QTest::newRow("1") << 1 << 0;
    }

    void oddBufferSizesBecomeEven()
    {
        QFETCH(int, size);
        QFETCH(int, stored);
        TComPort port;
        port.Buffer().setInputSize(size);
        port.Buffer().setOutputSize(size);
        QCOMPARE(port.Buffer().InputSize(), stored);
        QCOMPARE(port.Buffer().OutputSize(), stored);
    }

    void flowControlSummary_data()
    {
        QTest::addColumn<int>("rts");
        QTest::addColumn<bool>("cts");
        QTest::addColumn<bool>("xin");
        QTest::addColumn<bool>("xout");
        QTest::addColumn<bool>("dsr");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << int(rtsDisable) << false << false << false << false << int(fcNone);
        QTest::newRow("none, DSR plays no part") << int(rtsDisable) << false << false << false << true << int(fcNone);
        QTest::newRow("hardware") << int(rtsHandshake) << true << false << false << false << int(fcHardware);
        QTest::newRow("software") << int(rtsDisable) << false << true << true << false << int(fcSoftware);
        QTest::newRow("one XON flag") << int(rtsDisable) << false << true << false << false << int(fcCustom);
        QTest::newRow("RTS on") << int(rtsEnable) << false << false << false << false << int(fcCustom);
        QTest::newRow("handshake without CTS") << int(rtsHandshake) << false << false << false << false << int(fcCustom);
        QTest::newRow("hardware and XON") << int(rtsHandshake) << true << true << true << false << int(fcCustom);
    }

    void flowControlSummary()
    {
        QFETCH(int, rts);
        QFETCH(bool, cts);
        QFETCH(bool, xin);
        QFETCH(bool, xout);
        QFETCH(bool, dsr);
        QFETCH(int, expected);
        TComPort port;
        TComFlowControl &f = port.FlowControl();
        f.setControlRTS(TRTSFlowControl(rts));
        f.setOutCTSFlow(cts);
        f.setXonXoffIn(xin);
        f.setXonXoffOut(xout);
        f.setOutDSRFlow(dsr);
        QCOMPARE(int(f.FlowControl()), expected);
        if (expected != fcCustom) {
            // Writing a summary sets exactly the flags that read back as it.
            TComPort other;
            other.FlowControl().setXonXoffIn(true);
            other.FlowControl().setControlRTS(rtsEnable);
            other.FlowControl().setFlowControl(TFlowControl(expected));
            QCOMPARE(int(other.FlowControl().FlowControl()), expected);
        }
        f.setFlowControl(fcCustom); // changes nothing
        QCOMPARE(int(f.FlowControl()), expected);
    }

    // Inside BeginUpdate/EndUpdate nothing reaches the device; the final
    // EndUpdate applies everything once.
    void updateGroupsApplyOnce()
    {
        Pty pty;
        CountingPort port;
        port.setPort(pty.slavePath());
        port.setBaudRate(br38400);
        port.Open();
        QCOMPARE(port.bufferApplies, 1);
        port.BeginUpdate();
        port.BeginUpdate();
        port.setBaudRate(br19200);
        port.setStopBits(sbTwoStopBits);
        QCOMPARE(pty.slaveBaud(), 38400);
        port.EndUpdate();
        QCOMPARE(pty.slaveBaud(), 38400);
        port.EndUpdate();
        QCOMPARE(pty.slaveBaud(), 19200);
        QVERIFY(pty.slaveSettings().c_cflag & CSTOPB);
        QCOMPARE(port.bufferApplies, 2);
        port.EndUpdate(); // at zero: nothing
        QCOMPARE(port.bufferApplies, 2);
    }

    void groupAssignmentCopiesEveryField()
    {
        Pty pty;
        TComPort a, b;
        b.setPort(pty.slavePath());
        b.Open();
        a.FlowControl().setFlowControl(fcSoftware);
        a.FlowControl().setXonChar('Q');
        a.Parity().setCheck(true);
        a.Timeouts().setReadTotalConstant(77);
        a.Buffer().setInputSize(512);
        b.setFlowControl(a.FlowControl());
        b.setParity(a.Parity());
        b.setTimeouts(a.Timeouts());
        b.setBuffer(a.Buffer());
        QCOMPARE(b.FlowControl().FlowControl(), fcSoftware);
        QCOMPARE(b.FlowControl().XonChar(), 'Q');
        QCOMPARE(b.Timeouts().ReadTotalConstant(), 77);
        QCOMPARE(b.Buffer().InputSize(), 512);
        const termios t = pty.slaveSettings();
        QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        QCOMPARE(t.c_cc[VSTART], cc_t('Q'));
        QVERIFY(t.c_iflag & INPCK);
    }
};

QTEST_MAIN(TestCPortSettings)
#include "tst_cport_settings.moc"
