#include "history/historyrecorder.h"

#include "history/historywriter.h"

#include <QUuid>
#include "link/statistika.h"
#include "history/historyviews.h"

HistoryRecorder::HistoryRecorder(HistoryWriter *writer, QString owner)
    : writer_(writer), owner_(std::move(owner))
{
}

void HistoryRecorder::setWriter(HistoryWriter *writer, const QString &owner)
{
    writer_ = writer;
    owner_ = owner;
}

void HistoryRecorder::setLabel(Channel ch, const QString &label)
{
    ChannelRecord &c = channels_[size_t(ch)];
    c.label = label;
    if (c.state == State::Running && c.entry.label != label) {
        c.entry.label = label;
        if (writer_)
            writer_->post([key = c.entry.key, label](HistoryStore &store) { return store.setLabel(key, label); });
    }
}

void HistoryRecorder::begin(ChannelRecord &c, Channel ch, const QDateTime &now)
{
    c.state = State::Running;
    c.entry = HistoryEntry();
    c.entry.channel = ch == Channel::A ? 'A' : 'B';
    c.entry.started = now;
    c.entry.label = c.label;
    c.feed = SummaryFeed();
    c.pending.clear();
    c.lastWrite = now;
    // The entry's name for good: every write finds it by this, whatever
    // became of the writes before.
    c.entry.key = QUuid::createUuid().toString(QUuid::WithoutBraces);
    c.dirty = true;
    write(c);
}

void HistoryRecorder::refresh(ChannelRecord &c)
{
    const std::vector<ChargeSummary> charges = c.feed.summaries.charges(1);
    if (charges.empty())
        return;
    fillFromSummary(c.entry, charges.back());
    c.dirty = true;
}

void HistoryRecorder::write(ChannelRecord &c)
{
    if (!writer_ || (!c.dirty && c.pending.isEmpty()))
        return;
    // Added when new, brought up to date when there: an entry whose adding
    // failed or was undone (a full disk) is added again with the figures so far.
    writer_->post([entry = c.entry, lines = c.pending, owner = owner_](HistoryStore &store) mutable {
        const qint64 id = store.keep(entry, owner);
        return id != 0 && store.appendLines(id, lines);
    });
    c.pending.clear();
    c.dirty = false;
}

void HistoryRecorder::end(ChannelRecord &c, ChargeEnd why, const QDateTime &now)
{
    refresh(c);
    c.entry.end = why;
    c.entry.ended = now;
    write(c);
    c.state = why == ChargeEnd::Report ? State::Ended : State::Idle;
}

void HistoryRecorder::take(const LogEvent &e, const QStringList &lines, const QDateTime &now)
{
    // Without a database the lines would only pile up here.
    if (!writer_)
        return;
    using Kind = LogEvent::Kind;
    ChannelRecord &c = channels_[size_t(e.channel)];
    switch (e.kind) {
    case Kind::ChargeStart:
    case Kind::DischargeStart:
        if (c.state == State::Running)
            end(c, ChargeEnd::NextBlock, now);
        begin(c, e.channel, now);
        c.entry.timeOnly = blockIsNiCd(e.mode) && (e.mode & 0x80);
        break;
    case Kind::Sample:
        if (c.state == State::Ended)
            return;
        if (c.state == State::Idle)
            begin(c, e.channel, now);
        break;
    case Kind::Resistance:
    case Kind::EndReport:
        if (c.state != State::Running)
            return;
        break;
    case Kind::Unrecognised:
        return;
    }
    c.feed.take(e);
    // The charge's own log begins with its block: the empty line that
    // parts it from the charge before in the window's log is not its own.
    const bool block = e.kind == Kind::ChargeStart || e.kind == Kind::DischargeStart;
    for (const QString &line : lines)
        if (!(block && line.isEmpty()))
            c.pending << line;
    c.dirty = true;
    if (e.kind == Kind::EndReport) {
        end(c, ChargeEnd::Report, now);
    } else if (c.lastWrite.msecsTo(now) >= WriteEveryMs || c.pending.size() >= WriteEveryLines ||
               e.kind != Kind::Sample) {
        refresh(c);
        write(c);
        c.lastWrite = now;
    }
}

void HistoryRecorder::endAll(ChargeEnd why, const QDateTime &now)
{
    for (ChannelRecord &c : channels_) {
        if (c.state == State::Running)
            end(c, why, now);
        // After a Stop the next charge may come without its block (the
        // charger sent it while the port was closed): its samples are kept.
        c.state = State::Idle;
    }
}

void HistoryRecorder::flush()
{
    for (ChannelRecord &c : channels_) {
        if (c.state == State::Running) {
            refresh(c);
            write(c);
        }
    }
}
