#include "platform/programicon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

const std::vector<int> &programIconSizes()
{
    static const std::vector<int> sizes{16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QImage programIconImage(int size)
{
    QSvgRenderer svg(QStringLiteral(":/desktop/ostrel.svg"));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!svg.isValid())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, size, size));
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : programIconSizes())
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}
