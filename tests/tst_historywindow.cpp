// The charge history as a user meets it: charges through the port kept with
// the figures the logs sum up to, Stop and close ending them, the history
// window's filter, sort, label edit, CSV, a kept charge on the chart, the
// trend, cells matched into packs, a data file imported, and a damaged
// database said once.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "history/historystore.h"
#include "history/historywindow.h"
#include "history/trendchart.h"
#include "charts/chargesummary.h"
#include "charts/datafile.h"
#include "charts/engine/chart.h"
#include "serial/CPort.h"
#include "platform/localeformat.h"
#include "tests/support/chargerrig.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/windowtest.h"
#include "tests/support/testlocale.h"
#include "link/statistika.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {

HistoryEntry charge(const QString &label, char channel, QDateTime when, double capacity,
                    std::optional<double> resistance = std::nullopt)
{
    HistoryEntry e;
    e.channel = channel;
    e.label = label;
    e.started = when;
    e.ended = when.addSecs(3600);
    e.chemistry = QStringLiteral("NiMH");
    e.currentMilliamps = 1000;
    e.samples = 3600;
    e.seconds = 3600;
    e.capacity = capacity;
    e.resistance = resistance;
    e.end = ChargeEnd::Report;
    e.endReport = QStringLiteral("Конец заряда.");
    return e;
}

// A measurement line as the log prints it (the locale's time layout).
QString sampleLine(int seconds, int adc, const QString &u, const QString &t)
{
    return Fmt::chargeTime(seconds / 86400.0) + QStringLiteral("    ADC=%1    U=%2    T=%3;").arg(adc).arg(u, t);
}

void setLabel(QLineEdit *field, const QString &label)
{
    field->setText(label);
    emit field->editingFinished();
}

} // namespace

class TestHistoryWindow : public WindowTest
{
    Q_OBJECT

    QString dbPath() const { return folder.filePath(QStringLiteral("data/ostrel/history.db")); }

private slots:
    void init()
    {
        WindowTest::init();
        QFile::remove(dbPath());
        QFile::remove(dbPath() + QStringLiteral("-wal"));
        QFile::remove(dbPath() + QStringLiteral("-shm"));
    }

