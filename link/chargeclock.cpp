#include "link/chargeclock.h"

#include "platform/clock.h"
#include "platform/localeformat.h"

double ChargeClock::chargeTime() const
{
    return Clock::timeOfDay() - StartTime + TimeOffset;
}

QString ChargeClock::chargeTimeText() const
{
    return Fmt::chargeTime(chargeTime());
}

void ChargeClock::start(double now)
{
    StartTime = now;
    started_ = true;
}

void ChargeClock::restart(double now)
{
    StartTime = now;
    started_ = false;
}

void ChargeClock::stop()
{
    started_ = false;
    shown_ = false;
}

void ChargeClock::restore(double startTime, double timeOffset, bool started)
{
    StartTime = startTime;
    TimeOffset = timeOffset;
    started_ = started;
}

QString ChargeClock::tick()
{
    constexpr double TwoSeconds = 2.0 / 86400;
    const double now = Clock::timeOfDay();
    // Before the first tick since Start nothing was shown: the time the
    // charge had reached is carried instead (the day that ended is whole, so
    // adding it undoes the wrap), when the clock started before midnight.
    if (now < TwoSeconds && (shown_ || StartTime > now)) {
        const double carried = shown_ ? lastShown_ : now + 1.0 - StartTime + TimeOffset;
        StartTime = now;
        TimeOffset = carried;
    }
    const QString text = chargeTimeText();
    shown_ = Fmt::parseChargeTime(text, &lastShown_);
    return text;
}
