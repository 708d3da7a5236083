#pragma once

// Keeping step with the charger's packets.
//
// A packet has no start marker and no checksum: the receiver finds packets
// only by counting five bytes. One byte lost or added on the line (noise, an
// adapter's hiccup) would put every later packet out of step for as long as
// the charger keeps sending.
//
// The only thing a charger in step can never send is a code it does not
// know; its values may be anything (a sensor that is not plugged in, the
// counts of another ADC step). So the watch judges codes alone.
//
// The step is moved only when the last Evidence packets all carry codes the
// charger never sends, none of them part of a parameter-block reply (whose
// bytes are not packets but whose checksum proves them the charger's), and
// the same bytes read at another offset give Evidence codes it does send. A
// charger in step never gives such a run: its packets have known codes; a
// reply that comes after the receiver stopped waiting for it is three
// packets whose checksum is recognised; and when packets held before a
// reply made the receiver hand it on before its end, the rest of it (two
// packets at most) is not counted. The packets of the new step that
// were already read out of step are decoded again, so a byte lost or added
// costs only the packet it touched.

#include <QtGlobal>

#include <array>
#include <vector>

bool isKnownCode(quint8 code);

class StepWatch
{
public:
    static constexpr int PacketSize = 5;
    // Packets with unknown codes in a row before the step may move, and
    // known codes the new step must show over the same bytes. Three in a
    // row is what a reply taken as packets gives, so four.
    static constexpr int Evidence = 4;

    using Packet = std::array<quint8, PacketSize>;

    struct News
    {
        // Moved: the next packet starts this many bytes into the one just
        // taken, and `replay` are the packets of the new step already read
        // out of step (all with known codes), to decode before it.
        int shift = 0;
        std::vector<Packet> replay;
        // The packet ended a run of unknown codes no charger can send (as
        // long as a move needs), whether or not the step moved.
        bool evidence = false;
    };

    // Looks at one packet taken at the current step.
    News take(const quint8 *packet);
    // Forgets what it saw: the receiver starts afresh (held bytes dropped,
    // the link gone, a packet that could not be decoded).
    void reset() { size_ = run_ = tail_ = 0; }
    // A parameter-block reply went to its handler. Its first bytes may have
    // been taken with packets held before it, and then its last ten come as
    // two packets that are no evidence.
    void replyTaken()
    {
        reset();
        tail_ = 2;
    }

private:
    void remember(const quint8 *packet);
    bool lastThreeAreAReply() const;
    int movedStep() const;

    // The last packets taken, oldest first: enough for a reply (3) and for
    // the evidence of a move.
    static constexpr int Kept = Evidence > 3 ? Evidence : 3;
    quint8 recent_[Kept * PacketSize] = {};
    int size_ = 0; // packets in recent_
    int run_ = 0;  // packets with unknown codes in a row, the last one included
    int tail_ = 0; // packets still to come that may be a reply's last bytes
};

// Tells a line that brings mostly noise (a wrong baud rate, a broken line)
// from a charger: Seconds seconds of noise, every clock second of them one
// in which most packets had unknown codes and the step watch saw a run of
// them no charger can send. A charger's stream never shows that run, so it
// is never taken for noise.
class NoiseWatch
{
public:
    static constexpr int Seconds = 3;

    // Counts the packets of one read at `ms` (any clock in milliseconds that
    // does not go back). True once, at the first read Seconds after the
    // noise began; after that only rearm() makes it speak again.
    bool take(int known, int unknown, bool evidence, qint64 ms);
    // A new start: noise is news again.
    void rearm() { *this = NoiseWatch(); }
    // At `ms`, told and still going on (this second so far, or the whole
    // one before it, was noise): the link's other troubles are its doing,
    // and their texts would only hide the one that explains them. A second
    // without noise, or without packets, ends it.
    bool noisy(qint64 ms) const;

private:
    // second_ so far: most packets unknown, and a run no charger sends.
    bool secondIsNoise() const { return evidence_ && unknown_ > known_; }

    qint64 second_ = -1;
    qint64 firstMs_ = 0;  // the first read of second_
    qint64 rowStart_ = 0; // the first read of the row of noisy seconds
    int known_ = 0, unknown_ = 0;
    bool evidence_ = false;
    int noisySeconds_ = 0; // whole seconds of noise in a row, before second_
    bool said_ = false;
};
