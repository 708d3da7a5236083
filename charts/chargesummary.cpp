#include "charts/chargesummary.h"

#include "platform/localeformat.h"

#include <algorithm>

namespace {

// The largest temperature rise a minute: over each stretch from a sample
// back to the last one at least a minute earlier. Whole seconds, as the log
// prints them, so a minute is exactly one.
template <typename Sample>
std::optional<double> largestRise(const std::vector<Sample> &samples)
{
    auto second = [&](size_t i) { return qint64(samples[i].second); };
    std::optional<double> best;
    size_t back = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        while (back + 1 < i && second(back + 1) <= second(i) - 60)
            ++back;
        const qint64 span = second(i) - second(back);
        if (span < 60)
            continue;
        const double rise = (samples[i].t - samples[back].t) * 60 / double(span);
        best = best ? std::max(*best, rise) : rise;
    }
    return best;
}

QString hoursMinutesSeconds(double days)
{
    return durationText(days * 86400);
}

QString endText(const ChargeSummary &s, ChargeStop stop)
{
    if (s.endReport)
        return s.endReport->isEmpty() ? QStringLiteral("отчёт без причины") : *s.endReport;
    switch (stop) {
    case ChargeStop::Running: return QStringLiteral("идёт");
    case ChargeStop::Stopped: return QStringLiteral("остановлен кнопкой Stop");
    case ChargeStop::LinkLost: return QStringLiteral("связь потеряна");
    case ChargeStop::Unknown: break;
    }
    return QStringLiteral("нет отчёта об окончании");
}

} // namespace

double ChargeSummary::capacity(double trickleMilliamps) const
{
    if (samples == 0)
        return 0;
    const double fastEnd = endTime ? *endTime : lastTime;
    double mah = currentMilliamps * (fastEnd - firstTime) * 24;
    if (trickle && regularEnd())
        mah += trickleMilliamps * (lastTime - fastEnd) * 24;
    return mah;
}

bool ChargeSummary::regularEnd() const
{
    return endReport && regularEndReport(*endReport);
}

bool regularEndReport(const QString &report)
{
    return report.contains(QStringLiteral("Конец заряда.")) && !report.contains(QStringLiteral("Ошибка"));
}

