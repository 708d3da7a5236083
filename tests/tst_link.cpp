#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "tools/chargesim/chargesim.h"
#include "platform/clock.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/chargerrig.h"
#include "tests/support/pty.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

double at(int h, int m, int s, int ms = 0)
{
    return (((h * 60 + m) * 60 + s) * 1000 + ms) / 86400000.0;
}

// The window with its block replies recorded, since no request of the
// program raises read mode yet.
class Window : public TfmMain
{
public:
    // The charge started at ten.
    Window() { receiver.clock.StartTime = at(10, 0, 0); }
    QList<QByteArray> replies;
    void HandleBlockReply(const quint8 *bytes, int count) override
    {
        replies << QByteArray(reinterpret_cast<const char *>(bytes), count);
    }
};

void feed(TfmMain &w, const QByteArray &bytes)
{
    w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
}

} // namespace

class TestLink : public WindowTest
{
    Q_OBJECT

    QDateTime now_;

private slots:
    void initTestCase()
    {
        WindowTest::initTestCase();
        Clock::setSource([this] { return now_; });
    }

    void init()
    {
        WindowTest::init();
        now_ = QDateTime(QDate(2026, 12, 6), QTime(10, 12, 7, 89));
    }

    // A measurement's points take the colour of their curve's colour label.
    void pointsTakeTheLabelsColour()
    {
        Window w;
        setFontColor(w.LabelColor_AT, QColor(1, 2, 3));
        feed(w, QByteArray::fromHex("01019100FD"));
        QCOMPARE(QColor(w.Series2.point(0).colour), QColor(1, 2, 3));
        QCOMPARE(QColor(w.Series1.point(0).colour), fontColor(w.LabelColor_AU));
        QCOMPARE(w.Memo1->lines(), QStringList{QStringLiteral("00:12:07    ADC=401    U=1,0025    T=25,3;")});
    }

    // The sensor readings reach the settings page's labels while it is shown.
    void sensorLabels()
    {
        Window w;
        w.PageControl1->setCurrentWidget(w.TabSetup);
        w.LabStatus->setText(QStringLiteral("Ошибка!"));
        feed(w, QByteArray::fromHex("3000FDFF9C"));
        QCOMPARE(w.LbTemperaturaA->text(), QStringLiteral("1д - 25,3"));
        QCOMPARE(w.LbTemperaturaB->text(), QStringLiteral("2д - -10,0"));
        QVERIFY(w.LabStatus->text().isEmpty());
    }

    void counterLabels()
    {
        Window w;
        feed(w, QByteArray::fromHex("0101"));
        QCOMPARE(w.lbRecv->text(), QStringLiteral("Прин. 2"));
        w.lbRecvDblClick();
        QCOMPARE(w.lbRecv->text(), QStringLiteral("Принято"));
        QCOMPARE(w.receiver.RecvTotal, 0);
        w.TimerResetReceiverTimer();
        QCOMPARE(w.statusPanelText(1), QStringLiteral("ошибка в принимаемых данных - 00:12:07"));
    }

    // A burst larger than one read arrives through the real port and is
    // decoded whole and in order.
    void burstThroughThePort()
    {
        Pty line;
        Window w;
        w.ComPort1->setPort(line.slavePath());
        w.btnStart->click();
        QCOMPARE(w.btnStart->text(), QStringLiteral("Stop"));
        QVERIFY(w.Timer1->isActive());
        QByteArray burst;
        for (int i = 0; i < 130; ++i)
            burst += QByteArray::fromHex(i % 2 ? "02" : "01") + char(i >> 8) + char(i) + QByteArray(2, 0);
        line.write(burst);
        QTRY_COMPARE(w.Memo1->lineCount() + w.Memo2->lineCount(), 130);
        const QStringList a = w.Memo1->lines();
        for (int i = 0; i < 65; ++i)
            QVERIFY2(a[i].contains(QStringLiteral("ADC=%1 ").arg(2 * i)), qPrintable(a[i]));
        QVERIFY(w.statusPanelText(1).isEmpty());
        w.btnStart->click();
        QCOMPARE(w.btnStart->text(), QStringLiteral("Старт"));
        QCOMPARE(w.LbTimeA->text(), QStringLiteral("-----------"));
        QVERIFY(!w.Timer1->isActive());
    }

