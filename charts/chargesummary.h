#pragma once

// A charge at a glance, read from a channel's log: what was charged and
// how, for how long, how much went in, the voltage and temperature course
// and how it ended. Built from the log's lines alone, so a charge reopened
// from its data file sums up exactly as it did live.

#include "charts/logreader.h"

#include <QString>
#include <QStringList>

#include <cstddef>
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

// Sums up the charges of one log as what it records comes, in order: the
// one place that knows what each record means to a summary. A log's lines
// are read into it by chargeSummaries(); the window gives it the link's
// events as they are logged. Values are as the log prints them (charge
// times in whole seconds, volts to four places), so both ways agree.
class ChargeSummaries
{
public:
    // "Старт." or "Разряд.": a new charge (or discharge) begins.
    void blockStarted(bool discharge);
    // Its parameter line: "NiMH" or "NiCd", and the fast current.
    void parameters(const QString &chemistry, int currentMilliamps);
    // "Включен режим дозаряда.": trickle charge after the end.
    void trickleOn();
    // A measurement: the charge time as printed (a fraction of a day), volts
    // and degrees. Samples before any block begin a charge of their own.
    void sample(double time, double u, double t);
    // The internal resistance as printed.
    void resistance(const QString &ohms);
    // The end report's texts, trimmed ("Конец заряда.").
    void endReport(const QString &text);

    // The last `count` charges so far (all of them unless asked), in
    // order, the last one's temperature rise included.
    std::vector<ChargeSummary> charges(size_t count = size_t(-1)) const;

private:
    // What the largest rise needs of a sample: a day-long charge keeps
    // 86 400 of them.
    struct Sample
    {
        double t;
        qint32 second; // of the charge time, carried over midnight
    };
    std::vector<ChargeSummary> out_;
    std::vector<Sample> samples_; // of the last charge
    double carry_ = 0, previous_ = -1;
};

// An end report's texts that tell of a charge ended by the charger's own
// rule, without an error.
bool regularEndReport(const QString &report);
// "1:02:03".
QString durationText(double seconds);

// A log's lines read into summaries, which may then take what comes next.
// Lines before the first block header count as a charge of their own when
// they hold samples.
ChargeSummaries summariesOf(const QStringList &lines);
// Every charge (or discharge) in a log, in order.
std::vector<ChargeSummary> chargeSummaries(const QStringList &lines);
// How a charge without an end report stopped, as the window knows it.
enum class ChargeStop { Running, Stopped, LinkLost, Unknown };

// The summary as text: several lines, for the clipboard and tooltips.
QString summaryText(const ChargeSummary &s, char channel, double trickleMilliamps,
                    ChargeStop stop = ChargeStop::Unknown);
// The same in one line, for a desktop notice.
QString summaryLine(const ChargeSummary &s, double trickleMilliamps, ChargeStop stop = ChargeStop::Unknown);
// "Канал A: NiMH, заряд".
QString summaryTitle(const ChargeSummary &s, char channel);
