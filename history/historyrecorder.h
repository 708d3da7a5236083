#pragma once

// Every charge of each channel kept in the history as it goes: from its
// start block (or its first sample, when the program came in during a
// charge) to its end report, "Стоп", a lost adapter or the program's close.
// The recorder sums each charge up from the link's events, as the window's
// summaries do, and hands the figures and the charge's lines to the writer
// about once a second, so a crash loses no more than the last moments.

#include "history/historyentry.h"
#include "history/summaryfeed.h"
#include "link/linkview.h"

#include <QDateTime>
#include <QStringList>

#include <array>

class HistoryWriter;

class HistoryRecorder
{
public:
    // Nothing is kept without a writer.
    explicit HistoryRecorder(HistoryWriter *writer = nullptr, QString owner = {});
    void setWriter(HistoryWriter *writer, const QString &owner);

    // The cell or pack on the channel: its next charges, and the one
    // running, carry it.
    void setLabel(Channel ch, const QString &label);
    const QString &label(Channel ch) const { return channels_[size_t(ch)].label; }

    // A link event with the lines it put in the log, at `now`.
    void take(const LogEvent &e, const QStringList &lines, const QDateTime &now);
    // Every running charge ends for `why` (Stopped, Unplugged, Closed).
    void endAll(ChargeEnd why, const QDateTime &now);
    // What waits goes to the writer now.
    void flush();

    bool running(Channel ch) const { return channels_[size_t(ch)].state == State::Running; }
    // The running (or last) charge of the channel as it stands.
    const HistoryEntry &current(Channel ch) const { return channels_[size_t(ch)].entry; }

    // How often a running charge's figures and lines are written: a crash
    // loses the last few seconds of a charge's lines here (the journal keeps
    // them), and a program logging overnight does not write its database
    // every second.
    static constexpr qint64 WriteEveryMs = 5000;
    // ... or once this many lines wait: a flood of samples is not held.
    static constexpr qsizetype WriteEveryLines = 32768;

private:
    // Idle: no charge; a sample begins one (the start block was missed).
    // Running: a charge is being kept. Ended: its end report came; the
    // trickle samples that follow belong to it and are not kept.
    enum class State { Idle, Running, Ended };
    struct ChannelRecord
    {
        State state = State::Idle;
        QString label;
        HistoryEntry entry;
        SummaryFeed feed;
        QStringList pending;          // lines not yet handed to the writer
        bool dirty = false;           // figures not yet handed over
        QDateTime lastWrite;
    };

    void begin(ChannelRecord &c, Channel ch, const QDateTime &now);
    void end(ChannelRecord &c, ChargeEnd why, const QDateTime &now);
    void refresh(ChannelRecord &c);
    void write(ChannelRecord &c);

    HistoryWriter *writer_ = nullptr;
    QString owner_;
    std::array<ChannelRecord, 2> channels_;
};
