#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "history/historystore.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/heap.h"
#include "platform/journalfile.h"
#include "platform/messages.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {
// Exceptions that escape an event handler end up here; they are reported and
// the program goes on.
class Application : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            reportError(e);
        } catch (...) {
            reportUnknownError();
        }
        return false;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    // The program's own options, answered before any window system is
    // needed; the others (-platform, -style, ...) are Qt's.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser options;
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("start receiving at once, as pressing \"Старт\" does"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("print the version and exit"));
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("print this help and exit"));
    options.addOptions({start, version, help});
    options.parse(args); // unknown options are Qt's to judge
    if (options.isSet(version)) {
        std::printf("Ostrel %s\n", OSTREL_VERSION);
        return 0;
    }
    if (options.isSet(help)) {
        std::printf("Usage: ostrel [--start] [--version] [--help]\n"
                    "A companion for a two-channel NiCd/NiMH charger on a serial port.\n"
                    "  --start    %s\n"
                    "  --version  %s\n"
                    "  --help     %s\n",
                    qPrintable(start.description()), qPrintable(version.description()),
                    qPrintable(help.description()));
        return 0;
    }
    returnLargeBlocksToTheSystem();
    Application app(argc, argv);
    // No display name: Qt would append it to every window's title.
    installQtTranslations(app);
    translatePortTexts();
    TfmMain window;
    window.show();
    window.startJournal(JournalFile::defaultFolder());
    window.startHistory(HistoryStore::defaultPath());
    // For a charge logged unattended from the moment the program starts.
    if (options.isSet(start))
        QTimer::singleShot(0, &window, [&window] { window.btnStart->click(); });
    return app.exec();
}
