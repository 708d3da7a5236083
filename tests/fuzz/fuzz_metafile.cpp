// The metafile writer fed random paint operations: lines, rectangles,
// polygons, text in any script, pens, brushes, fonts and clips. The picture
// it writes always has its header and a size that matches its records.

#include "platform/wmfpaint.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

namespace {

struct Reader
{
    const uint8_t *data;
    size_t size, at = 0;
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    int number() { return int(int16_t(byte() << 8 | byte())); }
    QPointF point() { return QPointF(number() / 8.0, number() / 8.0); }
    QColor colour() { return QColor(byte(), byte(), byte(), byte()); }
    QString text()
    {
        QString s;
        for (int n = byte() % 24; n > 0; --n)
            s += QChar(char16_t(byte() << 8 | byte()));
        return s;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in{data, size};
    WmfDevice device(QSize(1 + in.byte() * 4, 1 + in.byte() * 4));
    {
        QPainter p(&device);
        while (in.more()) {
            switch (in.byte() % 12) {
            case 0: p.drawLine(in.point(), in.point()); break;
            case 1: p.drawRect(QRectF(in.point(), in.point())); break;
            case 2: p.fillRect(QRectF(in.point(), in.point()), in.colour()); break;
            case 3: {
                QPolygonF poly;
                for (int n = in.byte() % 40; n > 0; --n)
                    poly << in.point();
                p.drawPolyline(poly);
                if (in.byte() & 1)
                    p.drawPolygon(poly);
                break;
            }
            case 4: p.drawText(in.point(), in.text()); break;
            case 5: p.setPen(QPen(in.colour(), in.byte() % 9, Qt::PenStyle(in.byte() % 6))); break;
            case 6: p.setBrush(QBrush(in.colour(), Qt::BrushStyle(in.byte() % 15))); break;
            case 7: {
                QFont f(QStringLiteral("DejaVu Sans"));
                f.setPixelSize(1 + in.byte() % 60);
                f.setBold(in.byte() & 1);
                p.setFont(f);
                break;
            }
            case 8: p.setClipRect(QRectF(in.point(), in.point()), Qt::ClipOperation(in.byte() % 3)); break;
            case 9: p.drawEllipse(QRectF(in.point(), in.point())); break;
            case 10: p.save(); break;
            case 11: p.restore(); break;
            }
        }
    }
    const QByteArray wmf = device.bytes();
    // The placeable header, then the standard header whose size field (in
    // 16-bit words) is the length of the rest.
    if (wmf.size() < 22 + 18 || !wmf.startsWith("\xD7\xCD\xC6\x9A"))
        std::abort();
    const auto *h = reinterpret_cast<const uint8_t *>(wmf.constData()) + 22;
    const quint32 words = quint32(h[6]) | quint32(h[7]) << 8 | quint32(h[8]) << 16 | quint32(h[9]) << 24;
    if (qint64(words) * 2 != wmf.size() - 22)
        std::abort();
    return 0;
}