    // Charges through the port: each kept with its label and the figures
    // its channel's log sums up to; the labels are remembered for the next
    // start and offered for completion.
    void chargesThroughThePortAreKept()
    {
        ChargerRig<> rig({.link = {}, .intervalMs = 20, .speed = 600, .repeat = false});
        auto &[sim, w] = rig;
        w.startHistory(dbPath());
        setLabel(w.findChild<QLineEdit *>(QStringLiteral("cellLabelA")), QStringLiteral("AA-1"));
        setLabel(w.findChild<QLineEdit *>(QStringLiteral("cellLabelB")), QStringLiteral("AAA-2"));
        w.btnStart->click();
        // Both charges end (B's cell is the shorter).
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo1->lines().filter(QStringLiteral("END:")).size() == 1
                                     && w.Memo2->lines().filter(QStringLiteral("END:")).size() == 1,
                                 60000);
        w.btnStart->click();
        w.flushHistory();
        HistoryStore s;
        QVERIFY(s.open(dbPath()));
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2));
        for (const HistoryEntry &e : all) {
            const LogMemo *log = e.channel == 'A' ? w.Memo1 : w.Memo2;
            const std::vector<ChargeSummary> summary = chargeSummaries(log->lines());
            QCOMPARE(summary.size(), size_t(1));
            QCOMPARE(e.label, e.channel == 'A' ? QStringLiteral("AA-1") : QStringLiteral("AAA-2"));
            QCOMPARE(e.end, ChargeEnd::Report);
            QCOMPARE(e.endReport, QStringLiteral("Конец заряда."));
            QCOMPARE(e.chemistry, e.channel == 'A' ? QStringLiteral("NiMH") : QStringLiteral("NiCd"));
            QCOMPARE(e.currentMilliamps, summary[0].currentMilliamps);
            QCOMPARE(e.capacity, summary[0].capacity(0));
            QVERIFY(e.capacity > 0);
            QCOMPARE(e.uPeak, summary[0].peakU);
            QCOMPARE(e.tPeak, summary[0].peakT);
            QCOMPARE(e.resistance.has_value(), !summary[0].resistance.isEmpty());
            // Its lines are the log's, from its block to its end report.
            const QStringList lines = s.lines(e.id);
            const qsizetype from = log->lines().indexOf(QStringLiteral("Старт."));
            QCOMPARE(lines, log->lines().mid(from, lines.size()));
            QVERIFY(lines.last().startsWith(QStringLiteral("END:")));
        }
        // The next start offers the labels again.
        TfmMain again;
        again.startHistory(dbPath());
        QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("cellLabelA"))->text(), QStringLiteral("AA-1"));
        QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("cellLabelB"))->text(), QStringLiteral("AAA-2"));
        QCompleter *completer = again.findChild<QLineEdit *>(QStringLiteral("cellLabelA"))->completer();
        QVERIFY(completer);
        completer->setCompletionPrefix(QStringLiteral("aa"));
        QCOMPARE(completer->completionCount(), 2);
    }

    // "Стоп" ends the running charges; a Start in the middle of a charge
    // keeps what follows as a charge of its own, which the window's close
    // ends in turn.
    void stopAndCloseEndTheCharges()
    {
        ChargerRig<> rig({.link = {}, .intervalMs = 20, .speed = 1});
        auto &[sim, w] = rig;
        w.startHistory(dbPath());
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.historyRecorder().running(Channel::A) && w.historyRecorder().running(Channel::B),
                                 10000);
        w.btnStart->click(); // Стоп
        QVERIFY(!w.historyRecorder().running(Channel::A));
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.historyRecorder().running(Channel::A) && w.historyRecorder().running(Channel::B),
                                 10000);
        ScriptedDialogs::install().answers = {QMessageBox::No}; // the logs need no file
        QVERIFY(w.close());
        w.flushHistory();
        HistoryStore s;
        QVERIFY(s.open(dbPath()));
        QMap<int, int> ends;
        for (const HistoryEntry &e : s.entries())
            ++ends[int(e.end)];
        QCOMPARE(ends.value(int(ChargeEnd::Stopped)), 2);
        QCOMPARE(ends.value(int(ChargeEnd::Closed)), 2);
        QCOMPARE(ends.value(int(ChargeEnd::Running)), 0);
    }

    // The adapter pulled during a charge and the wait for it given up.
    void pulledAdapterGivenUp()
    {
        const QString link = folder.filePath(QStringLiteral("pulled"));
        ChargerRig<> rig({.link = link.toStdString(), .intervalMs = 20});
        auto &[sim, w] = rig;
        w.startHistory(dbPath());
        w.btnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.historyRecorder().running(Channel::A) && w.historyRecorder().running(Channel::B),
                                 10000);
        sim.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(w.reconnectTimer->isActive(), 10000);
        auto &dialogs = ScriptedDialogs::install();
        w.btnStart->click(); // no more waiting (and nothing there to open)
        QCOMPARE(dialogs.messages.size(), 1);
        w.flushHistory();
        HistoryStore s;
        QVERIFY(s.open(dbPath()));
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2));
        for (const HistoryEntry &e : all)
            QCOMPARE(endText(e), QStringLiteral("адаптер отключён"));
    }

    void windowFiltersSortsEditsAndExports()
    {
        {
            HistoryStore s;
            QVERIFY(s.open(dbPath()));
            const QDateTime day(QDate(2026, 3, 1), QTime(10, 0));
            HistoryEntry rows[] = {charge(QStringLiteral("AA-1"), 'A', day, 1900),
                                   charge(QStringLiteral("AA-2"), 'B', day.addDays(10), 1700),
                                   charge(QStringLiteral("AAA-1"), 'A', day.addDays(20), 800),
                                   charge(QStringLiteral("Пачка; 4"), 'B', day.addDays(30), 2100)};
            for (HistoryEntry &e : rows)
                QVERIFY(s.keep(e, processOwner()));
        }
        TfmMain w;
        w.startHistory(dbPath());
        w.findChild<QAction *>(QStringLiteral("NHistory"))->trigger();
        auto *window = w.findChild<HistoryWindow *>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("История зарядов"));
        HistoryModel *model = window->model();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->entryAt(0).label, QStringLiteral("Пачка; 4")); // the newest first

        auto *label = window->findChild<QLineEdit *>(QStringLiteral("filterLabel"));
        label->setText(QStringLiteral("aa-")); // a part of the label, any case
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("historyStatus"))->text(),
                 QStringLiteral("Показано зарядов: 3 из 4"));
        window->findChild<QComboBox *>(QStringLiteral("filterChannel"))->setCurrentIndex(2); // B
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->entryAt(0).label, QStringLiteral("AA-2"));
        label->clear();
        window->findChild<QComboBox *>(QStringLiteral("filterChannel"))->setCurrentIndex(0);
        window->findChild<QDateEdit *>(QStringLiteral("filterFrom"))->setDate(QDate(2026, 3, 5));
        window->findChild<QDateEdit *>(QStringLiteral("filterTo"))->setDate(QDate(2026, 3, 25));
        QCOMPARE(model->rowCount(), 2);
        window->findChild<QDateEdit *>(QStringLiteral("filterFrom"))->setDate(QDate(2026, 1, 1));
        window->findChild<QDateEdit *>(QStringLiteral("filterTo"))->setDate(QDate(2026, 12, 31));
        QCOMPARE(model->rowCount(), 4);

        auto *table = window->findChild<QTableView *>(QStringLiteral("historyTable"));
        table->setCurrentIndex(model->index(3, HistoryModel::LabelColumn)); // the oldest: AA-1
        QCOMPARE(model->entryAt(3).label, QStringLiteral("AA-1"));
        table->sortByColumn(HistoryModel::CapacityColumn, Qt::AscendingOrder);
        QCOMPARE(model->entryAt(table->currentIndex().row()).label, QStringLiteral("AA-1")); // still chosen
        QStringList order;
        for (int r = 0; r < model->rowCount(); ++r)
            order << model->entryAt(r).label;
        QCOMPARE(order, QStringList({QStringLiteral("AAA-1"), QStringLiteral("AA-2"), QStringLiteral("AA-1"),
                                     QStringLiteral("Пачка; 4")}));

        // A label given after the charge: kept, and offered on the logs' page.
        QVERIFY(model->setData(model->index(0, HistoryModel::LabelColumn), QStringLiteral("AAA-9")));
        w.flushHistory();
        {
            HistoryStore s;
            QVERIFY(s.open(dbPath()));
            QVERIFY(s.labels().contains(QStringLiteral("AAA-9")));
            QVERIFY(!s.labels().contains(QStringLiteral("AAA-1")));
        }
        QCompleter *completer = w.findChild<QLineEdit *>(QStringLiteral("cellLabelA"))->completer();
        completer->setCompletionPrefix(QStringLiteral("AAA-9"));
        QCOMPARE(completer->completionCount(), 1);

        // The table as CSV, a label with the separator in it quoted.
        const QString csv = folder.filePath(QStringLiteral("history.csv"));
        ScriptedDialogs::install().fileAnswers = {csv};
        window->findChild<QPushButton *>(QStringLiteral("exportButton"))->click();
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF")); // spreadsheets take it for UTF-8
        const QStringList rows = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 5);
        QVERIFY(rows[0].startsWith(QStringLiteral("Канал;Начало;Конец;Метка;")));
        QCOMPARE(rows[1].section(QLatin1Char(';'), 3, 3), QStringLiteral("AAA-9"));
        QCOMPARE(rows[1].section(QLatin1Char(';'), 7, 7), QStringLiteral("800"));
        QVERIFY(rows[4].contains(QStringLiteral(";\"Пачка; 4\";")));
        QVERIFY(rows[4].endsWith(QStringLiteral(";Конец заряда.")));
        // Where fields part at commas, the titles holding one are quoted.
        useLocale(QStringLiteral("en_US"));
        const QString header = QString::fromUtf8(historyCsv(model->shownEntries())).section(QStringLiteral("\r\n"), 0, 0);
        QCOMPARE(header.count(QLatin1Char(',')) - header.count(QStringLiteral(", ")), 14);
        QVERIFY(header.contains(QStringLiteral(",\"Ток, mA\",")));
    }

    // A kept charge beside the live curves: its voltage, dashed, with a
    // legend entry of its own.
    void keptChargeOnTheChart()
    {
        {
            HistoryStore s;
            QVERIFY(s.open(dbPath()));
            HistoryEntry e = charge(QStringLiteral("AA-5"), 'A', QDateTime(QDate(2026, 5, 1), QTime(9, 30)), 1500);
            QVERIFY(s.keep(e, processOwner()));
            QVERIFY(s.appendLines(e.id, {QStringLiteral("Старт."), sampleLine(1, 4800, QStringLiteral("1,2000"), QStringLiteral("22,5")),
                                         sampleLine(2, 4810, QStringLiteral("1,2025"), QStringLiteral("22,6")),
                                         sampleLine(63, 4820, QStringLiteral("1,2050"), QStringLiteral("22,7"))}));
        }
        TfmMain w;
        w.startHistory(dbPath());
        HistoryWindow *window = w.showHistory();
        QVERIFY(window);
        auto *table = window->findChild<QTableView *>(QStringLiteral("historyTable"));
        table->setCurrentIndex(window->model()->index(0, 0));
        window->findChild<QPushButton *>(QStringLiteral("compareButton"))->click();
        QCOMPARE(w.historyCurve.count(), 3);
        QCOMPARE(w.historyCurve.point(2).value, 1.205);
        QVERIFY(w.historyCurve.point(2).label.endsWith(QStringLiteral(":01"))); // the minute of 0:01:03
        QCOMPARE(w.historyCurve.title(), QStringLiteral("AA-5 01.05.26 09:30"));
        QVERIFY(w.historyCurve.style.showInLegend);
        QCOMPARE(w.historyCurve.style.line, Qt::DashLine);
        QCOMPARE(w.PageControl1->currentWidget(), w.TabSheet1);
        const std::vector<ChartSeries *> &list = w.Chart1->seriesList();
        QVERIFY(std::find(list.begin(), list.end(), &w.historyCurve) != list.end());
        // The chart's clear takes it away with the rest.
        w.BtnChartClear1Click();
        QVERIFY(w.historyCurve.isEmpty());
    }

    // Ten charges of one cell fading, and twelve cells into packs of four.
    void trendAndMatching()
    {
        const double capacities[12] = {1800, 1950, 2010, 1820, 1990, 1870, 2050, 1905, 1830, 2000, 1880, 1960};
        {
            HistoryStore s;
            QVERIFY(s.open(dbPath()));
            QDateTime when(QDate(2025, 1, 1), QTime(8, 0));
            for (int i = 0; i < 10; ++i) {
                HistoryEntry e = charge(QStringLiteral("AA-fade"), 'A', when.addDays(30 * i), 2000 * std::pow(0.97, i),
                                        0.030 + 0.002 * i);
                QVERIFY(s.keep(e, processOwner()));
            }
            HistoryEntry stopped = charge(QStringLiteral("AA-fade"), 'A', when.addDays(400), 300);
            stopped.end = ChargeEnd::Stopped; // not a health charge
            QVERIFY(s.keep(stopped, processOwner()));
            HistoryEntry unlabelled = charge(QString(), 'B', when, 1200);
            QVERIFY(s.keep(unlabelled, processOwner()));
            for (int i = 0; i < 12; ++i) {
                HistoryEntry e = charge(QStringLiteral("C%1").arg(i + 1, 2, 10, QLatin1Char('0')), 'B',
                                        when.addDays(i), capacities[i]);
                QVERIFY(s.keep(e, processOwner()));
            }
        }
        TfmMain w;
        w.startHistory(dbPath());
        HistoryWindow *window = w.showHistory();
        window->findChild<QComboBox *>(QStringLiteral("trendLabel"))->setCurrentText(QStringLiteral("AA-fade"));
        QVERIFY(trendOf(window->model()->entries(), QString()).empty()); // unlabelled charges are no one cell's
        const std::vector<TrendPoint> &trend = window->findChild<TrendChart *>()->points();
        QCOMPARE(trend.size(), size_t(10));
        for (size_t i = 1; i < trend.size(); ++i) {
            QVERIFY(trend[i].capacity < trend[i - 1].capacity);
            QVERIFY(*trend[i].resistance > *trend[i - 1].resistance);
        }

        auto *labels = window->findChild<QListWidget *>(QStringLiteral("matchLabels"));
        for (int i = 0; i < labels->count(); ++i)
            if (labels->item(i)->text().startsWith(QLatin1Char('C')))
                labels->item(i)->setCheckState(Qt::Checked);
        window->findChild<QSpinBox *>(QStringLiteral("packSize"))->setValue(4);
        window->findChild<QPushButton *>(QStringLiteral("matchButton"))->click();
        // By hand: sorted, the cells fall in fours.
        const QStringList groups = window->matchText().split(QLatin1Char('\n'));
        QCOMPARE(groups.size(), 3);
        QVERIFY2(groups[0].startsWith(QStringLiteral("Сборка 1: C01, C04, C09, C06 - разброс 3,8 % (1800...1870 mAh)")),
                 qPrintable(groups[0]));
        QVERIFY2(groups[1].startsWith(QStringLiteral("Сборка 2: C11, C08, C02, C12 - разброс 4,2 % (1880...1960 mAh)")),
                 qPrintable(groups[1]));
        QVERIFY2(groups[2].startsWith(QStringLiteral("Сборка 3: C05, C10, C03, C07 - разброс 3,0 % (1990...2050 mAh)")),
                 qPrintable(groups[2]));
    }

    // A data file's charges, one per start block, with the label asked for.
    void dataFileImported()
    {
        const QStringList a = {QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                               sampleLine(1, 4800, QStringLiteral("1,2000"), QStringLiteral("22,5")),
                               sampleLine(1801, 5800, QStringLiteral("1,4500"), QStringLiteral("30,5")),
                               QStringLiteral("END:  Конец заряда."), QString(), QStringLiteral("Старт."),
                               QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                               sampleLine(1, 4800, QStringLiteral("1,2000"), QStringLiteral("22,5")),
                               sampleLine(601, 5000, QStringLiteral("1,2500"), QStringLiteral("23,5"))};
        const QStringList b = {QStringLiteral("Старт."), QStringLiteral("NiСd аккумулятор. Ток = 500 mA."),
                               QStringLiteral("Останов только по времени и ошибкам."),
                               sampleLine(1, 4800, QStringLiteral("1,2000"), QStringLiteral("22,5")),
                               sampleLine(3601, 5800, QStringLiteral("1,4500"), QStringLiteral("30,5")),
                               QStringLiteral("END:  Ошибка 1. Превышено максимальное время заряда.")};
        const QString path = folder.filePath(QStringLiteral("old.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(joinLogs(a, b));
        file.close();

        TfmMain w;
        w.startHistory(dbPath());
        HistoryWindow *window = w.showHistory();
        ScriptedDialogs &dialogs = ScriptedDialogs::install();
        dialogs.fileAnswers = {path};
        dialogs.textAnswers = {QStringLiteral("Старые"), QStringLiteral("Старые B")};
        window->findChild<QPushButton *>(QStringLiteral("importButton"))->click();
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Добавлено зарядов: 3")});
        std::vector<HistoryEntry> all = window->model()->entries();
        QCOMPARE(all.size(), size_t(3));
        std::sort(all.begin(), all.end(), [](const HistoryEntry &x, const HistoryEntry &y) { return x.id < y.id; });
        QCOMPARE(all[0].samples, 2);
        QCOMPARE(all[0].currentMilliamps, 1000);
        QCOMPARE(all[0].capacity, 500.0);  // 1000 mA for half an hour
        QCOMPARE(all[0].end, ChargeEnd::Report);
        QCOMPARE(all[1].capacity, 1000.0 / 6);
        QCOMPARE(all[1].end, ChargeEnd::Imported);
        QCOMPARE(all[2].channel, 'B');
        QCOMPARE(all[2].chemistry, QStringLiteral("NiCd"));
        QVERIFY(all[2].timeOnly);
        QCOMPARE(all[2].endReport, QStringLiteral("Ошибка 1. Превышено максимальное время заряда."));
        for (const HistoryEntry &e : all) {
            QCOMPARE(e.label, e.channel == 'A' ? QStringLiteral("Старые") : QStringLiteral("Старые B"));
            QCOMPARE(e.source, QStringLiteral("old.txt"));
        }
        HistoryStore s;
        QVERIFY(s.open(dbPath()));
        QCOMPARE(s.lines(all[0].id), a.mid(0, 5));
        QCOMPARE(s.lines(all[1].id), a.mid(6));
    }

    // The program killed mid-charge: its charges are in the history, and
    // the next start marks them cut short.
    void killedMidChargeIsCutShort()
    {
        const QString link = folder.filePath(QStringLiteral("charger"));
        chargesim::Simulator sim({.link = link.toStdString(), .intervalMs = 20});
        sim.start();
        // The program with a settings file of its own beside it.
        const QString prog = folder.filePath(QStringLiteral("prog"));
        QDir().mkpath(prog);
        QFile::remove(prog + QStringLiteral("/ostrel"));
        QVERIFY(QFile::copy(QStringLiteral(OSTREL_CATALOG_FOLDER "/ostrel"), prog + QStringLiteral("/ostrel")));
        QFile ini(prog + QStringLiteral("/zlt.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[ComPort1]\r\nPort=" + link.toUtf8() + "\r\n");
        ini.close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(prog + QStringLiteral("/ostrel"), {QStringLiteral("--start")});
        QVERIFY(program.waitForStarted());
        // Until both channels' charges are in the database with samples.
        auto kept = [&] {
            HistoryStore s;
            if (!QFile::exists(dbPath()) || !s.open(dbPath()))
                return false;
            const std::vector<HistoryEntry> all = s.entries();
            return all.size() == 2 && all[0].samples > 5 && all[1].samples > 5;
        };
        QTRY_VERIFY_WITH_TIMEOUT(kept(), 60000);
        program.kill(); // SIGKILL: no close, no word
        QVERIFY(program.waitForFinished());
        sim.stop();

        TfmMain w;
        w.startHistory(dbPath());
        w.flushHistory();
        HistoryStore s;
        QVERIFY(s.open(dbPath()));
        const std::vector<HistoryEntry> all = s.entries();
        QCOMPARE(all.size(), size_t(2));
        for (const HistoryEntry &e : all) {
            QCOMPARE(e.end, ChargeEnd::CutShort);
            QCOMPARE(endText(e), QStringLiteral("прерван"));
            QVERIFY(e.ended.isValid());
            QVERIFY(s.lines(e.id).size() > 5);
            QCOMPARE(s.lines(e.id).first(), QStringLiteral("Старт."));
        }
    }

    // A broken line at the line rate: once the noise is told, its random
    // "charges" are no longer kept.
    void noiseKeepsNoCharges()
    {
        ChargerRig<> rig({.link = {}, .fault = chargesim::Fault::Noise, .rate = 3840, .writeMs = 16});
        auto &[sim, w] = rig;
        w.startHistory(dbPath());
        w.btnStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.statusPanelText(1), noiseSuspectedText(), 30000);
        auto kept = [&] {
            w.flushHistory();
            HistoryStore s;
            return s.open(dbPath()) ? s.entries().size() : size_t(0);
        };
        const size_t before = kept();
        // Two more seconds of the line.
        const int received = w.receiver.RecvTotal;
        QTRY_VERIFY_WITH_TIMEOUT(w.receiver.RecvTotal > received + 2 * 3840, 30000);
        QCOMPARE(kept(), before);
        w.btnStart->click();
    }

    // A history whose table cannot be read says so instead of looking empty.
    void unreadableHistorySaysSo()
    {
        {
            HistoryStore s;
            QVERIFY(s.open(dbPath()));
            HistoryEntry e = charge(QStringLiteral("AA-1"), 'A', QDateTime::currentDateTime(), 1900);
            QVERIFY(s.keep(e, processOwner()));
            QVERIFY(s.execute("ALTER TABLE charge RENAME COLUMN seconds TO gone"));
        }
        TfmMain w;
        w.startHistory(dbPath());
        HistoryWindow *window = w.showHistory();
        QVERIFY(window);
        QCOMPARE(window->model()->rowCount(), 0);
        const QString status = window->findChild<QLabel *>(QStringLiteral("historyStatus"))->text();
        QVERIFY2(status.startsWith(QStringLiteral("Не удалось прочитать историю: чтение: ")), qPrintable(status));
    }

    void damagedDatabaseIsSaidOnce()
    {
        QDir().mkpath(QFileInfo(dbPath()).absolutePath());
        QFile file(dbPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("no database here ").repeated(100));
        file.close();
        TfmMain w;
        w.startHistory(dbPath());
        QList<QMessageBox *> boxes = w.findChildren<QMessageBox *>(QStringLiteral("historyMessage"));
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0]->isVisible());
        QVERIFY(!boxes[0]->isModal());
        QVERIFY(boxes[0]->text().contains(QStringLiteral("был повреждён; он отложен как ")));
        QVERIFY(QFile::exists(dbPath()));
        // And the history goes on in the new one.
        QVERIFY(w.showHistory());
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
