#include "history/historywindow.h"

#include "history/historystore.h"
#include "history/historywriter.h"
#include "history/matching.h"
#include "history/trendchart.h"
#include "charts/datafile.h"
#include "platform/dialogs.h"
#include "platform/filewrite.h"
#include "platform/localeformat.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {
template <typename W, typename... Args>
W *named(QWidget *parent, const char *name, const QString &accessible, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}
} // namespace

HistoryWindow::HistoryWindow(HistoryStore &reader, HistoryWriter &writer, QWidget *parent)
    : QDialog(parent), reader_(reader), writer_(writer), model_(new HistoryModel(this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("История зарядов"));
    resize(900, 620);

    filterLabel_ = named<QLineEdit>(this, "filterLabel", QStringLiteral("Метка"));
    filterLabel_->setPlaceholderText(QStringLiteral("все"));
    filterLabel_->setClearButtonEnabled(true);
    filterChannel_ = named<QComboBox>(this, "filterChannel", QStringLiteral("Канал"));
    filterChannel_->addItems({QStringLiteral("оба"), QStringLiteral("A"), QStringLiteral("B")});
    filterFrom_ = named<QDateEdit>(this, "filterFrom", QStringLiteral("С даты"));
    filterTo_ = named<QDateEdit>(this, "filterTo", QStringLiteral("По дату"));
    for (QDateEdit *d : {filterFrom_, filterTo_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    }
    auto *filters = new QHBoxLayout;
    auto caption = [this, filters](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        filters->addWidget(l);
        filters->addWidget(buddy);
    };
    caption(QStringLiteral("&Метка:"), filterLabel_);
    caption(QStringLiteral("&Канал:"), filterChannel_);
    caption(QStringLiteral("&С:"), filterFrom_);
    caption(QStringLiteral("&по:"), filterTo_);
    filters->setStretchFactor(filterLabel_, 1);

    table_ = named<QTableView>(this, "historyTable", QStringLiteral("Заряды"));
    table_->setModel(model_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(HistoryModel::StartColumn, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->setWordWrap(false);

    // The trend of a label.
    auto *trendPage = new QWidget(this);
    trendLabel_ = named<QComboBox>(trendPage, "trendLabel", QStringLiteral("Метка для тренда"));
    trend_ = new TrendChart(trendPage);
    auto *trendLayout = new QVBoxLayout(trendPage);
    auto *trendRow = new QHBoxLayout;
    auto *trendCaption = new QLabel(QStringLiteral("Метка:"), trendPage);
    trendCaption->setBuddy(trendLabel_);
    trendRow->addWidget(trendCaption);
    trendRow->addWidget(trendLabel_, 1);
    trendLayout->addLayout(trendRow);
    trendLayout->addWidget(trend_, 1);

    // Cells into packs.
    auto *matchPage = new QWidget(this);
    matchLabels_ = named<QListWidget>(matchPage, "matchLabels", QStringLiteral("Элементы для подбора"));
    packSize_ = named<QSpinBox>(matchPage, "packSize", QStringLiteral("Элементов в сборке"));
    packSize_->setRange(1, 24);
    packSize_->setValue(4);
    auto *matchButton = named<QPushButton>(matchPage, "matchButton", QStringLiteral("Подобрать"),
                                           QStringLiteral("Подобрать"));
    matchResult_ = named<QPlainTextEdit>(matchPage, "matchResult", QStringLiteral("Сборки"));
    matchResult_->setReadOnly(true);
    auto *matchSide = new QFormLayout;
    matchSide->addRow(QStringLiteral("Элементов в сборке:"), packSize_);
    matchSide->addRow(matchButton);
    auto *matchLeft = new QVBoxLayout;
    matchLeft->addWidget(new QLabel(QStringLiteral("Отметьте элементы:"), matchPage));
    matchLeft->addWidget(matchLabels_, 1);
    matchLeft->addLayout(matchSide);
    auto *matchLayout = new QHBoxLayout(matchPage);
    matchLayout->addLayout(matchLeft, 1);
    matchLayout->addWidget(matchResult_, 2);

    auto *tabs = named<QTabWidget>(this, "historyTabs", QStringLiteral("Тренд и подбор"));
    tabs->addTab(trendPage, QStringLiteral("Тренд"));
    tabs->addTab(matchPage, QStringLiteral("Подбор в сборки"));
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(tabs);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto button = [this](const char *name, const QString &text) {
        return named<QPushButton>(this, name, QString(text).remove(QLatin1Char('&')), text);
    };
    QPushButton *compareButton = button("compareButton", QStringLiteral("Показать на &графике"));
    compareButton->setToolTip(QStringLiteral("Кривая напряжения выбранного заряда рядом с текущими на странице «Графики»"));
    QPushButton *importButton = button("importButton", QStringLiteral("&Импорт файла..."));
    importButton->setToolTip(QStringLiteral("Добавить в историю заряды из сохранённого файла данных"));
    QPushButton *exportButton = button("exportButton", QStringLiteral("&Экспорт CSV..."));
    exportButton->setToolTip(QStringLiteral("Показанные строки таблицы в файл CSV"));
    QPushButton *closeButton = button("closeButton", QStringLiteral("Закрыть"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(compareButton);
    buttons->addWidget(importButton);
    buttons->addWidget(exportButton);
    status_ = named<QLabel>(this, "historyStatus", QStringLiteral("Состояние истории"));
    buttons->addWidget(status_, 1);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(filterLabel_, &QLineEdit::textChanged, this, &HistoryWindow::applyFilter);
    connect(filterChannel_, &QComboBox::currentIndexChanged, this, &HistoryWindow::applyFilter);
    connect(filterFrom_, &QDateEdit::dateChanged, this, &HistoryWindow::applyFilter);
    connect(filterTo_, &QDateEdit::dateChanged, this, &HistoryWindow::applyFilter);
    connect(trendLabel_, &QComboBox::currentTextChanged, this, &HistoryWindow::showTrend);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        const QString label = selectedLabel();
        if (!label.isEmpty())
            trendLabel_->setCurrentText(label);
    });
    connect(table_, &QTableView::activated, this, &HistoryWindow::compare);
    connect(matchButton, &QPushButton::clicked, this, &HistoryWindow::match);
    connect(compareButton, &QPushButton::clicked, this, &HistoryWindow::compare);
    connect(importButton, &QPushButton::clicked, this, &HistoryWindow::importFile);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(model_, &HistoryModel::labelEdited, this, [this](const QString &key, const QString &label) {
        writer_.post([key, label](HistoryStore &s) { return s.setLabel(key, label); });
        writer_.flush();
        fillLabelLists();
        emit labelsChanged();
    });
    reload();
}

void HistoryWindow::reload()
{
    std::vector<HistoryEntry> entries = reader_.entries();
    // A history that cannot be read says so, rather than look empty.
    readError_ = reader_.error().isEmpty() ? QString() : QStringLiteral("Не удалось прочитать историю: ") + reader_.error();
    const QDate first = entries.empty() ? QDate::currentDate() : entries.front().started.toLocalTime().date();
    const std::pair<QDateEdit *, QDate> dates[] = {{filterFrom_, first}, {filterTo_, QDate::currentDate()}};
    for (const auto &[field, date] : dates) {
        const QSignalBlocker quiet(field);
        field->setDateRange(first.addYears(-1), QDate::currentDate().addYears(1));
        if (!field->property("chosen").toBool())
            field->setDate(date);
    }
    model_->setEntries(std::move(entries));
    applyFilter();
    fillLabelLists();
    table_->resizeColumnsToContents();
}

void HistoryWindow::applyFilter()
{
    // Dates the user picked stay picked when the entries are read again.
    if (sender() == filterFrom_ || sender() == filterTo_)
        sender()->setProperty("chosen", true);
    HistoryFilter f;
    f.label = filterLabel_->text().trimmed();
    f.channel = filterChannel_->currentIndex() == 1 ? 'A' : filterChannel_->currentIndex() == 2 ? 'B' : 0;
    f.from = filterFrom_->date();
    f.to = filterTo_->date();
    model_->setFilter(f);
    status_->setText(readError_.isEmpty() ? QStringLiteral("Показано зарядов: %1 из %2")
                                                .arg(model_->rowCount())
                                                .arg(model_->entries().size())
                                          : readError_);
}

void HistoryWindow::fillLabelLists()
{
    const QStringList labels = reader_.labels();
    const QString current = trendLabel_->currentText();
    {
        const QSignalBlocker quiet(trendLabel_);
        trendLabel_->clear();
        trendLabel_->addItems(labels);
        trendLabel_->setCurrentText(labels.contains(current) ? current : labels.value(0));
    }
    showTrend();
    QStringList checked;
    for (int i = 0; i < matchLabels_->count(); ++i)
        if (matchLabels_->item(i)->checkState() == Qt::Checked)
            checked << matchLabels_->item(i)->text();
    matchLabels_->clear();
    QStringList sorted = labels;
    sorted.sort(Qt::CaseInsensitive);
    for (const QString &label : sorted) {
        auto *item = new QListWidgetItem(label, matchLabels_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(label) ? Qt::Checked : Qt::Unchecked);
    }
}

QString HistoryWindow::selectedLabel() const
{
    const QModelIndex at = table_->currentIndex();
    return at.isValid() ? model_->entryAt(at.row()).label : QString();
}

void HistoryWindow::showTrend()
{
    const QString label = trendLabel_->currentText();
    trend_->setTrend(label, trendOf(model_->entries(), label));
}

void HistoryWindow::match()
{
    QStringList labels;
    for (int i = 0; i < matchLabels_->count(); ++i)
        if (matchLabels_->item(i)->checkState() == Qt::Checked)
            labels << matchLabels_->item(i)->text();
    const std::vector<LabelledCell> cells = cellsOf(model_->entries(), labels);
    std::vector<MatchCell> input;
    for (const LabelledCell &c : cells)
        input.push_back({c.capacity, c.resistance});
    const std::vector<MatchGroup> groups = matchPacks(input, packSize_->value());
    QStringList text;
    if (labels.isEmpty())
        text << QStringLiteral("Отметьте элементы слева.");
    std::vector<bool> used(cells.size());
    int n = 0;
    for (const MatchGroup &g : groups) {
        QStringList names;
        for (int i : g.cells) {
            used[size_t(i)] = true;
            names << cells[size_t(i)].label;
        }
        // A pack's cells come low to high.
        const double low = cells[size_t(g.cells.front())].capacity, high = cells[size_t(g.cells.back())].capacity;
        QString line = QStringLiteral("Сборка %1: %2 - разброс %3 % (%4...%5 mAh)")
                           .arg(++n)
                           .arg(names.join(QStringLiteral(", ")), Fmt::fixed(g.capacitySpreadPercent, 1),
                                Fmt::fixed(low, 0), Fmt::fixed(high, 0));
        if (g.resistanceSpreadPercent)
            line += QStringLiteral(", R %1 %").arg(Fmt::fixed(*g.resistanceSpreadPercent, 1));
        text << line;
    }
    QStringList left;
    for (size_t i = 0; i < cells.size(); ++i)
        if (!used[i])
            left << cells[i].label;
    for (const QString &label : labels)
        if (std::none_of(cells.begin(), cells.end(), [&](const LabelledCell &c) { return c.label == label; }))
            left << label + QStringLiteral(" (нет заряда с отчётом)");
    if (!left.isEmpty())
        text << QStringLiteral("Не вошли: ") + left.join(QStringLiteral(", "));
    if (!labels.isEmpty() && groups.empty())
        text << QStringLiteral("Элементов меньше, чем нужно для одной сборки.");
    matchResult_->setPlainText(text.join(QLatin1Char('\n')));
}

QString HistoryWindow::matchText() const
{
    return matchResult_->toPlainText();
}

void HistoryWindow::compare()
{
    const QModelIndex at = table_->currentIndex();
    if (!at.isValid()) {
        Dialogs::instance().message(this, QStringLiteral("Выберите заряд в таблице."), Dialogs::Icon::Information);
        return;
    }
    const HistoryEntry &e = model_->entryAt(at.row());
    emit compareRequested(e, reader_.lines(e.id));
}

void HistoryWindow::exportCsv()
{
    const QString path = Dialogs::instance().saveFileName(
        this, QStringLiteral("история-%1.csv").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))),
        QStringLiteral("CSV (*.csv);;Все файлы (*)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    try {
        writeWholeFile(path, historyCsv(model_->shownEntries()));
    } catch (const FileWriteError &e) {
        Dialogs::instance().message(this, QString::fromUtf8(e.what()), Dialogs::Icon::Warning);
    }
}

void HistoryWindow::importFile()
{
    const QString path = Dialogs::instance().openFileName(this, QStringLiteral("txt (*.txt);;Все файлы (*)"),
                                                          QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::instance().message(this, QStringLiteral("Не могу открыть %1: %2").arg(path, file.errorString()),
                                    Dialogs::Icon::Warning);
        return;
    }
    const DataFileLogs logs = splitLogs(decodeDataFile(file.readAll()));
    std::vector<ImportedCharge> charges =
        chargesOfLogs(logs.a, logs.b, QFileInfo(path).lastModified(), QFileInfo(path).fileName());
    if (charges.empty()) {
        Dialogs::instance().message(this, QStringLiteral("В файле нет зарядов."), Dialogs::Icon::Information);
        return;
    }
    // Each channel held its own cell: a label for each.
    for (char channel : {'A', 'B'}) {
        if (std::none_of(charges.begin(), charges.end(), [&](const ImportedCharge &c) { return c.entry.channel == channel; }))
            continue;
        const QString label = Dialogs::instance().text(
            this, QStringLiteral("Импорт в историю"),
            QStringLiteral("Метка аккумулятора канала %1 для зарядов из файла:").arg(QLatin1Char(channel)),
            selectedLabel());
        if (label.isNull())
            return;
        for (ImportedCharge &c : charges)
            if (c.entry.channel == channel)
                c.entry.label = label.trimmed();
    }
    const QString owner = processOwner();
    for (ImportedCharge &c : charges)
        writer_.post([c, owner](HistoryStore &s) mutable {
            return s.keep(c.entry, owner) != 0 && s.appendLines(c.entry.id, c.lines);
        });
    const size_t before = model_->entries().size();
    writer_.flush();
    reload();
    emit labelsChanged();
    // What is in the database now, not what was asked: a full disk adds less.
    const size_t added = model_->entries().size() - std::min(before, model_->entries().size());
    if (added == charges.size())
        Dialogs::instance().message(this, QStringLiteral("Добавлено зарядов: %1").arg(added),
                                    Dialogs::Icon::Information);
    else
        Dialogs::instance().message(this, QStringLiteral("Добавлено зарядов: %1 из %2; остальные не удалось записать.")
                                              .arg(added).arg(charges.size()),
                                    Dialogs::Icon::Warning);
}
