#pragma once

#include <QString>

// Message catalogs (GNU gettext) for the serial port component's texts: the
// domain "default" for its errors and "cport" for its setup dialog. A
// catalog is looked for under <folder>/locale/<language>/LC_MESSAGES/
// <domain>.mo, with the full language code first and then its first two
// letters; without one, every text stays as written.
namespace Messages {

// LANG, else the system locale as language_COUNTRY; cut at any ".".
QString language();
// Finds the catalogs of both domains under `folder` for `lang`.
void bind(const QString &folder, const QString &lang = language());
// The catalog language a domain was bound to; empty without a catalog.
QString catalogLanguage(const char *domain);
QString text(const char *domain, const QString &msgid);

} // namespace Messages
