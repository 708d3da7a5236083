#pragma once

// "История зарядов": every kept charge in a table, filtered by label,
// channel and date and sorted by any column; a charge put on the chart
// beside the live curves; a label's trend; cells matched into packs; the
// table as CSV; data files added to the history.

#include "history/historymodel.h"

#include <QDialog>

class HistoryStore;
class HistoryWriter;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class TrendChart;

class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    // Reads through `reader` (the window thread's connection); label edits
    // and imports go through `writer`.
    HistoryWindow(HistoryStore &reader, HistoryWriter &writer, QWidget *parent = nullptr);

    // The entries read again (a charge ended, another program wrote).
    void reload();
    HistoryModel *model() const { return model_; }

    // The groups of the last matching, as the pane shows them.
    QString matchText() const;

signals:
    // Put this charge on the chart beside the live curves.
    void compareRequested(const HistoryEntry &entry, const QStringList &lines);
    // Labels changed: an entry's edited, or charges imported.
    void labelsChanged();

private:
    void applyFilter();
    void showTrend();
    void match();
    void compare();
    void exportCsv();
    void importFile();
    void fillLabelLists();
    QString selectedLabel() const;

    HistoryStore &reader_;
    HistoryWriter &writer_;
    HistoryModel *model_;
    QLineEdit *filterLabel_;
    QComboBox *filterChannel_;
    QDateEdit *filterFrom_, *filterTo_;
    QTableView *table_;
    TrendChart *trend_;
    QComboBox *trendLabel_;
    QListWidget *matchLabels_;
    QSpinBox *packSize_;
    QPlainTextEdit *matchResult_;
    QLabel *status_;
    QString readError_;
};
