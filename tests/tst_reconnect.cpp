// A charge outlives a pulled adapter: the loss is shown at once, the logs
// stay, and the same device is opened again when it is back, never another.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "charts/datafile.h"
#include "link/statistika.h"
#include "platform/programfolder.h"
#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "serial/devicewatch.h"
#include "serial/portlist.h"
#include "tests/support/chargerrig.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"
#include "tools/chargesim/chargesim.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// The adapter is pulled while the save dialog is open: the loss is handled
// in the dialog's event loop, before the file is written.
class UnplugWhileSaving : public ScriptedDialogs
{
public:
    UnplugWhileSaving(chargesim::Simulator &sim, TComPort *port) : sim_(sim), port_(port) {}

    QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                         const QString &suffix) override
    {
        sim_.unplug();
        lostInDialog = QTest::qWaitFor([this] { return !port_->Connected(); }, 5000);
        return ScriptedDialogs::saveFileName(parent, suggested, filter, suffix);
    }

    bool lostInDialog = false;

private:
    chargesim::Simulator &sim_;
    TComPort *port_;
};

} // namespace

class TestReconnect : public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        WindowTest::cleanup();
        setSerialDeviceRoot(QString());
    }

    void unpluggedAndBack()
    {
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() >= 6, 10000);
        const double started = w.receiver.clock.StartTime;

        sim.unplug();
        QTRY_VERIFY(!w.ComPort1->Connected());
        QCOMPARE(w.btnStart->text(), QStringLiteral("Старт"));
        QCOMPARE(w.ComLed1->State(), lsOff);
        QVERIFY(w.statusPanelText(1).startsWith(QStringLiteral("связь потеряна - ")));
        const int kept = w.Memo1->lineCount();
        QVERIFY(kept >= 6);
        QCOMPARE(w.receiver.heldCount(), 0);
        // The silence timer finds nothing held to report over the loss.
        w.TimerResetReceiverTimer();
        QVERIFY(w.statusPanelText(1).startsWith(QStringLiteral("связь потеряна - ")));
        QVERIFY(w.reconnectTimer->isActive());

        sim.replug();
        QTRY_VERIFY_WITH_TIMEOUT(w.ComPort1->Connected(), 5000);
        QCOMPARE(w.btnStart->text(), QStringLiteral("Stop"));
        QVERIFY(w.statusPanelText(1).startsWith(QStringLiteral("связь восстановлена - ")));
        QCOMPARE(w.receiver.clock.StartTime, started); // the charge's clock goes on
        QVERIFY(!w.reconnectTimer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() > kept + 2, 10000);
        QVERIFY(w.Timer1->isActive());

        // The user's Start ends a wait for the device.
        sim.unplug();
        QTRY_VERIFY(w.reconnectTimer->isActive());
        auto &dialogs = ScriptedDialogs::install();
        w.btnStart->click(); // nothing there to open
        QVERIFY(!w.reconnectTimer->isActive());
        QCOMPARE(dialogs.messages.size(), 1);
        sim.replug();
        QCoreApplication::processEvents();
        QVERIFY(!w.reconnectTimer->isActive()); // the one way back in
        QVERIFY(!w.ComPort1->Connected());
        sim.stop();
    }

    // A reply the pulled adapter never brings times out as any other, and
    // the button comes back; nothing opens a dialog.
    void exchangeOverALoss()
    {
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig(
            {.link = link.toStdString(), .samples = false, .fault = chargesim::Fault::LateReply, .lateMs = 3000});
        auto &[sim, w] = rig;
        w.btnStart->click();
        QVERIFY(w.ComPort1->Connected());
        auto &dialogs = ScriptedDialogs::install();
        for (QPushButton *button : {w.BtnSendSave, w.BtnReadUartStr}) {
            button->click();
            QVERIFY(!w.BtnSendSave->isEnabled() || button == w.BtnReadUartStr);
            QVERIFY(w.Timer2->isActive());
            sim.unplug();
            QTRY_VERIFY(!w.ComPort1->Connected());
            QTRY_VERIFY_WITH_TIMEOUT(!w.Timer2->isActive(), 3000);
            QVERIFY(w.BtnSendSave->isEnabled());
            QCOMPARE(w.LabStatus->text(), QStringLiteral("Нет ответа!"));
            sim.replug();
            QTRY_VERIFY_WITH_TIMEOUT(w.ComPort1->Connected(), 5000);
        }
        QVERIFY(dialogs.messages.isEmpty());
        sim.stop();
    }

    // A save while the adapter goes: the file holds every line, the logs
    // count as saved.
    void saveOverALoss()
    {
        QTemporaryDir files;
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lineCount() >= 6, 10000);
        auto dialogs = std::make_unique<UnplugWhileSaving>(sim, w.ComPort1);
        const QString path = QDir(files.path()).filePath(QStringLiteral("charge.txt"));
        dialogs->fileAnswers = {path};
        UnplugWhileSaving &d = *dialogs;
        Dialogs::install(std::move(dialogs));
        w.NSaveAllClick();
        QVERIFY(d.lostInDialog);
        QVERIFY(d.messages.isEmpty());
        QVERIFY(w.statusPanelText(1).startsWith(QStringLiteral("связь потеряна - ")));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), joinLogs(w.Memo1->lines(), w.Memo2->lines()));
        QVERIFY(!w.Memo1->isModified() && !w.Memo2->isModified());
        sim.stop();
    }

    // Only the same USB adapter counts as the device back; an ordinary port
    // is back when its path is.
    void sameDeviceOnly()
    {
        QTemporaryDir sys, dev;
        QVERIFY(QDir(sys.path()).mkpath(QStringLiteral("devices/usb1/1-1/1-1:1.0/ttyUSB0")));
        const QString usb = QDir(sys.path()).filePath(QStringLiteral("devices/usb1/1-1"));
        writeText(usb + QStringLiteral("/idVendor"), "0403\n");
        writeText(usb + QStringLiteral("/idProduct"), "6001\n");
        writeText(usb + QStringLiteral("/serial"), "A10K1\n");
        QVERIFY(QDir(sys.path()).mkpath(QStringLiteral("class/tty/ttyUSB0")));
        QVERIFY(QFile::link(usb + QStringLiteral("/1-1:1.0"),
                            QDir(sys.path()).filePath(QStringLiteral("class/tty/ttyUSB0/device"))));
        setSerialDeviceRoot(QDir(sys.path()).filePath(QStringLiteral("class/tty")));
        const QString node = QDir(dev.path()).filePath(QStringLiteral("ttyUSB0"));
        writeText(node, "");

        const DeviceIdentity opened = identifyDevice(node);
        QCOMPARE(opened.usb, QStringLiteral("0403:6001:A10K1"));
        QVERIFY(deviceIsBack(opened));
        QFile::remove(node);
        QVERIFY(!deviceIsBack(opened));
        // Another adapter of the same kind takes the name.
        writeText(node, "");
        writeText(usb + QStringLiteral("/serial"), "B77Q2\n");
        QVERIFY(!deviceIsBack(opened));
        writeText(usb + QStringLiteral("/serial"), "A10K1\n");
        QVERIFY(deviceIsBack(opened));

        // A port with nothing in sysfs behind it.
        const QString plain = QDir(dev.path()).filePath(QStringLiteral("ttyS0"));
        writeText(plain, "");
        const DeviceIdentity uart = identifyDevice(plain);
        QVERIFY(uart.usb.isEmpty());
        QFile::remove(plain);
        QVERIFY(!deviceIsBack(uart));
        writeText(plain, "");
        QVERIFY(deviceIsBack(uart));
    }
};

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