QString durationText(double seconds)
{
    const qint64 s = qRound64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

void ChargeSummaries::blockStarted(bool discharge)
{
    if (!out_.empty())
        out_.back().riseMax = largestRise(samples_);
    samples_.clear();
    out_.push_back({});
    out_.back().discharge = discharge;
}

void ChargeSummaries::parameters(const QString &chemistry, int currentMilliamps)
{
    if (out_.empty())
        return;
    out_.back().chemistry = chemistry;
    out_.back().currentMilliamps = currentMilliamps;
}

void ChargeSummaries::trickleOn()
{
    if (!out_.empty())
        out_.back().trickle = true;
}

void ChargeSummaries::sample(double time, double u, double t)
{
    if (out_.empty())
        blockStarted(false);
    // The charge clock prints the time of day's way round: past a day it
    // starts again from 0. A clock started again (Stop and Start in the
    // middle of a charge) goes on from where it was.
    if (previous_ >= 0 && time + carry_ < previous_)
        carry_ += previous_ - (time + carry_) > 0.5 ? 1 : previous_ - (time + carry_);
    time += carry_;
    previous_ = time;
    ChargeSummary &c = out_.back();
    if (c.samples == 0) {
        c.firstTime = time;
        c.firstU = c.peakU = u;
        c.peakT = t;
    }
    ++c.samples;
    c.lastTime = time;
    c.finalU = u;
    c.peakU = std::max(c.peakU, u);
    c.peakT = std::max(c.peakT, t);
    samples_.push_back({t, qint32(qRound64(time * 86400))});
}

void ChargeSummaries::resistance(const QString &ohms)
{
    if (!out_.empty())
        out_.back().resistance = ohms;
}

void ChargeSummaries::endReport(const QString &text)
{
    if (out_.empty())
        return;
    ChargeSummary &c = out_.back();
    c.endReport = text;
    c.endTime = c.samples > 0 ? c.lastTime : c.firstTime;
}

std::vector<ChargeSummary> ChargeSummaries::charges(size_t count) const
{
    std::vector<ChargeSummary> out(out_.end() - qsizetype(std::min(count, out_.size())), out_.end());
    if (!out.empty())
        out.back().riseMax = largestRise(samples_);
    return out;
}

ChargeSummaries summariesOf(const QStringList &lines)
{
    using Kind = LogRecord::Kind;
    ChargeSummaries s;
    for (const QString &line : lines) {
        const LogRecord r = readLogLine(line);
        switch (r.kind) {
        case Kind::BlockStart: s.blockStarted(r.discharge); break;
        case Kind::Parameters: s.parameters(r.parameters.chemistry, r.parameters.currentMilliamps); break;
        case Kind::Trickle: s.trickleOn(); break;
        case Kind::Sample: s.sample(r.sample.time, r.sample.u, r.sample.t); break;
        case Kind::Resistance: s.resistance(r.text); break;
        case Kind::EndReport: s.endReport(r.text); break;
        case Kind::Other: break;
        }
    }
    return s;
}

std::vector<ChargeSummary> chargeSummaries(const QStringList &lines)
{
    return summariesOf(lines).charges();
}

QString summaryTitle(const ChargeSummary &s, char channel)
{
    QString title = QStringLiteral("Канал %1").arg(QLatin1Char(channel));
    if (!s.chemistry.isEmpty())
        title += QStringLiteral(": ") + s.chemistry;
    title += s.discharge ? QStringLiteral(", разряд") : QStringLiteral(", заряд");
    return title;
}

QString summaryText(const ChargeSummary &s, char channel, double trickleMilliamps, ChargeStop stop)
{
    QStringList lines;
    QString head = summaryTitle(s, channel);
    if (s.currentMilliamps > 0)
        head += QStringLiteral(", ток %1 mA").arg(s.currentMilliamps);
    if (s.trickle)
        head += QStringLiteral(", дозаряд %1 mA").arg(Fmt::fixed(trickleMilliamps, 0));
    lines << head;
    if (s.samples == 0) {
        lines << QStringLiteral("Измерений нет");
    } else {
        lines << QStringLiteral("Время: %1, заряжено: %2 mAh")
                     .arg(hoursMinutesSeconds(s.elapsed()), Fmt::fixed(s.capacity(trickleMilliamps), 0));
        lines << QStringLiteral("U: начало %1 В, максимум %2 В, конец %3 В")
                     .arg(Fmt::fixed(s.firstU, 4), Fmt::fixed(s.peakU, 4), Fmt::fixed(s.finalU, 4));
        QString t = QStringLiteral("T: максимум %1 °C").arg(Fmt::fixed(s.peakT, 1));
        if (s.riseMax)
            t += QStringLiteral(", рост до %1 °C/мин").arg(Fmt::fixed(*s.riseMax, 2));
        lines << t;
    }
    if (!s.resistance.isEmpty())
        lines << QStringLiteral("Внутреннее R: %1 Ом").arg(s.resistance);
    lines << QStringLiteral("Окончание: ") + endText(s, stop);
    return lines.join(QLatin1Char('\n'));
}

QString summaryLine(const ChargeSummary &s, double trickleMilliamps, ChargeStop stop)
{
    QStringList parts;
    if (s.samples > 0) {
        parts << hoursMinutesSeconds(s.elapsed())
              << QStringLiteral("%1 mAh").arg(Fmt::fixed(s.capacity(trickleMilliamps), 0))
              << QStringLiteral("Umax %1 В").arg(Fmt::fixed(s.peakU, 4))
              << QStringLiteral("Tmax %1 °C").arg(Fmt::fixed(s.peakT, 1));
    }
    parts << endText(s, stop);
    return parts.join(QStringLiteral(", "));
}
