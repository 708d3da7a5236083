#pragma once

// Columns of a log, as they are copied or exported for a spreadsheet.

#include "charts/logreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// One value per line, CR LF after each, as spreadsheets on any system take.
QString columnText(const QStringList &values);

// What "Экспорт" writes, by the name's extension; a name without a known
// one is a metafile.
enum class ExportFormat { Metafile, Png, Svg, Pdf, Csv };
ExportFormat exportFormatOf(const QString &path);

// Both logs' measurement lines side by side, in UTF-8 with a header row: a
// row for each charge time, its channel A and B columns left empty where
// that channel had no sample. Numbers take the locale's decimal separator,
// and the fields are parted by ";" where that is a comma, else by ",".
QByteArray csvOfLogs(const QStringList &a, const QStringList &b);
// The field separator of those files for the locale: ";" where the decimal
// separator is a comma, else ",".
QString csvSeparator();
// Rows as such a file: UTF-8 with its mark, CR LF after each row.
QByteArray csvFile(const QStringList &rows);
