#include "charts/columns.h"

QStringList columnValues(const QStringList &lines, QChar key)
{
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype p = line.indexOf(key);
        if (p < 0)
            continue;
        qsizetype end = p + 2;
        while (end < line.size() && line[end] != QLatin1Char(' ') && line[end] != QLatin1Char(';'))
            ++end;
        const QString value = p + 2 < line.size() ? line.mid(p + 2, end - p - 2) : QString();
        if (!value.isEmpty())
            out << value;
    }
    return out;
}

QStringList timeColumn(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        out << (space < 0 ? line : line.left(space));
    }
    return out;
}

QString columnText(const QStringList &values)
{
    QString text;
    for (const QString &v : values)
        text += v + QStringLiteral("\r\n");
    return text;
}
