#pragma once

#include <QDateTime>

#include <functional>

// The one source of the wall clock. Tests replace it to check midnight
// roll-over, the charge time and default file names without waiting.
namespace Clock {

using Source = std::function<QDateTime()>;

QDateTime now();
// The same moment in UTC, for what is stored and compared rather than shown:
// it needs no look at the time zone, which a local time takes at every
// conversion (the history takes one with every log line).
QDateTime instant();

// Time of day as a fraction of a day (0 at midnight, 0.5 at noon), the form
// in which the charge clock keeps its origin.
double timeOfDay();

// Replaces the source; an empty function restores the system clock.
void setSource(Source source);

// Milliseconds on a clock that never goes back, whatever the wall clock
// does: for judging how a stream behaves over seconds.
qint64 steadyMs();
// Replaces it; an empty function restores the system's.
void setSteadySource(std::function<qint64()> source);

} // namespace Clock
