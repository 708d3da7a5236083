#include "charts/exports.h"

#include "charts/engine/chart.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>


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
