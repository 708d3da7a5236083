#include "app/summaryfeed.h"

#include "link/statistika.h"
#include "platform/localeformat.h"

namespace {

// num / den rounded half up on the magnitude, as the log prints a ratio
// with no decimals; den > 0.
qint64 rounded(qint64 num, qint64 den)
{
    const qint64 magnitude = num < 0 ? -num : num;
    const qint64 q = (magnitude * 2 + den) / (den * 2);
    return num < 0 ? -q : q;
}

} // namespace

void SummaryFeed::take(const LogEvent &e)
{
    using Kind = LogEvent::Kind;
    switch (e.kind) {
    case Kind::Sample: {
        // The time as the line prints it (whole seconds of the locale's
        // layout), the volts to four places and the degrees to one.
        if (e.chargeTime != timeText_) {
            timeText_ = e.chargeTime;
            timeRead_ = Fmt::parseChargeTime(timeText_, &time_);
        }
        if (!timeRead_)
            return;
        const qint64 volts = rounded(qint64(e.adc) * e.adcStep, 10); // 1/10000 V
        summaries.sample(time_, double(volts) / 10000, e.tenths / 10.0);
        return;
    }
    case Kind::ChargeStart:
    case Kind::DischargeStart: {
        summaries.blockStarted(e.kind == Kind::DischargeStart);
        const bool nicd = e.mode & 0x20;
        summaries.parameters(nicd ? QStringLiteral("NiCd") : QStringLiteral("NiMH"),
                             int(rounded(qint64(e.current) * e.stepSetting, e.senseR)));
        // The trickle line: NiCd only when it stops on more than time.
        if ((e.mode & 0x40) && !(nicd && (e.mode & 0x80)))
            summaries.trickleOn();
        return;
    }
    case Kind::Resistance:
        summaries.resistance(internalResistanceOhms(e.emf, e.loaded, e.rdTenths));
        return;
    case Kind::EndReport:
        summaries.endReport(endReportReasons(e.flags).trimmed());
        return;
    case Kind::Unrecognised:
        return;
    }
}
