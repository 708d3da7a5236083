#include "tests/support/windowtest.h"

#include "platform/dialogs.h"
#include "platform/programfolder.h"
#include "tests/support/testlocale.h"

#include <QDir>
#include <QFile>

QString WindowTest::settingsFile() const
{
    return QDir(folder.path()).filePath(QStringLiteral("zlt.ini"));
}

void WindowTest::initTestCase()
{
    setProgramFolder(folder.path());
    // Where the settings go when the program's folder cannot take them:
    // never the user's own.
    qputenv("XDG_CONFIG_HOME", QDir(folder.path()).filePath(QStringLiteral("config")).toUtf8());
}

void WindowTest::init()
{
    useLocale(QStringLiteral("ru_RU"));
    setProgramFolder(folder.path());
    QFile::remove(settingsFile());
}

void WindowTest::cleanup()
{
    Dialogs::install(nullptr);
}
