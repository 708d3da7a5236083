// The crash-safe journal of the logs and curves: what the window writes to
// it, when it is begun again or retired, and the offer to restore what a
// run that ended badly left behind.

#include "app/TfmMain.h"

#include "charts/engine/chart.h"
#include "charts/journal.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/journalfile.h"
#include "platform/localeformat.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QFileInfo>
#include <QLabel>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

namespace {

const QString NotStarted = QStringLiteral("Время вкл.");

QDateTime journalDate(const JournalContent &content, const LeftoverJournal &file)
{
    return content.started.isValid() ? content.started : QFileInfo(file.path()).lastModified();
}

QString offerText(const JournalContent &c, const QDateTime &date)
{
    QString text = QStringLiteral("Восстановить несохранённую статистику?\n\n");
    text += QStringLiteral("Запись от %1\n").arg(date.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    text += QStringLiteral("Канал A - строк: %1, канал B - строк: %2, из них не сохранено: %3")
                .arg(c.a.size())
                .arg(c.b.size())
                .arg(c.unsavedLines);
    if (!c.openedFile.isEmpty())
        text += QStringLiteral("\nНачало - файл %1%2")
                    .arg(c.openedFile, c.openedFileMissing ? QStringLiteral(" (не найден)") : QString());
    if (c.damaged > 0)
        text += QStringLiteral("\nПовреждённых записей пропущено: %1").arg(c.damaged);
    return text;
}

} // namespace

void TfmMain::startJournal(const QString &folder)
{
    journal_ = std::make_unique<JournalFile>();
    std::vector<LeftoverJournal> found = JournalFile::leftovers(folder);
    bool restored = false;
    // Newest first: that is the charge the user most likely wants back. Only
    // one can fill the logs; the others are kept aside under their date.
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        const JournalContent content = replayJournal(it->bytes());
        const QString date = journalDate(content, *it).toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
        const LeftoverFate fate = leftoverFate(content, restored);
        if (fate == LeftoverFate::Remove) {
            it->remove();
        } else if (fate == LeftoverFate::Offer
                   && Dialogs::instance().question(this, offerText(content, journalDate(content, *it)),
                                                   QMessageBox::Yes | QMessageBox::No,
                                                   QStringLiteral("Восстановление статистики"))
                          == QMessageBox::Yes) {
            restoreJournal(content);
            restored = journal_->adopt(std::move(*it), content.wholeBytes);
        } else {
            it->setAside(date);
        }
    }
    if (!restored && journal_->create(folder))
        journal_->append(JournalRecord::header(Clock::now(), Fmt::decimalSeparator().at(0)));
    if (!journal_->isOpen()) {
        reportJournalFailure(journal_->error());
        journal_.reset();
        return;
    }
    journalFollower_.caughtUp(receiver.LogText.size(), chargeStart());
    journalTimer->start();
}

void TfmMain::restoreJournal(const JournalContent &c)
{
    Memo1->setLines(c.a);
    Memo2->setLines(c.b);
    for (LogMemo *m : {Memo1, Memo2}) {
        m->setModified(c.unsavedLines > 0);
        // Where the charge stopped, as it was on screen: the last line, seen
        // from its start (its end would scroll the time out of sight).
        m->moveCursor(QTextCursor::End);
        m->moveCursor(QTextCursor::StartOfLine);
    }
    for (int i = 0; i < JournalCurves; ++i) {
        ChartSeries &s = series(SeriesId(i));
        s.clear();
        for (const ChartPoint &p : c.curves[size_t(i)])
            s.append(p.value, p.label, QColor::fromRgb(p.colour));
    }
    Chart1->undoZoom();
    Chart1->update();
    if (!c.openedFile.isEmpty())
        setStatusPanelText(0, QStringLiteral("   ") + QFileInfo(c.openedFile).fileName());
    if (!c.linkLog.isEmpty())
        receiver.LogText = logLegend() + c.linkLog;
    if (c.hasChargeStart) {
        // The charge was running when the label showed its start: the next
        // Start carries it on, its clock counting from the start it had.
        receiver.clock.restore(c.startTime, c.timeOffset, c.startShown != NotStarted);
        Label25->setText(c.startShown);
        resumeCharge_ = receiver.clock.started();
    }
}

JournalFollower::ChargeStart TfmMain::chargeStart() const
{
    return {receiver.clock.StartTime, receiver.clock.TimeOffset, Label25->text()};
}

void TfmMain::reportJournalFailure(const QString &reason)
{
    if (journalFailureShown_)
        return;
    journalFailureShown_ = true;
    // Said once, where the link's troubles are told: a box in the middle
    // of a charge would stop nothing and hide the window.
    setStatusPanelText(1, QStringLiteral("журнал не ведётся: %1").arg(reason));
}

void TfmMain::journalTimerTimer()
{
    if (!journal_)
        return;
    const QByteArray news = journalFollower_.news(receiver.LogText, chargeStart());
    if (!news.isEmpty())
        journal_->append(news);
    const QString failure = journal_->error();
    if (!failure.isEmpty())
        reportJournalFailure(failure);
}

void TfmMain::journal(const QByteArray &record)
{
    if (journal_)
        journal_->append(record);
}

void TfmMain::journalHandEdits()
{
    handEditTimer->stop();
    for (int ch = 0; ch < 2; ++ch) {
        if (!editedByHand_[size_t(ch)])
            continue;
        editedByHand_[size_t(ch)] = false;
        journal(JournalRecord::logEdited(ch == 0 ? 'A' : 'B', (ch == 0 ? Memo1 : Memo2)->lines()));
    }
}

void TfmMain::clearLog(LogMemo *memo)
{
    memo->clear();
    editedByHand_[memo == Memo1 ? 0 : 1] = true;
    journalHandEdits();
}

void TfmMain::restartJournal(const QByteArray &first)
{
    // What was changed by hand is in the logs the new record starts from.
    editedByHand_ = {};
    handEditTimer->stop();
    resumeCharge_ = false;
    if (!journal_)
        return;
    journal_->restart(JournalRecord::header(Clock::now(), Fmt::decimalSeparator().at(0)) + first);
    journalFollower_.startedAgain(receiver.LogText.size());
}

void TfmMain::retireJournal(bool everythingSaved)
{
    if (!journal_)
        return;
    journalHandEdits();
    journalTimerTimer(); // what the last tick has not seen yet
    if (everythingSaved)
        journal_->discard();
    else
        journal_->close();
    journal_.reset();
}

CurveSetup TfmMain::curveSetup() const
{
    CurveSetup setup;
    for (int i = 0; i < JournalCurves; ++i) {
        setup.shown[size_t(i)] = curve(SeriesId(i)).view->isChecked();
        setup.colour[size_t(i)] = fontColor(curve(SeriesId(i)).colour).rgb();
    }
    return setup;
}
