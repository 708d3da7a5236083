#include "platform/inifile.h"
#include "platform/localeformat.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include "tests/support/generalnumber.h"
#include "tests/support/testlocale.h"

#include <QtTest>

namespace {

double at(int h, int m, int s, int ms = 0)
{
    return (((h * 60 + m) * 60 + s) * 1000 + ms) / 86400000.0;
}
} // namespace

class TestFormat : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { useLocale("C"); }

    void numbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const struct { const char *l, *p; double v; const char *t; } rows[] = {
            {"ru_RU", "0.0000", 1.0, "1,0000"},
            {"en_US", "0.0000", 1.23456, "1.2346"},
            {"ru_RU", "0.000", 0.3, "0,300"},
            {"en_US", "0.000", -0.0004, "0.000"},   // no "-0.000"
            {"ru_RU", "0.0", -10.0, "-10,0"},
            {"en_US", "0", 999.5, "1000"},          // half away from zero
            {"en_US", "0", 0.5, "1"},
            {"en_US", "#,##0.###", 1234567.125, "1,234,567.125"},
            {"en_US", "#,##0.###", 1.5, "1.5"},
            {"ru_RU", "#,##0.###", 1234.0, "1\u00a0234"},
            {"ru_RU", "##0.#", 25.25, "25,3"},
            {"en_US", "##0.#", 25.0, "25"},
            {"en_US", "5 digits", 0.0980392, "0.098039"},
            {"ru_RU", "5 digits", 123456.0, "1,2346e+05"},
        };
        for (const auto &r : rows)
            QTest::addRow("%s %s %g", r.l, r.p, r.v)
                << QString::fromLatin1(r.l) << QString::fromLatin1(r.p) << r.v << QString::fromUtf8(r.t);
    }
    void numbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, text);
        useLocale(qPrintable(locale));
        QString out;
        if (pattern == QLatin1String("#,##0.###"))
            out = Fmt::grouped(value);
        else if (pattern == QLatin1String("##0.#"))
            out = Fmt::upTo(value, 1);
        else if (pattern == QLatin1String("5 digits"))
            out = Fmt::significant(value, 5);
        else
            out = Fmt::fixed(value, int(pattern.size() > 1 ? pattern.size() - 2 : 0));
        QCOMPARE(out, text);
    }

    // Exact quotients round half away from zero on their decimal digits,
    // where a double would often sit just below the half.
    void ratios_data()
    {
        QTest::addColumn<qint64>("num");
        QTest::addColumn<qint64>("den");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("volts, a half below as a double") << qint64(130025) << qint64(100000) << 4 << "1,3003";
        QTest::newRow("volts, tiny") << qint64(15) << qint64(100000) << 4 << "0,0002";
        QTest::newRow("volts, top of the range") << qint64(65535 * 500) << qint64(100000) << 4 << "327,6750";
        QTest::newRow("whole, half") << qint64(5) << qint64(2) << 0 << "3";
        QTest::newRow("whole, below half") << qint64(149) << qint64(100) << 0 << "1";
        QTest::newRow("negative half") << qint64(-25) << qint64(10000) << 3 << "-0,003";
        QTest::newRow("negative, rounds to zero") << qint64(-1) << qint64(10000) << 3 << "0,000";
        QTest::newRow("zero") << qint64(0) << qint64(7) << 1 << "0,0";
        QTest::newRow("tenths") << qint64(-1270) << qint64(10) << 1 << "-127,0";
    }
    void ratios()
    {
        QFETCH(qint64, num);
        QFETCH(qint64, den);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        useLocale("ru_RU");
        QCOMPARE(Fmt::ratio(num, den, decimals), text);
    }

    // Reading numbers back uses the same separator: the other one fails.
    void readingNumbers()
    {
        useLocale("ru_RU");
        bool ok = false;
        QCOMPARE(Fmt::toDouble(QStringLiteral("1,2345"), &ok), 1.2345);
        QVERIFY(ok);
        Fmt::toDouble(QStringLiteral("1.2345"), &ok);
        QVERIFY(!ok);
        useLocale("en_US");
        QCOMPARE(Fmt::toDouble(QStringLiteral("24.5"), &ok), 24.5);
        QVERIFY(ok);
    }

    // Plain decimals are read by a shortcut; it must agree with the general
    // reader on them and leave every other text to it.
    void readingAgreesWithTheGeneralReader()
    {
        const char *const texts[] = {
            "1,2345", "1.2345", "-0", "-0,0", "007,50", " 22,5 ", "\t-3,25\n", ",5", "5,", "-",
            "", "-,5", "1,2,3", "1.2.3", "+1,5", "1e5", "1,5e-3", "inf", "-nan", "0x10",
            "12345678901234567890123456789", "0,1000000000000000055511151231257827",
            "1,7976931348623157", "4,9406564584124654e-324", "--1", "1-", "1 5", "\u0661,5",
            "2,2250738585072011", "9007199254740993", "0,30000000000000004"};
        for (const char *locale : {"ru_RU", "en_US"}) {
            useLocale(locale);
            for (const char *t : texts) {
                const QString text = QString::fromUtf8(t);
                bool ok = false, generalOk = false;
                const double v = Fmt::toDouble(text, &ok);
                const double general = generalToDouble(text, &generalOk);
                QVERIFY2(sameReading(v, ok, general, generalOk),
                         qPrintable(QStringLiteral("%1 in %2: %3 (%4) against %5 (%6)")
                                        .arg(text, QLatin1String(locale))
                                        .arg(v, 0, 'g', 17)
                                        .arg(ok)
                                        .arg(general, 0, 'g', 17)
                                        .arg(generalOk)));
            }
        }
    }

    // The charge time is a duration: 24-hour hours even where the clock of
    // the day shows AM/PM.
    void times_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("time");
        QTest::addColumn<QString>("charge");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("hnn");
        QTest::newRow("en five minutes") << "en_US" << at(0, 5, 7) << "0:05:07" << "12:05:07 AM" << "0:05";
        QTest::newRow("en afternoon") << "en_US" << at(13, 2, 0) << "13:02:00" << "1:02:00 PM" << "13:02";
        QTest::newRow("ru") << "ru_RU" << at(0, 12, 7) << "00:12:07" << "00:12:07" << "0:12";
        QTest::newRow("fi dots") << "fi_FI" << at(9, 3, 4) << "9.03.04" << "9.03.04" << "9.03";
        QTest::newRow("wraps after a day") << "ru_RU" << 1.0 + at(1, 0, 0) << "01:00:00" << "01:00:00" << "1:00";
        QTest::newRow("negative wraps back") << "ru_RU" << -at(0, 0, 30) << "23:59:30" << "23:59:30" << "23:59";
        QTest::newRow("rounds to the millisecond") << "ru_RU" << at(0, 0, 59, 999) + 0.6 / 86400000
                                                   << "00:01:00" << "00:01:00" << "0:01";
    }
    void times()
    {
        QFETCH(QString, locale);
        QFETCH(double, time);
        QFETCH(QString, charge);
        QFETCH(QString, clock);
        QFETCH(QString, hnn);
        useLocale(qPrintable(locale));
        QCOMPARE(Fmt::chargeTime(time), charge);
        QCOMPARE(Fmt::longTime(time), clock);
        QCOMPARE(Fmt::hoursMinutes(time), hnn);
        double back = -1;
        QVERIFY(Fmt::parseChargeTime(charge, &back));
        QCOMPARE(Fmt::chargeTime(back), charge);
        QVERIFY(!Fmt::parseChargeTime(QStringLiteral("-----------"), &back));
    }

    void wallClockStamp()
    {
        QCOMPARE(Fmt::wallClockStamp(QTime(7, 4, 9, 45)), QStringLiteral("07-04-09-045"));
    }

    // The settings file: defaults for what is missing, case-blind names,
    // values changed in place with the order kept, each write on disk at once.
    void iniFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zlt.ini"));
        IniFile ini(path);
        QCOMPARE(ini.readString(QStringLiteral("ComPort1"), QStringLiteral("Port"), QStringLiteral("COM1")),
                 QStringLiteral("COM1"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[PageSetting]\r\nMhFastI=1000\r\n\r\n[comport1]\r\nport = \"COM3\" \r\nLog=1\r\nHex=$1F\r\nBad=12x\r\n");
        f.close();
        QCOMPARE(ini.readString(QStringLiteral("ComPort1"), QStringLiteral("Port"), {}), QStringLiteral("COM3"));
        QCOMPARE(ini.readBool(QStringLiteral("ComPort1"), QStringLiteral("Log"), false), true);
        QCOMPARE(ini.readInteger(QStringLiteral("ComPort1"), QStringLiteral("Hex"), 0), 31);
        QCOMPARE(ini.readInteger(QStringLiteral("ComPort1"), QStringLiteral("Bad"), 7), 7);
        QCOMPARE(ini.readInteger(QStringLiteral("PageSetting"), QStringLiteral("Log"), 5), 5);

        ini.writeString(QStringLiteral("ComPort1"), QStringLiteral("Port"), QStringLiteral("/tmp/x"));
        ini.writeInteger(QStringLiteral("PageSetting"), QStringLiteral("CdFastI"), -1);
        ini.writeBool(QStringLiteral("Chart"), QStringLiteral("View2D"), true);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[PageSetting]\r\nMhFastI=1000\r\nCdFastI=-1\r\n\r\n[comport1]\r\n"
                                         "Port=/tmp/x\r\nLog=1\r\nHex=$1F\r\nBad=12x\r\n\r\n"
                                         "[Chart]\r\nView2D=1\r\n"));
    }

    void iniWriteFailureIsReported()
    {
        IniFile ini(QStringLiteral("/nonexistent-folder/zlt.ini"));
        QVERIFY_THROWS_EXCEPTION(IniFile::WriteError,
                                 ini.writeString(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
