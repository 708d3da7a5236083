#include "platform/wmfpaint.h"

#include "platform/filewrite.h"

#include "platform/codepage.h"

#include <QFile>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextItem>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

// Record functions of the format.
enum : quint16 {
    MetaEof = 0x0000,
    MetaSaveDc = 0x001E,
    MetaSetBkMode = 0x0102,
    MetaRestoreDc = 0x0127,
    MetaSelectObject = 0x012D,
    MetaSetTextAlign = 0x012E,
    MetaDeleteObject = 0x01F0,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaSetTextColor = 0x0209,
    MetaCreatePen = 0x02FA,
    MetaCreateFont = 0x02FB,
    MetaCreateBrush = 0x02FC,
    MetaPolygon = 0x0324,
    MetaPolyline = 0x0325,
    MetaIntersectClipRect = 0x0416,
    MetaRectangle = 0x041B,
    MetaExtTextOut = 0x0A32,
};

constexpr int Dpi = 96;
constexpr quint8 RussianCharset = 204;

quint32 colorRef(const QColor &c)
{
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

qint16 coord(double v)
{
    return qint16(std::clamp(std::lround(v), -32767L, 32767L));
}

} // namespace

// The engine turns each drawing call into records. Pens, brushes and fonts
// are created when the painter's state changes and the previous one is
// deleted, so the object table stays small.
class WmfPaintEngine : public QPaintEngine
{
public:
    explicit WmfPaintEngine(QSize size)
        : QPaintEngine(PrimitiveTransform | PainterPaths | PatternBrush | ConstantOpacity),
          size_(size)
    {
    }

    QByteArray bytes;

    bool begin(QPaintDevice *) override
    {
        records_.clear();
        objects_.clear();
        maxRecord_ = 0;
        pen_ = brush_ = font_ = -1;
        textColor_ = quint32(-1);
        clipSaved_ = false;
        record(MetaSetWindowOrg, {0, 0});
        record(MetaSetWindowExt, {qint16(size_.height()), qint16(size_.width())});
        record(MetaSetBkMode, {1}); // transparent text background
        record(MetaSetTextAlign, {24}); // text positioned at its baseline
        setActive(true);
        return true;
    }

    bool end() override
    {
        record(MetaEof, {});
        bytes = assemble();
        setActive(false);
        return true;
    }

    Type type() const override { return User; }

    void updateState(const QPaintEngineState &s) override
    {
        const DirtyFlags f = s.state();
        if (f & DirtyPen)
            penState_ = s.pen();
        if (f & DirtyBrush)
            brushState_ = s.brush();
        if (f & DirtyFont)
            fontState_ = s.font();
        if (f & DirtyTransform)
            transform_ = s.transform();
        if (f & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled))
            updateClip(s);
        if (f & (DirtyPen | DirtyTransform))
            penDirty_ = true;
        if (f & DirtyBrush)
            brushDirty_ = true;
        if (f & DirtyFont)
            fontDirty_ = true;
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        if (count < 2)
            return;
        selectPen();
        if (mode != PolylineMode)
            selectBrush();
        std::vector<qint16> params{qint16(std::min(count, 8000))};
        for (int i = 0; i < count && i < 8000; ++i) {
            const QPointF p = transform_.map(points[i]);
            params.push_back(coord(p.x()));
            params.push_back(coord(p.y()));
        }
        record(mode == PolylineMode ? MetaPolyline : MetaPolygon, params);
    }

    void drawRects(const QRectF *rects, int count) override
    {
        selectPen();
        selectBrush();
        for (int i = 0; i < count; ++i) {
            const QRectF r = transform_.mapRect(rects[i]);
            // The device includes the right and bottom edge in a filled
            // rectangle's outline; a one-pixel wider box matches Qt's.
            record(MetaRectangle, {coord(r.bottom() + 1), coord(r.right() + 1), coord(r.top()),
                                   coord(r.left())});
        }
    }

    void drawLines(const QLineF *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QPointF pts[2] = {lines[i].p1(), lines[i].p2()};
            drawPolygon(pts, 2, PolylineMode);
        }
    }

    void drawPath(const QPainterPath &path) override
    {
        const bool filled = brushState_.style() != Qt::NoBrush;
        for (const QPolygonF &poly : path.toSubpathPolygons())
            drawPolygon(poly.constData(), int(poly.size()), filled ? OddEvenMode : PolylineMode);
    }

    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override
    {
        // Pictures are not part of this format's subset; the chart has none.
    }

    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        const QString text = item.text();
        if (text.isEmpty())
            return;
        fontState_ = item.font();
        fontDirty_ = true;
        selectFont();
        const quint32 c = colorRef(penState_.color());
        if (c != textColor_) {
            record(MetaSetTextColor, {qint16(c & 0xFFFF), qint16(c >> 16)});
            textColor_ = c;
        }
        const QByteArray bytes8 = toCp1251(text);
        const QPointF at = transform_.map(p);
        std::vector<qint16> params{coord(at.y()), coord(at.x()), qint16(bytes8.size()), 0};
        appendBytes(params, bytes8);
        record(MetaExtTextOut, params);
    }

