#include "serial/CPort.h"
#include "serial/CPortSetup.h"
#include "app/TfmMain.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "tests/support/pty.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <cerrno>
#include <unistd.h>

namespace {

void makeTty(const QDir &root, const QString &name, const QString &driver, const char *type = nullptr)
{
    QVERIFY(root.mkpath(name + QStringLiteral("/device")));
    if (!driver.isEmpty()) {
        QVERIFY(root.mkpath(QStringLiteral("drivers/") + driver));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("drivers/") + driver),
                            root.filePath(name + QStringLiteral("/device/driver"))));
    }
    if (type) {
        QFile f(root.filePath(name + QStringLiteral("/type")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(type);
    }
}

// Answers the next modal dialog once it is shown.
void whenDialogShows(std::function<void(TComSetupFrm *)> answer)
{
    QTimer::singleShot(0, [answer] {
        auto *form = qobject_cast<TComSetupFrm *>(QApplication::activeModalWidget());
        QVERIFY(form);
        answer(form);
    });
}

void choose(TComComboBox *combo, const QString &text)
{
    const int i = combo->findText(text);
    QVERIFY(i >= 0);
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

} // namespace

class TestPortSetup : public QObject
{
    Q_OBJECT

    QTemporaryDir sys_;

private slots:
    void initTestCase()
    {
        const QDir root(sys_.path());
        makeTty(root, QStringLiteral("ttyS0"), QStringLiteral("serial8250"), "4\n");
        makeTty(root, QStringLiteral("ttyS1"), QStringLiteral("serial8250"), "0\n"); // no hardware
        makeTty(root, QStringLiteral("ttyS10"), QStringLiteral("serial8250"), "4\n");
        makeTty(root, QStringLiteral("ttyS2"), QStringLiteral("serial8250"), "4\n");
        makeTty(root, QStringLiteral("ttyUSB0"), QStringLiteral("ftdi_sio"));
        makeTty(root, QStringLiteral("ttyACM0"), QStringLiteral("cdc_acm"));
        QVERIFY(root.mkpath(QStringLiteral("rfcomm0"))); // Bluetooth: virtual, but a port
        QVERIFY(root.mkpath(QStringLiteral("tty0"))); // a console: no device
        setSerialDeviceRoot(sys_.path());
    }

    void portList()
    {
        QStringList list{QStringLiteral("stale")};
        ListSerialPorts(list);
        QCOMPARE(list, (QStringList{"rfcomm0", "ttyACM0", "ttyS0", "ttyS10", "ttyS2", "ttyUSB0"}));
        setSerialDeviceRoot(QDir(sys_.path()).filePath(QStringLiteral("missing")));
        try {
            ListSerialPorts(list);
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 23);
        }
        setSerialDeviceRoot(sys_.path());
    }

    void textForms()
    {
        for (int i = 0; i <= br256000; ++i)
            QCOMPARE(strToBaudRate(baudRateToStr(TBaudRate(i))), TBaudRate(i));
        QCOMPARE(strToBaudRate(QStringLiteral("12345")), br9600);
        QCOMPARE(strToParity(QStringLiteral("eVeN")), prEven);
        QCOMPARE(strToFlowControl(QStringLiteral("?")), fcCustom);
        QCOMPARE(strToRtsFlow(QStringLiteral("toggle")), rtsToggle);
        QCOMPARE(strToDtrFlow(QStringLiteral("x")), dtrDisable);
        QCOMPARE(strToStopBits(QStringLiteral("1.5")), sbOne5StopBits);
        QCOMPARE(strToBool(QStringLiteral("yes")), true);
        QCOMPARE(strToBool(QStringLiteral("1")), false);
        QCOMPARE(charToStr(17), QStringLiteral("#17"));
        QCOMPARE(charToStr(' '), QStringLiteral("#32"));
        QCOMPARE(charToStr('A'), QStringLiteral("A"));
        QCOMPARE(charToStr(char(200)), QStringLiteral("#200"));
        QCOMPARE(strToChar(QStringLiteral("#19")), char(19));
        QCOMPARE(strToChar(QString()), char(0));
        QCOMPARE(strToChar(QStringLiteral("#")), '#');
        QCOMPARE(strToChar(QStringLiteral("xy")), 'x');
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, strToChar(QStringLiteral("#x")));
    }

    // Every group goes out and comes back in order; a custom rate carries
    // its speed right after the rate.
    void storedGroups()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("zlt.ini"));
        TComPort out;
        out.setObjectName(QStringLiteral("ComPort1"));
        out.setStoredGroups(TStoredGroups{sgBasic, sgOthers, sgParity, sgBuffer, sgTimeouts, sgFlowControl});
        out.setBaudRate(brCustom);
        out.setCustomBaudRate(250000);
        out.setEventChar('\n');
        out.Parity().setReplaceChar('?');
        out.Buffer().setInputSize(4096);
        out.Timeouts().setReadInterval(7);
        out.FlowControl().setFlowControl(fcSoftware);
        out.FlowControl().setXonChar(1);
        out.SaveSettings(stIniFile, ini);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        f.close();
        QVERIFY(text.contains("Port=COM1\r\nBaudRate=Custom\r\nCustomBaudRate=250000\r\nStopBits=1\r\n"));
        QVERIFY(text.contains("EventChar=#10\r\nDiscardNull=No\r\nParity.Check=No\r\nParity.Replace=No\r\nParity.ReplaceChar=?\r\n"));
        QVERIFY(text.indexOf("Buffer.OutputSize") < text.indexOf("Timeouts.ReadInterval=7"));
        QVERIFY(text.contains("FlowControl.XonXoffIn=Yes\r\nFlowControl.XonXoffOut=Yes\r\nFlowControl.XoffChar=#19\r\nFlowControl.XonChar=#1\r\n"));

        TComPort in;
        in.setObjectName(QStringLiteral("ComPort1"));
        in.setStoredGroups(out.StoredGroups());
        in.LoadSettings(stIniFile, ini);
        QCOMPARE(in.BaudRate(), brCustom);
        QCOMPARE(in.CustomBaudRate(), 250000);
        QCOMPARE(in.EventChar(), '\n');
        QCOMPARE(in.Buffer().InputSize(), 4096);
        QCOMPARE(in.Timeouts().ReadInterval(), 7);
        QVERIFY(in.FlowControl().XonXoffOut());
        QCOMPARE(in.FlowControl().XonChar(), char(1));

        // The program stores the basic group only; "Custom" flow control
        // and a missing rate change nothing.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[ComPort1]\r\nFlowControl=Custom\r\n");
        f.close();
        TComPort basic;
        basic.setObjectName(QStringLiteral("ComPort1"));
        basic.setBaudRate(br57600);
        basic.FlowControl().setFlowControl(fcHardware);
        basic.LoadSettings(stIniFile, ini);
        QCOMPARE(basic.BaudRate(), br57600);
        QCOMPARE(basic.FlowControl().FlowControl(), fcHardware);

        for (auto call : {+[](TComPort &p) { p.SaveSettings(stRegistry, QStringLiteral("HKEY_CURRENT_USER\\\\x")); },
                          +[](TComPort &p) { p.LoadSettings(stRegistry, QStringLiteral("HKEY_CURRENT_USER\\\\x")); },
                          +[](TComPort &p) { p.SaveSettings(stIniFile, QStringLiteral("/nonexistent/zlt.ini")); }}) {
            try {
                call(basic);
                QFAIL("no error");
            } catch (const EComPort &e) {
                QVERIFY(e.Code == 16 || e.Code == 17);
            }
        }
    }

    // OK writes the choices; Cancel writes nothing; a port the system does
    // not list stays listed and chosen.
    void setupDialog()
    {
        TComPort port;
        port.setPort(QStringLiteral("/tmp/ostrel-charger"));
        whenDialogShows([](TComSetupFrm *form) {
            QCOMPARE(form->Combo1->Text(), QStringLiteral("/tmp/ostrel-charger"));
            QCOMPARE(form->Combo2->Text(), QStringLiteral("9600"));
            QCOMPARE(form->Combo2->count(), 16);
            choose(form->Combo2, QStringLiteral("115200"));
            choose(form->Combo5, QStringLiteral("Even"));
            form->Button1->click();
        });
        ShowPortSetup(port);
        QCOMPARE(port.BaudRate(), br115200);
        QCOMPARE(port.Parity().Bits(), prEven);
        QCOMPARE(port.Port(), QStringLiteral("/tmp/ostrel-charger"));

        whenDialogShows([](TComSetupFrm *form) {
            choose(form->Combo1, QStringLiteral("ttyUSB0"));
            form->Button2->click();
        });
        ShowPortSetup(port);
        QCOMPARE(port.Port(), QStringLiteral("/tmp/ostrel-charger"));
    }

    // Each port says what it is, and its stable link is there to choose.
    void portDescriptions()
    {
        QTemporaryDir sys, links;
        const QDir root(sys.path());
        const QString usb = QStringLiteral("devices/usb1/1-2");
        QVERIFY(root.mkpath(usb + QStringLiteral("/1-2:1.0")));
        const std::pair<const char *, const char *> attributes[] = {
            {"idVendor", "0403\n"}, {"idProduct", "6001\n"}, {"serial", "A10K1\n"},
            {"manufacturer", "FTDI\n"}, {"product", "FT232R USB UART\n"}};
        for (const auto &[name, value] : attributes) {
            QFile f(root.filePath(usb + QLatin1Char('/') + QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(value);
        }
        QVERIFY(root.mkpath(QStringLiteral("ttyUSB3")));
        QVERIFY(QFile::link(root.filePath(usb + QStringLiteral("/1-2:1.0")),
                            root.filePath(QStringLiteral("ttyUSB3/device"))));
        makeTty(root, QStringLiteral("ttyS0"), QStringLiteral("serial8250"), "4\n");
        const QString byId = QDir(links.path()).filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K1-if00-port0"));
        QVERIFY(QFile::link(QStringLiteral("../../ttyUSB3"), byId));
        setSerialDeviceRoot(sys.path());
        setSerialByIdFolder(links.path());

        const QString description =
            QStringLiteral("FTDI FT232R USB UART\nUSB 0403:6001, serial number A10K1\n") + byId;
        TComPort port;
        port.setPort(QStringLiteral("ttyS0"));
        whenDialogShows([&](TComSetupFrm *form) {
            TComComboBox *c = form->Combo1;
            QCOMPARE(c->count(), 3);
            QCOMPARE(c->itemText(0), QStringLiteral("ttyS0"));
            QCOMPARE(c->itemText(1), QStringLiteral("ttyUSB3"));
            QCOMPARE(c->itemText(2), byId);
            QVERIFY(c->itemData(0, Qt::ToolTipRole).toString().isEmpty());
            QCOMPARE(c->itemData(1, Qt::ToolTipRole).toString(), description);
            QCOMPARE(c->itemData(2, Qt::ToolTipRole).toString(), description);
            choose(c, byId);
            QCOMPARE(c->toolTip(), description);
            form->Button1->click();
        });
        ShowPortSetup(port);
        QCOMPARE(port.Port(), byId);
        whenDialogShows([&](TComSetupFrm *form) {
            QCOMPARE(form->Combo1->Text(), byId);
            QCOMPARE(form->Combo1->toolTip(), description);
            form->Button2->click();
        });
        ShowPortSetup(port);
        setSerialDeviceRoot(sys_.path());
        setSerialByIdFolder(QString());
    }

    // A port the user may not open says how to be let in; other failures
    // keep their one line.
    void permissionDenied()
    {
        QTemporaryDir dir;
        QString path = QDir(dir.path()).filePath(QStringLiteral("ttyUSB9"));
        if (::geteuid() == 0) {
            // Permissions do not stop root; a read-only kernel attribute does.
            path = QStringLiteral("/sys/kernel/uevent_seqnum");
            if (!QFileInfo::exists(path))
                QSKIP("no file here refuses root");
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.setPermissions(QFileDevice::Permissions());
        }
        auto &dialogs = ScriptedDialogs::install();
        {
            TfmMain w;
            w.ComPort1->setPort(path);
            w.btnStart->click();
        }
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].startsWith(QStringLiteral("Не могу открыть порт: ") + path + QStringLiteral("\n\n")));
        QVERIFY(dialogs.messages[0].contains(QStringLiteral("sudo usermod -aG dialout $USER")));
        Dialogs::install(nullptr);
    }

    // Each reason a port does not open has a line of its own under the
    // message: no such device, not a serial port, a port another program
    // holds (which one).
    void openFailuresSayWhy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("Такого устройства нет: ");
        QTest::newRow("fifo") << QStringLiteral("fifo") << QStringLiteral("Это не последовательный порт.");
        QTest::newRow("held") << QStringLiteral("held")
                              << QStringLiteral("Порт занят другой программой: %1 (процесс %2).")
                                     .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))
                                     .arg(QCoreApplication::applicationPid());
    }
    void openFailuresSayWhy()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        Pty line;
        TComPort holder;
        QString path = QDir(dir.path()).filePath(QStringLiteral("ttyUSB9"));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == QLatin1String("held")) {
            path = line.slavePath();
            holder.setPort(path);
            holder.Open();
        }
        auto &dialogs = ScriptedDialogs::install();
        {
            TfmMain w;
            w.ComPort1->setPort(path);
            w.btnStart->click();
        }
        const QStringList messages = dialogs.messages;
        Dialogs::install(nullptr);
        QCOMPARE(messages.size(), 1);
        const QString first = QStringLiteral("Не могу открыть порт: ") + path + QStringLiteral("\n\n");
        QVERIFY2(messages[0].startsWith(first + reason), messages[0].toUtf8().constData());
    }

    // Catalogs: full code, then two letters, else none.
    void catalogs()
    {
        const QString folder = QStringLiteral(OSTREL_CATALOG_FOLDER);
        for (const char *lang : {"ru_RU", "ru"}) {
            Messages::bind(folder, QLatin1String(lang));
            QCOMPARE(Messages::catalogLanguage("default"), QStringLiteral("ru"));
            QCOMPARE(Messages::text("cport", QStringLiteral("Cancel")), QStringLiteral("Отмена"));
        }
        Messages::bind(folder, QStringLiteral("de_DE"));
        QVERIFY(Messages::catalogLanguage("cport").isEmpty());
        QCOMPARE(Messages::text("cport", QStringLiteral("Cancel")), QStringLiteral("Cancel"));

        qputenv("LANG", "ru_RU.UTF-8");
        QCOMPARE(Messages::language(), QStringLiteral("ru_RU"));
        setProgramFolder(folder);
        translatePortTexts();
        QCOMPARE(QString::fromStdString(EComPort(ComError::OpenFailed, 2).what()),
                 QStringLiteral("Не удается открыть последовательный порт (код ошибки системы: 2)"));
        QCOMPARE(QString::fromStdString(EComPort(ComError::StoreSettings).what()), QStringLiteral("Не удалось сохранить настройки"));
        TComSetupFrm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Настройка порта"));
        QCOMPARE(form.GroupBox1->title(), QStringLiteral(" Параметры "));
        QCOMPARE(form.Combo5->itemText(2), QStringLiteral("Even")); // combo items stay as they are
        QCOMPARE(Messages::text("cport", QStringLiteral("serial number")), QStringLiteral("серийный номер"));
    }
};

QTEST_MAIN(TestPortSetup)
#include "tst_portsetup.moc"
