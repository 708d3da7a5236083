#pragma once

// Columns of a log, as they are copied for a spreadsheet.

#include <QString>
#include <QStringList>

// The values after "<key>=" on the lines that have one ("ADC", "U", "T": the
// key is the letter before the "="), up to the next blank or semicolon.
QStringList columnValues(const QStringList &lines, QChar key);
// The text before the first blank of every line (the time of a measurement).
QStringList timeColumn(const QStringList &lines);
// One value per line, CR LF after each, as spreadsheets on any system take.
QString columnText(const QStringList &values);
