// The charge history: every charge kept without asking, each channel's cell
// label, the history window, and a kept charge beside the live curves.

#include "app/TfmMain.h"

#include "history/historystore.h"
#include "history/historywindow.h"
#include "history/historywriter.h"
#include "charts/chartlines.h"
#include "charts/engine/chart.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "app/widgets.h"

#include <QCompleter>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringListModel>

namespace {
QString labelKey(Channel ch)
{
    return ch == Channel::A ? QStringLiteral("label.A") : QStringLiteral("label.B");
}
} // namespace

QWidget *TfmMain::buildCellLabels()
{
    auto *row = new QWidget(TabStatis);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    cellLabels_ = new QStringListModel(this);
    auto field = [&](QLineEdit *&edit, const char *name, const QString &caption, Channel ch) {
        auto *label = new QLabel(caption, row);
        edit = make<QLineEdit>(row, name);
        edit->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        edit->setToolTip(QStringLiteral("Метка аккумулятора или сборки на этом канале: с ней заряд попадёт в историю"));
        edit->setPlaceholderText(QStringLiteral("без метки"));
        label->setBuddy(edit);
        auto *completer = new QCompleter(cellLabels_, edit);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        edit->setCompleter(completer);
        connect(edit, &QLineEdit::editingFinished, this, [this, ch] { cellLabelEdited(ch); });
        layout->addWidget(label);
        layout->addWidget(edit, 1);
    };
    field(cellLabelA, "cellLabelA", QStringLiteral("Аккумулятор &A:"), Channel::A);
    layout->addSpacing(8);
    field(cellLabelB, "cellLabelB", QStringLiteral("Аккумулятор &B:"), Channel::B);
    return row;
}

void TfmMain::startHistory(const QString &path)
{
    historyStore_ = std::make_unique<HistoryStore>();
    if (!historyStore_->open(path)) {
        historyTrouble(QStringLiteral("История зарядов не ведётся: %1.").arg(historyStore_->error()));
        historyStore_.reset();
        return;
    }
    if (!historyStore_->movedAside().isEmpty())
        historyTrouble(QStringLiteral("Файл истории зарядов был повреждён; он отложен как %1, начата новая история.")
                           .arg(historyStore_->movedAside()));
    historyWriter_ = std::make_unique<HistoryWriter>(path);
    connect(historyWriter_.get(), &HistoryWriter::failed, this, [this](const QString &why) {
        historyTrouble(QStringLiteral("История зарядов не записывается (%1). Заряд и журнал идут дальше.").arg(why));
    });
    // Another program may hold the database a moment: not on this thread.
    historyWriter_->post([](HistoryStore &s) { return s.closeAbandoned(ownerAlive) >= 0; });
    history_.setWriter(historyWriter_.get(), processOwner());
    for (Channel ch : {Channel::A, Channel::B}) {
        const QString label = historyStore_->meta(labelKey(ch));
        (ch == Channel::A ? cellLabelA : cellLabelB)->setText(label);
        history_.setLabel(ch, label);
    }
    refreshCellLabels();
}

void TfmMain::flushHistory()
{
    history_.flush();
    if (historyWriter_)
        historyWriter_->flush();
}

void TfmMain::historyTrouble(const QString &text)
{
    // Said once where it is seen, never in the way of a charge: a box
    // that does not hold the window, and the link's log.
    receiver.log(QStringLiteral("  \r\n") + text);
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("История зарядов"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("historyMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TfmMain::cellLabelEdited(Channel ch)
{
    const QString label = (ch == Channel::A ? cellLabelA : cellLabelB)->text().trimmed();
    if (label == history_.label(ch))
        return;
    history_.setLabel(ch, label);
    if (historyWriter_) {
        historyWriter_->post([key = labelKey(ch), label](HistoryStore &s) { return s.setMeta(key, label); });
        if (!label.isEmpty() && !cellLabels_->stringList().contains(label))
            cellLabels_->setStringList(cellLabels_->stringList() << label);
    }
}

void TfmMain::refreshCellLabels()
{
    if (historyStore_)
        cellLabels_->setStringList(historyStore_->labels());
}

HistoryWindow *TfmMain::showHistory()
{
    if (!historyStore_) {
        Dialogs::instance().message(this, QStringLiteral("История зарядов не ведётся: её базу не удалось открыть."),
                                    Dialogs::Icon::Warning);
        return nullptr;
    }
    // What is running goes to the table as it stands now, once written.
    history_.flush();
    if (!historyWindow_) {
        historyWindow_ = new HistoryWindow(*historyStore_, *historyWriter_, this);
        historyWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(historyWindow_, &HistoryWindow::compareRequested, this, &TfmMain::compareWithHistory);
        connect(historyWindow_, &HistoryWindow::labelsChanged, this, &TfmMain::refreshCellLabels);
    } else {
        historyWindow_->reload();
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
    return historyWindow_;
}

void TfmMain::compareWithHistory(const HistoryEntry &e, const QStringList &lines)
{
    historyCurve.clear();
    const LogCurves curves = curvesFromLog(lines, true, false);
    const QColor colour(220, 110, 0);
    for (const LogPoint &p : curves.u)
        historyCurve.append(p.value, p.time, colour);
    // Short: the legend takes its width from the plot, and a wide one
    // would push the right scale under the curves' colour labels.
    QString label = e.label.isEmpty() ? QStringLiteral("без метки") : e.label;
    if (label.size() > 16)
        label = label.left(15) + QChar(0x2026);
    historyCurve.setTitle(label + QLatin1Char(' ') + e.started.toLocalTime().toString(QStringLiteral("dd.MM.yy HH:mm")));
    historyCurve.style.showInLegend = !historyCurve.isEmpty();
    Chart1->update();
    PageControl1->setCurrentWidget(TabSheet1);
}
