#pragma once

// The record in files other programs open: the chart as drawn, in PNG (at
// twice the pixels, for sharp text), SVG and PDF, and both channels'
// measurements as CSV for a spreadsheet.

#include <QByteArray>
#include <QString>
#include <QStringList>

class TChart;

enum class ExportFormat { Metafile, Png, Svg, Pdf, Csv };

// By the name's extension; a name without a known one is a metafile.
ExportFormat exportFormatOf(const QString &path);

// The chart as the bytes of a picture file; empty when it could not be
// drawn. The caller writes them whole, so a failed write keeps the file
// that was there.
QByteArray chartPng(const TChart &chart);
QByteArray chartSvg(const TChart &chart);
QByteArray chartPdf(const TChart &chart);

// Both logs' measurement lines side by side, in UTF-8 with a header row: a
// row for each charge time, its channel A and B columns left empty where
// that channel had no sample. Numbers take the locale's decimal separator,
// and the fields are parted by ";" where that is a comma, else by ",".
QByteArray csvOfLogs(const QStringList &a, const QStringList &b);
