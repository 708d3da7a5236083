#pragma once

// The journal's records: what happened to the logs and the curves since the
// record was last begun (at start, on clearing everything, on opening a data
// file), one record a line, each with a hash of its own so a torn or
// scribbled record is told from a whole one. Replaying the records gives the
// logs and the curves back as they were.

#include "charts/engine/series.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The four curves in the chart's order: U and T of channel A, then of B.
constexpr int JournalCurves = 4;

// What a rebuild of the curves from the logs depended on.
struct CurveSetup
{
    std::array<bool, JournalCurves> shown{};
    std::array<QRgb, JournalCurves> colour{};
};

namespace JournalRecord {
QByteArray header(const QDateTime &started, QChar decimalPoint);
// A line added to channel 'A' or 'B'.
QByteArray line(char channel, const QString &text);
QByteArray point(int curve, const ChartPoint &point);
QByteArray chartCleared();
// Both channels' curves built again from the logs.
QByteArray chartRebuilt(const CurveSetup &setup);
// The logs were read from this data file, and the curves built from them.
QByteArray opened(const QString &path, const CurveSetup &setup);
// Everything so far is in this data file.
QByteArray saved(const QString &path);
// The charge's start as the charge clock counts it.
QByteArray chargeStart(double startTime, double timeOffset, const QString &shown);
// Text added to the link log.
QByteArray linkLog(const QString &text);
// The whole of channel 'A' or 'B' as it stands after the user changed it by
// hand (typed, pasted, deleted, cleared it).
QByteArray logEdited(char channel, const QStringList &lines);
} // namespace JournalRecord

struct JournalContent
{
    QDateTime started;          // when the journal was begun, if its header is whole
    QString openedFile;         // the data file the logs began from
    bool openedFileMissing = false;
    QStringList a, b;
    QString linkLog;
    std::array<std::vector<ChartPoint>, JournalCurves> curves;
    bool hasChargeStart = false;
    double startTime = 0, timeOffset = 0;
    QString startShown;
    int unsavedLines = 0;       // log lines added after the last save
    int damaged = 0;            // records skipped as torn or scribbled
    qint64 wholeBytes = 0;      // where the last whole line of the file ends
};

// The journal's bytes replayed. Logs rebuilt into curves are read with the
// decimal point the journal was written with.
JournalContent replayJournal(const QByteArray &bytes);

// What of the link's state the journal has yet to take: the link log's new
// part and the charge's start when it changed. The link log only grows
// between resets; what it gained goes in whole.
class JournalFollower
{
public:
    struct ChargeStart
    {
        double startTime = -1, timeOffset = 0;
        QString shown; // as the window shows it
        bool operator==(const ChargeStart &) const = default;
    };
    // What the link log and the start hold now is in the journal.
    void caughtUp(qsizetype linkLogSize, const ChargeStart &start);
    // A journal begun again holds no link log part and no start yet.
    void startedAgain(qsizetype linkLogSize);
    // The records of what changed since, in order; empty when nothing did.
    QByteArray news(const QString &linkLog, const ChargeStart &start);

private:
    qsizetype linkLogTaken_ = 0;
    ChargeStart start_;
};

// What becomes of a journal an earlier run left behind, taken newest first:
// one whose every line was saved or cleared (and nothing torn) is removed;
// one with unsaved lines is offered back, unless another was restored
// already, since only one can fill the logs; the rest are set aside under
// their date. An offer declined is set aside too.
enum class LeftoverFate { Remove, SetAside, Offer };
LeftoverFate leftoverFate(const JournalContent &content, bool oneRestored);
