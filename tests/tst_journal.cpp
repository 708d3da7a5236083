// The journal keeps an unsaved charge through a crash: its records replay
// into the same logs and curves, torn records cost only themselves, the
// file is retired only when nothing unsaved is left, and a program killed in
// the middle of a charge gets every line back but those of its last moment.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "charts/chartlines.h"
#include "charts/datafile.h"
#include "charts/engine/chart.h"
#include "charts/journal.h"
#include "link/statistika.h"
#include "platform/journalfile.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "serial/CPort.h"
#include "tests/support/faultywrites.h"
#include "tests/support/pty.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"
#include "tools/chargesim/chargesim.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cerrno>
#include <cstdio>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList journalsIn(const QString &folder, const QString &pattern = QStringLiteral("*.ojl"))
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

// A measurement packet of a channel, as the charger sends it.
QByteArray packet(int channel, int adc, int temp)
{
    const char code = channel == 0 ? 0x01 : 0x02;
    const char bytes[] = {code, char(adc >> 8), char(adc), char(temp >> 8), char(temp)};
    return QByteArray(bytes, sizeof bytes);
}

void feed(TfmMain &w, const QByteArray &bytes)
{
    w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
}

void compareCurves(TfmMain &restored, const std::array<std::vector<ChartPoint>, 4> &expected)
{
    for (int i = 0; i < 4; ++i) {
        const ChartSeries &s = restored.series(SeriesId(i));
        QCOMPARE(size_t(s.count()), expected[size_t(i)].size());
        for (int k = 0; k < s.count(); ++k) {
            QCOMPARE(s.point(k).value, expected[size_t(i)][size_t(k)].value);
            QCOMPARE(s.point(k).label, expected[size_t(i)][size_t(k)].label);
            QCOMPARE(s.point(k).colour, expected[size_t(i)][size_t(k)].colour);
        }
    }
}

std::array<std::vector<ChartPoint>, 4> curvesOf(TfmMain &w)
{
    std::array<std::vector<ChartPoint>, 4> out;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < w.series(SeriesId(i)).count(); ++k)
            out[size_t(i)].push_back(w.series(SeriesId(i)).point(k));
    return out;
}

// The child of the kill test: a charge on the given port with a journal in
// the given folder, printing every log line as it shows up.
int runCharge(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setProgramFolder(QString::fromLocal8Bit(argv[3]));
    TfmMain w;
    w.ComPort1->setPort(QString::fromLocal8Bit(argv[4]));
    w.startJournal(QString::fromLocal8Bit(argv[2]));
    w.btnStart->click();
    int shown[2] = {0, 0};
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (int ch = 0; ch < 2; ++ch) {
            const QStringList lines = (ch == 0 ? w.Memo1 : w.Memo2)->lines();
            for (; shown[ch] < lines.size(); ++shown[ch])
                std::printf("%c%s\n", ch == 0 ? 'A' : 'B', lines[shown[ch]].toUtf8().constData());
        }
        std::fflush(stdout);
    });
    look.start(20);
    return app.exec();
}

// The child of the hand-edit test: lines come, the user clears channel A's
// log from its menu, types a line into B's and pastes another; once the
// journal has it, both logs are printed whole and "READY" follows.
int runEdits(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setProgramFolder(QString::fromLocal8Bit(argv[3]));
    TfmMain w;
    w.show();
    w.startJournal(QString::fromLocal8Bit(argv[2]));
    for (int i = 0; i < 30; ++i) {
        w.addLogLine(Channel::A, QStringLiteral("00:00:%1    ADC=520    U=1,3000    T=25,0;").arg(i, 2, 10, QLatin1Char('0')));
        w.addLogLine(Channel::B, QStringLiteral("00:00:%1    ADC=480    U=1,2000    T=24,0;").arg(i, 2, 10, QLatin1Char('0')));
    }
    w.findChild<QAction *>(QStringLiteral("Clear1"))->trigger();
    w.Memo2->flush(); // on the screen, as the user sees them
    w.Memo2->setFocus();
    w.Memo2->moveCursor(QTextCursor::End);
    QTest::keyClick(w.Memo2, Qt::Key_Return);
    QTest::keyClicks(w.Memo2, QStringLiteral("note: cell 3 warm"));
    QApplication::clipboard()->setText(QStringLiteral("\nвставка"));
    w.Memo2->paste();
    w.addLogLine(Channel::B, QStringLiteral("00:00:30    ADC=481    U=1,2025    T=24,0;"));
    // Once the pause in typing has put the edits into the journal, and the
    // journal is on the disk, a line comes after them; then all is shown.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &w, [&] {
        if (w.handEditTimer->isActive())
            return;
        look.stop();
        w.addLogLine(Channel::B, QStringLiteral("00:00:31    ADC=482    U=1,2050    T=24,0;"));
        w.journalFile()->flush();
        for (const QString &l : w.Memo1->lines())
            std::printf("A%s\n", l.toUtf8().constData());
        for (const QString &l : w.Memo2->lines())
            std::printf("B%s\n", l.toUtf8().constData());
        std::printf("READY\n");
        std::fflush(stdout);
    });
    look.start(50);
    return app.exec();
}

} // namespace

