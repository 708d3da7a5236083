#include "clock.h"

namespace {
Clock::Source &source()
{
    static Clock::Source s;
    return s;
}
} // namespace

QDateTime Clock::now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

double Clock::timeOfDay()
{
    const QTime t = now().time();
    return t.msecsSinceStartOfDay() / 86400000.0;
}

void Clock::setSource(Source s)
{
    source() = std::move(s);
}
