#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

// One conversion with glibc's iconv; characters without a counterpart are
// replaced rather than ending the conversion.
QByteArray convert(const char *to, const char *from, const QByteArray &in, char replacement,
                   int replacementWidth)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        throw std::runtime_error(std::string("no conversion from ") + from + " to " + to);
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = size_t(in.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: four bytes a character is always enough
        // An unconvertible or broken sequence: write the replacement and skip it.
        *dst++ = replacement;
        --dstLeft;
        if (replacementWidth == 2) { // UTF-16 replacement, low byte first
            *dst++ = 0;
            --dstLeft;
        }
        const size_t skip = std::min<size_t>(srcLeft, from[0] == 'U' ? 2 : 1);
        src += skip;
        srcLeft -= skip;
    }
    iconv_close(cd);
    out.truncate(dst - out.data());
    return out;
}

} // namespace

QByteArray toCp1251(const QString &text)
{
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return convert("CP1251", "UTF-16LE", utf16, '?', 1);
}

QString fromCp1251(const QByteArray &bytes)
{
    const QByteArray utf16 = convert("UTF-16LE", "CP1251", bytes, '?', 2);
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(utf16.constData()),
                              utf16.size() / 2);
}
