#pragma once

// What every test of the main window sets up around it, in one place: the
// program's folder in a temporary one (no settings file left from the test
// before), the user's configuration folder inside it, the Russian locale,
// and no scripted dialogs left installed after a test. A test class derives
// from it; one that needs more in a slot calls the base's first.

#include <QObject>
#include <QString>
#include <QTemporaryDir>

class WindowTest : public QObject
{
    Q_OBJECT

protected:
    QTemporaryDir folder;
    // The settings file the windows of the test read and write.
    QString settingsFile() const;

protected slots:
    void initTestCase();
    void init();
    void cleanup();
};
