#include "platform/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::map<std::string, QByteArray> &bound()
{
    static std::map<std::string, QByteArray> languages;
    return languages;
}

} // namespace

QString Messages::language()
{
    QString lang = qEnvironmentVariable("LANG");
    if (lang.isEmpty())
        lang = QLocale::system().name();
    const qsizetype dot = lang.indexOf(QLatin1Char('.'));
    return dot < 0 ? lang : lang.left(dot);
}

void Messages::bind(const QString &folder, const QString &lang)
{
    bound().clear();
    const QString root = QDir(folder).filePath(QStringLiteral("locale"));
    for (const char *domain : {"default", "cport"}) {
        for (const QString &candidate : {lang, lang.left(2)}) {
            if (candidate.isEmpty())
                continue;
            const QString mo = QStringLiteral("%1/%2/LC_MESSAGES/%3.mo")
                                   .arg(root, candidate, QLatin1String(domain));
            if (QFileInfo::exists(mo)) {
                bindtextdomain(domain, QFile::encodeName(root).constData());
                bind_textdomain_codeset(domain, "UTF-8");
                bound()[domain] = candidate.toLatin1();
                break;
            }
        }
    }
    if (!bound().empty()) {
        // glibc consults the chosen language only outside the plain C
        // locale; the UTF-8 C locale leaves everything else as it was.
        const char *messages = std::setlocale(LC_MESSAGES, nullptr);
        if (!messages || std::string(messages) == "C" || std::string(messages) == "POSIX")
            std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
}

QString Messages::catalogLanguage(const char *domain)
{
    const auto it = bound().find(domain);
    return it == bound().end() ? QString() : QString::fromLatin1(it->second);
}

QString Messages::text(const char *domain, const QString &msgid)
{
    const auto it = bound().find(domain);
    if (it == bound().end())
        return msgid;
    // The language is chosen per domain, so it is set for each lookup.
    setenv("LANGUAGE", it->second.constData(), 1);
    const QByteArray id = msgid.toUtf8();
    return QString::fromUtf8(dgettext(domain, id.constData()));
}
