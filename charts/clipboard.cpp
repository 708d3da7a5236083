// Columns of a log copied for a spreadsheet.

#include "TfmMain.h"

#include "widgets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextCursor>

namespace {

// One value per line, CR LF after each, as spreadsheets on any system take.
void toClipboard(const QStringList &values)
{
    QString text;
    for (const QString &v : values)
        text += v + QStringLiteral("\r\n");
    QGuiApplication::clipboard()->setText(text);
}

} // namespace

QStringList ColumnValues(const QStringList &lines, QChar key)
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

QStringList TimeColumn(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        out << (space < 0 ? line : line.left(space));
    }
    return out;
}

void TfmMain::copy_u_t(const QString &key, LogMemo *memo)
{
    toClipboard(ColumnValues(memo->lines(), key.front()));
}

void TfmMain::copy_time(LogMemo *memo)
{
    toClipboard(TimeColumn(memo->lines()));
}

void TfmMain::CopyAll(LogMemo *memo)
{
    memo->flush();
    memo->selectAll();
    // The selection as the memo's text with CR LF between lines, like the
    // columns (the widget's own copy would give bare LF).
    QGuiApplication::clipboard()->setText(memo->lines().join(QStringLiteral("\r\n")));
    QTextCursor start = memo->textCursor();
    start.setPosition(0);
    memo->setTextCursor(start);
    memo->ensureCursorVisible();
}
