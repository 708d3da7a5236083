#pragma once

// One charge (or discharge) of one channel as the history keeps it: what
// was charged and how, what went in, the voltage and temperature course,
// how it ended, and the charge's own log lines (kept apart, read when the
// charge is reopened).

#include <QDateTime>
#include <QString>

#include <optional>

// How a charge ended. The numbers are stored: never renumber.
enum class ChargeEnd {
    Running = 0,   // still being written (or its program is still running)
    Report = 1,    // the charger's end report
    Stopped = 2,   // "Стоп" pressed
    Unplugged = 3, // the adapter was pulled and not plugged in again
    Closed = 4,    // the program was closed during the charge
    CutShort = 5,  // its program ended without a word (a crash, a kill)
    NextBlock = 6, // a new charge began on the channel without an end report
    Imported = 7,  // read from a data file that holds no end report for it
};

struct HistoryEntry
{
    qint64 id = 0;
    QString key;                   // unique for good: names the entry to every writer
    char channel = 'A';
    QDateTime started, ended;      // ended: invalid while running; as read back, in UTC
    QString label;                 // the cell or pack, empty when not given
    bool discharge = false;
    QString chemistry;             // "NiMH", "NiCd", empty when no block came
    int currentMilliamps = 0;      // as the block set it
    bool trickle = false;          // trickle charge after the end
    bool timeOnly = false;         // NiCd: stop only by time and errors
    double seconds = 0;            // from the first sample to the last
    double capacity = 0;           // charge put in, mAh
    int samples = 0;
    double uStart = 0, uPeak = 0, uEnd = 0; // volts
    double tPeak = 0;                       // degrees
    std::optional<double> tRise;            // largest rise, degrees a minute
    std::optional<double> resistance;       // internal resistance, ohms
    ChargeEnd end = ChargeEnd::Running;
    QString endReport;             // the report's texts, trimmed
    QString source;                // a data file it was read from; empty when recorded live
};

// How the entry ended, in words for the table and the CSV.
QString endText(const HistoryEntry &e);
