#pragma once

#include <QString>

// The folder of the program's executable, where the settings file lives.
// Tests point it at a temporary folder.
QString programFolder();
void setProgramFolder(const QString &folder); // empty restores the real one

// The folder whose locale/ holds the message catalogs: beside the program in
// the build tree, else <prefix>/share/ostrel of an installed one.
QString dataFolder();

// Whether the program's folder is the user's own: a build or an unpacked
// copy, owned by the user who runs it. An installed program (its data in
// <prefix>/share, its folder another user's or under /usr) is not, whoever
// runs it, root included.
bool programFolderIsUsers();