private:
    static void appendBytes(std::vector<qint16> &params, const QByteArray &b)
    {
        for (qsizetype i = 0; i < b.size(); i += 2) {
            const quint8 lo = quint8(b[i]);
            const quint8 hi = i + 1 < b.size() ? quint8(b[i + 1]) : 0;
            params.push_back(qint16(lo | hi << 8));
        }
    }

    void record(quint16 function, const std::vector<qint16> &params)
    {
        const quint32 size = 3 + quint32(params.size());
        maxRecord_ = std::max(maxRecord_, size);
        auto put16 = [this](quint16 v) {
            records_.append(char(v & 0xFF));
            records_.append(char(v >> 8));
        };
        put16(quint16(size & 0xFFFF));
        put16(quint16(size >> 16));
        put16(function);
        for (qint16 p : params)
            put16(quint16(p));
    }

    // The lowest free slot of the object table, as the reader assigns them.
    int createObject(quint16 function, const std::vector<qint16> &params)
    {
        record(function, params);
        const auto free = std::find(objects_.begin(), objects_.end(), false);
        const int index = int(free - objects_.begin());
        if (free == objects_.end())
            objects_.push_back(true);
        else
            *free = true;
        record(MetaSelectObject, {qint16(index)});
        return index;
    }

    void replace(int &slot, int created)
    {
        if (slot >= 0) {
            record(MetaDeleteObject, {qint16(slot)});
            objects_[size_t(slot)] = false;
        }
        slot = created;
    }

    void selectPen()
    {
        if (!penDirty_ && pen_ >= 0)
            return;
        penDirty_ = false;
        const QPen &p = penState_;
        const qint16 style = p.style() == Qt::NoPen ? 5 : p.style() == Qt::DashLine ? 1
                                                        : p.style() == Qt::DotLine  ? 2
                                                                                    : 0;
        const int width = std::max(1, int(std::lround(p.widthF() * std::sqrt(std::abs(transform_.determinant())))));
        const quint32 c = colorRef(p.color());
        replace(pen_, createObject(MetaCreatePen, {style, qint16(width), 0, qint16(c & 0xFFFF),
                                                   qint16(c >> 16)}));
    }

    void selectBrush()
    {
        if (!brushDirty_ && brush_ >= 0)
            return;
        brushDirty_ = false;
        const bool none = brushState_.style() == Qt::NoBrush;
        const quint32 c = colorRef(brushState_.color());
        replace(brush_, createObject(MetaCreateBrush, {qint16(none ? 1 : 0), qint16(c & 0xFFFF),
                                                       qint16(c >> 16), 0}));
    }

    void selectFont()
    {
        if (!fontDirty_ && font_ >= 0)
            return;
        fontDirty_ = false;
        const QFont &f = fontState_;
        const double px = f.pixelSize() > 0 ? f.pixelSize() : f.pointSizeF() * Dpi / 72.0;
        std::vector<qint16> params{qint16(-std::lround(px)), 0, 0, 0,
                                   qint16(f.bold() ? 700 : 400),
                                   qint16((f.italic() ? 1 : 0) | (f.underline() ? 1 : 0) << 8),
                                   qint16((f.strikeOut() ? 1 : 0) | RussianCharset << 8),
                                   0, // output and clip precision
                                   0}; // quality, pitch and family
        QByteArray face = f.family().toLatin1().left(31);
        face.append('\0');
        appendBytes(params, face);
        replace(font_, createObject(MetaCreateFont, params));
    }

    void updateClip(const QPaintEngineState &s)
    {
        // Clipping is kept in a saved device context so it can be lifted
        // again; restoring it also restores the objects selected before.
        if (clipSaved_) {
            record(MetaRestoreDc, {-1});
            clipSaved_ = false;
            penDirty_ = brushDirty_ = fontDirty_ = true;
            textColor_ = quint32(-1);
        }
        if (s.state() & DirtyClipEnabled && !s.isClipEnabled())
            return;
        const QRegion region = s.clipRegion();
        QRectF clip = !region.isEmpty() ? QRectF(region.boundingRect())
                                        : s.clipPath().boundingRect();
        if (clip.isEmpty())
            return;
        clip = transform_.mapRect(clip);
        record(MetaSaveDc, {});
        clipSaved_ = true;
        record(MetaIntersectClipRect, {coord(clip.bottom() + 1), coord(clip.right() + 1),
                                       coord(clip.top()), coord(clip.left())});
        penDirty_ = brushDirty_ = fontDirty_ = true;
    }

    QByteArray assemble() const
    {
        QByteArray out;
        auto put16 = [&out](quint16 v) {
            out.append(char(v & 0xFF));
            out.append(char(v >> 8));
        };
        auto put32 = [&](quint32 v) {
            put16(quint16(v & 0xFFFF));
            put16(quint16(v >> 16));
        };
        // Placeable header: key, handle, bounding box, units per inch,
        // reserved, and the XOR of the ten words before the checksum.
        const quint16 words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, quint16(size_.width()),
                                   quint16(size_.height()), Dpi, 0, 0};
        quint16 checksum = 0;
        for (quint16 w : words) {
            put16(w);
            checksum ^= w;
        }
        put16(checksum);
        // The metafile header.
        const quint32 total = 9 + quint32(records_.size() / 2);
        put16(1);      // in memory
        put16(9);      // header words
        put16(0x0300); // version
        put32(total);
        put16(quint16(std::max<size_t>(1, objects_.size())));
        put32(maxRecord_);
        put16(0);
        out += records_;
        return out;
    }

    QSize size_;
    QByteArray records_;
    std::vector<bool> objects_;
    quint32 maxRecord_ = 0;
    int pen_ = -1, brush_ = -1, font_ = -1;
    bool penDirty_ = true, brushDirty_ = true, fontDirty_ = true;
    quint32 textColor_ = quint32(-1);
    bool clipSaved_ = false;
    QPen penState_;
    QBrush brushState_;
    QFont fontState_;
    QTransform transform_;
};

WmfDevice::WmfDevice(QSize size) : size_(size), engine_(std::make_unique<WmfPaintEngine>(size))
{
}

WmfDevice::~WmfDevice() = default;

QPaintEngine *WmfDevice::paintEngine() const
{
    return engine_.get();
}

QByteArray WmfDevice::bytes() const
{
    return engine_->bytes;
}

void WmfDevice::save(const QString &path) const
{
    writeWholeFile(path, engine_->bytes);
}

int WmfDevice::metric(PaintDeviceMetric m) const
{
    switch (m) {
    case PdmWidth: return size_.width();
    case PdmHeight: return size_.height();
    case PdmWidthMM: return size_.width() * 254 / (Dpi * 10);
    case PdmHeightMM: return size_.height() * 254 / (Dpi * 10);
    case PdmNumColors: return 0x7FFFFFFF;
    case PdmDepth: return 24;
    case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return Dpi;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
    }
    return 0;
}
