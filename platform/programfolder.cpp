#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString dataFolder()
{
    // A folder, not just a name: /usr/bin/locale is the program "locale".
    const QString beside = programFolder();
    if (QFileInfo(beside + QStringLiteral("/locale")).isDir())
        return beside;
    const QString installed = QDir::cleanPath(beside + QStringLiteral("/../share/ostrel"));
    return QFileInfo(installed + QStringLiteral("/locale")).isDir() ? installed : beside;
}
