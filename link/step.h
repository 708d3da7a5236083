#pragma once

// Keeping step with the charger's packets.
//
// A packet has no start marker and no checksum: the receiver finds packets
// only by counting five bytes. One byte lost or added on the line (noise, an
// adapter's hiccup) would put every later packet out of step for as long as
// the charger keeps sending. The watch looks at every packet taken and, once
// the recent ones no longer make sense, finds the offset at which the recent
// bytes do: packets with the charger's codes and values a charger can send.

#include <QtGlobal>

// Whether a packet could have come from the charger: a code it sends and,
// where the packet carries them, ADC counts of a 12-bit converter and
// temperatures a sensor can read. Used only to find the step; a packet
// that fails it is still decoded as it stands.
bool packetLooksSound(const quint8 *packet);
bool isKnownCode(quint8 code);

class StepWatch
{
public:
    // Packets that must agree before the step is moved: a few packets are
    // lost after a slip, and chance data cannot move a good step.
    static constexpr int Evidence = 4;

    struct News
    {
        int shift = 0;        // 1..4: the next packet starts this many bytes into the last one
        bool lost = false;    // packets the charger never sends: out of step
        bool regained = false;
    };

    // Looks at one packet just taken at the current step.
    News take(const quint8 *packet);
    // Forgets what it saw: the receiver starts afresh (held bytes dropped,
    // a parameter-block reply taken).
    void reset();

private:
    bool soundFrom(int start, int packets) const;

    static constexpr int Span = 5 * Evidence + 4; // bytes an offset of 1..4 needs
    quint8 recent_[Span] = {};
    int size_ = 0;
    bool lostShown_ = false;
};
