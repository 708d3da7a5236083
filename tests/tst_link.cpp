#include "CPort.h"
#include "TfmMain.h"
#include "chargesim.h"
#include "clock.h"
#include "localeformat.h"
#include "programfolder.h"
#include "pty.h"
#include "scripteddialogs.h"
#include "statistika.h"
#include "widgets.h"

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

void useLocale(const QString &name)
{
    QLocale::setDefault(QLocale(name));
    Fmt::refresh();
}

// The window with its block replies recorded, since no request of the
// program raises read mode yet.
class Window : public TfmMain
{
public:
    QList<QByteArray> replies;
    void HandleBlockReply(const quint8 *bytes, int count) override
    {
        replies << QByteArray(reinterpret_cast<const char *>(bytes), count);
    }
};

void feed(TfmMain &w, const QByteArray &bytes)
{
    ReceiveChunk(w, reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
}

QStringList lines(const char *const *texts)
{
    QStringList out;
    for (; *texts; ++texts)
        out << QString::fromUtf8(*texts);
    return out;
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;
    QDateTime now_;

private slots:
    void initTestCase()
    {
        setProgramFolder(folder_.path());
        Clock::setSource([this] { return now_; });
    }

    void init()
    {
        useLocale(QStringLiteral("ru_RU"));
        ResetLinkState();
        now_ = QDateTime(QDate(2026, 12, 6), QTime(10, 12, 7, 89));
        StartTime = at(10, 0, 0);
        QFile::remove(QDir(folder_.path()).filePath(QStringLiteral("zlt.ini")));
    }

    void cleanup() { Dialogs::install(nullptr); }

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
        Window w;
        feed(w, packet);
        QCOMPARE(w.Memo1->lines(), memo1);
        QCOMPARE(w.Memo2->lines(), memo2);
        QVERIFY(w.statusPanelText(1).isEmpty());
    }

    void headersSeparateBlocks()
    {
        Window w;
        feed(w, QByteArray::fromHex("0380000000"));
        feed(w, QByteArray::fromHex("0900CC2000"));
        QCOMPARE(w.Memo1->lines(), QStringList({QStringLiteral("END:  Конец заряда."), QString(),
                                                QStringLiteral("Разряд."), QStringLiteral("Параметры заряда:"),
                                                QStringLiteral("NiСd аккумулятор. Ток = 1000 mA.")}));
    }

    // A measurement feeds the curves whose view buttons are down, with the
    // full-precision value, the "h:nn" label and the colour label's colour.
    void chartPointsFollowViewButtons()
    {
        Window w;
        w.BtnViewA->setChecked(false);
        setFontColor(w.LabelColor_AT, QColor(1, 2, 3));
        feed(w, QByteArray::fromHex("01019100FD"));
        QCOMPARE(w.Series1.count(), 0);
        QCOMPARE(w.Series2.count(), 1);
        QCOMPARE(w.Series2.point(0).value, 25.3);
        QCOMPARE(w.Series2.point(0).label, QStringLiteral("0:12"));
        QCOMPARE(QColor(w.Series2.point(0).colour), QColor(1, 2, 3));
        QCOMPARE(w.Memo1->lineCount(), 1);
        feed(w, QByteArray::fromHex("0200010000"));
        QCOMPARE(w.Series3.point(0).value, 250 / 100000.0); // not the rounded 0.0025 text
        QCOMPARE(w.Series4.count(), 1);
    }

    void sensorReadings()
    {
        Window w;
        const QByteArray reading = QByteArray::fromHex("3000FDFF9C");
        feed(w, reading); // settings page not shown
        QCOMPARE(w.LbTemperaturaA->text(), QStringLiteral("Т канал А"));
        w.PageControl1->setCurrentWidget(w.TabSetup);
        w.LabStatus->setText(QStringLiteral("Ошибка!"));
        feed(w, reading);
        QCOMPARE(w.LbTemperaturaA->text(), QStringLiteral("1д - 25,3"));
        QCOMPARE(w.LbTemperaturaB->text(), QStringLiteral("2д - -10,0"));
        QVERIFY(w.LabStatus->text().isEmpty());
        QCOMPARE(w.Series2.count(), 0);

        // Together with a measurement: no labels, but the points when charting.
        w.CheckBoxConstruktorGraf->setEnabled(true);
        w.CheckBoxConstruktorGraf->setChecked(true);
        w.LbTemperaturaA->clear();
        feed(w, QByteArray::fromHex("3000C80064") + QByteArray::fromHex("0101900 0FA"));
        QVERIFY(w.LbTemperaturaA->text().isEmpty());
        QCOMPARE(w.Series2.count(), 2);
        QCOMPARE(w.Series2.point(0).value, 20.0);
        QCOMPARE(w.Series4.point(0).value, 10.0);
        QCOMPARE(w.Memo1->lineCount(), 1);
        QCOMPARE(w.Memo2->lineCount(), 0);
    }

    // The dump covers every held byte and repeats for each unknown packet.
    void unrecognisedPacketsDumpTheWholeCall()
    {
        Window w;
        feed(w, QByteArray::fromHex("0B00000000" "0101900 0FA" "FF00000000"));
        const QString dump = QStringLiteral("00:12:07;   0x0B 0x00 0x00 0x00 0x00 0x01 0x01 0x90 0x00 0xFA"
                                            " 0xFF 0x00 0x00 0x00 0x00");
        QCOMPARE(w.Memo1->lines(), QStringList({dump, QStringLiteral("00:12:07    ADC=400    U=1,0000    T=25,0;"), dump}));
        QCOMPARE(w.Memo2->lines(), QStringList({dump, dump}));
    }

    // No loaded voltage: the chunk stops there with the status-bar error.
    void zeroLoadStopsTheChunk()
    {
        Window w;
        feed(w, QByteArray::fromHex("0101900 0FA" "0500640000" "0201900 0FA"));
        QCOMPARE(w.Memo1->lineCount(), 1);
        QCOMPARE(w.Memo2->lineCount(), 0);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("ошибка в принимаемых данных - 00:12:07"));
        feed(w, QByteArray::fromHex("0201900 0FA"));
        QCOMPARE(w.Memo2->lineCount(), 1);
    }

    void framingAcrossEvents()
    {
        Window w;
        const QByteArray a = QByteArray::fromHex("0101900 0FA"), b = QByteArray::fromHex("0201900 0FA");
        feed(w, a.left(2));
        QCOMPARE(w.Memo1->lineCount(), 0);
        feed(w, a.mid(2));
        QCOMPARE(w.Memo1->lineCount(), 1);
        feed(w, b + a);
        QCOMPARE(w.Memo1->lineCount(), 2);
        QCOMPARE(w.Memo2->lineCount(), 1);

        // Silence with nothing held leaves the status bar alone.
        w.TimerResetReceiverTimer();
        QVERIFY(w.statusPanelText(1).isEmpty());
        feed(w, a.left(2));
        now_ = now_.addSecs(1);
        w.TimerResetReceiverTimer();
        QCOMPARE(w.statusPanelText(1), QStringLiteral("ошибка в принимаемых данных - 00:12:08"));
        feed(w, a.mid(2));
        QCOMPARE(RecvCount, 3);
        QCOMPARE(w.Memo1->lineCount(), 2);
        QCOMPARE(RecvTotal, 20);
        QCOMPARE(w.lbRecv->text(), QStringLiteral("Прин. 20"));
        w.lbRecvDblClick();
        QCOMPARE(w.lbRecv->text(), QStringLiteral("Принято"));
        feed(w, a.left(1));
        QCOMPARE(w.lbRecv->text(), QStringLiteral("Прин. 1"));
    }

    void readModeHoldsTheReply()
    {
        Window w;
        const QByteArray block = QByteArray::fromHex("0101900 0FA").repeated(4);
        ReadMode = true;
        feed(w, block.left(5));
        feed(w, block.mid(5, 5));
        QCOMPARE(RecvCount, 10);
        feed(w, block.mid(10, 5));
        QCOMPARE(w.replies, QList<QByteArray>{block.left(15)});
        QVERIFY(!ReadMode);
        QCOMPARE(RecvCount, 0);

        ReadMode = true;
        feed(w, block.left(12));
        feed(w, block.mid(12, 8));
        QCOMPARE(w.replies.last(), block);
        QCOMPARE(w.Memo1->lineCount(), 0);

        // A reply after a silence tick is three ordinary packets.
        ReadMode = true;
        feed(w, block.left(5));
        w.TimerResetReceiverTimer();
        QVERIFY(!ReadMode);
        feed(w, block.left(15));
        QCOMPARE(w.Memo1->lineCount(), 3);
    }

    void linkLogEntry()
    {
        Window w;
        LogEnabled = true;
        feed(w, QByteArray::fromHex("010064 00FA"));
        QCOMPARE(LogText, LogLegend() + QStringLiteral("  \r\n10-12-07-089 00:12:07 Nbytes (5) 01 00 64 00 FA "
                                                       " DataReceive N5-5 :01 00 64 00 FA "));
        feed(w, QByteArray::fromHex("01"));
        QVERIFY(LogText.endsWith(QStringLiteral("  \r\n10-12-07-089 00:12:07 Nbytes (1) 01 ")));
    }

    // Reads never overflow the receive buffer and end on packet boundaries
    // while more bytes wait; held bytes that can never be whole are dropped.
    void chunkSizes_data()
    {
        QTest::addColumn<int>("held");
        QTest::addColumn<int>("waiting");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("small") << 0 << 10 << 10 << false;
        QTest::newRow("burst") << 0 << 300 << 255 << false;
        QTest::newRow("burst after a partial") << 4 << 300 << 251 << false;
        QTest::newRow("fits exactly") << 1 << 256 << 256 << false;
        QTest::newRow("one byte completes") << 254 << 10 << 1 << false;
        QTest::newRow("no room for a packet") << 256 << 10 << 10 << true;
        QTest::newRow("buffer full") << 257 << 1 << 1 << true;
    }
    void chunkSizes()
    {
        QFETCH(int, held);
        QFETCH(int, waiting);
        QFETCH(int, chunk);
        QFETCH(bool, dropped);
        Window w;
        RecvCount = held;
        ReadMode = true;
        QCOMPARE(NextChunkSize(w, waiting), chunk);
        QCOMPARE(w.statusPanelText(1).isEmpty(), !dropped);
        QCOMPARE(ReadMode, !dropped);
        QCOMPARE(RecvCount, dropped ? 0 : held);
    }

    // Random bytes at any chunking: nothing outside the buffers, every byte
    // counted (the sanitizers watch the memory).
    void randomStream()
    {
        Window w;
        LogEnabled = true;
        QRandomGenerator rng(7);
        int total = 0;
        for (int event = 0; event < 3000; ++event) {
            QByteArray bytes(int(rng.bounded(1, 400)), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(rng.bounded(256));
            for (qsizetype done = 0; done < bytes.size();) {
                const int n = NextChunkSize(w, int(bytes.size() - done));
                ReceiveChunk(w, reinterpret_cast<const quint8 *>(bytes.constData() + done), n);
                done += n;
                QVERIFY(RecvCount >= 0 && RecvCount <= RecvBufferSize);
            }
            total += int(bytes.size());
            if (event % 100 == 0)
                w.TimerResetReceiverTimer();
        }
        QCOMPARE(RecvTotal, total);
        QVERIFY(w.Memo1->lineCount() > 0);
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
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Не могу открыть порт: /nonexistent/ttyX")});
        QCOMPARE(w.btnStart->text(), QStringLiteral("Старт"));
        QVERIFY(w.Timer1->isActive()); // steps done before the failure stay done
    }

    void storedPortSettings()
    {
        QFile f(QDir(folder_.path()).filePath(QStringLiteral("zlt.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[ComPort1]\r\nLog=1\r\nPort=/dev/ttyUSB0\r\nBaudRate=12345\r\nparity=even\r\nFlowControl=Custom\r\n");
        f.close();
        Window w;
        QVERIFY(LogEnabled);
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
        StartTime = at(23, 59, 0);
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

    // The simulated charger on a pseudo-terminal fills both logs through the
    // real port.
    void simulatorFillsBothLogs()
    {
        chargesim::Simulator sim({.link = {}, .intervalMs = 20});
        sim.start();
        Window w;
        w.ComPort1->setPort(QString::fromStdString(sim.slavePath()));
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
