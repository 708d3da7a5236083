#pragma once

// Tests pin the locale their texts are written for.

#include "platform/localeformat.h"

#include <QLocale>

inline void useLocale(const QString &name)
{
    QLocale::setDefault(QLocale(name));
    Fmt::refresh();
}
