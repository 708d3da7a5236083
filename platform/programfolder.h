#pragma once

#include <QString>

// The folder of the program's executable, where the settings file lives.
// Tests point it at a temporary folder.
QString programFolder();
void setProgramFolder(const QString &folder); // empty restores the real one