class TestJournal : public WindowTest
{
    Q_OBJECT

private slots:

    // Every kind of record comes back, texts exactly, and what a save
    // covered no longer counts as unsaved.
    void recordsReplay()
    {
        const QString odd = QStringLiteral("12:00:01  tab\there \\ back\\nslash\r\nline Ц;");
        CurveSetup setup;
        setup.shown = {true, false, true, true};
        setup.colour = {0xff00ff00, 0xff0000ff, 0xffff0000, 0xff123456};
        QByteArray j = JournalRecord::header(QDateTime(QDate(2026, 12, 6), QTime(21, 15, 26, 5)), QLatin1Char(','));
        j += JournalRecord::line('A', odd);
        j += JournalRecord::line('B', QStringLiteral("00:00:01    ADC=520    U=1,3000    T=25,0;"));
        j += JournalRecord::point(0, {1.0 / 3, QStringLiteral("0:00"), 0xff00ff00});
        j += JournalRecord::point(3, {-0.1, odd, 0xff123456});
        j += JournalRecord::chargeStart(0.25, 0.5, QStringLiteral("6:00:00"));
        j += JournalRecord::linkLog(QStringLiteral("  \r\n10-00 Nbytes (1) 01 "));
        j += JournalRecord::saved(QStringLiteral("/tmp/x.txt"));
        j += JournalRecord::line('A', QStringLiteral("00:00:02    ADC=521    U=1,3025    T=25,1;"));
        j += JournalRecord::linkLog(QStringLiteral("more"));

        JournalContent c = replayJournal(j);
        QCOMPARE(c.started, QDateTime(QDate(2026, 12, 6), QTime(21, 15, 26, 5)));
        QCOMPARE(c.a, QStringList({odd, QStringLiteral("00:00:02    ADC=521    U=1,3025    T=25,1;")}));
        QCOMPARE(c.b.size(), 1);
        QCOMPARE(c.curves[0].size(), size_t(1));
        QCOMPARE(c.curves[0][0].value, 1.0 / 3);
        QCOMPARE(c.curves[3][0].label, odd);
        QCOMPARE(c.curves[3][0].colour, QRgb(0xff123456));
        QVERIFY(c.hasChargeStart);
        QCOMPARE(c.startTime, 0.25);
        QCOMPARE(c.startShown, QStringLiteral("6:00:00"));
        QCOMPARE(c.linkLog, QStringLiteral("  \r\n10-00 Nbytes (1) 01 more"));
        QCOMPARE(c.unsavedLines, 1);
        QCOMPARE(c.damaged, 0);
        QCOMPARE(c.wholeBytes, j.size());
        QCOMPARE(j.count('\n'), 10);

        // A cleared chart, then a rebuild from the logs, read with the
        // decimal point the journal was written with whatever the locale now.
        useLocale(QStringLiteral("en_US"));
        j += JournalRecord::chartCleared();
        c = replayJournal(j);
        QVERIFY(c.curves[0].empty() && c.curves[3].empty());
        j += JournalRecord::chartRebuilt(setup);
        c = replayJournal(j);
        QCOMPARE(c.curves[0].size(), size_t(1)); // the odd line is no measurement
        QCOMPARE(c.curves[0][0].value, 1.3025);
        QCOMPARE(c.curves[0][0].label, QStringLiteral("00:00"));
        QCOMPARE(c.curves[0][0].colour, QRgb(0xff00ff00));
        QVERIFY(c.curves[1].empty()); // not shown when rebuilt
        QCOMPARE(c.curves[2][0].value, 1.3);
        QCOMPARE(c.curves[3][0].value, 25.0);
    }

