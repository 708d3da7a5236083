// Line noise at the line rate, end to end in one process: the simulator
// sends the charger's packets among three times their bytes of random ones,
// 3 840 bytes a second written every 16 ms as a USB adapter delivers them,
// to the window on its statistics page, for the time asked.
//
// Every second it clicks the other tab and measures how long the click
// waits and the window then takes to paint; every 100 ms it reads how many
// bytes the line has brought that the program has not yet taken. At the
// end it prints the longest and the median answer to a click, the largest
// backlog, how much resident memory grew against the text the logs hold,
// and how often the noise was named (once is right).
//
//   build/bench/bench_noise [seconds, default 60] [--write-ms N] [--check]
//
// --check is the quick form CTest runs: it fails only on what does not
// depend on the machine's speed or a sanitizer's memory: the noise named
// once, and the logs within ten characters a received byte (two dump lines
// a read at most). The timings are for a person to read.

#include "app/TfmMain.h"
#include "app/widgets.h"
#include "serial/CPort.h"
#include "link/statistika.h"
#include "platform/programfolder.h"
#include "tests/support/resident.h"
#include "tests/support/scripteddialogs.h"
#include "tools/chargesim/chargesim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int LineRate = 3840; // bytes a second at 38 400 baud

void postClick(QWidget *target, QPoint at)
{
    const QPointF local(at), global(target->mapToGlobal(at));
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

// The window, counting how often it names the noise (the status bar's
// text may give way to another before anyone reads it).
class Window : public TfmMain
{
public:
    int noiseNamed = 0;
    void showNoise(const QString &text) override
    {
        ++noiseNamed;
        TfmMain::showNoise(text);
    }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int seconds = 60, writeMs = 16;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else if (std::strcmp(argv[i], "--write-ms") == 0 && i + 1 < argc)
            writeMs = std::atoi(argv[++i]);
        else
            seconds = std::atoi(argv[i]);
    }
    QTemporaryDir folder;
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path())); // the journal's folder
    QApplication app(argc, argv);
    setProgramFolder(folder.path());
    auto &dialogs = ScriptedDialogs::install();

    chargesim::Simulator sim({.link = {}, .fault = chargesim::Fault::Noise, .rate = LineRate, .writeMs = writeMs});
    sim.start();
    Window w;
    w.resize(900, 650);
    w.show();
    w.ComPort1->setPort(QString::fromStdString(sim.slavePath()));
    QCoreApplication::processEvents();
    const long rssBefore = residentKb();
    w.btnStart->click();

    long long maxBacklog = 0;
    QTimer backlog;
    QObject::connect(&backlog, &QTimer::timeout, [&] {
        // Due on the line by now, less what the program took.
        const long long due = sim.pacedBytes() + sim.pacedBacklog();
        maxBacklog = std::max(maxBacklog, due - w.receiver.RecvTotal);
    });
    backlog.start(100);

    std::vector<double> answers;
    QElapsedTimer clicked;
    QObject::connect(w.PageControl1, &QTabWidget::currentChanged, [&] {
        if (!clicked.isValid())
            return;
        w.repaint(); // what the user waits for: the page drawn
        answers.push_back(clicked.nsecsElapsed() / 1e6);
        clicked.invalidate();
    });
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        QTabBar *bar = w.PageControl1->tabBar();
        const int other = w.PageControl1->currentIndex() == 0 ? 1 : 0;
        clicked.start();
        postClick(bar, bar->tabRect(other).center());
    });
    clicker.start(1000);

    QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); }); // quit() would close the window
    app.exec();
    w.btnStart->click();
    sim.stop();

    const long rss = residentKb();
    qint64 chars[2] = {0, 0};
    int lines[2] = {0, 0};
    for (int ch = 0; ch < 2; ++ch) {
        LogMemo *memo = ch == 0 ? w.Memo1 : w.Memo2;
        for (const QString &line : memo->lines())
            chars[ch] += line.size() + 1;
        lines[ch] = memo->lineCount();
    }
    const long long received = w.receiver.RecvTotal;
    dialogs.answers << QMessageBox::No; // closing: the noise is not worth saving
    const double textMb = (chars[0] + chars[1]) * 2 / 1048576.0; // UTF-16
    const double longest = answers.empty() ? 0 : *std::max_element(answers.begin(), answers.end());

    std::printf("noise at the line rate for %d s, written every %d ms:\n", seconds, writeMs);
    std::printf("  received                %10lld bytes (%.0f a second)\n", received, double(received) / seconds);
    std::printf("  largest backlog         %10lld bytes (%.1f ms of the line)\n", maxBacklog,
                maxBacklog * 1000.0 / LineRate);
    std::printf("  tab click answered      %10.1f ms longest, %.1f ms median (%zu clicks)\n", longest,
                median(answers), answers.size());
    std::printf("  logs                    %10d and %d lines, %.1f MB of text\n", lines[0], lines[1], textMb);
    std::printf("  resident memory grew    %10.1f MB (%.1f to %.1f MB)\n", (rss - rssBefore) / 1024.0,
                rssBefore / 1024.0, rss / 1024.0);
    std::printf("  noise named             %10d time(s)\n", w.noiseNamed);

    if (!check)
        return 0;
    int failed = 0;
    auto require = [&failed](bool ok, const char *what) {
        if (!ok) {
            std::printf("FAILED: %s\n", what);
            ++failed;
        }
    };
    require(w.noiseNamed == 1, "the noise was named once");
    require(received > 0, "the program took the line's bytes");
    require(chars[0] <= 10 * received + 30LL * lines[0] && chars[1] <= 10 * received + 30LL * lines[1],
            "the logs hold at most ten characters a received byte");
    return failed ? 1 : 0;
}
