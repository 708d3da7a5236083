#include "link/step.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int PacketSize = 5;
constexpr int MaxAdc = 0x0FFF;
constexpr int MinTenths = -600, MaxTenths = 1600;

int word(const quint8 *p)
{
    return p[0] << 8 | p[1];
}

bool plausibleTenths(const quint8 *p)
{
    const int t = qint16(word(p));
    return t >= MinTenths && t <= MaxTenths;
}

} // namespace

bool isKnownCode(quint8 code)
{
    return (code >= 0x01 && code <= 0x0A) || code == 0x30;
}

bool packetLooksSound(const quint8 *p)
{
    switch (p[0]) {
    case 0x01: case 0x02:
        return word(p + 1) <= MaxAdc && plausibleTenths(p + 3);
    case 0x05: case 0x06:
        return word(p + 1) <= MaxAdc && word(p + 3) <= MaxAdc;
    case 0x30:
        return plausibleTenths(p + 1) && plausibleTenths(p + 3);
    case 0x03: case 0x04: case 0x07: case 0x08: case 0x09: case 0x0A:
        return true;
    default:
        return false;
    }
}

void StepWatch::reset()
{
    size_ = 0;
    lostShown_ = false;
}

bool StepWatch::soundFrom(int start, int packets) const
{
    for (int k = 0; k < packets; ++k)
        if (!packetLooksSound(recent_ + start + k * PacketSize))
            return false;
    return true;
}

StepWatch::News StepWatch::take(const quint8 *packet)
{
    if (size_ + PacketSize > Span) {
        const int drop = size_ + PacketSize - Span;
        std::memmove(recent_, recent_ + drop, size_t(size_ - drop));
        size_ -= drop;
    }
    std::memcpy(recent_ + size_, packet, PacketSize);
    size_ += PacketSize;

    int unsound = 0, alien = 0;
    for (int end = size_, k = 0; end >= PacketSize && k < Evidence; end -= PacketSize, ++k) {
        const quint8 *p = recent_ + end - PacketSize;
        if (!packetLooksSound(p)) {
            ++unsound;
            alien += isKnownCode(p[0]) ? 0 : 1;
        }
    }

    News news;
    if (unsound < 2) {
        // One odd packet is the charger's own business; the step holds.
        if (lostShown_ && unsound == 0) {
            lostShown_ = false;
            news.regained = true;
        }
        return news;
    }
    // Odd values alone may be a sensor that is not plugged in; a code the
    // charger never sends is certain to be a packet out of step.
    if (alien > 0 && !lostShown_)
        lostShown_ = news.lost = true;
    // The offsets inside the last packet: at offset d the last whole packets
    // end d bytes before it does. A last packet with a code the charger
    // never sends is certain to be out of step, and then fewer packets of
    // the new step are enough: chance data hardly ever makes two.
    const int need = isKnownCode(packet[0]) ? Evidence : 2;
    for (int d = 1; d < PacketSize; ++d) {
        const int start = size_ + d - PacketSize * (need + 1);
        if (start >= 0 && soundFrom(start, need)) {
            news.shift = d;
            news.regained = true;
            reset();
            break;
        }
    }
    return news;
}
