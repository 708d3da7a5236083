#include "history/historymodel.h"

#include "charts/chargesummary.h"
#include "platform/localeformat.h"

#include <algorithm>

HistoryModel::HistoryModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryModel::setEntries(std::vector<HistoryEntry> entries)
{
    beginResetModel();
    entries_ = std::move(entries);
    refilter();
    endResetModel();
}

void HistoryModel::setFilter(const HistoryFilter &filter)
{
    beginResetModel();
    filter_ = filter;
    refilter();
    endResetModel();
}

std::vector<HistoryEntry> HistoryModel::shownEntries() const
{
    std::vector<HistoryEntry> out;
    out.reserve(shown_.size());
    for (size_t i : shown_)
        out.push_back(entries_[i]);
    return out;
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

namespace {
// The value a column sorts by.
QVariant sortKey(const HistoryEntry &e, int column)
{
    switch (column) {
    case HistoryModel::ChannelColumn: return e.channel;
    case HistoryModel::StartColumn: return e.started.toMSecsSinceEpoch();
    case HistoryModel::LabelColumn: return e.label;
    case HistoryModel::KindColumn: return chargeKind(e);
    case HistoryModel::CurrentColumn: return e.currentMilliamps;
    case HistoryModel::DurationColumn: return e.seconds;
    case HistoryModel::CapacityColumn: return e.capacity;
    case HistoryModel::UStartColumn: return e.uStart;
    case HistoryModel::UPeakColumn: return e.uPeak;
    case HistoryModel::UEndColumn: return e.uEnd;
    case HistoryModel::TPeakColumn: return e.tPeak;
    case HistoryModel::TRiseColumn: return e.tRise ? *e.tRise : -1e300;
    case HistoryModel::ResistanceColumn: return e.resistance ? *e.resistance : -1e300;
    case HistoryModel::EndColumn: return endText(e);
    }
    return {};
}
} // namespace

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(shown_.size()))
        return {};
    const HistoryEntry &e = entryAt(index.row());
    if (role == Qt::TextAlignmentRole)
        return index.column() >= CurrentColumn && index.column() <= ResistanceColumn
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role == Qt::EditRole && index.column() == LabelColumn)
        return e.label;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ChannelColumn: return QString(QLatin1Char(e.channel));
    case StartColumn: return e.started.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    case LabelColumn: return e.label;
    case KindColumn: return chargeKind(e);
    case CurrentColumn: return e.currentMilliamps > 0 ? QString::number(e.currentMilliamps) : QString();
    case DurationColumn: return durationText(e.seconds);
    case CapacityColumn: return Fmt::fixed(e.capacity, 0);
    case UStartColumn: return Fmt::fixed(e.uStart, 4);
    case UPeakColumn: return Fmt::fixed(e.uPeak, 4);
    case UEndColumn: return Fmt::fixed(e.uEnd, 4);
    case TPeakColumn: return Fmt::fixed(e.tPeak, 1);
    case TRiseColumn: return e.tRise ? Fmt::fixed(*e.tRise, 2) : QString();
    case ResistanceColumn: return e.resistance ? Fmt::fixed(*e.resistance, 3) : QString();
    case EndColumn: return endText(e);
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[ColumnCount] = {
        "Канал", "Начало", "Метка", "Тип", "Ток, mA", "Время", "Заряжено, mAh", "U нач., В",
        "U макс., В", "U кон., В", "T макс., °C", "Рост T, °C/мин", "R, Ом", "Окончание"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

Qt::ItemFlags HistoryModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == LabelColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool HistoryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != LabelColumn || index.row() >= int(shown_.size()))
        return false;
    HistoryEntry &e = entries_[shown_[size_t(index.row())]];
    const QString label = value.toString().trimmed();
    if (label == e.label)
        return false;
    e.label = label;
    emit dataChanged(index, index);
    emit labelEdited(e.key, label);
    return true;
}

void HistoryModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The chosen charge stays chosen wherever it goes.
    const QModelIndexList before = persistentIndexList();
    std::vector<size_t> entryOf;
    for (const QModelIndex &i : before)
        entryOf.push_back(shown_[size_t(i.row())]);
    sortColumn_ = column;
    sortOrder_ = order;
    refilter();
    std::vector<int> rowOf(entries_.size(), -1);
    for (size_t r = 0; r < shown_.size(); ++r)
        rowOf[shown_[r]] = int(r);
    QModelIndexList after;
    for (size_t k = 0; k < size_t(before.size()); ++k)
        after << index(rowOf[entryOf[k]], before[qsizetype(k)].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void HistoryModel::refilter()
{
    shown_.clear();
    const HistoryFilter::Span span = filter_.span();
    for (size_t i = 0; i < entries_.size(); ++i)
        if (filter_.accepts(entries_[i], span))
            shown_.push_back(i);
    // Each key made once: a sort of thousands of rows compares each many times.
    std::vector<QVariant> keys(entries_.size());
    for (size_t i : shown_)
        keys[i] = sortKey(entries_[i], sortColumn_);
    auto less = [&](size_t a, size_t b) {
        const auto c = QVariant::compare(keys[a], keys[b]);
        return sortOrder_ == Qt::AscendingOrder ? c == QPartialOrdering::Less : c == QPartialOrdering::Greater;
    };
    std::stable_sort(shown_.begin(), shown_.end(), less);
}
