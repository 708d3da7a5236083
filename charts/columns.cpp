#include "charts/columns.h"

#include "charts/logreader.h"
#include "platform/localeformat.h"

#include <QFileInfo>

#include <optional>
#include <vector>

QString columnText(const QStringList &values)
{
    QString text;
    for (const QString &v : values)
        text += v + QStringLiteral("\r\n");
    return text;
}

ExportFormat exportFormatOf(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("png"))
        return ExportFormat::Png;
    if (ext == QLatin1String("svg"))
        return ExportFormat::Svg;
    if (ext == QLatin1String("pdf"))
        return ExportFormat::Pdf;
    if (ext == QLatin1String("csv"))
        return ExportFormat::Csv;
    return ExportFormat::Metafile;
}

QByteArray csvOfLogs(const QStringList &a, const QStringList &b)
{
    auto samples = [](const QStringList &lines) {
        std::vector<LogSample> out;
        for (const QString &line : lines)
            if (std::optional<LogSample> s = parseSampleLine(line))
                out.push_back(*s);
        return out;
    };
    const std::vector<LogSample> sa = samples(a), sb = samples(b);
    const QString sep = csvSeparator();
    QStringList rows{QStringList{QStringLiteral("Время"), QStringLiteral("U A, В"), QStringLiteral("T A, °C"),
                                 QStringLiteral("U B, В"), QStringLiteral("T B, °C")}
                         .join(sep)};
    auto second = [](const LogSample &s) { return qRound64(s.time * 86400); };
    size_t i = 0, j = 0;
    // Both logs run in time order; samples of the same second share a row,
    // in the order they came.
    while (i < sa.size() || j < sb.size()) {
        const LogSample *x = i < sa.size() ? &sa[i] : nullptr;
        const LogSample *y = j < sb.size() ? &sb[j] : nullptr;
        if (x && y && second(*x) != second(*y)) {
            if (second(*x) < second(*y))
                y = nullptr;
            else
                x = nullptr;
        }
        QStringList row{(x ? x : y)->timeText};
        for (const LogSample *s : {x, y})
            row << (s ? Fmt::fixed(s->u, 4) : QString()) << (s ? Fmt::fixed(s->t, 1) : QString());
        rows << row.join(sep);
        i += x ? 1 : 0;
        j += y ? 1 : 0;
    }
    return csvFile(rows);
}

QString csvSeparator()
{
    return Fmt::decimalSeparator() == QLatin1String(",") ? QStringLiteral(";") : QStringLiteral(",");
}

QByteArray csvFile(const QStringList &rows)
{
    return QByteArray("\xEF\xBB\xBF") + rows.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}
