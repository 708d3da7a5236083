// Saving both logs into one data file and opening such files again, the
// link log beside it, dropped files, and clearing everything.

#include "app/TfmMain.h"

#include "charts/datafile.h"

#include "charts/engine/chart.h"
#include "charts/journal.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/errorreport.h"
#include "platform/filewrite.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <stdexcept>

namespace {

// Written beside and then renamed over the old file, so an existing file is
// either the old one or the new one, never half of each.
void writeFile(const QString &path, const QByteArray &bytes)
{
    writeWholeFile(path, bytes);
}

} // namespace

void TfmMain::NSaveAllClick()
{
    saveFailed_ = false;
    Dialogs &dialogs = Dialogs::instance();
    const QString path = dialogs.saveFileName(
        this, Clock::now().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt"),
        QStringLiteral("*.txt (*.txt);;* (*)"), QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && dialogs.question(this, QStringLiteral("Такой файл есть.  Продолжить?"),
                            QMessageBox::Yes | QMessageBox::No, QStringLiteral("Совпадение имен."))
               != QMessageBox::Yes)
        return;
    saveFailed_ = true; // until the file is written
    QByteArray bytes;
    try {
        bytes = joinLogs(Memo1->lines(), Memo2->lines());
    } catch (const std::exception &) {
        // Writing what was built (nothing) would put an empty file in place
        // of the one the user agreed to replace and call the logs saved:
        // the file and the logs stay as they are.
        Dialogs::instance().message(this, QStringLiteral("Ошибка при сохранении!"), Dialogs::Icon::None);
        return;
    }
    writeFile(path, bytes);
    if (receiver.LogEnabled)
        writeFile(QFileInfo(path).dir().filePath(QStringLiteral("Log.txt")), linkLogFile(receiver.LogText));
    Memo1->setModified(false);
    Memo2->setModified(false);
    saveFailed_ = false;
    journalHandEdits(); // what the file holds, before the journal says it is saved
    journal(JournalRecord::saved(QFileInfo(path).absoluteFilePath()));
}

bool TfmMain::offerToSaveLogs()
{
    if (!Memo1->isModified() && !Memo2->isModified())
        return true;
    const auto answer = Dialogs::instance().question(
        this, QStringLiteral("Сохранить статистику?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
        QStringLiteral("Открытие нового файла"));
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        runGuarded([this] { NSaveAllClick(); });
        // A save that failed (its message shown) leaves the logs in place:
        // opening would throw away the lines it could not save.
        return !saveFailed_;
    }
    return true;
}

void TfmMain::NOpenFileClick()
{
    // Opening replaces both logs: unsaved lines are offered for saving first,
    // as a dropped file does.
    if (!offerToSaveLogs())
        return;
    openDataFile();
}

void TfmMain::openDataFile()
{
    if (!openWithoutDialog_) {
        const QString path = Dialogs::instance().openFileName(this, QStringLiteral("txt (*.txt);;* (*)"),
                                                                QStringLiteral("txt"));
        if (path.isEmpty())
            return;
        OpenDialogFileName = path;
    }
    openWithoutDialog_ = false;
    NDeleteAllClick();
    LogCurves curvesA, curvesB;
    const bool opened = [&] {
        QFile f(OpenDialogFileName);
        if (!f.open(QIODevice::ReadOnly))
            return false; // a file that cannot be read leaves everything cleared, silently
        const DataFileLogs logs = splitLogs(decodeDataFile(f.readAll()));
        Memo1->setLines(logs.a);
        Memo2->setLines(logs.b);
        curvesA = curvesOf(true, logs.a);
        curvesB = curvesOf(false, logs.b);
        setStatusPanelText(0, QStringLiteral("   ") + QFileInfo(OpenDialogFileName).fileName());
        return true;
    }();
    // A file not read leaves both curves empty.
    showCurves(true, curvesA);
    showCurves(false, curvesB);
    // The file holds the logs: the journal names it rather than copying it.
    if (opened)
        restartJournal(JournalRecord::opened(QFileInfo(OpenDialogFileName).absoluteFilePath(), curveSetup()));
}

void TfmMain::dropFile(const QString &dropped)
{
    const QString path = dropped.left(1024);
    if (!QFileInfo(path).isFile())
        return;
    if (!offerToSaveLogs())
        return;
    openWithoutDialog_ = true;
    OpenDialogFileName = path;
    openDataFile();
}

void TfmMain::NDeleteAllClick()
{
    setStatusPanelText(0, QString());
    try {
        Memo1->clear();
        Memo2->clear();
        BtnChartClear1Click();
        Chart1->undoZoom();
        labelClickSeriesA->clear();
        labelClickSeriesB->clear();
        receivedDirty_ = false;
        lbRecv->setText(QStringLiteral("Принято"));
        lbSend->setText(QStringLiteral("Послано"));
        Label25->setText(QStringLiteral("Время вкл."));
        receiver.clock.restart(Clock::timeOfDay());
    } catch (const std::exception &) {
        Dialogs::instance().message(this, QStringLiteral("Error"), Dialogs::Icon::None);
    }
    restartJournal();
    watch_.logsCleared();
}
