#include "platform/programfolder.h"

#include <QCoreApplication>

namespace {
QString &overridden()
{
    static QString f;
    return f;
}
} // namespace

QString programFolder()
{
    return overridden().isEmpty() ? QCoreApplication::applicationDirPath() : overridden();
}

void setProgramFolder(const QString &folder)
{
    overridden() = folder;
}
