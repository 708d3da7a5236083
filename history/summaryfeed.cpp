#include "history/summaryfeed.h"

#include "link/statistika.h"
#include "platform/localeformat.h"

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
        const qint64 volts = Fmt::scaledRatio(qint64(e.adc) * e.adcStep, 100000, 4); // 1/10000 V
        summaries.sample(time_, double(volts) / 10000, e.tenths / 10.0);
        return;
    }
    case Kind::ChargeStart:
    case Kind::DischargeStart: {
        summaries.blockStarted(e.kind == Kind::DischargeStart);
        summaries.parameters(blockIsNiCd(e.mode) ? QStringLiteral("NiCd") : QStringLiteral("NiMH"),
                             int(Fmt::scaledRatio(qint64(e.current) * e.stepSetting, e.senseR, 0)));
        if (blockTrickles(e.mode))
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
