#include "charts/chargesummary.h"

#include "charts/chartlines.h"
#include "platform/localeformat.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

struct Sample
{
    double time; // charge time, days, carried over midnight
    double u, t;
};

// The largest temperature rise a minute: over each stretch from a sample
// back to the last one at least a minute earlier. Whole seconds, as the log
// prints them, so a minute is exactly one.
std::optional<double> largestRise(const std::vector<Sample> &samples)
{
    auto second = [&](size_t i) { return qRound64(samples[i].time * 86400); };
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
    const qint64 seconds = qRound64(days * 86400);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
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
    return endReport && endReport->contains(QStringLiteral("Конец заряда.")) && !endReport->contains(QStringLiteral("Ошибка"));
}

bool beginsACharge(const QString &line)
{
    return line == QStringLiteral("Старт.") || line == QStringLiteral("Разряд.");
}

std::vector<ChargeSummary> chargeSummaries(const QStringList &lines)
{
    static const QRegularExpression current(QStringLiteral("^Ni(Mh|Сd) аккумулятор\\. Ток = (-?\\d+) mA\\.$"));
    std::vector<ChargeSummary> out;
    std::vector<Sample> samples;
    double carry = 0, previous = -1;
    auto finish = [&] {
        if (!out.empty()) {
            out.back().riseMax = largestRise(samples);
        }
        samples.clear();
    };
    auto begin = [&](bool discharge) {
        finish();
        out.push_back({});
        out.back().discharge = discharge;
    };
    for (const QString &line : lines) {
        if (beginsACharge(line)) {
            begin(line.startsWith(QStringLiteral("Разряд")));
            continue;
        }
        if (const std::optional<LogSample> logged = parseSampleLine(line)) {
            if (out.empty())
                begin(false);
            Sample s{logged->time, logged->u, logged->t};
            // The charge clock prints the time of day's way round: past a
            // day it starts again from 0. A clock started again (Stop and
            // Start in the middle of a charge) goes on from where it was.
            if (previous >= 0 && s.time + carry < previous)
                carry += previous - (s.time + carry) > 0.5 ? 1 : previous - (s.time + carry);
            s.time += carry;
            previous = s.time;
            ChargeSummary &c = out.back();
            if (c.samples == 0) {
                c.firstTime = s.time;
                c.firstU = c.peakU = s.u;
                c.peakT = s.t;
            }
            ++c.samples;
            c.lastTime = s.time;
            c.finalU = s.u;
            c.peakU = std::max(c.peakU, s.u);
            c.peakT = std::max(c.peakT, s.t);
            samples.push_back(s);
            continue;
        }
        if (out.empty())
            continue;
        ChargeSummary &c = out.back();
        if (const auto m = current.match(line); m.hasMatch()) {
            c.chemistry = m.captured(1) == QLatin1String("Mh") ? QStringLiteral("NiMH") : QStringLiteral("NiCd");
            c.currentMilliamps = m.captured(2).toInt();
        } else if (line == QStringLiteral("Включен режим дозаряда.")) {
            c.trickle = true;
        } else if (line.startsWith(QStringLiteral("Внутреннее R аккумулятора = "))) {
            c.resistance = line.mid(28);
        } else if (line.startsWith(QLatin1String("END: ")) || line == QLatin1String("END:")) {
            c.endReport = line.mid(4).trimmed();
            c.endTime = c.samples > 0 ? c.lastTime : c.firstTime;
        }
    }
    finish();
    return out;
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
