#pragma once

#include <QByteArray>
#include <QString>

// Windows code page 1251, the 8-bit Cyrillic text of the charger's data
// files, link logs and metafile texts. Characters it lacks become "?".
QByteArray toCp1251(const QString &text);
QString fromCp1251(const QByteArray &bytes);
