// A charge left alone: each channel's charge sums up the same from the live
// log and from its data file, its end and any trouble reach the desktop as a
// notice, and the computer is kept awake exactly while a charge runs.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "charts/chargesummary.h"
#include "link/statistika.h"
#include "platform/desktopservices.h"
#include "platform/inifile.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "tests/support/chargerrig.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"
#include "tools/chargesim/chargesim.h"

#include <QAction>
#include <QClipboard>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sample(int seconds, double u, double t)
{
    return Fmt::chargeTime(seconds / 86400.0) + QStringLiteral("    ADC=%1    U=").arg(int(u * 400))
           + Fmt::fixed(u, 4) + QStringLiteral("    T=") + Fmt::fixed(t, 1) + QLatin1Char(';');
}

// Everything needed to watch the program's calls: a bus and both fakes.
struct Desktop
{
    PrivateBus bus;
    QDBusConnection services = bus.connect(QStringLiteral("fakes"));
    FakeNotifications notes;
    FakeLogind logind;

    bool serve() { return bus.isRunning() && notes.serve(services) && logind.serve(services); }
    void attach(TfmMain &w)
    {
        program = bus.connect(QStringLiteral("program%1").arg(++attached));
        w.useDesktopBuses(program, program);
    }
    // Every notice the program sent so far has reached the fake: the bus
    // keeps a connection's calls in order, and the fake answers them in turn.
    bool settle()
    {
        const QDBusPendingCall call = program.asyncCall(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities")));
        return QTest::qWaitFor([&] { return call.isFinished(); }, 5000) && !call.isError();
    }
    int attached = 0;
    QDBusConnection program{QString()};
};

} // namespace

class TestChargeWatch : public WindowTest
{
    Q_OBJECT

private slots:

    // Charges, a discharge and the lines around them, read from a log.
    void summaries()
    {
        QStringList lines{QStringLiteral("00:00:00;   0x0B"), // noise before any block
                          QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                          QStringLiteral("Включен режим дозаряда."), QStringLiteral("Внутреннее R аккумулятора = 0,054")};
        // An hour of fast charge, 2 degrees up within a minute at 50:30,
        // then half an hour of trickle charge.
        for (int s = 0; s <= 3600; s += 30)
            lines << sample(s, 1.30 + 0.15 * s / 3600 - (s == 3600 ? 0.01 : 0), s > 3000 ? 27.0 : 25.0);
        lines << QStringLiteral("END:  Конец заряда.");
        for (int s = 3630; s <= 5400; s += 30)
            lines << sample(s, 1.40, 26.0);
        // A charge over the charge clock's midnight, ended by an error.
        lines << QString() << QStringLiteral("Старт.") << QStringLiteral("NiСd аккумулятор. Ток = 500 mA.")
              << QStringLiteral("Останов только по времени и ошибкам.") << sample(86340, 1.2, 30.0)
              << sample(0, 1.3, 31.0) << sample(60, 1.25, 33.5)
              << QStringLiteral("END:  Ошибка 2. Большая температура / большой рост температуры.");
        lines << QString() << QStringLiteral("Разряд.") << QStringLiteral("Параметры заряда:")
              << QStringLiteral("NiMh аккумулятор. Ток = 300 mA.") << sample(7200, 1.1, 24.0);

        const std::vector<ChargeSummary> c = chargeSummaries(lines);
        QCOMPARE(c.size(), size_t(3));
        const ChargeSummary &fast = c[0];
        QCOMPARE(fast.chemistry, QStringLiteral("NiMH"));
        QCOMPARE(fast.currentMilliamps, 1000);
        QVERIFY(fast.trickle && fast.regularEnd());
        QCOMPARE(fast.samples, 121 + 60);
        QCOMPARE(qRound64(fast.elapsed() * 86400), 5400);
        QCOMPARE(qRound(fast.capacity(100) * 1000), 1050000); // 1000 mA for 1 h, 100 mA for 0.5 h
        QCOMPARE(fast.firstU, 1.30);
        QCOMPARE(fast.finalU, 1.40);
        QCOMPARE(fast.peakT, 27.0);
        QCOMPARE(*fast.riseMax, 2.0);
        QCOMPARE(fast.resistance, QStringLiteral("0,054"));
        QCOMPARE(summaryText(fast, 'A', 100),
                 QStringLiteral("Канал A: NiMH, заряд, ток 1000 mA, дозаряд 100 mA\n"
                                "Время: 1:30:00, заряжено: 1050 mAh\n"
                                "U: начало 1,3000 В, максимум 1,4487 В, конец 1,4000 В\n"
                                "T: максимум 27,0 °C, рост до 2,00 °C/мин\n"
                                "Внутреннее R: 0,054 Ом\n"
                                "Окончание: Конец заряда."));

        const ChargeSummary &hot = c[1];
        QCOMPARE(hot.chemistry, QStringLiteral("NiCd"));
        QCOMPARE(qRound64(hot.elapsed() * 86400), 120);
        QVERIFY(!hot.regularEnd());
        QCOMPARE(qRound(hot.capacity(50) * 60), 1000); // 500 mA for 2 minutes, no trickle after an error
        QCOMPARE(*hot.riseMax, 2.5); // 31.0 to 33.5 in the last minute
        QCOMPARE(summaryLine(hot, 50),
                 QStringLiteral("0:02:00, 17 mAh, Umax 1,3000 В, Tmax 33,5 °C, "
                                "Ошибка 2. Большая температура / большой рост температуры."));

        const ChargeSummary &discharge = c[2];
        QVERIFY(discharge.discharge && !discharge.endReport && !discharge.riseMax);
        QVERIFY(summaryText(discharge, 'B', 0, ChargeStop::Running).endsWith(QStringLiteral("Окончание: идёт")));
        QVERIFY(summaryText(discharge, 'B', 0).endsWith(QStringLiteral("Окончание: нет отчёта об окончании")));
        QVERIFY(chargeSummaries({}).empty());
        // Stop and Start in the middle of a charge start the clock again.
        const ChargeSummary restarted =
            chargeSummaries({QStringLiteral("Старт."), sample(600, 1.3, 25), sample(1200, 1.3, 25), sample(5, 1.3, 25),
                             sample(305, 1.3, 25)})
                .front();
        QCOMPARE(qRound64(restarted.elapsed() * 86400), 900);

        // An end report sums up its charge as the running summaries hold
        // it: the same as from its own block alone, the clock carried over
        // midnight too, and as from the whole log.
        const qsizetype hotEnd = lines.indexOf(QStringLiteral("END:  Ошибка 2. Большая температура / большой рост температуры."));
        const qsizetype hotStart = lines.lastIndexOf(QStringLiteral("Старт."), hotEnd);
        const std::vector<ChargeSummary> last = summariesOf(lines.mid(0, hotEnd + 1)).charges(1);
        QCOMPARE(last.size(), size_t(1));
        QCOMPARE(summaryLine(last.back(), 50), summaryLine(chargeSummaries(lines.mid(hotStart, hotEnd + 1 - hotStart)).back(), 50));
        QCOMPARE(summaryLine(last.back(), 50), summaryLine(hot, 50));
        QVERIFY(summariesOf({}).charges(1).empty());
    }

