// What a user meets at the edges: the charge-time dialog by keyboard alone,
// the close question after lines just came, the settings of an installed
// program, window titles, and the names of controls that show a picture.

#include "app/TfmMain.h"
#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "app/auxwindows.h"
#include "charts/engine/chart.h"
#include "platform/clock.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/pty.h"
#include "tests/support/scripteddialogs.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QToolButton>
#include "tests/support/testlocale.h"
#include "tests/support/windowtest.h"

#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

double at(int h, int m, int s)
{
    return ((h * 60 + m) * 60 + s) / 86400.0;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes a file that even root cannot write (an installed program's folder):
// read-only for other users, immutable for root where the file system has it.
bool makeUnwritable(const QString &path, bool on)
{
    QFile::setPermissions(path, on ? QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther
                                   : QFile::ReadOwner | QFile::WriteOwner);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }
    return !QFileInfo(path).isWritable();
}

} // namespace

class TestExactness : public WindowTest
{
    Q_OBJECT

    QDateTime now_;

private slots:
    void initTestCase()
    {
        WindowTest::initTestCase();
        Clock::setSource([this] { return now_; });
    }

    void init()
    {
        WindowTest::init();
        now_ = QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0));
    }

    // Tab, Backspace and Enter alone set the charge time.
    void timeDialogByKeyboard()
    {
        auto &dialogs = ScriptedDialogs::install();
        QLabel started;
        ChargeClock clock;
        TfTimeSet d(nullptr, clock, &started);
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QVERIFY(d.windowTitle().trimmed().isEmpty());
        d.Edit1->setFocus(Qt::OtherFocusReason);

        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(d.Edit1->text(), QStringLiteral("01"));
        QCOMPARE(QApplication::focusWidget(), d.Edit2);

        // A full field takes any key as a new start: Backspace empties it.
        QCOMPARE(d.Edit2->text(), QStringLiteral("00"));
        QTest::keyClick(d.Edit2, Qt::Key_Backspace);
        QCOMPARE(d.Edit2->text(), QString());
        QTest::keyClicks(d.Edit2, QStringLiteral("3x0"));
        QCOMPARE(d.Edit2->text(), QStringLiteral("30"));

        // Losing the focus to another window is no exit from the field.
        QTest::keyClick(d.Edit2, Qt::Key_Backspace);
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(d.Edit2, &away);
        QCOMPARE(d.Edit2->text(), QString());
        QTest::keyClicks(d.Edit2, QStringLiteral("30"));

        QTest::keyClick(d.Edit2, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), d.Edit3);
        QTest::keyClick(d.Edit3, Qt::Key_Backspace);
        QTest::keyClick(d.Edit3, Qt::Key_Return);
        QCOMPARE(d.Edit3->text(), QStringLiteral("00"));
        QCOMPARE(QApplication::focusWidget(), d.Button1);
        QTest::keyClick(d.Button1, Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(clock.StartTime, at(8, 30, 0));
        QCOMPARE(started.text(), QStringLiteral("08:30:00"));
        QVERIFY(dialogs.messages.isEmpty());
    }

    // Lines that came after a save are not yet in the memo's document; the
    // close question must still see them.
    void closeQuestionSeesLinesJustCome()
    {
        auto &dialogs = ScriptedDialogs::install();
        TfmMain w;
        w.show();
        w.Memo1->setLines({QStringLiteral("Старт.")});
        w.Memo1->setModified(false);
        w.Memo1->addLine(QStringLiteral("00:00:01    ADC=400    U=1,0000    T=25,0;"));
        dialogs.answers << QMessageBox::Cancel << QMessageBox::No;
        QVERIFY(!w.close());
        QCOMPARE(dialogs.questions, QStringList{QStringLiteral("Сохранить статистику?")});
        QVERIFY(w.close());
    }

    // An installed program's folder is read-only: the user's own settings
    // file starts from the program folder's, keeping "Log", which the
    // program reads but never writes.
    void userSettingsStartFromTheProgramFolder()
    {
        ScriptedDialogs::install();
        QTemporaryDir program;
        setProgramFolder(program.path());
        const QString beside = QDir(program.path()).filePath(QStringLiteral("zlt.ini"));
        QFile f(beside);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[ComPort1]\r\nLog=1\r\n[PageSetting]\r\nMaxT=44\r\n");
        f.close();
        if (!makeUnwritable(beside, true)) {
            makeUnwritable(beside, false);
            QSKIP("no way to make a file unwritable for this user here");
        }
        {
            TfmMain w;
            QCOMPARE(w.UpDownMaxT->value(), 44);
            w.UpDownMaxT->setValue(45);
            w.close();
        }
        const QString user = TfmMain::settingsPath(false);
        makeUnwritable(beside, false);
        QVERIFY(user != beside);
        const QByteArray saved = readAll(user);
        QVERIFY(saved.contains("Log=1"));
        QVERIFY(saved.contains("MaxT=45"));
        QCOMPARE(readAll(beside), QByteArray("[ComPort1]\r\nLog=1\r\n[PageSetting]\r\nMaxT=44\r\n"));
        QFile::remove(user);
        setProgramFolder(folder.path());
    }

    // A system colour stored for a curve stays a system colour.
    // An installed program keeps its settings in the user's folder whoever
    // runs it, root included; a folder of the user's own keeps them beside
    // the program.
    void installedProgramsNeverWriteBesideThemselves()
    {
        QTemporaryDir prefix;
        const QDir root(prefix.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("share/ostrel/locale")));
        const QString user = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("tst_exactness/zlt.ini"));
        setProgramFolder(root.filePath(QStringLiteral("bin")));
        QCOMPARE(TfmMain::settingsPath(true), user);

        QTemporaryDir own;
        setProgramFolder(own.path());
        QCOMPARE(TfmMain::settingsPath(true), QDir(own.path()).filePath(QStringLiteral("zlt.ini")));
        if (::geteuid() == 0 && ::chown(QFile::encodeName(own.path()).constData(), 12345, 12345) == 0) {
            // Another user's folder, writable to root.
            QCOMPARE(TfmMain::settingsPath(true), user);
            QVERIFY(::chown(QFile::encodeName(own.path()).constData(), 0, 0) == 0);
        }
        setProgramFolder(QStringLiteral("/usr/bin"));
        QCOMPARE(TfmMain::settingsPath(true), user);
        setProgramFolder(folder.path());
    }

    void systemColourKeepsItsValue()
    {
        ScriptedDialogs::install();
        const QString ini = settingsFile();
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Chart]\r\nColorGraf_AU=-16777208\r\nColorGraf_BT=255\r\n");
        f.close();
        {
            TfmMain w;
            w.close();
        }
        const QByteArray saved = readAll(ini);
        QVERIFY2(saved.contains("ColorGraf_AU=-16777208"), saved.constData());
        QVERIFY(saved.contains("ColorGraf_BT=255"));
        QFile::remove(ini);
    }

    void titlesAndNames()
    {
        TfAbout about(nullptr);
        TfHelp help(nullptr);
        about.show();
        help.show();
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(help.windowTitle(), QStringLiteral("Справка"));
        // What the window system is given, not only the widget's title.
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.windowHandle()->title(), QStringLiteral("О программе"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());

        TfmMain w;
        for (QToolButton *b : {w.BtnChartClear1, w.BtnUndoZoomA, w.BtnzoomminusA, w.BtnzoomplusA,
                               w.BtnSaveGrafA, w.btnView2D, w.BtnViewA, w.BtnViewAT, w.BtnViewB,
                               w.BtnViewBT, w.SpeedButton1}) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
        }
        // The link LED is a picture: it is named and says its state.
        QCOMPARE(w.ComLed1->accessibleName(), QStringLiteral("Связь с зарядным устройством"));
        QCOMPARE(w.ComLed1->accessibleDescription(), QStringLiteral("порт закрыт"));
        Pty line;
        w.ComPort1->setPort(line.slavePath());
        w.btnStart->click();
        QCOMPARE(w.ComLed1->accessibleDescription(), QStringLiteral("порт открыт"));
        w.btnStart->click();
        QCOMPARE(w.ComLed1->accessibleDescription(), QStringLiteral("порт закрыт"));
        // The window carries its own icon, which its dialogs share.
        QVERIFY(w.windowIcon().availableSizes().contains(QSize(256, 256)));
        TfAbout child(&w);
        QCOMPARE(child.windowIcon().cacheKey(), w.windowIcon().cacheKey());
    }

    void smallGaps()
    {
        // Copy All: CR LF between lines, as the columns have.
        TfmMain w;
        w.Memo1->setLines({QStringLiteral("a"), QStringLiteral("b")});
        w.CopyAll(w.Memo1);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\r\nb"));

        // The general format stays fixed-point down to 0.00001.
        QCOMPARE(Fmt::significant(0.00003, 5), QStringLiteral("0,00003"));
        QCOMPARE(Fmt::significant(0.000012345678, 5), QStringLiteral("0,000012346"));
        QCOMPARE(Fmt::significant(0.000003, 5), QStringLiteral("3e-06"));

        // The colour labels keep their place near the top centre.
        w.PageControl1->setCurrentWidget(w.TabSheet1);
        w.resize(1000, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.Chart1->width() > 900);
        const int centre = w.LabelColor_AU->geometry().center().x();
        QVERIFY2(qAbs(centre * 615.0 / w.Chart1->width() - (256 + w.LabelColor_AU->width() / 2)) < 3,
                 qPrintable(QString::number(centre)));
    }
};

QTEST_MAIN(TestExactness)
#include "tst_exactness.moc"
