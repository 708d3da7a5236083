// The link LED: its pictures, and that it follows the port it is given.

#include "serial/CPortCtl.h"
#include "tests/support/pty.h"

#include <QPainter>
#include <QtTest>

namespace {

// The picture the LED shows, as the pixels of its centre 15 x 15 square.
QImage shown(TComLed &led)
{
    const QImage all = led.grab().toImage();
    return all.copy((all.width() - 15) / 2, (all.height() - 15) / 2, 15, 15)
        .convertToFormat(QImage::Format_ARGB32);
}

QImage picture(const char *name)
{
    // Drawn over the LED's background, as the screen shows it.
    QImage bg(15, 15, QImage::Format_ARGB32);
    TComLed probe;
    bg.fill(probe.palette().color(QPalette::Window));
    QPainter p(&bg);
    p.drawPixmap(0, 0, QPixmap(TComLed::glyphResource(QLatin1String(name))));
    return bg;
}

} // namespace

class TestComLed : public QObject
{
    Q_OBJECT

private slots:
    void everyKindHasItsPicturePair_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *k : {"RED", "GREEN", "BLUE", "YELLOW", "PURPLE", "BULB"})
            for (const char *s : {"ON", "OFF"}) {
                const QString n = QStringLiteral("LED%1%2").arg(QLatin1String(k), QLatin1String(s));
                QTest::newRow(qPrintable(n)) << n;
            }
    }

    void everyKindHasItsPicturePair()
    {
        QFETCH(QString, name);
        const QImage img(TComLed::glyphResource(name));
        QCOMPARE(img.size(), QSize(15, 15));
        QVERIFY(img.hasAlphaChannel());
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0); // transparent corner
        QCOMPARE(qAlpha(img.pixel(7, 7)), 255);
    }

    // The program's ComLed1: green, off before Open, on after, off after
    // Close; disabled it shows the off picture whatever the state.
    void followsTheConnection()
    {
        Pty pty;
        TComPort port;
        port.setPort(pty.slavePath());
        TComLed led;
        led.setKind(lkGreenLight);
        led.setComPort(&port);
        QList<TLedState> changes;
        led.OnChange = [&](QObject *, TLedState s) { changes << s; };
        QCOMPARE(led.size(), QSize(25, 25));
        QCOMPARE(shown(led), picture("LEDGREENOFF"));

        port.Open();
        QCOMPARE(led.State(), lsOn);
        QCOMPARE(shown(led), picture("LEDGREENON"));
        led.setEnabled(false);
        QCOMPARE(shown(led), picture("LEDGREENOFF"));
        led.setEnabled(true);

        port.Close();
        QCOMPARE(led.State(), lsOff);
        QCOMPARE(shown(led), picture("LEDGREENOFF"));
        QCOMPARE(changes, (QList<TLedState>{lsOn, lsOff}));
    }

    void stateBelongsToTheAssignedPort()
    {
        TComLed led;
        led.setState(lsOn); // no port: the program may set it
        QCOMPARE(led.State(), lsOn);
        TComPort port;
        led.setComPort(&port);
        try {
            led.setState(lsOff);
            QFAIL("no error");
        } catch (const EComPort &e) {
            QCOMPARE(e.Code, 19);
        }
    }

    void assigningAnOpenPortShowsItsStateAndItsEndIsNoticed()
    {
        Pty pty;
        TComLed led;
        {
            TComPort port;
            port.setPort(pty.slavePath());
            port.Open();
            led.setComPort(&port);
            QCOMPARE(led.State(), lsOn);
        }
        // The port closed as it was destroyed, and the LED forgot it.
        QCOMPARE(led.ComPort(), nullptr);
        QCOMPARE(led.State(), lsOff);
        led.setState(lsOn);
    }

    void customPicturesOnlyForTheCustomKind()
    {
        TComLed led;
        QPixmap red(15, 15);
        red.fill(Qt::red);
        led.setGlyphOn(red); // ignored: not lkCustom
        QVERIFY(led.GlyphOn().toImage() != red.toImage());
        led.setKind(lkCustom);
        led.setGlyphOn(red);
        led.setState(lsOn);
        QCOMPARE(shown(led).pixel(7, 7), QColor(Qt::red).rgb());
    }
};

QTEST_MAIN(TestComLed)
#include "tst_comled.moc"