    // A whole charge through the port: the lock from the first sample to
    // the last end, one notice per end, and the same summary from the file.
    void wholeChargeNoticed()
    {
        Desktop desktop;
        QVERIFY(desktop.serve());
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20, .speed = 600, .repeat = false});
        auto &[sim, w] = rig;
        desktop.attach(w);
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(desktop.logind.lockHeld(), 5000);
        QTRY_VERIFY(w.sleepInhibitor()->isHeld());
        QCOMPARE(desktop.logind.what, QStringList{QStringLiteral("sleep:idle")});
        QCOMPARE(desktop.logind.mode, QStringList{QStringLiteral("block")});
        QCOMPARE(desktop.logind.who, QStringList{QStringLiteral("Ostrel")});
        QVERIFY(!w.ComLed1->toolTip().isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(desktop.notes.received.size(), 2, 30000);
        QTRY_VERIFY(!desktop.logind.lockHeld());
        QCOMPARE(desktop.logind.taken, 1);
        QVERIFY(w.ComLed1->toolTip().isEmpty());
        // Channel B's cell is the shorter: its notice comes first.
        const auto &b = desktop.notes.received[0], &a = desktop.notes.received[1];
        QCOMPARE(b.title, QStringLiteral("Канал B: NiCd, заряд - окончен"));
        QCOMPARE(a.title, QStringLiteral("Канал A: NiMH, заряд - окончен"));
        QCOMPARE(a.app, QStringLiteral("Ostrel"));
        QCOMPARE(a.icon, QStringLiteral("ostrel"));
        QCOMPARE(a.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("complete"));
        QVERIFY(a.body.endsWith(QStringLiteral("Конец заряда.")));
        QVERIFY(desktop.settle()); // both channels are quiet now
        QCOMPARE(desktop.notes.received.size(), 2);
        w.btnStart->click();
        sim.stop();

        QTemporaryDir files;
        const QString path = QDir(files.path()).filePath(QStringLiteral("charge.txt"));
        ScriptedDialogs::install().fileAnswers = {path, path};
        w.NSaveAllClick();
        TfmMain reopened;
        reopened.NOpenFileClick();
        // The file keeps the empty line before channel B's marker in A.
        QCOMPARE(reopened.Memo1->lines().mid(0, w.Memo1->lineCount()), w.Memo1->lines());
        for (Channel ch : {Channel::A, Channel::B}) {
            QCOMPARE(reopened.channelSummary(ch), w.channelSummary(ch));
            const std::vector<ChargeSummary> s = chargeSummaries(reopened.memo(ch)->lines());
            QCOMPARE(s.size(), size_t(1));
            const double trickle = ch == Channel::A ? w.UpD_tricle_Mh->value() : w.UpD_tricle_Cd->value();
            QCOMPARE(summaryLine(s[0], trickle), (ch == Channel::A ? a : b).body);
        }
        // And the pop-up menu's copy.
        w.findChild<QAction *>(QStringLiteral("CopySummary2"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), w.channelSummary(Channel::B));
        QVERIFY(w.channelSummary(Channel::B).startsWith(QStringLiteral("Канал B: NiCd, заряд, ток 500 mA")));
    }

    // A line that brings mostly noise at the line rate: the status bar and
    // one notice say what it probably is, and the logs grow with the bytes
    // (a dump line holds a read's bytes, and a read gets at most two).
    void noiseAtTheLineRate()
    {
        Desktop desktop;
        QVERIFY(desktop.serve());
        // Written every 16 ms, as a USB adapter delivers: reads of some 60 bytes.
        ChargerRig<> rig({.link = {}, .fault = chargesim::Fault::Noise, .rate = 3840, .writeMs = 16});
        auto &[sim, w] = rig;
        desktop.attach(w);
        w.btnStart->click();
        // (Noise also brings packets with the charger's codes, end reports
        // among them, which have notices of their own.)
        auto noiseNotices = [&] {
            QStringList bodies;
            for (const auto &n : desktop.notes.received)
                if (n.title == QStringLiteral("Нераспознанные данные"))
                    bodies << n.body;
            return bodies;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!noiseNotices().isEmpty(), 15000);
        // The panel keeps the text while the noise lasts (the moves and
        // errors it causes say nothing), whole in its tooltip.
        qint32 seen = w.receiver.RecvTotal;
        QTRY_VERIFY_WITH_TIMEOUT(w.receiver.RecvTotal > seen + 1920, 10000); // half a second more
        QCOMPARE(w.statusPanelText(1), noiseSuspectedText());
        QCOMPARE(w.StatusBar1->findChild<QLabel *>(QStringLiteral("StatusPanel1"))->toolTip(), noiseSuspectedText());
        seen = w.receiver.RecvTotal;
        QTRY_VERIFY_WITH_TIMEOUT(w.receiver.RecvTotal > seen + 5760, 10000); // a second and a half more
        w.btnStart->click();
        sim.stop();
        QVERIFY(desktop.settle());
        QCOMPARE(noiseNotices(), QStringList{noiseSuspectedText()});

        const qint64 received = sim.pacedBytes();
        QVERIFY(received > 3840 * 3);
        for (LogMemo *memo : {w.Memo1, w.Memo2}) {
            qint64 chars = 0;
            for (const QString &line : memo->lines())
                chars += line.size() + 1;
            // Two lines a read, each of the time and five characters a byte.
            QVERIFY2(chars <= 10 * received + 30 * memo->lineCount(),
                     qPrintable(QStringLiteral("%1 characters for %2 bytes").arg(chars).arg(received)));
        }
    }

    // Stop and a pulled adapter end the watch; trouble is noticed, with a
    // warning's sound, and bad data at most once a minute.
    void stopAndTrouble()
    {
        Desktop desktop;
        QVERIFY(desktop.serve());
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        desktop.attach(w);
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(desktop.logind.lockHeld(), 5000);
        QTRY_VERIFY(w.Memo1->lineCount() > 6 && w.Memo2->lineCount() > 6); // both channels charge
        w.btnStart->click(); // Stop
        QTRY_VERIFY(!desktop.logind.lockHeld());
        QCoreApplication::processEvents(); // what arrived before the close takes no new lock
        QVERIFY(desktop.settle());
        QVERIFY(!desktop.logind.lockHeld() && !w.sleepInhibitor()->isHeld());
        QVERIFY2(w.channelSummary(Channel::A).endsWith(QStringLiteral("Окончание: остановлен кнопкой Stop")),
                 qPrintable(w.channelSummary(Channel::A)));

        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(desktop.logind.lockHeld(), 5000);
        QCOMPARE(desktop.logind.taken, 2);
        const int before = w.Memo1->lineCount();
        QTRY_VERIFY(w.Memo1->lineCount() > before);
        sim.unplug();
        QTRY_COMPARE(desktop.notes.received.size(), 1);
        const auto &lost = desktop.notes.received[0];
        QCOMPARE(lost.title, QStringLiteral("Связь с зарядным устройством потеряна"));
        QVERIFY(lost.body.startsWith(QStringLiteral("связь потеряна - ")));
        QCOMPARE(lost.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("dialog-warning"));
        QCOMPARE(lost.hints.value(QStringLiteral("urgency")).toInt(), 2);
        // The charger charges on while the adapter is awaited.
        QCoreApplication::processEvents();
        QVERIFY(desktop.settle());
        QVERIFY(desktop.logind.lockHeld());
        QVERIFY2(w.channelSummary(Channel::A).endsWith(QStringLiteral("Окончание: связь потеряна")),
                 qPrintable(w.channelSummary(Channel::A)));
        auto &dialogs = ScriptedDialogs::install();
        w.btnStart->click(); // gives up the wait: nothing there to open
        QCOMPARE(dialogs.messages.size(), 1);
        QTRY_VERIFY(!desktop.logind.lockHeld());

        w.showReceiveError(QStringLiteral("0:00:01"));
        w.showReceiveError(QStringLiteral("0:00:02"));
        QTRY_COMPARE(desktop.notes.received.size(), 2);
        QCOMPARE(desktop.notes.received[1].title, QStringLiteral("Ошибка в принимаемых данных"));
        QVERIFY(desktop.settle());
        QCOMPARE(desktop.notes.received.size(), 2);
        sim.stop();
    }

    // Without the services the program carries on and says so once.
    void servicesMissing()
    {
        PrivateBus bus;
        QVERIFY(bus.isRunning());
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        const QDBusConnection program = bus.connect(QStringLiteral("program"));
        w.useDesktopBuses(program, program);
        w.receiver.LogEnabled = true;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.receiver.LogText.contains(QStringLiteral("запрет сна недоступен: ")), 5000);
        w.showReceiveError(QStringLiteral("0:00:01"));
        QTRY_VERIFY(w.receiver.LogText.contains(QStringLiteral("уведомления недоступны: ")));
        DesktopNotices notices(program);
        QSignalSpy missing(&notices, &DesktopNotices::unavailable);
        for (int i = 0; i < 3; ++i)
            notices.notify(QStringLiteral("t"), QStringLiteral("b"), DesktopNotices::Kind::Finished);
        QTRY_COMPARE(missing.count(), 1);
        QTest::qWait(200);
        QCOMPARE(missing.count(), 1);
        QCOMPARE(w.receiver.LogText.count(QStringLiteral("запрет сна недоступен")), 1);
        const int lines = w.Memo1->lineCount();
        QTRY_VERIFY(w.Memo1->lineCount() > lines + 5);
        w.btnStart->click();
        sim.stop();
    }

    // With no bus at all (none running, or its address wrong) each note
    // still comes, once, and the charge is logged.
    void noBusAtAll()
    {
        const QDBusConnection none =
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        w.useDesktopBuses(none, none);
        w.receiver.LogEnabled = true;
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.receiver.LogText.contains(QStringLiteral("запрет сна недоступен: нет связи с шиной D-Bus")), 5000);
        w.showReceiveError(QStringLiteral("0:00:01"));
        w.showReceiveError(QStringLiteral("0:00:02"));
        QTRY_VERIFY(w.receiver.LogText.contains(QStringLiteral("уведомления недоступны: нет связи с шиной D-Bus")));
        const int lines = w.Memo1->lineCount();
        QTRY_VERIFY(w.Memo1->lineCount() > lines + 5);
        QCOMPARE(w.receiver.LogText.count(QStringLiteral("запрет сна недоступен")), 1);
        QCOMPARE(w.receiver.LogText.count(QStringLiteral("уведомления недоступны")), 1);
        w.btnStart->click();
        sim.stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

    // The switch is kept in zlt.ini; a file from before it reads as on.
    void noticeSwitchStored()
    {
        const QString ini = settingsFile();
        QFile old(ini);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[Chart]\r\nGradient=0\r\n");
        old.close();
        Desktop desktop;
        QVERIFY(desktop.serve());
        {
            TfmMain w;
            desktop.attach(w);
            QVERIFY(w.NNotices->isChecked());
            w.NNotices->trigger();
            QVERIFY(!w.NNotices->isChecked());
            w.SaveSettings();
            w.showReceiveError(QStringLiteral("0:00:01"));
            QVERIFY(desktop.settle());
            QVERIFY(desktop.notes.received.isEmpty());
        }
        QVERIFY(!IniFile(ini).readBool(QStringLiteral("Notices"), QStringLiteral("Enabled"), true));
        TfmMain again;
        QVERIFY(!again.NNotices->isChecked());
    }
};

QTEST_MAIN(TestChargeWatch)
#include "tst_chargewatch.moc"
