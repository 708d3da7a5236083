#pragma once

#include <QString>
#include <QTime>

// Numbers and times in the user's locale, in the few patterns the program
// prints. Everything that shows a number or a clock goes through here.
//
// The separators and the time layout come from QLocale() (the system locale
// unless a test has set another default) and are cached; call refresh()
// after changing the default locale.
namespace Fmt {

void refresh();

QString decimalSeparator();
QString timeSeparator();

// Fixed decimals, the locale's decimal separator, half away from zero:
// the patterns "0", "0.0", "0.000", "0.0000" and the printf forms "%.1f",
// "%.2f" all come down to this.
QString fixed(double value, int decimals);
// The same pattern for the exact quotient num / den (den > 0), rounded half
// away from zero on its decimal digits. A double cannot hold most such
// quotients: 130025 / 100000 is stored a hair below 1.30025 and would print
// as 1.3002. A value that rounds to zero prints without a sign, as with
// fixed().
QString ratio(qint64 num, qint64 den, int decimals);
// The number ratio() prints, as an integer of 10^-decimals units.
qint64 scaledRatio(qint64 num, qint64 den, int decimals);
// "#,##0.###": thousands grouped, at most three decimals, no trailing zeros.
QString grouped(double value, int maxDecimals = 3);
// "##0.#": no grouping, at most `maxDecimals` decimals, no trailing zeros.
QString upTo(double value, int maxDecimals);
// General form with at most `digits` significant digits (15 gives the
// shortest form that reads back the same for ordinary values).
QString significant(double value, int digits);
inline QString general(double value) { return significant(value, 15); }
// Reads a number written with the locale's decimal separator (no grouping).
double toDouble(QStringView text, bool *ok);

// Times are fractions of a day; values outside 0..1 wrap to the time of day.
//
// The locale's long time-of-day format, as the wall clock shows it.
QString longTime(double dayFraction);
// The charge time: a duration, so always 24-hour hours, with the locale's
// separators and seconds (the long format without its AM/PM marker).
QString chargeTime(double dayFraction);
// Reads back what chargeTime() printed; false when the text is no time.
bool parseChargeTime(const QString &text, double *dayFraction);
// "h:nn": hours without leading zero, the time separator, two-digit minutes.
QString hoursMinutes(double dayFraction);
// "hh-nn-ss-zzz", the stamp of link log entries.
QString wallClockStamp(const QTime &time);

} // namespace Fmt
