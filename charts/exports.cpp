#include "charts/exports.h"

#include "charts/chartlines.h"
#include "charts/engine/chart.h"
#include "platform/localeformat.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <vector>

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

QByteArray chartPng(const TChart &chart)
{
    QImage image(chart.size() * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        chart.draw(p, QRect(QPoint(0, 0), chart.size()));
    }
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    return image.save(&out, "PNG") ? bytes : QByteArray();
}

QByteArray chartSvg(const TChart &chart)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(chart.size());
    svg.setViewBox(QRect(QPoint(0, 0), chart.size()));
    svg.setResolution(96); // a pixel of the screen is a pixel of a browser
    svg.setTitle(QStringLiteral("Ostrel"));
    QPainter p;
    if (!p.begin(&svg))
        return {};
    chart.draw(p, QRect(QPoint(0, 0), chart.size()));
    return p.end() ? bytes : QByteArray();
}

QByteArray chartPdf(const TChart &chart)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&out);
    // One page the chart's size, at the screen's 96 pixels an inch: the
    // chart's fonts, given in points, keep their size against its lines
    // as on the screen and in the SVG.
    pdf.setResolution(96);
    pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(chart.size()) * 72.0 / 96.0, QPageSize::Point),
                                  QPageLayout::Portrait, QMarginsF()));
    pdf.setCreator(QStringLiteral("Ostrel"));
    pdf.setTitle(QStringLiteral("Ostrel: график заряда"));
    QPainter p;
    if (!p.begin(&pdf))
        return {};
    chart.draw(p, QRect(QPoint(0, 0), chart.size()));
    return p.end() ? bytes : QByteArray();
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
    const QString sep = Fmt::decimalSeparator() == QLatin1String(",") ? QStringLiteral(";") : QStringLiteral(",");
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
    return QByteArray("\xEF\xBB\xBF") + rows.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}
