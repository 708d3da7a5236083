#include "platform/clock.h"

#include <chrono>

namespace {
Clock::Source &source()
{
    static Clock::Source s;
    return s;
}
std::function<qint64()> &steadySource()
{
    static std::function<qint64()> s;
    return s;
}
} // namespace

qint64 Clock::steadyMs()
{
    if (steadySource())
        return steadySource()();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Clock::setSteadySource(std::function<qint64()> source)
{
    steadySource() = std::move(source);
}

QDateTime Clock::now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

QDateTime Clock::instant()
{
    return source() ? source()().toUTC() : QDateTime::currentDateTimeUtc();
}

double Clock::timeOfDay()
{
    if (source())
        return source()().time().msecsSinceStartOfDay() / 86400000.0;
    // The receive path reads the time of day for every line and point; the
    // local time's offset from UTC is looked up at most once a second (a
    // full local time conversion checks the time zone files each time).
    static bool checked = false;
    static qint64 checkedAt = 0;
    static qint64 offsetMs = 0;
    const qint64 utc = QDateTime::currentMSecsSinceEpoch();
    if (!checked || utc < checkedAt || utc - checkedAt >= 1000) {
        checked = true;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(utc).offsetFromUtc()) * 1000;
        checkedAt = utc;
    }
    constexpr qint64 day = 86400000;
    return (((utc + offsetMs) % day + day) % day) / double(day);
}

void Clock::setSource(Source s)
{
    source() = std::move(s);
}
