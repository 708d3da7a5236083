#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "tools/chargesim/chargesim.h"
#include "link/frames.h"
#include "platform/localeformat.h"
#include "app/params.h"
#include "platform/programfolder.h"
#include "tests/support/chargerrig.h"
#include "tests/support/scripteddialogs.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QtTest>

using chargesim::Fault;

namespace {

QByteArray sent(const ParameterExchange &exchange)
{
    return QByteArray(reinterpret_cast<const char *>(exchange.TxBlock), FrameSize).toHex(' ').toUpper();
}

QColor background(const QLabel *l)
{
    return l->palette().color(QPalette::Window);
}

// A quiet charger on a pseudo-terminal and the window connected to it.
struct Rig : ChargerRig<>
{
    Rig() : ChargerRig({.link = {}, .samples = false}) {}
    QString status() const { return w.LabStatus->text(); }
    bool red() const { return fontColor(w.LabStatus) == QColor(255, 0, 0); }
};

} // namespace

class TestExchange : public WindowTest
{
    Q_OBJECT

private slots:

    // What the charger will make of each current, as the labels tell it.
    void currentChecks_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("milliamps");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("zero");
        QTest::addColumn<bool>("limited");
        QTest::newRow("NiMH fast") << "en_US" << 1000 << 51 << 250 << 16
                                   << "Ток факт. = 1 A     U на R = 0.51     Значение ADC - 204" << false << false;
        QTest::newRow("NiMH trickle ru") << "ru_RU" << 100 << 51 << 250 << 8
                                         << "Ток факт. = 0,098039 A     U на R = 0,05     Значение ADC - 20" << false << false;
        QTest::newRow("NiCd fast") << "ru_RU" << 500 << 51 << 250 << 16
                                   << "Ток факт. = 0,5 A     U на R = 0,255     Значение ADC - 102" << false << false;
        QTest::newRow("NiCd trickle") << "en_US" << 50 << 51 << 250 << 8
                                      << "Ток факт. = 0.04902 A     U на R = 0.025     Значение ADC - 10" << false << false;
        QTest::newRow("below one count") << "en_US" << 4 << 51 << 250 << 8
                                         << "Ток факт. = 0 A     U на R = 0     Значение ADC - 0" << true << false;
        // More than a field holds: the charger is sent the field's maximum,
        // and the label says what that delivers.
        QTest::newRow("fast beyond 16 bits") << "en_US" << 2000 << 300 << 1 << 16
                                             << "Ток факт. = 0.21845 A     U на R = 0.65535     Значение ADC - 65535" << false << true;
        QTest::newRow("trickle beyond 8 bits") << "en_US" << 500 << 300 << 1 << 8
                                               << "Ток факт. = 0.00085 A     U на R = 0.00255     Значение ADC - 255" << false << true;
    }
    void currentChecks()
    {
        QFETCH(QString, locale);
        QFETCH(int, milliamps);
        QFETCH(int, r);
        QFETCH(int, step);
        QFETCH(int, bits);
        QFETCH(QString, text);
        QFETCH(bool, zero);
        QFETCH(bool, limited);
        useLocale(locale);
        const CurrentCheck c = checkCurrent(milliamps, r, quint16(step), bits);
        QCOMPARE(c.text, text);
        QCOMPARE(c.zero, zero);
        QCOMPARE(c.limited, limited);
    }

    void defaultLabels()
    {
        TfmMain w;
        QCOMPARE(w.Label34->text(), QStringLiteral("2,5mV  AREF = 2,56"));
        QCOMPARE(w.Label8->text(), QStringLiteral("/100   0,51 Om"));
        QCOMPARE(w.LabRdecharge->text(), QStringLiteral("Rd = 3,9 Om"));
        QCOMPARE(w.Label24->text(), QStringLiteral("Макс. прирост темп. за 1 минуту = 1,0°C"));
        QVERIFY(w.Label17->text().endsWith(QStringLiteral("Значение ADC - 204")));
        QCOMPARE(background(w.LabelTrickleCd), w.LabelTrickleCd->palette().color(QPalette::Button));

        w.UpD_tricle_Cd->setValue(4);
        QCOMPARE(background(w.LabelTrickleCd), QColor(255, 0, 0));
        w.UpDStepADC->setValue(500);
        QCOMPARE(w.receiver.AdcStep, 500);
        QCOMPARE(w.Label34->text(), QStringLiteral("5mV  AREF = 5,12"));
        QVERIFY(w.Label17->text().endsWith(QStringLiteral("Значение ADC - 102")));
    }

    void frames()
    {
        TfmMain w; // its defaults are the example's values
        const ParameterBlock block = w.parametersFromFields();
        ParameterExchange x;
        x.buildCommand(CmdWrite, &block);
        QCOMPARE(sent(x), QByteArray("17 10 CC 00 14 1E 02 66 00 0A 0A 01 28 0A 71"));
        QCOMPARE(decodeBlock(x.TxBlock + 2), block);
        x.buildCommand(CmdRead);
        QCOMPARE(sent(x), QByteArray("17 20 00 00 00 00 00 00 00 00 00 00 00 00 71"));
        x.buildCommand(CmdTemperatures);
        QCOMPARE(sent(x), QByteArray("17 31 00 00 00 00 00 00 00 00 00 00 00 00 71"));
        x.buildCommand(CmdReset);
        QCOMPARE(sent(x), QByteArray("17 01 00 00 00 00 00 00 00 00 00 00 00 00 71"));
        QCOMPARE(toMilliamps(204, 51, 250), 1001);
        QCOMPARE(toMilliamps(10, 51, 250), 50);
        QCOMPARE(toMilliamps(102, 51, 250), 501);

        // The checksum always counts; the echo only after a write.
        QByteArray reply = QByteArray::fromHex("010203040506070809000A0B") + QByteArray::fromHex("420000");
        const auto *r = reinterpret_cast<const quint8 *>(reply.constData());
        QVERIFY(x.replyIsGood(r, false));
        QVERIFY(!x.replyIsGood(r, true));
        std::memcpy(x.TxBlock + 2, r, BlockSize);
        QVERIFY(x.replyIsGood(r, true));
        reply[12] = 0x43;
        QVERIFY(!x.replyIsGood(reinterpret_cast<const quint8 *>(reply.constData()), false));
    }

    // Writing opens the closed port first, and the charger keeps what it got.
    void writeThenRead()
    {
        Rig rig;
        rig.w.receiver.LogEnabled = true;
        rig.w.UpDMhFast->setValue(1200);
        rig.w.BtnSendSave->click();
        QVERIFY(rig.w.ComPort1->Connected());
        QCOMPARE(rig.w.btnStart->text(), QStringLiteral("Stop"));
        QVERIFY(!rig.w.BtnSendSave->isEnabled());
        QCOMPARE(rig.status(), QStringLiteral("Запись"));
        QTRY_COMPARE(rig.status(), QStringLiteral("Удачно!"));
        QVERIFY(!rig.red() && rig.w.BtnSendSave->isEnabled());
        QCOMPARE(rig.sim.storedBlock()[0], 0xF4); // 1200 mA = 244 units
        QCOMPARE(rig.w.lbSend->text(), QStringLiteral("Посл. 15"));
        QVERIFY(rig.w.receiver.LogText.contains(QStringLiteral(" ---> Send: 17 10 F4 00 14 1E 02 66 00 0A 0A 01 28 0A 71 ")));

        rig.w.BtnReadUartStr->click();
        QCOMPARE(rig.status(), QStringLiteral("Чтение"));
        QTRY_COMPARE(rig.status(), QStringLiteral("Считанно!"));
        QCOMPARE(rig.w.UpDMhFast->value(), 1197);
        QCOMPARE(rig.w.UpD_tricle_Cd->value(), 50);
        QCOMPARE(rig.w.lbSend->text(), QStringLiteral("Посл. 30"));
    }

    // Bad replies leave the fields alone and say so in red.
    void badReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("status");
        QTest::newRow("bad checksum, read") << int(Fault::BadChecksum) << false << "Ошибка!";
        QTest::newRow("altered echo") << int(Fault::AlteredEcho) << true << "Ошибка!";
        QTest::newRow("samples in the reply") << int(Fault::Interleaved) << false << "Ошибка!";
        QTest::newRow("no reply") << int(Fault::NoReply) << true << "Нет ответа!";
    }
    void badReplies()
    {
        QFETCH(int, fault);
        QFETCH(bool, write);
        QFETCH(QString, status);
        Rig rig;
        rig.sim.setFault(Fault(fault));
        rig.w.btnStart->click();
        rig.w.UpDMhFast->setValue(1500);
        (write ? rig.w.BtnSendSave : rig.w.BtnReadUartStr)->click();
        QTRY_COMPARE(rig.status(), status);
        QVERIFY(rig.red());
        QVERIFY(rig.w.BtnSendSave->isEnabled());
        QCOMPARE(rig.w.UpDMhFast->value(), 1500);
    }

    void readIsIgnoredWhileAWriteWaits()
    {
        Rig rig;
        rig.sim.setFault(Fault::NoReply);
        rig.w.BtnSendSave->click();
        rig.w.BtnReadUartStr->click();
        QCOMPARE(rig.w.receiver.SentTotal, 15);
        QCOMPARE(rig.w.exchange.TxBlock[1], quint8(CmdWrite));
        QTRY_COMPARE(rig.status(), QStringLiteral("Нет ответа!"));

        // The next request is a read, and its good reply is read as one.
        rig.sim.setFault(Fault::None);
        rig.w.BtnReadUartStr->click();
        QTRY_COMPARE(rig.status(), QStringLiteral("Считанно!"));
    }

    // A reply after the timeout but before the silence tick still counts.
    void lateReplyReplacesTheTimeout()
    {
        Rig rig;
        rig.sim.setFault(Fault::LateReply);
        rig.w.btnStart->click();
        rig.w.TimerResetReceiver->start(); // its next tick is a second away
        rig.w.BtnSendSave->click();
        QTRY_COMPARE(rig.status(), QStringLiteral("Нет ответа!"));
        QTRY_COMPARE(rig.status(), QStringLiteral("Удачно!"));
    }

    // A value from the charger that a field cannot show is clamped and marked,
    // unless the clamped value is the same charger setting.
    void outOfRangeReadBack()
    {
        Rig rig;
        rig.w.UpD_tricle_Mh->setValue(500);
        rig.w.UpDResistr->setValue(10); // 500 mA = 20 units, read back as 501 mA
        rig.w.BtnSendSave->click();
        QTRY_COMPARE(rig.status(), QStringLiteral("Удачно!"));
        QCOMPARE(rig.w.UpD_tricle_Mh->value(), 500);
        QVERIFY(!rig.w.UpD_tricle_Mh->isMarkedClamped());

        rig.w.UpDResistr->setValue(1); // the same 20 units now mean 5001 mA
        rig.w.BtnReadUartStr->click();
        QTRY_COMPARE(rig.status(), QStringLiteral("Считанно!"));
        QCOMPARE(rig.w.UpD_tricle_Mh->value(), 500);
        QVERIFY(rig.w.UpD_tricle_Mh->isMarkedClamped());
        QVERIFY(rig.w.UpD_tricle_Mh->toolTip().contains(QStringLiteral("5001")));
        rig.w.UpD_tricle_Mh->setValue(400);
        QVERIFY(!rig.w.UpD_tricle_Mh->isMarkedClamped());
        QCOMPARE(rig.w.UpD_tricle_Mh->toolTip(), QStringLiteral("Ток дозаряда"));
    }

    void temperaturePolling()
    {
        Rig rig;
        rig.w.CheckBoxCurrentT->setChecked(true); // port closed: not possible
        QVERIFY(!rig.w.CheckBoxCurrentT->isChecked());
        rig.w.btnStart->click();
        rig.w.Timer3->setInterval(50);
        rig.w.CheckBoxCurrentT->setChecked(true);
        QVERIFY(rig.w.Timer3->isActive());
        QVERIFY(rig.w.CheckBoxConstruktorGraf->isEnabled());
        QTRY_VERIFY(rig.sim.framesReceived() >= 2);
        QCOMPARE(rig.w.LbTemperaturaA->text(), QStringLiteral("Т канал А")); // page not shown
        rig.w.PageControl1->setCurrentWidget(rig.w.TabSetup);
        QTRY_VERIFY(rig.w.LbTemperaturaA->text().startsWith(QStringLiteral("1д - 22,")));
        QVERIFY(rig.w.LbTemperaturaB->text().startsWith(QStringLiteral("2д - 2")));

        // Reset stops the poll before its own frame goes out.
        rig.w.BtnReset->click();
        QVERIFY(!rig.w.Timer3->isActive());
        QVERIFY(!rig.w.CheckBoxCurrentT->isChecked());
        QCOMPARE(rig.w.exchange.TxBlock[1], quint8(CmdReset));
        QCOMPARE(rig.status(), QStringLiteral("Сброс мк."));

        // Closing the port ends the poll at its next tick.
        rig.w.CheckBoxCurrentT->setChecked(true);
        rig.w.btnStart->click();
        QTRY_VERIFY(!rig.w.CheckBoxCurrentT->isChecked());
        QVERIFY(!rig.w.Timer3->isActive());
    }

    // A write that cannot go out does not leave the button waiting.
    void failedWriteFreesTheButton()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.ComPort1->setPort(QStringLiteral("/nonexistent/ttyX"));
        w.BtnSendSave->click();
        QCOMPARE(dialogs.messages.value(0).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Не могу открыть порт: /nonexistent/ttyX"));
        QCOMPARE(dialogs.messages.size(), 2); // and the port's own error
        QVERIFY(w.BtnSendSave->isEnabled());
        QVERIFY(!w.receiver.ReadMode && !w.Timer2->isActive());
    }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
