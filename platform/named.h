#pragma once

#include <QString>

#include <utility>

// Creates a child widget (or object) named as the form names it, so that
// tests and the settings find it by that name.
template <typename W, typename P, typename... Args>
W *make(P *parent, const char *name, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}