    // A log changed by hand comes back whole as it was changed: lines after
    // it are added to it, a cleared log is no line and one empty line is
    // one; what was changed counts as unsaved until a save.
    void handEditsReplay()
    {
        {
            // An edit replaces what its channel held: unsaved are its lines.
            QByteArray j = JournalRecord::line('A', QStringLiteral("a1"));
            j += JournalRecord::logEdited('A', {QStringLiteral("x"), QStringLiteral("y")});
            QCOMPARE(replayJournal(j).unsavedLines, 2);
            // A record whose count does not match its text is damaged.
            QByteArray bad = JournalRecord::logEdited('A', {QStringLiteral("x"), QStringLiteral("y")});
            bad.replace("\t2\t", "\t3\t");
            bad = bad.mid(9, bad.size() - 10);
            const QByteArray body = bad;
            quint32 h = 2166136261u;
            for (char c : body)
                h = (h ^ quint8(c)) * 16777619u;
            const QByteArray rehashed = QByteArray::number(h, 16).rightJustified(8, '0') + ' ' + body + '\n';
            const JournalContent c = replayJournal(j + rehashed);
            QCOMPARE(c.damaged, 1);
            QCOMPARE(c.a, (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
        }
        QByteArray j = JournalRecord::header(QDateTime(QDate(2026, 12, 7), QTime(9, 0)), QLatin1Char(','));
        j += JournalRecord::line('A', QStringLiteral("a1"));
        j += JournalRecord::line('B', QStringLiteral("b1"));
        j += JournalRecord::saved(QStringLiteral("/tmp/x.txt"));
        j += JournalRecord::logEdited('A', {});
        j += JournalRecord::logEdited('B', {QStringLiteral("b1"), QStringLiteral("заметка\tс табом")});
        j += JournalRecord::line('B', QStringLiteral("b2"));
        JournalContent c = replayJournal(j);
        QCOMPARE(c.a, QStringList());
        QCOMPARE(c.b, (QStringList{QStringLiteral("b1"), QStringLiteral("заметка\tс табом"), QStringLiteral("b2")}));
        QCOMPARE(c.unsavedLines, 3);
        QCOMPARE(c.damaged, 0);
        j += JournalRecord::logEdited('A', {QString()});
        c = replayJournal(j);
        QCOMPARE(c.a, QStringList{QString()});
        j += JournalRecord::saved(QStringLiteral("/tmp/x.txt"));
        QCOMPARE(replayJournal(j).unsavedLines, 0);
    }

    // A record torn at any byte, or scribbled on, costs that record alone.
    void damagedRecords()
    {
        QByteArray whole = JournalRecord::header(QDateTime::currentDateTime(), QLatin1Char(','));
        for (int i = 0; i < 5; ++i)
            whole += JournalRecord::line('A', QStringLiteral("line %1").arg(i));
        const QByteArray last = JournalRecord::line('B', QStringLiteral("последняя"));
        for (int cut = 1; cut < last.size(); ++cut) {
            const JournalContent c = replayJournal(whole + last.left(cut));
            QCOMPARE(c.a.size(), 5);
            QVERIFY(c.b.isEmpty());
            QCOMPARE(c.damaged, 1);
            QCOMPARE(c.wholeBytes, whole.size());
        }
        // One changed byte in the third line, and zeros a power cut left.
        QByteArray scribbled = whole + last;
        const qsizetype third = scribbled.indexOf("line 2");
        scribbled[third + 5] = '7';
        scribbled += QByteArray(300, '\0');
        const JournalContent c = replayJournal(scribbled);
        QCOMPARE(c.a, QStringList({QStringLiteral("line 0"), QStringLiteral("line 1"), QStringLiteral("line 3"),
                                   QStringLiteral("line 4")}));
        QCOMPARE(c.b, QStringList({QStringLiteral("последняя")}));
        QCOMPARE(c.damaged, 2);
    }

    // Two programs each hold their own journal; a journal is left over only
    // once its program is gone, and it is set aside or adopted whole.
    void filesAndLocks()
    {
        QTemporaryDir state;
        JournalFile one, two;
        QVERIFY(one.create(state.path()));
        QVERIFY(two.create(state.path()));
        QVERIFY(one.path() != two.path());
        one.append("first\n");
        one.append("second\n");
        one.flush();
        QCOMPARE(readFile(one.path()), QByteArray("first\nsecond\n"));
        one.restart("again\n");
        one.flush();
        QCOMPARE(readFile(one.path()), QByteArray("again\n"));
        QVERIFY(JournalFile::leftovers(state.path()).empty());

        one.append("torn");
        one.close();
        std::vector<LeftoverJournal> left = JournalFile::leftovers(state.path());
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(left[0].bytes(), QByteArray("again\ntorn"));
        // Held by this look, it is nobody else's.
        QVERIFY(JournalFile::leftovers(state.path()).empty());
        JournalFile adopted;
        QVERIFY(adopted.adopt(std::move(left[0]), 6));
        adopted.append("on\n");
        adopted.flush();
        QCOMPARE(readFile(adopted.path()), QByteArray("again\non\n"));
        adopted.close();

        left = JournalFile::leftovers(state.path());
        QCOMPARE(left.size(), size_t(1));
        const QString aside = left[0].setAside(QStringLiteral("2026-12-06_21-15-26"));
        QVERIFY(aside.endsWith(QStringLiteral("/unsaved-2026-12-06_21-15-26.ojl")));
        QCOMPARE(readFile(aside), QByteArray("again\non\n"));
        two.discard();
        QCOMPARE(journalsIn(state.path()), QStringList({QStringLiteral("unsaved-2026-12-06_21-15-26.ojl")}));
        QVERIFY(JournalFile::leftovers(state.path()).empty());

        // A folder that cannot be made.
        QFile file(QDir(state.path()).filePath(QStringLiteral("plain")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        JournalFile none;
        QVERIFY(!none.create(file.fileName() + QStringLiteral("/ostrel")));
        QVERIFY(none.error().contains(file.fileName()));
    }

    // What one delivery brings (both lines, their points, the link log and a
    // new charge start) goes to the disk in one write, with no look of the
    // journal's own.
    void aDeliveryIsOneWrite()
    {
        QTemporaryDir state;
        Pty line;
        TfmMain w;
        w.receiver.LogEnabled = true;
        w.startJournal(state.path());
        w.ComPort1->setPort(line.slavePath());
        w.journalTimerTimer();
        w.journalFile()->flush();
        const quint64 before = w.journalFile()->writes();
        w.btnStart->click();
        line.write(packet(0, 520, 250) + packet(1, 600, 300));
        QTRY_COMPARE(w.journalFile()->writes(), before + 1);
        w.journalFile()->flush();
        QCOMPARE(w.journalFile()->writes(), before + 1);
        const JournalContent c = replayJournal(readFile(w.journalFile()->path()));
        QCOMPARE(c.a, w.Memo1->lines());
        QCOMPARE(c.b, w.Memo2->lines());
        QCOMPARE(c.a.size(), 1);
        QCOMPARE(c.b.size(), 1);
        QCOMPARE(c.curves[0].size(), size_t(1));
        QVERIFY(c.linkLog.contains(QStringLiteral(" Nbytes (10) ")));
        QVERIFY(c.hasChargeStart);
        QCOMPARE(c.startShown, w.Label25->text());
        w.btnStart->click();
    }

    // Lines and points as the link made them, a cleared and rebuilt chart,
    // the link log and the charge start: after a crash, all come back.
    void restoredAsTheyWere()
    {
        QTemporaryDir state;
        QStringList a, b;
        std::array<std::vector<ChartPoint>, 4> curves;
        QString linkLog;
        double started = 0;
        {
            TfmMain w;
            w.receiver.LogEnabled = true;
            w.startJournal(state.path());
            w.receiver.clock.StartTime = 0.5;
            w.Label25->setText(QStringLiteral("12:00:00"));
            for (int i = 0; i < 30; ++i) {
                feed(w, packet(0, 520 + i, 250 + i) + packet(1, 600 - i, 300));
                if (i == 10)
                    w.BtnChartClear1Click();
                if (i == 20) {
                    w.BtnViewAT->setChecked(false);
                    w.BtnUndoZoomAClick();
                    w.BtnViewAT->setChecked(true);
                }
            }
            w.journalTimerTimer();
            a = w.Memo1->lines();
            b = w.Memo2->lines();
            curves = curvesOf(w);
            linkLog = w.receiver.LogText;
            started = w.receiver.clock.StartTime;
            w.journalTimerTimer();
            w.journalFile()->flush();
            QVERIFY(w.series(SeriesId::AT).count() < w.series(SeriesId::AU).count());
        } // gone without a word, as in a crash
        auto &dialogs = ScriptedDialogs::install();
        dialogs.answers = {QMessageBox::Yes};
        TfmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Memo1->setFixedWidth(120); // narrower than a line
        w.startJournal(state.path());
        QCoreApplication::processEvents();
        // The last line shows, from its start.
        QCOMPARE(w.Memo1->horizontalScrollBar()->value(), 0);
        QCOMPARE(w.Memo1->cursorLine(), 29);
        QCOMPARE(w.Memo1->verticalScrollBar()->value(), w.Memo1->verticalScrollBar()->maximum());
        QCOMPARE(dialogs.questions.size(), 1);
        QVERIFY(dialogs.questions[0].startsWith(QStringLiteral("Восстановить несохранённую статистику?\n\n")));
        QVERIFY(dialogs.questions[0].contains(QStringLiteral("Канал A - строк: 30, канал B - строк: 30")));
        QCOMPARE(w.Memo1->lines(), a);
        QCOMPARE(w.Memo2->lines(), b);
        QVERIFY(w.Memo1->isModified());
        compareCurves(w, curves);
        QCOMPARE(w.receiver.LogText, linkLog);
        QCOMPARE(w.receiver.clock.StartTime, started);
        QCOMPARE(w.Label25->text(), QStringLiteral("12:00:00"));
        // The restored journal is this run's own now, and goes on.
        QCOMPARE(journalsIn(state.path()).size(), 1);
        QVERIFY(JournalFile::leftovers(state.path()).empty());
        // The charge restored goes on with its clock at the next Start.
        auto &quiet = ScriptedDialogs::install();
        w.ComPort1->setPort(QStringLiteral("/nonexistent/ttyX"));
        w.btnStart->click();
        QCOMPARE(quiet.messages.size(), 1);
        QCOMPARE(w.receiver.clock.StartTime, started);
        QCOMPARE(w.Label25->text(), QStringLiteral("12:00:00"));
    }

    // When the journal is retired, and what the next start then finds.
    void retireRules()
    {
        QTemporaryDir state, files;
        const QString data = QDir(files.path()).filePath(QStringLiteral("charge.txt"));
        auto addLines = [](TfmMain &w, int n) {
            for (int i = 0; i < n; ++i)
                w.addLogLine(i % 2 ? Channel::B : Channel::A, QStringLiteral("00:00:%1    ADC=520    U=1,3000    T=25,0;").arg(i, 2, 10, QLatin1Char('0')));
        };
        auto nextStartAsks = [&](QMessageBox::StandardButton answer) {
            auto &dialogs = ScriptedDialogs::install();
            dialogs.answers = {answer};
            auto w = std::make_unique<TfmMain>();
            w->startJournal(state.path());
            return std::make_pair(dialogs.questions.size(), std::move(w));
        };

        // Saved: nothing to offer, and the old file is gone.
        {
            TfmMain w;
            w.startJournal(state.path());
            addLines(w, 4);
            auto &dialogs = ScriptedDialogs::install();
            dialogs.fileAnswers = {data};
            w.NSaveAllClick();
            QVERIFY(QFile::exists(data));
        }
        QCOMPARE(nextStartAsks(QMessageBox::Yes).first, 0);

        // Lines after the save are offered, on top of the saved ones.
        {
            TfmMain w;
            w.startJournal(state.path());
            addLines(w, 4);
            auto &dialogs = ScriptedDialogs::install();
            dialogs.fileAnswers = {data};
            dialogs.answers = {QMessageBox::Yes}; // over the file saved before
            w.NSaveAllClick();
            addLines(w, 3);
        }
        {
            auto [asked, w] = nextStartAsks(QMessageBox::Yes);
            QCOMPARE(asked, 1);
            QCOMPARE(w->Memo1->lineCount() + w->Memo2->lineCount(), 7);
            // Cleared: nothing left to offer.
            w->NDeleteAllClick();
        }
        QCOMPARE(nextStartAsks(QMessageBox::Yes).first, 0);

        // An opened file is where the logs begin.
        int pointsFromFile = 0;
        {
            auto &dialogs = ScriptedDialogs::install();
            dialogs.fileAnswers = {data};
            TfmMain w;
            w.startJournal(state.path());
            w.NOpenFileClick();
            QCOMPARE(w.Memo1->lines(), splitLogs(decodeDataFile(readFile(data))).a);
            pointsFromFile = w.series(SeriesId::AU).count();
            QVERIFY(pointsFromFile > 0);
            addLines(w, 1);
        }
        {
            auto [asked, w] = nextStartAsks(QMessageBox::Yes);
            QCOMPARE(asked, 1);
            QCOMPARE(w->Memo1->lines().mid(0, 2), splitLogs(decodeDataFile(readFile(data))).a.mid(0, 2));
            QCOMPARE(w->Memo1->lineCount(), splitLogs(decodeDataFile(readFile(data))).a.size() + 1);
            QCOMPARE(w->statusPanelText(0), QStringLiteral("   charge.txt"));
            // Rebuilt from the file; the added line came without a point.
            QCOMPARE(w->series(SeriesId::AU).count(), pointsFromFile);
            // Closing without saving, as the user chose: retired.
            auto &dialogs = ScriptedDialogs::install();
            dialogs.answers = {QMessageBox::No};
            QVERIFY(w->close());
        }
        QCOMPARE(journalsIn(state.path()), QStringList());

        // Closing with a save that was cancelled keeps it; No at the next
        // start sets it aside under its date, never to be offered again.
        {
            TfmMain w;
            w.startJournal(state.path());
            addLines(w, 2);
            auto &dialogs = ScriptedDialogs::install();
            dialogs.answers = {QMessageBox::Yes};
            QVERIFY(w.close());
        }
        QCOMPARE(journalsIn(state.path()).size(), 1);
        QCOMPARE(nextStartAsks(QMessageBox::No).first, 1);
        QCOMPARE(journalsIn(state.path(), QStringLiteral("unsaved-*.ojl")).size(), 1);
        QCOMPARE(nextStartAsks(QMessageBox::Yes).first, 0);
    }

    // A journal that cannot be kept is said once; the program goes on.
    void folderThatCannotBeWritten()
    {
        QTemporaryDir state;
        QFile blocker(QDir(state.path()).filePath(QStringLiteral("state")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.startJournal(blocker.fileName() + QStringLiteral("/ostrel"));
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(w.statusPanelText(1),
                 QStringLiteral("журнал не ведётся: %1/ostrel: в пути к файлу не папка").arg(blocker.fileName()));
        QVERIFY(!w.journalFile());
        feed(w, packet(0, 520, 250));
        QCOMPARE(w.Memo1->lineCount(), 1);
        w.setStatusPanelText(1, QString());
        w.journalTimerTimer();
        QVERIFY(w.statusPanelText(1).isEmpty());
    }

    // A journal whose disk fills up or fails says so once, in the status
    // bar, and the charge goes on.
    void aJournalThatCannotBeWrittenSaysSoOnce_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full") << ENOSPC << QStringLiteral("на диске нет места");
        QTest::newRow("I/O error") << EIO << QStringLiteral("ошибка ввода-вывода на диске");
    }
    void aJournalThatCannotBeWrittenSaysSoOnce()
    {
        QFETCH(int, error);
        QFETCH(QString, cause);
        QTemporaryDir state;
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.startJournal(state.path());
        QVERIFY(w.journalFile());
        FaultyWrites::Scope disk(state.path() + QLatin1Char('/'), error);
        feed(w, packet(0, 520, 250));
        w.journalFile()->flush();
        w.journalTimerTimer();
        QCOMPARE(w.statusPanelText(1),
                 QStringLiteral("журнал не ведётся: %1: %2").arg(w.journalFile()->path(), cause));
        w.setStatusPanelText(1, QString());
        feed(w, packet(1, 521, 250));
        w.journalFile()->flush();
        w.journalTimerTimer();
        QVERIFY(w.statusPanelText(1).isEmpty());
        QCOMPARE(w.Memo1->lineCount(), 1);
        QCOMPARE(w.Memo2->lineCount(), 1);
        QVERIFY(dialogs.messages.isEmpty());
    }

    // What the user did to the logs by hand survives the program being
    // killed: the restored window shows exactly the lines it showed.
    void killedAfterHandEdits()
    {
        QTemporaryDir state, programDir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--edit"), state.path(), programDir.path()});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += child.readAllStandardOutput(), out.endsWith("READY\n")), 20000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QStringList shown[2];
        for (const QByteArray &line : out.split('\n'))
            if (line.startsWith('A') || line.startsWith('B'))
                shown[line.startsWith('A') ? 0 : 1].append(QString::fromUtf8(line.mid(1)));
        QCOMPARE(shown[0], QStringList());
        QVERIFY(shown[1].contains(QStringLiteral("note: cell 3 warm")));
        QVERIFY(shown[1].contains(QStringLiteral("вставка")));

        auto &dialogs = ScriptedDialogs::install();
        dialogs.answers = {QMessageBox::Yes};
        TfmMain w;
        w.startJournal(state.path());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(w.Memo1->lines(), shown[0]);
        QCOMPARE(w.Memo2->lines(), shown[1]);
        QCOMPARE(shown[1].last(), QStringLiteral("00:00:31    ADC=482    U=1,2050    T=24,0;"));
    }

    // Only the user's hand is journalled as an edit: lines that come, logs
    // opened, restored or cleared by the program write none.
    void theProgramsOwnChangesAreNoEdits()
    {
        QTemporaryDir state, out;
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.startJournal(state.path());
        for (int i = 0; i < 20; ++i)
            w.addLogLine(Channel::A, QStringLiteral("line %1").arg(i));
        w.Memo1->flush();
        const QString path = QDir(out.path()).filePath(QStringLiteral("x.txt"));
        dialogs.fileAnswers << path;
        w.NSaveAllClick();
        dialogs.fileAnswers << path;
        w.NOpenFileClick();
        w.NDeleteAllClick();
        w.addLogLine(Channel::B, QStringLiteral("line"));
        QTRY_VERIFY(!w.handEditTimer->isActive()); // a pause in typing would have ended
        w.journalFile()->flush();
        QFile f(w.journalFile()->path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains(" B\tline"));
        QVERIFY2(!bytes.contains(" E\t"), bytes.constData());
    }

    // The real thing: a charge through the port, the program killed, and
    // started again.
    void killedMidCharge()
    {
        QTemporaryDir state, programDir;
        const QString link = QDir(folder.path()).filePath(QStringLiteral("charger"));
        chargesim::Simulator sim({.link = link.toStdString(), .intervalMs = 10});
        sim.start();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8")); // as this test reads the lines
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--charge"), state.path(), programDir.path(), link});
        QVERIFY(child.waitForStarted());
        QStringList seen[2];
        QByteArray partial;
        auto take = [&] {
            partial += child.readAllStandardOutput();
            qsizetype end;
            while ((end = partial.indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(partial.left(end));
                partial.remove(0, end + 1);
                seen[line.startsWith(QLatin1Char('A')) ? 0 : 1].append(line.mid(1));
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT((take(), seen[0].size() >= 150 && seen[1].size() >= 150), 30000);
        child.kill();
        QVERIFY(child.waitForFinished());
        take();
        sim.stop();
        auto &dialogs = ScriptedDialogs::install();
        dialogs.answers = {QMessageBox::Yes};
        TfmMain w;
        w.startJournal(state.path());
        QCOMPARE(dialogs.questions.size(), 1);
        for (int ch = 0; ch < 2; ++ch) {
            const QStringList back = (ch == 0 ? w.Memo1 : w.Memo2)->lines();
            // At 100 lines a second a channel, its last second at most is lost.
            QVERIFY2(back.size() >= seen[ch].size() - 100,
                     qPrintable(QStringLiteral("%1 of %2").arg(back.size()).arg(seen[ch].size())));
            const qsizetype common = std::min(back.size(), seen[ch].size());
            QCOMPARE(back.mid(0, common), seen[ch].mid(0, common));
            // Each measurement line has its point on the chart (a batch may
            // end between the two), at full precision where the line rounds.
            const LogCurves expected = curvesFromLog(back, true, true);
            const ChartSeries &u = w.series(ch == 0 ? SeriesId::AU : SeriesId::BU);
            QVERIFY2(qAbs(qsizetype(u.count()) - qsizetype(expected.u.size())) <= 1,
                     qPrintable(QStringLiteral("%1 points, %2 lines").arg(u.count()).arg(expected.u.size())));
            for (int k = 0; k < std::min<int>(u.count(), int(expected.u.size())); ++k)
                QVERIFY(qAbs(u.point(k).value - expected.u[size_t(k)].value) <= 0.00005);
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && QByteArray(argv[1]) == "--charge")
        return runCharge(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--edit")
        return runEdits(argc, argv);
    QApplication app(argc, argv);
    TestJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
