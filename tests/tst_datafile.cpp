// The data file's two logs, without a window.

#include "charts/datafile.h"
#include "platform/codepage.h"

#include <QtTest>

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void openingRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("a");
        QTest::addColumn<QStringList>("b");
        QTest::newRow("no marker") << QByteArray("x\r\ny\r\n") << QStringList{"x", "y"} << QStringList{};
        QTest::newRow("marker on line 0") << QByteArray("/* B */\r\nx\r\n") << QStringList{"/* B */", "x"} << QStringList{};
        QTest::newRow("two markers") << QByteArray("a\r\n/* B */\r\nb\r\n/* B */\r\nc\r\n")
                                     << QStringList{"a", "/* B */", "b"} << QStringList{"b", "/* B */", "c"};
        QTest::newRow("mixed line ends") << QByteArray("a\rb\nc\r\r\nd\n\n/* B */\r\n\r\n")
                                         << QStringList{"a", "b", "c", "", "d", ""} << QStringList{""};
        QTest::newRow("no end at the end") << QByteArray("a\r\n/* B */\r\nb") << QStringList{"a"} << QStringList{"b"};
        QTest::newRow("edited as UTF-8") << QString::fromUtf8("Старт.\n/* B */\nКонец\n").toUtf8()
                                         << QStringList{QStringLiteral("Старт.")} << QStringList{QStringLiteral("Конец")};
    }
    void openingRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, a);
        QFETCH(QStringList, b);
        const DataFileLogs logs = splitLogs(decodeDataFile(file));
        QCOMPARE(logs.a, a);
        QCOMPARE(logs.b, b);
        // Saved again, the logs give the same file (in code page 1251).
        if (a.size() == 1 && b.size() == 1)
            QCOMPARE(splitLogs(decodeDataFile(joinLogs(a, b))).b, b);
    }

    // The code page's letters, its odd ones, and the byte it leaves out.
    void codePage1251()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QString text = decodeDataFile(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text.left(128), QString::fromLatin1(all.left(128)));
        QCOMPARE(text.mid(0xC0, 4), QStringLiteral("АБВГ"));
        QCOMPARE(text.mid(0xFC, 4), QStringLiteral("ьэюя"));
        QCOMPARE(text[0xA8], QChar(u'Ё'));
        QCOMPARE(text[0xB8], QChar(u'ё'));
        QCOMPARE(text[0xB9], QChar(u'№'));
        QCOMPARE(text[0x88], QChar(u'€'));
        QCOMPARE(text[0x98], QChar(u'?'));
        QCOMPARE(toCp1251(text.left(0x98) + text.mid(0x99)), all.left(0x98) + all.mid(0x99));
    }
};

QTEST_MAIN(TestDataFile)
#include "tst_datafile.moc"