    void portThatCannotOpen()
    {
        auto &dialogs = ScriptedDialogs::install();
        Window w;
        w.ComPort1->setPort(QStringLiteral("/nonexistent/ttyX"));
        w.btnStart->click();
        // The first line stays as it always read; the reason follows it.
        QCOMPARE(dialogs.messages.size(), 1);
        const QStringList lines = dialogs.messages.value(0).split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("Не могу открыть порт: /nonexistent/ttyX"));
        QVERIFY(lines.value(2).startsWith(QStringLiteral("Такого устройства нет")));
        QCOMPARE(w.btnStart->text(), QStringLiteral("Старт"));
        QVERIFY(w.Timer1->isActive()); // steps done before the failure stay done
    }

    void storedPortSettings()
    {
        QFile f(settingsFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[ComPort1]\r\nLog=1\r\nPort=/dev/ttyUSB0\r\nBaudRate=12345\r\nparity=even\r\nFlowControl=Custom\r\n");
        f.close();
        Window w;
        QVERIFY(w.receiver.LogEnabled);
        QCOMPARE(w.ComPort1->Port(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(w.ComPort1->BaudRate(), br9600); // unknown text
        QCOMPARE(w.ComPort1->Parity().Bits(), prEven);
        QCOMPARE(w.ComPort1->DataBits(), dbEight); // missing: design value kept
        QCOMPARE(w.ComPort1->FlowControl().FlowControl(), fcNone);

        QFile::remove(f.fileName());
        Window defaults;
        QCOMPARE(defaults.ComPort1->Port(), QStringLiteral("COM1"));
        QCOMPARE(defaults.ComPort1->BaudRate(), br38400);
    }

    // Past midnight the charge time keeps growing from what the clock showed.
    void chargeClockAcrossMidnight()
    {
        Window w;
        now_ = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 0));
        w.receiver.clock.StartTime = at(23, 59, 0);
        now_ = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59));
        w.Timer1Timer();
        QCOMPARE(w.LbTimeA->text(), QStringLiteral("00:00:59"));
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1));
        w.Timer1Timer();
        now_ = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 30));
        w.Timer1Timer();
        QCOMPARE(w.LbTimeA->text(), QStringLiteral("00:01:28"));
        QCOMPARE(w.LbCurrentTime->text(), QStringLiteral("00:00:30"));
    }

    // The charge clocks tick with the news: a tick due soon comes with it,
    // and a tick of their own just before it puts the next one off, so that
    // a sample a second draws the window once a second, not twice.
    void clockTicksWithTheNews()
    {
        Window w;
        const QByteArray sample = QByteArray::fromHex("01019100FD");
        // Due within half a second: the news shows the clocks now.
        w.Timer1->start(300);
        now_ = now_.addSecs(1);
        feed(w, sample);
        QTRY_COMPARE(w.LbCurrentTime->text(), QStringLiteral("10:12:08"));
        QVERIFY(w.Timer1->remainingTime() > 1000);
        // Their own tick, then the news a moment later (after a quiet spell,
        // so it shows at once): the next tick is put off past the next
        // second's news, which brings it.
        w.Timer1->start(10);
        now_ = now_.addSecs(1);
        QTRY_COMPARE(w.LbCurrentTime->text(), QStringLiteral("10:12:09"));
        QTest::qWait(400);
        feed(w, sample);
        QTest::qWait(20); // the pass that shows the news
        QVERIFY2(w.Timer1->remainingTime() > 1000, qPrintable(QString::number(w.Timer1->remainingTime())));
        QCOMPARE(w.LbCurrentTime->text(), QStringLiteral("10:12:09"));
        // Without news the clocks go on ticking on their own.
        now_ = now_.addSecs(1);
        QTRY_COMPARE_WITH_TIMEOUT(w.LbCurrentTime->text(), QStringLiteral("10:12:10"), 2000);
    }

    // The simulated charger on a pseudo-terminal fills both logs through the
    // real port.
    void simulatorFillsBothLogs()
    {
        ChargerRig<Window> rig({.link = {}, .intervalMs = 20});
        auto &[sim, w] = rig;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() >= 8 && w.Memo2->lineCount() >= 8, 10000);
        w.btnStart->click();
        sim.stop();
        const QRegularExpression sample(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d    ADC=\\d+    U=1,\\d{4}    T=\\d+,\\d;$"));
        for (LogMemo *m : {w.Memo1, w.Memo2}) {
            const QStringList l = m->lines();
            QCOMPARE(l[0], QStringLiteral("Старт."));
            QCOMPARE(l[2], QStringLiteral("Включен режим дозаряда."));
            QVERIFY2(l[3].startsWith(QStringLiteral("Внутреннее R аккумулятора = 0,0")), qPrintable(l[3]));
            QVERIFY2(sample.match(l[4]).hasMatch(), qPrintable(l[4]));
        }
        QCOMPARE(w.Memo1->lines()[1], QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."));
        QCOMPARE(w.Memo2->lines()[1], QStringLiteral("NiСd аккумулятор. Ток = 500 mA."));
        // Every measurement line has its points.
        QCOMPARE(w.Series1.count(), int(w.Memo1->lines().filter(QStringLiteral("ADC=")).size()));
        QCOMPARE(w.Series4.count(), int(w.Memo2->lines().filter(QStringLiteral("ADC=")).size()));
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
