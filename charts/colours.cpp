#include "charts/colours.h"

#include <QGuiApplication>
#include <QPalette>

qint32 ColorWall = 0;
qint32 ColorStartGradient = 0;
qint32 ColorEndGradient = 0;
qint32 ColorLabelLeft = 0;
qint32 ColorLabelBottom = 0;
qint32 ColorLabelRicht = 0;

qint32 colorValue(const QColor &c)
{
    return qint32(quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16);
}

QColor colorFromValue(qint32 value)
{
    const quint32 v = quint32(value);
    if (v >> 24 == 0xFF) {
        // The system colours a stored file may name, by their index.
        const QPalette p = QGuiApplication::palette();
        switch (v & 0xFF) {
        case 5: return p.color(QPalette::Base);           // window
        case 8: return p.color(QPalette::WindowText);     // window text
        case 13: return p.color(QPalette::Highlight);
        case 14: return p.color(QPalette::HighlightedText);
        case 15: return p.color(QPalette::Button);        // button face
        case 16: return p.color(QPalette::Dark);          // button shadow
        case 18: return p.color(QPalette::ButtonText);
        case 20: return p.color(QPalette::Light);         // button highlight
        default: return p.color(QPalette::Window);
        }
    }
    return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
}
