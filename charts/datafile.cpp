#include "charts/datafile.h"

#include "platform/codepage.h"

#include <QRegularExpression>
#include <QStringDecoder>

const QString DataFileMarker = QStringLiteral("/* B */");

QByteArray windowsText(const QStringList &lines)
{
    QString text;
    for (const QString &l : lines)
        text += l + QStringLiteral("\r\n");
    return toCp1251(text);
}

QByteArray joinLogs(const QStringList &a, const QStringList &b)
{
    return windowsText(QStringList() << a << QString() << DataFileMarker << b);
}

QByteArray linkLogFile(const QString &logText)
{
    return windowsText(splitLines(logText));
}

QStringList splitLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

DataFileLogs splitLogs(const QStringList &lines)
{
    DataFileLogs logs;
    qsizetype m = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (m > 0)
            logs.b << lines[i];
        if (lines[i] == DataFileMarker)
            m = i;
    }
    logs.a = m > 0 ? lines.mid(0, m) : lines;
    return logs;
}

QString decodeDataFile(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromCp1251(bytes);
}
