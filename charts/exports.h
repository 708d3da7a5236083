#pragma once

// The chart in files other programs open, as drawn: PNG (at twice the
// pixels, for sharp text), SVG and PDF. (The measurements as CSV are
// columns.h's.)

#include <QByteArray>

class TChart;

// The chart as the bytes of a picture file; empty when it could not be
// drawn. The caller writes them whole, so a failed write keeps the file
// that was there.
QByteArray chartPng(const TChart &chart);
QByteArray chartSvg(const TChart &chart);
QByteArray chartPdf(const TChart &chart);
