// A day-long record: both channels logged every second for 24 hours
// (2 x 86 400 measurement lines). Times opening its data file, rebuilding
// both channels' curves, saving it, and the memory the program then holds;
// and the time from an empty process to the window on the screen.
//
//   build/bench/bench_day [lines per channel]

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "charts/datafile.h"
#include "link/statistika.h"
#include "platform/heap.h"
#include "platform/localeformat.h"
#include "platform/programfolder.h"
#include "tests/support/resident.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QStringList channelLog(int lines, int offset)
{
    QStringList log{QStringLiteral("Старт."), QStringLiteral("NiMh аккумулятор. Ток = 1000 mA."),
                    QStringLiteral("Включен режим дозаряда."), QStringLiteral("Внутреннее R аккумулятора = 0,054")};
    for (int i = 0; i < lines; ++i) {
        const int adc = 520 + (i + offset) % 60;
        const int tenths = 220 + (i / 300 + offset) % 120;
        log << sampleLineText(Fmt::chargeTime(i / 86400.0), quint16(adc), 250, qint16(tenths));
    }
    log << QStringLiteral("END:  Конец заряда.");
    return log;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    returnLargeBlocksToTheSystem();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 86400;
    QTemporaryDir folder;
    setProgramFolder(folder.path());

    double firstWindow = 0;
    {
        TfmMain w;
        w.show();
        QCoreApplication::processEvents();
        firstWindow = sinceStart.nsecsElapsed() / 1e6;
    }

    const QString path = QDir(folder.path()).filePath(QStringLiteral("day.txt"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(joinLogs(channelLog(lines, 0), channelLog(lines, 17)));
    }
    auto &dialogs = ScriptedDialogs::install();
    TfmMain w;
    w.resize(900, 650);
    w.show();
    QCoreApplication::processEvents();

    const long rssBefore = residentKb();
    QElapsedTimer t;
    t.start();
    w.dropFile(path); // opens it and builds both channels' curves
    const double open = t.nsecsElapsed() / 1e6;
    t.restart();
    w.ConstructChartGraf(w.Memo1);
    w.ConstructChartGraf(w.Memo2);
    const double rebuild = t.nsecsElapsed() / 1e6;
    // A resize lays out every line of both logs again.
    w.resize(1000, 700);
    QCoreApplication::processEvents();
    const long rss = residentKb();

    // Where opening goes: reading and splitting the file, filling the logs.
    t.restart();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const DataFileLogs logs = splitLogs(decodeDataFile(file.readAll()));
    const double read = t.nsecsElapsed() / 1e6;
    t.restart();
    w.Memo1->setLines(logs.a);
    w.Memo2->setLines(logs.b);
    const double fill = t.nsecsElapsed() / 1e6;

    dialogs.fileAnswers = {QDir(folder.path()).filePath(QStringLiteral("saved.txt"))};
    t.restart();
    w.NSaveAllClick();
    const double save = t.nsecsElapsed() / 1e6;

    std::printf("day-long record, %d lines a channel (%d points a curve):\n", w.Memo1->lineCount(),
                w.series(SeriesId::AU).count());
    std::printf("  start to first window   %8.1f ms\n", firstWindow);
    std::printf("  open the data file      %8.1f ms (with both channels' curves)\n", open);
    std::printf("    of which reading and splitting %6.1f ms, filling both logs %6.1f ms\n", read, fill);
    std::printf("  rebuild both curves     %8.1f ms\n", rebuild);
    std::printf("  save                    %8.1f ms\n", save);
    std::printf("  resident memory         %8.1f MB (both logs and the chart, after a resize; %.1f MB before opening)\n",
                rss / 1024.0, rssBefore / 1024.0);
    return 0;
}
