#pragma once

// The data file: both channel logs in one text file, channel A's lines, an
// empty line, the marker "/* B */" and channel B's lines, in code page 1251
// with CR LF after every line; and the link log written beside it.

#include <QByteArray>
#include <QString>
#include <QStringList>

extern const QString DataFileMarker;

struct DataFileLogs
{
    QStringList a;
    QStringList b;
};

// The file's bytes for two logs.
QByteArray joinLogs(const QStringList &a, const QStringList &b);
// A file's text back into its two logs. Everything after the first marker
// is channel B; channel A ends before the last one. A marker on the very
// first line is no marker.
DataFileLogs splitLogs(const QStringList &lines);
inline DataFileLogs splitLogs(const QString &text);

// Files of this program are Windows-1251; a file that is valid UTF-8 was
// edited elsewhere and is read as such.
QString decodeDataFile(const QByteArray &bytes);
// Lines of a text with CR LF, CR or LF breaks; the break after the last
// line ends it and starts none.
QStringList splitLines(const QString &text);
// Lines with CR LF after each, the last included, in code page 1251.
QByteArray windowsText(const QStringList &lines);
// "Log.txt": the link log's lines as the data file has its own.
QByteArray linkLogFile(const QString &logText);

inline DataFileLogs splitLogs(const QString &text)
{
    return splitLogs(splitLines(text));
}
