#pragma once

#include <QColor>
#include <QtGlobal>

// Colours as the settings file keeps them: 0x00BBGGRR for an ordinary
// colour, or a system colour with 0xFF in the top byte and the system's
// colour index in the low byte (negative when written as a signed number).
qint32 colorValue(const QColor &c);
QColor colorFromValue(qint32 value);

// The chart colours chosen in the colour window and applied while the
// gradient is on; they start as 0 (black) and live from load to save.
extern qint32 ColorWall;
extern qint32 ColorStartGradient;
extern qint32 ColorEndGradient;
extern qint32 ColorLabelLeft;
extern qint32 ColorLabelBottom;
extern qint32 ColorLabelRicht;
