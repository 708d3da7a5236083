// Columns of a log copied for a spreadsheet.

#include "app/TfmMain.h"

#include "charts/columns.h"

#include "app/widgets.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

void toClipboard(const QStringList &values)
{
    QGuiApplication::clipboard()->setText(columnText(values));
}

} // namespace

void TfmMain::copy_u_t(const QString &key, LogMemo *memo)
{
    toClipboard(columnValues(memo->lines(), key.front()));
}

void TfmMain::copy_time(LogMemo *memo)
{
    toClipboard(timeColumn(memo->lines()));
}

void TfmMain::CopyAll(LogMemo *memo)
{
    memo->flush();
    memo->selectAll();
    // The selection as the memo's text with CR LF between lines, like the
    // columns (the widget's own copy would give bare LF).
    QGuiApplication::clipboard()->setText(memo->lines().join(QStringLiteral("\r\n")));
    memo->setCursorPosition({});
}
