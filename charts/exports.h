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

// Each returns false when the file could not be written.
bool exportChartPng(const TChart &chart, const QString &path);
bool exportChartSvg(const TChart &chart, const QString &path);
bool exportChartPdf(const TChart &chart, const QString &path);

// Both logs' measurement lines side by side, in UTF-8 with a header row: a
// row for each charge time, its channel A and B columns left empty where
// that channel had no sample. Numbers take the locale's decimal separator,
// and the fields are parted by ";" where that is a comma, else by ",".
QByteArray csvOfLogs(const QStringList &a, const QStringList &b);
