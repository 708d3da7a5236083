#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "app/auxwindows.h"
#include "link/chargeclock.h"
#include "charts/columns.h"
#include "charts/engine/chart.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/errorreport.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/faultywrites.h"
#include "tests/support/scripteddialogs.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTemporaryDir>
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QtTest>

#include <dlfcn.h>
#include <iconv.h>

#include <cerrno>

namespace {

bool failConversions = false;

} // namespace

// Stands in for the C library's: a test can make the code-page conversion
// fail to open, as on a system without its conversion modules.
extern "C" iconv_t iconv_open(const char *to, const char *from)
{
    if (failConversions) {
        errno = EINVAL;
        return iconv_t(-1);
    }
    using Open = iconv_t (*)(const char *, const char *);
    static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    return real(to, from);
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

double at(int h, int m, int s)
{
    return ((h * 60 + m) * 60 + s) / 86400.0;
}

} // namespace

class TestAppFiles : public WindowTest
{
    Q_OBJECT

    QString ini_;
    QDateTime now_;

private slots:
    void initTestCase()
    {
        WindowTest::initTestCase();
        ini_ = settingsFile();
        Clock::setSource([this] { return now_; });
    }

    void init()
    {
        WindowTest::init();
        now_ = QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0));
    }

    // The fast currents go under each other's names, "Log" is read but never
    // written, and every section lands in the file.
    void settingsRoundTrip()
    {
        auto &dialogs = ScriptedDialogs::install();
        writeAll(ini_, "[ComPort1]\r\nLog=1\r\n");
        {
            TfmMain w;
            QVERIFY(w.receiver.LogEnabled);
            w.UpDMhFast->setValue(1200);
            w.UpDCdFast->setValue(700);
            w.btnView2D->click();
            setFontColor(w.LabelColor_BT, QColor(1, 2, 3));
            w.close();
        }
        QVERIFY(dialogs.questions.isEmpty()); // nothing logged, nothing asked
        const QByteArray file = readAll(ini_);
        QVERIFY(file.contains("MhFastI=700\r\n"));
        QVERIFY(file.contains("CdFastI=1200\r\n"));
        QVERIFY(file.contains("Log=1\r\n"));
        QVERIFY(file.contains("View2D=1\r\n"));
        QVERIFY(file.contains("ColorGraf_BT=197121\r\n"));
        QVERIFY(file.contains("[PageSetting]") && file.contains("[Chart]"));
        QVERIFY(file.contains("Port=COM1\r\nBaudRate=38400\r\nStopBits=1\r\nDataBits=8\r\nParity=None\r\nFlowControl=None"));
        TfmMain again;
        QCOMPARE(again.UpDMhFast->value(), 1200);
        QCOMPARE(again.UpDCdFast->value(), 700);
        QVERIFY(again.receiver.LogEnabled);
        QVERIFY(!again.Chart1->view3D());
        QCOMPARE(again.Series4.style.colour, QColor(1, 2, 3));
    }

    void settingsEdgeValues()
    {
        writeAll(ini_, "[PageSetting]\r\nStepADC=0\r\nMaxT=abc\r\nRostT=5000\r\n[Chart]\r\nGradient=1\r\nColorStartGradient=255\r\n");
        TfmMain w;
        QCOMPARE(w.UpDStepADC->value(), 1);
        QCOMPARE(w.receiver.AdcStep, 1);
        QCOMPARE(w.UpDownMaxT->value(), 40);
        QCOMPARE(w.UpDownRostT->value(), 100);
        QVERIFY(w.Chart1->GradientVisible);
        QCOMPARE(w.Chart1->GradientStartColor, QColor(255, 0, 0));
        QVERIFY(w.Label17->text().endsWith(QStringLiteral("Значение ADC - 51000"))); // computed with step 1
    }

    // A program folder that cannot be written keeps the settings in the
    // user's configuration folder instead of failing every close.
    void readOnlyProgramFolder()
    {
        auto &dialogs = ScriptedDialogs::install();
        setProgramFolder(QStringLiteral("/proc/self"));
        {
            TfmMain w;
            w.UpDownMaxT->setValue(55);
            w.close();
        }
        QVERIFY(dialogs.messages.isEmpty());
        const QString user = TfmMain::settingsPath(false);
        QVERIFY(user.startsWith(folder.path()));
        QVERIFY(readAll(user).contains("MaxT=55"));
        TfmMain again;
        QCOMPARE(again.UpDownMaxT->value(), 55);
        QFile::remove(user);
    }

    void closeQuestion()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.show();
        w.Memo1->addLine(QStringLiteral("x"));
        w.Memo1->flush();
        dialogs.answers << QMessageBox::Cancel << QMessageBox::No;
        QVERIFY(!w.close());
        QCOMPARE(dialogs.questions.value(0), QStringLiteral("Сохранить статистику?"));
        QCOMPARE(dialogs.titles.value(0), QStringLiteral("Завершение работы"));
        QVERIFY(QFile::exists(ini_)); // written before the question
        QVERIFY(w.close());
    }

    void timeDialog()
    {
        auto &dialogs = ScriptedDialogs::install();
        QLabel started;
        ChargeClock clock;
        TfTimeSet d(nullptr, clock, &started);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.Edit1->setFocus();
        d.Edit1->clear();
        QTest::keyClicks(d.Edit1, QStringLiteral("a7"));
        QCOMPARE(d.Edit1->text(), QStringLiteral("7"));
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        QCOMPARE(d.Edit1->text(), QStringLiteral("07"));
        QVERIFY(d.Edit2->hasFocus());
        d.Edit1->setText(QStringLiteral("25"));
        d.Edit1Exit(d.Edit1);
        QCOMPARE(dialogs.messages.value(0), QStringLiteral("Не в диапазоне (0..23)  \"25\""));
        QVERIFY(d.Edit1->text().isEmpty());
        d.Edit1Exit(d.Edit1);
        QCOMPARE(d.Edit1->text(), QStringLiteral("00"));

        d.Edit1->setText(QStringLiteral("01"));
        d.Edit2->setText(QStringLiteral("30"));
        d.Edit3->setText(QStringLiteral("00"));
        d.Button1Click();
        QCOMPARE(clock.StartTime, at(8, 30, 0));
        QVERIFY(clock.started());
        QCOMPARE(started.text(), QStringLiteral("08:30:00"));
        d.Edit3->setText(QStringLiteral("xyz"));
        d.Button1Click();
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Ошибка!  \"01:30:xyz\""));
    }

    // Save writes the format byte for byte; open takes it back.
    void dataFileRoundTrip()
    {
        auto &dialogs = ScriptedDialogs::install();
        QTemporaryDir out;
        const QString path = QDir(out.path()).filePath(QStringLiteral("charge.txt"));
        TfmMain w;
        dialogs.fileAnswers << path;
        w.NSaveAllClick();
        QCOMPARE(readAll(path), QByteArray("\r\n/* B */\r\n"));
        QCOMPARE(dialogs.asked.value(0), QStringLiteral("2026-12-06.txt|*.txt (*.txt);;* (*)"));

        w.Memo1->setLines({QStringLiteral("Старт."), QStringLiteral("00:00:01    ADC=400    U=1,0000    T=25,0;")});
        w.Memo2->setLines({QStringLiteral("END:  Конец заряда.")});
        w.Memo1->setModified(true);
        dialogs.fileAnswers << path;
        dialogs.answers << QMessageBox::Yes;
        w.NSaveAllClick();
        QCOMPARE(dialogs.titles.last(), QStringLiteral("Совпадение имен."));
        QCOMPARE(readAll(path), toCp1251(QStringLiteral("Старт.\r\n00:00:01    ADC=400    U=1,0000    T=25,0;\r\n"
                                                        "\r\n/* B */\r\nEND:  Конец заряда.\r\n")));
        QVERIFY(!w.Memo1->isModified());
        QVERIFY(!QFile::exists(QDir(out.path()).filePath(QStringLiteral("Log.txt"))));

        dialogs.fileAnswers << path;
        w.NOpenFileClick();
        QCOMPARE(w.Memo1->lines().size(), 3); // one more empty line
        QCOMPARE(w.Memo2->lines(), QStringList{QStringLiteral("END:  Конец заряда.")});
        QCOMPARE(w.statusPanelText(0), QStringLiteral("   charge.txt"));
        QCOMPARE(w.Series1.count(), 1); // the curves are rebuilt

        // With "Log" on the link log goes beside it.
        w.receiver.LogEnabled = true;
        w.receiver.LogText += QStringLiteral("  \r\n10-00-00-000 00:00:00 Nbytes (1) 01 ");
        dialogs.fileAnswers << path;
        dialogs.answers << QMessageBox::Yes;
        w.NSaveAllClick();
        const QByteArray log = readAll(QDir(out.path()).filePath(QStringLiteral("Log.txt")));
        QVERIFY(log.startsWith(toCp1251(QStringLiteral("Начало посылки \r\n01-send_str A\r\n"))));
        QVERIFY(log.endsWith("  \r\n10-00-00-000 00:00:00 Nbytes (1) 01 \r\n"));
    }

    // A channel's summary follows its log however the log changes: lines
    // set or opened, packets that come after them, a hand edit, a clear.
    void summariesFollowTheLog()
    {
        TfmMain w;
        auto feed = [&](const char *hex) {
            const QByteArray bytes = QByteArray::fromHex(hex);
            w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
        };
        w.Memo1->setLines({QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                           QStringLiteral("00:00:00    ADC=520    U=1,3000    T=25,0;")});
        QVERIFY(w.channelSummary(Channel::A).startsWith(QStringLiteral("Канал A: NiMH, заряд, ток 1000 mA")));
        w.receiver.clock.start(Clock::timeOfDay()); // the charge began with the first line
        now_ = now_.addSecs(3600);
        feed("01021C0100"); // an hour later at 1.35 V, then the end
        feed("0380000000");
        const QString summary = w.channelSummary(Channel::A);
        QVERIFY2(summary.contains(QStringLiteral("заряжено: 1000 mAh")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("конец 1,3500 В")), qPrintable(summary));
        QVERIFY(summary.endsWith(QStringLiteral("Окончание: Конец заряда.")));

        // Edited by hand: the summary reads the log again.
        w.Memo1->flush(); // what came is on screen to select
        w.Memo1->selectAll();
        QTest::keyClicks(w.Memo1, QStringLiteral("x"));
        QCOMPARE(w.channelSummary(Channel::A), QStringLiteral("Канал A: зарядов нет"));
        feed("0700CC4000"); // a new charge's block, 1000 mA
        QVERIFY(w.channelSummary(Channel::A).startsWith(QStringLiteral("Канал A: NiMH, заряд, ток 1000 mA")));
        w.NDeleteAllClick();
        QCOMPARE(w.channelSummary(Channel::A), QStringLiteral("Канал A: зарядов нет"));
    }

    // A saved file of empty logs opens as one empty line in channel A's log:
    // one line, saved again as one, and a start block after it still gets
    // its blank separator. A log the user empties holds no line.
    void oneEmptyLineIsALine()
    {
        auto &dialogs = ScriptedDialogs::install();
        QTemporaryDir out;
        const QString path = QDir(out.path()).filePath(QStringLiteral("empty.txt"));
        writeAll(path, "\r\n/* B */\r\n");
        TfmMain w;
        dialogs.fileAnswers << path;
        w.NOpenFileClick();
        QCOMPARE(w.Memo1->lines(), QStringList{QString()});
        QCOMPARE(w.Memo1->lineCount(), 1);
        QCOMPARE(w.Memo2->lines(), QStringList());
        QCOMPARE(w.Memo2->lineCount(), 0);

        const QString again = QDir(out.path()).filePath(QStringLiteral("again.txt"));
        dialogs.fileAnswers << again;
        w.NSaveAllClick();
        QCOMPARE(readAll(again), QByteArray("\r\n\r\n/* B */\r\n"));

        const QByteArray start = QByteArray::fromHex("0700CC4000");
        w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(start.constData()), int(start.size()));
        QCOMPARE(w.Memo1->lines().mid(0, 3),
                 (QStringList{QString(), QString(), QStringLiteral("Старт.")}));
        // Channel B's log had no line: its block starts at the top.
        const QByteArray startB = QByteArray::fromHex("0800CC4000");
        w.receiver.receiveChunk(reinterpret_cast<const quint8 *>(startB.constData()), int(startB.size()));
        QCOMPARE(w.Memo2->lines().value(0), QStringLiteral("Старт."));

        w.Memo1->selectAll();
        QTest::keyClick(w.Memo1, Qt::Key_Delete);
        QCOMPARE(w.Memo1->lines(), QStringList());
        QCOMPARE(w.Memo1->lineCount(), 0);
    }

    // A save whose text cannot be built writes nothing: the file the user
    // agreed to replace stays, the logs stay unsaved, and closing still
    // offers to save them.
    void aSaveThatCannotBuildItsTextKeepsEverything()
    {
        auto &dialogs = ScriptedDialogs::install();
        QTemporaryDir out;
        const QString path = QDir(out.path()).filePath(QStringLiteral("charge.txt"));
        writeAll(path, "earlier charge\r\n");
        TfmMain w;
        w.Memo1->addLine(QStringLiteral("Старт."));
        dialogs.fileAnswers << path;
        dialogs.answers << QMessageBox::Yes;
        failConversions = true;
        w.NSaveAllClick();
        failConversions = false;
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Ошибка при сохранении!")});
        QCOMPARE(readAll(path), QByteArray("earlier charge\r\n"));
        QVERIFY(w.Memo1->isModified());
        dialogs.answers << QMessageBox::Cancel;
        QVERIFY(!w.close());
        QCOMPARE(dialogs.questions.last(), QStringLiteral("Сохранить статистику?"));
    }

    // A save on closing that fails keeps the window open, so the lines can
    // be saved elsewhere; a save that works closes it.
    void aFailedSaveOnClosingKeepsTheWindow()
    {
        auto &dialogs = ScriptedDialogs::install();
        QTemporaryDir out;
        TfmMain w;
        w.show();
        w.Memo1->addLine(QStringLiteral("Старт."));
        dialogs.answers << QMessageBox::Yes;
        dialogs.fileAnswers << QDir(out.path()).filePath(QStringLiteral("no such folder/charge.txt"));
        QVERIFY(!w.close());
        QCOMPARE(dialogs.messages.size(), 1); // the write's error
        QVERIFY(w.Memo1->isModified());
        // So does a file dropped on the window: it is not opened over the
        // lines that could not be saved.
        const QString dropped = QDir(out.path()).filePath(QStringLiteral("other.txt"));
        writeAll(dropped, "\r\n/* B */\r\n");
        dialogs.answers << QMessageBox::Yes;
        dialogs.fileAnswers << QDir(out.path()).filePath(QStringLiteral("no such folder/charge.txt"));
        w.dropFile(dropped);
        QCOMPARE(w.Memo1->lines(), QStringList{QStringLiteral("Старт.")});
        QCOMPARE(dialogs.messages.size(), 2);

        const QString path = QDir(out.path()).filePath(QStringLiteral("charge.txt"));
        dialogs.answers << QMessageBox::Yes;
        dialogs.fileAnswers << path;
        QVERIFY(w.close());
        QVERIFY(readAll(path).startsWith(toCp1251(QStringLiteral("Старт.\r\n"))));
    }

    // A disk that is full or failing under every file the user saves: the
    // file that was there stays whole, the message names the file and the
    // cause in Russian, nothing is called saved, and the program goes on
    // (the same save works once the disk does).
    void writeFailuresKeepTheFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("error");
        for (const char *file : {"charge.txt", "Log.txt", "zlt.ini", "chart.csv", "chart.png", "chart.svg",
                                 "chart.pdf", "chart.emf"}) {
            QTest::addRow("%s, disk full", file) << QString::fromLatin1(file) << ENOSPC;
            QTest::addRow("%s, I/O error", file) << QString::fromLatin1(file) << EIO;
        }
    }
    void writeFailuresKeepTheFile()
    {
        QFETCH(QString, file);
        QFETCH(int, error);
        auto &dialogs = ScriptedDialogs::install();
        QTemporaryDir out;
        const bool settings = file == QLatin1String("zlt.ini");
        const QString path = settings ? ini_ : QDir(out.path()).filePath(file);
        const QString dataFile = QDir(out.path()).filePath(QStringLiteral("charge.txt"));
        writeAll(path, "previous\r\n");
        TfmMain w;
        w.Memo1->addLine(QStringLiteral("00:00:01    ADC=400    U=1,0000    T=25,0;"));
        w.receiver.LogEnabled = true;
        auto attempt = [&] {
            if (settings) {
                runGuarded([&] { w.SaveSettings(); });
            } else if (file.startsWith(QLatin1String("chart"))) {
                dialogs.fileAnswers << path;
                dialogs.answers << QMessageBox::Yes; // replace it
                w.NExportClick();
            } else {
                dialogs.fileAnswers << dataFile;
                if (QFileInfo::exists(dataFile))
                    dialogs.answers << QMessageBox::Yes;
                runGuarded([&] { w.NSaveAllClick(); });
            }
        };
        {
            FaultyWrites::Scope disk(path, error);
            attempt();
        }
        // Which file, why, and what to do, in the user's words.
        const QString disk = error == ENOSPC ? QStringLiteral("на диске нет места.\nОсвободите место на диске")
                                             : QStringLiteral("ошибка ввода-вывода на диске.\nПроверьте, подключён ли диск");
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].startsWith(QStringLiteral("Не удалось записать файл %1: %2")
                                                    .arg(QFileInfo(path).absoluteFilePath(), disk)),
                 qPrintable(dialogs.messages[0]));
        QCOMPARE(readAll(path), QByteArray("previous\r\n"));
        QVERIFY(w.Memo1->isModified());
        // Nothing is left beside it.
        for (const QString &name : QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files))
            QVERIFY2(!name.startsWith(file + QLatin1Char('.')), qPrintable(name));

        dialogs.messages.clear();
        attempt();
        QCOMPARE(dialogs.messages, QStringList());
        QVERIFY(readAll(path) != QByteArray("previous\r\n"));
    }

    void openingWhatIsNoFile()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.Memo1->setLines({QStringLiteral("keep")});
        w.dropFile(folder.path()); // a folder: nothing happens
        QCOMPARE(w.Memo1->lines(), QStringList{QStringLiteral("keep")});

        // Unsaved lines are offered for saving before a menu open too.
        w.Memo1->setModified(true);
        dialogs.answers << QMessageBox::Cancel;
        w.NOpenFileClick();
        QCOMPARE(dialogs.titles.value(0), QStringLiteral("Открытие нового файла"));
        QCOMPARE(w.Memo1->lines(), QStringList{QStringLiteral("keep")});

        dialogs.answers << QMessageBox::No;
        dialogs.fileAnswers << QDir(folder.path()).filePath(QStringLiteral("missing.txt"));
        w.setStatusPanelText(0, QStringLiteral("old"));
        w.NOpenFileClick();
        QVERIFY(w.Memo1->lines().isEmpty());
        QVERIFY(w.statusPanelText(0).isEmpty());
        QVERIFY(dialogs.messages.isEmpty());
    }

    // Long logs arrive whole and in order, the previous texts go, and the
    // logs go on as before.
    void longLogsOpenWhole()
    {
        ScriptedDialogs::install();
        QStringList a, b;
        for (int i = 0; i < 9000; ++i) {
            a << QStringLiteral("0:%1:%2    ADC=400    U=1,0000    T=25,0;").arg(i / 60).arg(i % 60, 2, 10, QLatin1Char('0'));
            b << QStringLiteral("B %1").arg(i);
        }
        const QString path = QDir(folder.path()).filePath(QStringLiteral("long.txt"));
        writeAll(path, toCp1251((a + QStringList{QString(), QStringLiteral("/* B */")} + b).join(QStringLiteral("\r\n"))));
        TfmMain w;
        w.show();
        w.dropFile(path);
        QCOMPARE(w.Memo1->lines(), a + QStringList{QString()});
        QCOMPARE(w.Memo2->lines(), b);
        QCOMPARE(w.Series1.count(), 9000);
        QVERIFY(!w.Memo1->isModified());

        w.dropFile(path); // the old lines are not kept beside the new ones
        QCOMPARE(w.Memo1->lineCount(), 9001);
        QCOMPARE(w.Memo2->lineCount(), 9000);
        w.Memo2->addLine(QStringLiteral("next"));
        QVERIFY(w.Memo2->isModified());
        QCOMPARE(w.Memo2->lines().last(), QStringLiteral("next"));
        QCOMPARE(w.Memo2->lines().size(), 9001);
        w.Memo2->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.Memo2, QStringLiteral("!"));
        QCOMPARE(w.Memo2->lines().last(), QStringLiteral("next!"));
    }

    void clipboardColumns()
    {
        const QStringList lines = {QStringLiteral("0:05:12    ADC=512    U=1,2345    T=24,5;"),
                                   QString(),
                                   QStringLiteral("END:  Конец заряда."),
                                   QStringLiteral("0:05:13    ADC=513    U=1,2346    T=24,6")};
        QCOMPARE(columnValues(lines, QLatin1Char('C')), (QStringList{"512", "513"}));
        QCOMPARE(columnValues(lines, QLatin1Char('U')), (QStringList{"1,2345", "1,2346"}));
        QCOMPARE(columnValues(lines, QLatin1Char('T')), (QStringList{"24,5", "24,6"}));
        QCOMPARE(timeColumn(lines), (QStringList{"0:05:12", "", "END:", "0:05:13"}));

        TfmMain w;
        w.Memo2->setLines(lines);
        w.copy_u_t(QStringLiteral("U"), w.Memo2);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1,2345\r\n1,2346\r\n"));
        w.copy_time(w.Memo2);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0:05:12\r\n\r\nEND:\r\n0:05:13\r\n"));
        w.Memo1->clear();
        w.copy_u_t(QStringLiteral("C"), w.Memo1);
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    }

    void auxiliaryWindows()
    {
        TfHelp help(nullptr);
        QVERIFY(help.Memo1->toPlainText().startsWith(QStringLiteral("Количество миганий красного светодиода:")));
        QVERIFY(help.Memo1->toPlainText().contains(QStringLiteral("AREF/1024")));
        // The About window's link leads to the help text.
        TfAbout about(nullptr);
        bool helpShown = false;
        QTimer::singleShot(0, [&] {
            auto *shown = qobject_cast<TfHelp *>(QApplication::activeModalWidget());
            helpShown = shown != nullptr;
            if (shown)
                shown->reject();
        });
        about.Label2Click();
        QVERIFY(helpShown);
    }
};

QTEST_MAIN(TestAppFiles)
#include "tst_appfiles.moc"
