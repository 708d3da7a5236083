// Exports other programs open: each picture holds the chart as drawn, the
// CSV holds every measurement of both logs, and the window picks the kind
// by the name the save dialog gave.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "charts/chartlines.h"
#include "charts/engine/chart.h"
#include "charts/columns.h"
#include "charts/exports.h"
#include "link/statistika.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QRegularExpression>
#include <QtTest>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void feed(TfmMain &w, int channel, int adc, int temp)
{
    const quint8 bytes[] = {quint8(channel == 0 ? 1 : 2), quint8(adc >> 8), quint8(adc), quint8(temp >> 8),
                            quint8(temp)};
    w.receiver.receiveChunk(bytes, 5);
}

} // namespace

class TestExports : public WindowTest
{
    Q_OBJECT

private slots:

    // Each kind of file, through the window's export.
    void chartPictures()
    {
        TfmMain w;
        w.resize(900, 650);
        w.show();
        w.PageControl1->setCurrentWidget(w.TabSheet1);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int i = 0; i < 40; ++i) {
            feed(w, 0, 520 + i, 250 + i / 4);
            feed(w, 1, 560 - i / 2, 300);
        }
        const QColor au = w.series(SeriesId::AU).style.colour;
        auto &dialogs = ScriptedDialogs::install();
        const QDir dir(folder.path());
        for (const char *name : {"c.png", "c.svg", "c.pdf", "c"})
            dialogs.fileAnswers << dir.filePath(QLatin1String(name));
        for (int i = 0; i < 4; ++i)
            w.NExportClick();
        QVERIFY(dialogs.messages.isEmpty());

        const QImage png(dir.filePath(QStringLiteral("c.png")));
        QCOMPARE(png.size(), w.Chart1->size() * 2);
        int curve = 0;
        for (int y = 0; y < png.height(); ++y)
            for (int x = 0; x < png.width(); ++x)
                curve += png.pixelColor(x, y) == au;
        QVERIFY2(curve > 100, qPrintable(QString::number(curve)));

        QXmlStreamReader svg(readFile(dir.filePath(QStringLiteral("c.svg"))));
        QStringList texts;
        while (!svg.atEnd())
            if (svg.readNext() == QXmlStreamReader::Characters)
                texts << svg.text().toString().trimmed();
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
        // The legend, whose Latin "A" may come as a text run of its own.
        const QString legend = texts.join(QLatin1Char(' '));
        for (const QString title : {"Канал A", "Темп. А", "Канал В", "Темп. В"})
            QVERIFY2(legend.contains(title) || legend.contains(QString(title).replace(QLatin1Char('A'), QStringLiteral(" A"))),
                     qPrintable(title));

        const QByteArray pdf = readFile(dir.filePath(QStringLiteral("c.pdf")));
        QVERIFY(pdf.startsWith("%PDF-"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 1);
        // A page the chart's size at 96 pixels an inch (so its texts are
        // the size they are on the screen), and a title.
        const auto box = QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"))
                             .match(QString::fromLatin1(pdf));
        QVERIFY(box.hasMatch());
        QCOMPARE(qRound(box.captured(1).toDouble() * 96 / 72), w.Chart1->width());
        QCOMPARE(qRound(box.captured(2).toDouble() * 96 / 72), w.Chart1->height());
        QVERIFY(pdf.contains(QByteArray("\0O\0s\0t\0r\0e\0l", 12)));

        // A name without an extension is the metafile it always was.
        const QByteArray wmf = readFile(dir.filePath(QStringLiteral("c.emf")));
        QVERIFY(wmf.startsWith("\xD7\xCD\xC6\x9A"));
        // The legend was for the pictures only.
        QVERIFY(!w.series(SeriesId::AU).style.showInLegend);
    }

    // Every measurement of both logs, once, in time order, in the locale.
    void csvTable_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("ru") << QStringLiteral("ru_RU") << QStringLiteral(";");
        QTest::newRow("en") << QStringLiteral("en_US") << QStringLiteral(",");
    }
    void csvTable()
    {
        QFETCH(QString, locale);
        QFETCH(QString, separator);
        useLocale(locale);
        auto line = [](int seconds, double u, double t) {
            return Fmt::chargeTime(seconds / 86400.0) + QStringLiteral("    ADC=1    U=") + Fmt::fixed(u, 4)
                   + QStringLiteral("    T=") + Fmt::fixed(t, 1) + QLatin1Char(';');
        };
        const QStringList a{QStringLiteral("Старт."), line(0, 1.25, 22.5), line(2, 1.2625, 22.5),
                            line(2, 1.27, 22.6), QStringLiteral("END:  Конец заряда.")};
        const QStringList b{QStringLiteral("Старт."), line(1, 1.3, 30.0), line(2, 1.31, 30.1), line(5, 1.32, -1.5)};
        const QByteArray csv = csvOfLogs(a, b);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QStringList rows = QString::fromUtf8(csv.mid(3)).split(QStringLiteral("\r\n"));
        const QString s = separator;
        QCOMPARE(rows, QStringList({QStringLiteral("Время%1U A, В%1T A, °C%1U B, В%1T B, °C").arg(s),
                                    line(0, 0, 0).section(QLatin1Char(' '), 0, 0) + s + Fmt::fixed(1.25, 4) + s
                                        + Fmt::fixed(22.5, 1) + s + s,
                                    Fmt::chargeTime(1 / 86400.0) + s + s + s + Fmt::fixed(1.3, 4) + s
                                        + Fmt::fixed(30.0, 1),
                                    Fmt::chargeTime(2 / 86400.0) + s + Fmt::fixed(1.2625, 4) + s
                                        + Fmt::fixed(22.5, 1) + s + Fmt::fixed(1.31, 4) + s + Fmt::fixed(30.1, 1),
                                    Fmt::chargeTime(2 / 86400.0) + s + Fmt::fixed(1.27, 4) + s
                                        + Fmt::fixed(22.6, 1) + s + s,
                                    Fmt::chargeTime(5 / 86400.0) + s + s + s + Fmt::fixed(1.32, 4) + s
                                        + Fmt::fixed(-1.5, 1),
                                    QString()}));
        QCOMPARE(csvOfLogs({}, {}), QByteArray("\xEF\xBB\xBF") + rows[0].toUtf8() + "\r\n");
    }
};

QTEST_MAIN(TestExports)
#include "tst_exports.moc"
