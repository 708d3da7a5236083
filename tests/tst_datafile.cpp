// The data file's two logs, without a window.

#include "charts/datafile.h"

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

};

QTEST_MAIN(TestDataFile)
#include "tst_datafile.moc"
