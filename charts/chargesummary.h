#pragma once

// A charge at a glance, read from a channel's log: what was charged and
// how, for how long, how much went in, the voltage and temperature course
// and how it ended. Built from the log's lines alone, so a charge reopened
// from its data file sums up exactly as it did live.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct ChargeSummary
{
    bool discharge = false;     // a "Разряд." block rather than "Старт."
    QString chemistry;          // "NiMH" or "NiCd"; empty before the block's lines
    int currentMilliamps = 0;   // as the block set it
    bool trickle = false;       // trickle charge after the end
    int samples = 0;
    double firstTime = 0, lastTime = 0; // charge times, fractions of a day
    std::optional<double> endTime;      // charge time of the last sample before the end report
    double firstU = 0, peakU = 0, finalU = 0;
    double peakT = 0;
    std::optional<double> riseMax;      // largest temperature rise, degrees a minute
    QString resistance;                 // as the log printed it, empty if none came
    std::optional<QString> endReport;   // the report's texts, trimmed ("Конец заряда.")

    double elapsed() const { return lastTime - firstTime; }
    // Fast current over the fast phase plus the trickle current over the time
    // after a regular end, in mAh.
    double capacity(double trickleMilliamps) const;
    bool regularEnd() const;
};

// Every charge (or discharge) in a log, in order. Lines before the first
// block header count as a charge of their own when they hold samples.
std::vector<ChargeSummary> chargeSummaries(const QStringList &lines);
// The line that begins a charge's block ("Старт.") or a discharge's
// ("Разряд."): the last charge of a log is summed up from its last such line.
bool beginsACharge(const QString &line);

// How a charge without an end report stopped, as the window knows it.
enum class ChargeStop { Running, Stopped, LinkLost, Unknown };

// The summary as text: several lines, for the clipboard and tooltips.
QString summaryText(const ChargeSummary &s, char channel, double trickleMilliamps,
                    ChargeStop stop = ChargeStop::Unknown);
// The same in one line, for a desktop notice.
QString summaryLine(const ChargeSummary &s, double trickleMilliamps, ChargeStop stop = ChargeStop::Unknown);
// "Канал A: NiMH, заряд".
QString summaryTitle(const ChargeSummary &s, char channel);
