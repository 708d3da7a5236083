#include "platform/errorreport.h"

#include "platform/dialogs.h"

#include <QApplication>

namespace {
void show(const QString &text)
{
    Dialogs::instance().message(QApplication::activeWindow(), text, Dialogs::Icon::Critical);
}
} // namespace

void reportError(const std::exception &e)
{
    show(QString::fromUtf8(e.what()));
}

void reportUnknownError()
{
    show(QStringLiteral("Unknown error"));
}
