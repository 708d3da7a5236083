#include "chartlines.h"

namespace {

// From two characters after the first `mark` up to `stop` or the end.
QString valueAfter(const QString &line, QChar mark, QChar stop)
{
    const qsizetype p = line.indexOf(mark);
    if (p < 0 || p + 2 > line.size())
        return {};
    const qsizetype end = line.indexOf(stop, p + 2);
    return line.mid(p + 2, (end < 0 ? line.size() : end) - (p + 2));
}

} // namespace

ChartLineParts ParseChartLine(const QString &line)
{
    ChartLineParts parts;
    parts.u = valueAfter(line, QLatin1Char('U'), QLatin1Char(' '));
    const qsizetype first = line.indexOf(QLatin1Char(':'));
    const qsizetype second = first < 0 ? -1 : line.indexOf(QLatin1Char(':'), first + 1);
    parts.time = second < 0 ? line : line.left(second);
    parts.t = valueAfter(line, QLatin1Char('T'), QLatin1Char(';'));
    return parts;
}
