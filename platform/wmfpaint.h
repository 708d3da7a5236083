#pragma once

// A paint device that records what is painted on it as a placeable Windows
// metafile (the 16-bit, non-enhanced format that every drawing program
// reads). It takes pens, solid brushes, fonts (text in code page 1251 with
// the Cyrillic character set), polylines, polygons, rectangles and text, and
// honours rectangular clipping. It has no images, gradients or transparency;
// painting code that wants a gradient draws bands of solid colour.

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>
#include <QString>

#include <memory>

class WmfPaintEngine;

class WmfDevice : public QPaintDevice
{
public:
    // The picture is `size` pixels at 96 per inch.
    explicit WmfDevice(QSize size);
    ~WmfDevice() override;

    QPaintEngine *paintEngine() const override;
    // The metafile painted so far (complete once the painter has ended).
    QByteArray bytes() const;
    // Writes the metafile; throws FileWriteError (a std::runtime_error
    // naming the file and the cause) when it cannot be written.
    void save(const QString &path) const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize size_;
    std::unique_ptr<WmfPaintEngine> engine_;
};
