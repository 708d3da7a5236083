#include "link/step.h"

#include <cstring>

bool isKnownCode(quint8 code)
{
    return (code >= 0x01 && code <= 0x0A) || code == 0x30;
}

void StepWatch::remember(const quint8 *packet)
{
    if (size_ == Kept) {
        std::memmove(recent_, recent_ + PacketSize, size_t((Kept - 1) * PacketSize));
        --size_;
    }
    std::memcpy(recent_ + size_ * PacketSize, packet, PacketSize);
    ++size_;
}

bool StepWatch::lastThreeAreAReply() const
{
    if (size_ < 3)
        return false;
    // Twelve bytes of parameters and their 16-bit little-endian sum.
    const quint8 *r = recent_ + (size_ - 3) * PacketSize;
    unsigned sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += r[i];
    return sum == unsigned(r[12] | r[13] << 8);
}

int StepWatch::movedStep() const
{
    const quint8 *run = recent_ + (size_ - Evidence) * PacketSize;
    // Packets at offset d with known codes, from the newest back.
    auto knownFrom = [run](int d) {
        int k = Evidence;
        while (k > 0 && isKnownCode(run[d + (k - 1) * PacketSize]))
            --k;
        return Evidence - k;
    };
    // The smallest offset first: the code of a packet is followed by the
    // high byte of its count, which is itself a known code for the usual
    // cell voltages, so the true step comes just before that one. When the
    // offset just before the one found fails only in the oldest packet
    // (bytes of the noise that threw the step), it is the truer one: wait
    // for the next packet, which shows it whole.
    for (int d = 1; d < PacketSize; ++d) {
        if (knownFrom(d) < Evidence)
            continue;
        return d > 1 && knownFrom(d - 1) == Evidence - 1 ? 0 : d;
    }
    return 0;
}

StepWatch::News StepWatch::take(const quint8 *packet)
{
    remember(packet);
    News news;
    if (tail_ > 0) {
        --tail_;
        run_ = 0;
        return news;
    }
    if (isKnownCode(packet[0]) || lastThreeAreAReply()) {
        // A packet of the charger's, or a reply that came when none was
        // awaited: the charger's own bytes.
        run_ = 0;
        return news;
    }
    if (++run_ < Evidence)
        return news;
    news.evidence = true;
    if (const int d = movedStep()) {
        const quint8 *run = recent_ + (size_ - Evidence) * PacketSize;
        for (int k = 0; k + 1 < Evidence; ++k) {
            Packet p;
            std::memcpy(p.data(), run + d + k * PacketSize, PacketSize);
            news.replay.push_back(p);
        }
        news.shift = d;
        reset();
    }
    return news;
}

bool NoiseWatch::take(int known, int unknown, bool evidence, qint64 ms)
{
    const qint64 second = ms / 1000;
    if (second != second_) {
        // The second that ended; one without packets breaks the row.
        const bool noisy = secondIsNoise();
        if (noisy && noisySeconds_ == 0)
            rowStart_ = firstMs_;
        noisySeconds_ = noisy && second == second_ + 1 ? noisySeconds_ + 1 : 0;
        second_ = second;
        firstMs_ = ms;
        known_ = unknown_ = 0;
        evidence_ = false;
    }
    known_ += known;
    unknown_ += unknown;
    evidence_ = evidence_ || evidence;
    // Told at the first read Seconds after the row began, if this second
    // so far is noise too.
    if (said_ || !secondIsNoise() || noisySeconds_ == 0 || ms - rowStart_ < Seconds * 1000)
        return false;
    said_ = true;
    return true;
}

bool NoiseWatch::noisy(qint64 ms) const
{
    if (!said_)
        return false;
    const qint64 second = ms / 1000;
    if (second == second_)
        return secondIsNoise() || noisySeconds_ > 0;
    return second == second_ + 1 && secondIsNoise();
}
