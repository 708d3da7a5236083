#include "platform/clock.h"
#include "platform/errorreport.h"
#include "platform/programfolder.h"
#include "platform/programicon.h"
#include "platform/dialogs.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testlocale.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Dialogs::install(nullptr);
        Clock::setSource(nullptr);
    }

    // A handler that throws shows the error's text and the program goes on:
    // the next click runs the handler again.
    void handlerErrorIsReportedAndProgramGoesOn()
    {
        auto &dialogs = ScriptedDialogs::install();
        QPushButton button;
        int runs = 0;
        connectHandler(&button, &QPushButton::clicked, &button, [&](bool) {
            ++runs;
            if (runs == 1)
                throw std::runtime_error("Не могу открыть порт: COM1");
        });
        button.click();
        button.click();
        QCOMPARE(runs, 2);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Не могу открыть порт: COM1")});
    }

    void clockSourceCanBeReplaced_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<double>("fraction");
        QTest::newRow("midnight") << QTime(0, 0) << 0.0;
        QTest::newRow("noon") << QTime(12, 0) << 0.5;
        QTest::newRow("18:00") << QTime(18, 0) << 0.75;
        QTest::newRow("last second") << QTime(23, 59, 59) << 86399.0 / 86400.0;
    }

    void clockSourceCanBeReplaced()
    {
        QFETCH(QTime, time);
        QFETCH(double, fraction);
        const QDateTime at(QDate(2026, 12, 6), time);
        Clock::setSource([at] { return at; });
        QCOMPARE(Clock::now(), at);
        QVERIFY(qAbs(Clock::timeOfDay() - fraction) < 1e-9);
        Clock::setSource(nullptr);
        QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    // Catalogs beside the program in the build tree, else where an
    // installed program's share folder keeps them.
    // Under a Russian locale Qt's own buttons speak Russian, and a box
    // without a title of its own carries the program's name.
    void qtSpeaksTheUsersLanguage()
    {
        useLocale(QStringLiteral("ru_RU"));
        QVERIFY(installQtTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Да"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("&Нет"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
        // The file dialog's "Тип" column, which Qt's catalog leaves English.
        QCOMPARE(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));

        Dialogs::install(nullptr);
        QTimer::singleShot(0, [] {
            auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(shown);
            QCOMPARE(shown->windowTitle(), QStringLiteral("Ostrel"));
            shown->accept();
        });
        Dialogs::instance().message(nullptr, QStringLiteral("x"), Dialogs::Icon::None);
    }

    // The icon is drawn from the embedded picture at every theme size: a
    // missing or unreadable picture would leave it blank.
    void programIconAtEverySize()
    {
        const QIcon icon = programIcon();
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage image = programIconImage(size);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) == 255); // the picture fills the middle
            QVERIFY(qAlpha(image.pixel(0, 0)) < 255);                // and has rounded corners
        }
    }

    void dataFolderFound()
    {
        QTemporaryDir tree;
        const QDir root(tree.path());
        QVERIFY(root.mkpath(QStringLiteral("usr/bin")) && root.mkpath(QStringLiteral("usr/share/ostrel/locale")));
        // Beside an installed program, "locale" is the program of that name.
        QFile program(root.filePath(QStringLiteral("usr/bin/locale")));
        QVERIFY(program.open(QIODevice::WriteOnly));
        setProgramFolder(root.filePath(QStringLiteral("usr/bin")));
        QCOMPARE(dataFolder(), root.filePath(QStringLiteral("usr/share/ostrel")));
        QVERIFY(program.remove() && root.mkpath(QStringLiteral("usr/bin/locale")));
        QCOMPARE(dataFolder(), root.filePath(QStringLiteral("usr/bin")));
        setProgramFolder(root.filePath(QStringLiteral("elsewhere")));
        QCOMPARE(dataFolder(), root.filePath(QStringLiteral("elsewhere")));
        setProgramFolder(QString());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
