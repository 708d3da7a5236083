#include "platform/codepage.h"

#include <iconv.h>

#include <array>
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
    // Each byte is a character of its own, so the code page is a table of
    // 256, taken once from iconv itself: a day-long data file is read at
    // memory speed and exactly as iconv would read it.
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const QByteArray one = convert("UTF-16LE", "CP1251", QByteArray(1, char(b)), '?', 2);
            t[size_t(b)] = one.size() == 2 ? char16_t(uchar(one[0]) | uchar(one[1]) << 8) : u'?';
        }
        return t;
    }();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char b : bytes)
        *out++ = table[uchar(b)];
    return text;
}
