#pragma once

// What the history window shows, as plain data: the entries a filter lets
// through, a cell's trend over the dates, the cells to match into packs,
// the table as CSV, and the charges of a data file to add.

#include "history/historyentry.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

struct HistoryFilter
{
    QString label;        // a part of the label, any case; empty for all
    char channel = 0;     // 'A', 'B' or 0 for both
    QDate from, to;       // the start's date, inclusive; invalid for open ends

    // The dates as instants of the user's clock, worked out once for a
    // pass over thousands of entries.
    struct Span
    {
        qint64 from, until; // ms since the epoch, the until excluded
    };
    Span span() const;
    bool accepts(const HistoryEntry &e, const Span &span) const;
    bool accepts(const HistoryEntry &e) const { return accepts(e, span()); }
};

// The charges that tell of a cell's health: charges (not discharges) that
// ended with the charger's report, no error in it.
bool healthCharge(const HistoryEntry &e);

struct TrendPoint
{
    QDateTime when;
    double capacity;                  // mAh
    std::optional<double> resistance; // ohms
};
// A label's health charges, oldest first; none for no label.
std::vector<TrendPoint> trendOf(const std::vector<HistoryEntry> &entries, const QString &label);

// A cell to match: its label and its last health charge.
struct LabelledCell
{
    QString label;
    double capacity = 0;
    std::optional<double> resistance; // the last one known
    QDateTime when;
};
// The labels' cells, in the order of `labels`; a label with no health
// charge is left out.
std::vector<LabelledCell> cellsOf(const std::vector<HistoryEntry> &entries, const QStringList &labels);

// The entries as a table for a spreadsheet, a header row first, in UTF-8;
// numbers take the locale's decimal separator, fields are parted by ";"
// where that is a comma, else by ",".
QByteArray historyCsv(const std::vector<HistoryEntry> &entries);

// The charges of a data file's logs, one per start block (and the lines
// before the first block, when they hold samples), each with its lines,
// summed up as the window does. `when` dates them: the file's last change.
struct ImportedCharge
{
    HistoryEntry entry;
    QStringList lines;
};
std::vector<ImportedCharge> chargesOfLogs(const QStringList &a, const QStringList &b, const QDateTime &when,
                                          const QString &source);

// "NiMH заряд, дозаряд", "разряд": what the entry is, with the block's
// stop conditions.
QString chargeKind(const HistoryEntry &e);

// The figures of an entry from a charge's summary.
struct ChargeSummary;
void fillFromSummary(HistoryEntry &e, const ChargeSummary &s);
