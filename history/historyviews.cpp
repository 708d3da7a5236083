#include "history/historyviews.h"

#include "charts/chargesummary.h"
#include "charts/columns.h"
#include "charts/logreader.h"
#include "platform/localeformat.h"

#include <QHash>

#include <limits>

HistoryFilter::Span HistoryFilter::span() const
{
    return {from.isValid() ? from.startOfDay().toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
            to.isValid() ? to.addDays(1).startOfDay().toMSecsSinceEpoch() : std::numeric_limits<qint64>::max()};
}

bool HistoryFilter::accepts(const HistoryEntry &e, const Span &s) const
{
    if (channel && e.channel != channel)
        return false;
    // Days of the user's clock, compared as instants: a local date for
    // each of thousands of entries costs more than the rest of the filter.
    const qint64 at = e.started.toMSecsSinceEpoch();
    if (at < s.from || at >= s.until)
        return false;
    return label.isEmpty() || e.label.contains(label, Qt::CaseInsensitive);
}

bool healthCharge(const HistoryEntry &e)
{
    return !e.discharge && e.end == ChargeEnd::Report && e.samples > 0 && regularEndReport(e.endReport);
}

std::vector<TrendPoint> trendOf(const std::vector<HistoryEntry> &entries, const QString &label)
{
    std::vector<TrendPoint> out;
    // Charges without a label are of any cell: no trend of one.
    if (label.isEmpty())
        return out;
    for (const HistoryEntry &e : entries)
        if (e.label == label && healthCharge(e))
            out.push_back({e.started, e.capacity, e.resistance});
    std::stable_sort(out.begin(), out.end(), [](const TrendPoint &x, const TrendPoint &y) { return x.when < y.when; });
    return out;
}

std::vector<LabelledCell> cellsOf(const std::vector<HistoryEntry> &entries, const QStringList &labels)
{
    QHash<QString, LabelledCell> last;
    for (const HistoryEntry &e : entries) {
        if (!healthCharge(e) || !labels.contains(e.label))
            continue;
        LabelledCell &c = last[e.label];
        if (c.when.isValid() && e.started < c.when)
            continue;
        const std::optional<double> knownBefore = c.resistance;
        c = {e.label, e.capacity, e.resistance ? e.resistance : knownBefore, e.started};
    }
    std::vector<LabelledCell> out;
    for (const QString &label : labels)
        if (last.contains(label))
            out.push_back(last.value(label));
    return out;
}

namespace {
QString csvField(const QString &text, const QString &sep)
{
    if (!text.contains(sep) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}
QString optionalFixed(const std::optional<double> &v, int decimals)
{
    return v ? Fmt::fixed(*v, decimals) : QString();
}
} // namespace

QByteArray historyCsv(const std::vector<HistoryEntry> &entries)
{
    const QString sep = csvSeparator();
    QStringList header;
    for (const char *title : {"Канал", "Начало", "Конец", "Метка", "Тип", "Ток, mA", "Длительность, с",
                              "Заряжено, mAh", "U нач., В", "U макс., В", "U кон., В", "T макс., °C",
                              "Рост T, °C/мин", "R, Ом", "Окончание"})
        header << csvField(QString::fromUtf8(title), sep); // "Ток, mA" where fields part at commas
    QStringList rows{header.join(sep)};
    const QString stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    for (const HistoryEntry &e : entries) {
        QStringList row;
        row << QString(QLatin1Char(e.channel)) << e.started.toLocalTime().toString(stamp)
            << (e.ended.isValid() ? e.ended.toLocalTime().toString(stamp) : QString()) << csvField(e.label, sep)
            << csvField(chargeKind(e), sep) << QString::number(e.currentMilliamps) << Fmt::fixed(e.seconds, 0)
            << Fmt::fixed(e.capacity, 0) << Fmt::fixed(e.uStart, 4) << Fmt::fixed(e.uPeak, 4)
            << Fmt::fixed(e.uEnd, 4) << Fmt::fixed(e.tPeak, 1) << optionalFixed(e.tRise, 2)
            << optionalFixed(e.resistance, 3) << csvField(endText(e), sep);
        rows << row.join(sep);
    }
    return csvFile(rows);
}

QString chargeKind(const HistoryEntry &e)
{
    QString what = e.discharge ? QStringLiteral("разряд") : QStringLiteral("заряд");
    if (!e.chemistry.isEmpty())
        what = e.chemistry + QLatin1Char(' ') + what;
    // The block's stop conditions, where they differ from the usual.
    if (e.timeOnly)
        what += QStringLiteral(", останов по времени");
    else if (e.trickle)
        what += QStringLiteral(", дозаряд");
    return what;
}

void fillFromSummary(HistoryEntry &e, const ChargeSummary &s)
{
    e.discharge = s.discharge;
    e.chemistry = s.chemistry;
    e.currentMilliamps = s.currentMilliamps;
    e.trickle = s.trickle;
    e.samples = s.samples;
    e.seconds = s.samples > 0 ? double(qRound64(s.elapsed() * 86400)) : 0;
    // What went in during the fast charge: an entry ends with the report.
    e.capacity = s.capacity(0);
    e.uStart = s.firstU;
    e.uPeak = s.peakU;
    e.uEnd = s.finalU;
    e.tPeak = s.peakT;
    e.tRise = s.riseMax;
    e.resistance.reset();
    if (!s.resistance.isEmpty()) {
        bool ok = false;
        const double ohms = Fmt::toDouble(s.resistance, &ok);
        if (ok)
            e.resistance = ohms;
    }
    if (s.endReport)
        e.endReport = *s.endReport;
}

std::vector<ImportedCharge> chargesOfLogs(const QStringList &a, const QStringList &b, const QDateTime &when,
                                          const QString &source)
{
    std::vector<ImportedCharge> out;
    const QStringList *logs[] = {&a, &b};
    for (int ch = 0; ch < 2; ++ch) {
        // Each block's lines, and those before the first block.
        std::vector<QStringList> parts(1);
        for (const QString &line : *logs[ch]) {
            if (readLogLine(line).kind == LogRecord::Kind::BlockStart)
                parts.emplace_back();
            if (!(line.isEmpty() && parts.back().isEmpty()))
                parts.back() << line;
        }
        for (QStringList &lines : parts) {
            while (!lines.isEmpty() && lines.back().isEmpty())
                lines.removeLast();
            const std::vector<ChargeSummary> summary = chargeSummaries(lines);
            if (summary.size() != 1 || (summary[0].samples == 0 && summary[0].chemistry.isEmpty()))
                continue;
            ImportedCharge c;
            HistoryEntry &e = c.entry;
            e.channel = ch == 0 ? 'A' : 'B';
            fillFromSummary(e, summary[0]);
            e.timeOnly = lines.contains(QStringLiteral("Останов только по времени и ошибкам."));
            e.source = source;
            // Kept in the file's order within the day the file was last changed.
            e.started = when.addMSecs(qint64(out.size()));
            e.ended = e.started.addMSecs(qint64(e.seconds * 1000));
            e.end = summary[0].endReport ? ChargeEnd::Report : ChargeEnd::Imported;
            c.lines = std::move(lines);
            out.push_back(std::move(c));
        }
    }
    return out;
}
