#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

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

bool programFolderIsUsers()
{
    const QString folder = programFolder();
    if (QDir::cleanPath(dataFolder()) != QDir::cleanPath(folder))
        return false; // installed beside its shared data
    const QString real = QFileInfo(folder).canonicalFilePath() + QLatin1Char('/');
    for (const char *system : {"/usr/", "/bin/", "/sbin/", "/lib/"})
        if (real.startsWith(QLatin1String(system)))
            return false;
    return QFileInfo(folder).ownerId() == ::geteuid();
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
