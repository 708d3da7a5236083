#pragma once

// The history's table: every entry read once, those the filter lets through
// shown, in the order of the column last sorted by. Only the label is
// edited here; the window writes the change.

#include "history/historyviews.h"

#include <QAbstractTableModel>

#include <vector>

class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        ChannelColumn, StartColumn, LabelColumn, KindColumn, CurrentColumn, DurationColumn, CapacityColumn,
        UStartColumn, UPeakColumn, UEndColumn, TPeakColumn, TRiseColumn, ResistanceColumn, EndColumn, ColumnCount
    };

    explicit HistoryModel(QObject *parent = nullptr);

    void setEntries(std::vector<HistoryEntry> entries);
    const std::vector<HistoryEntry> &entries() const { return entries_; }
    void setFilter(const HistoryFilter &filter);
    const HistoryFilter &filter() const { return filter_; }

    // The entry on a shown row.
    const HistoryEntry &entryAt(int row) const { return entries_[shown_[size_t(row)]]; }
    // The shown entries, in the shown order.
    std::vector<HistoryEntry> shownEntries() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // The user gave an entry a new label.
    void labelEdited(const QString &key, const QString &label);

private:
    void refilter();

    std::vector<HistoryEntry> entries_;
    std::vector<size_t> shown_;
    HistoryFilter filter_;
    int sortColumn_ = StartColumn;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
};
