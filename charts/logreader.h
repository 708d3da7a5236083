#pragma once

// Reading the logs' lines back: the one place that knows their text, for
// where the text is the input (a data file opened, the curves rebuilt from
// the logs, a journal restored, columns copied, a log rewritten by hand).
// Live, the link reports events and nothing here runs.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The pieces of a log line the chart is rebuilt from: the texts after the
// first Latin "U" and "T" (skipping the "=") and the time up to the second
// colon. A line without a "U" gives an empty u and is no measurement.
struct ChartLineParts
{
    QString u;
    QString time;
    QString t;
};

ChartLineParts parseChartLine(const QString &line);

// The same pieces as views into the line: a rebuild reads a day's lines
// without copying any of them.
struct ChartLineViews
{
    QStringView u, time, t;
};
ChartLineViews chartLineViews(QStringView line);

// A measurement line, "<charge time>    ADC=n    U=v    T=t;", read back:
// the time as printed and as a fraction of a day, and the two values.
struct LogSample
{
    QString timeText;
    double time = 0;
    double u = 0, t = 0;
};
std::optional<LogSample> parseSampleLine(const QString &line);

// The values after "<key>=" on the lines that have one ("ADC", "U", "T": the
// key is the letter before the "="), up to the next blank or semicolon.
QStringList columnValues(const QStringList &lines, QChar key);
// The text before the first blank of every line (the time of a measurement).
QStringList timeColumn(const QStringList &lines);

// A block's parameter line read back ("NiMh аккумулятор. Ток = 1000 mA.").
struct BlockParameters
{
    QString chemistry; // "NiMH" or "NiCd"
    int currentMilliamps = 0;
};

// What a line of a log records, as charge summaries read it.
struct LogRecord
{
    enum class Kind {
        Other,        // nothing a summary reads
        BlockStart,   // "Старт." or "Разряд."
        Parameters,   // the block's chemistry and current
        Trickle,      // "Включен режим дозаряда."
        Sample,       // a measurement line
        Resistance,   // "Внутреннее R аккумулятора = ..."
        EndReport,    // "END: ..."
    };
    Kind kind = Kind::Other;
    bool discharge = false;     // BlockStart: a discharge's
    BlockParameters parameters; // Parameters
    LogSample sample;           // Sample
    QString text;               // Resistance: the ohms; EndReport: the reasons, trimmed
};
LogRecord readLogLine(const QString &line);
