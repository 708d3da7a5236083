#include "charts/datafile.h"

#include "platform/codepage.h"

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
    // Line ends are CR LF, CR or LF; a day-long file has some 170 000.
    QStringList lines;
    const QChar *const begin = text.constData(), *const end = begin + text.size();
    const QChar *from = begin;
    for (const QChar *p = begin; p != end; ++p) {
        if (*p != u'\r' && *p != u'\n')
            continue;
        lines.append(QString(from, p - from));
        if (*p == u'\r' && p + 1 != end && p[1] == u'\n')
            ++p;
        from = p + 1;
    }
    lines.append(QString(from, end - from));
    if (lines.back().isEmpty())
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
