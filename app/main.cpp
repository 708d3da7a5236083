#include "serial/CPort.h"
#include "app/TfmMain.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/heap.h"
#include "platform/journalfile.h"
#include "platform/messages.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string_view>

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
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            std::printf("Ostrel %s\n", OSTREL_VERSION);
            return 0;
        }
        if (arg == "--help") {
            std::printf("Usage: ostrel [--start] [--version] [--help]\n"
                        "A companion for a two-channel NiCd/NiMH charger on a serial port.\n"
                        "  --start    start receiving at once, as pressing \"Старт\" does\n");
            return 0;
        }
    }
    returnLargeBlocksToTheSystem();
    Application app(argc, argv);
    // No display name: Qt would append it to every window's title.
    installQtTranslations(app);
    translatePortTexts();
    TfmMain window;
    window.show();
    window.startJournal(JournalFile::defaultFolder());
    // For a charge logged unattended from the moment the program starts.
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--start")
            QTimer::singleShot(0, &window, [&window] { window.btnStart->click(); });
    return app.exec();
}
