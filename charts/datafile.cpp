// Saving both logs into one data file and opening such files again, the
// link log beside it, dropped files, and clearing everything.

#include "TfmMain.h"

#include "chart.h"
#include "clock.h"
#include "codepage.h"
#include "dialogs.h"
#include "errorreport.h"
#include "statistika.h"
#include "widgets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include <stdexcept>

namespace {

const QString Marker = QStringLiteral("/* B */");

// Lines with CR LF after each, the last included, in code page 1251.
QByteArray windowsText(const QStringList &lines)
{
    QString text;
    for (const QString &l : lines)
        text += l + QStringLiteral("\r\n");
    return toCp1251(text);
}

// Written beside and then renamed over the old file, so an existing file is
// either the old one or the new one, never half of each.
void writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit())
        return;
    throw std::runtime_error(QStringLiteral("%1: %2").arg(path, f.errorString()).toStdString());
}

QStringList splitLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back(); // the break after the last line ends it; it starts none
    return lines;
}

// Files of this program are Windows-1251; a file that is valid UTF-8 was
// edited elsewhere and is read as such.
QString decodeDataFile(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromCp1251(bytes);
}

} // namespace

void TfmMain::NSaveAllClick()
{
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
    QStringList lines;
    try {
        lines << Memo1->lines() << QString() << Marker << Memo2->lines();
    } catch (const std::exception &) {
        Dialogs::instance().message(this, QStringLiteral("Ошибка при сохранении!"), Dialogs::Icon::None);
    }
    writeFile(path, windowsText(lines));
    if (LogEnabled)
        writeFile(QFileInfo(path).dir().filePath(QStringLiteral("Log.txt")), windowsText(splitLines(LogText)));
    Memo1->setModified(false);
    Memo2->setModified(false);
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
    if (answer == QMessageBox::Yes)
        runGuarded([this] { NSaveAllClick(); }); // whatever became of it, go on
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
    [&] {
        QFile f(OpenDialogFileName);
        if (!f.open(QIODevice::ReadOnly))
            return; // a file that cannot be read leaves everything cleared, silently
        QStringList lines = splitLines(decodeDataFile(f.readAll()));
        // Everything after the first marker is channel B; channel A ends
        // before the last one. A marker on the very first line is no marker.
        QStringList b;
        qsizetype m = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (m > 0)
                b << lines[i];
            if (lines[i] == Marker)
                m = i;
        }
        Memo2->setLines(b);
        if (m > 0)
            lines.erase(lines.begin() + m, lines.end());
        Memo1->setLines(lines);
        setStatusPanelText(0, QStringLiteral("   ") + QFileInfo(OpenDialogFileName).fileName());
        Memo1->setModified(false);
        Memo2->setModified(false);
    }();
    ConstructChartGraf(Memo1);
    ConstructChartGraf(Memo2);
}

void TfmMain::DropFile(const QString &dropped)
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
        Chart1->UndoZoom();
        labelClickSeriesA->clear();
        labelClickSeriesB->clear();
        lbRecv->setText(QStringLiteral("Принято"));
        lbSend->setText(QStringLiteral("Послано"));
        Label25->setText(QStringLiteral("Время вкл."));
        StartTime = Clock::timeOfDay();
    } catch (const std::exception &) {
        Dialogs::instance().message(this, QStringLiteral("Error"), Dialogs::Icon::None);
    }
}
