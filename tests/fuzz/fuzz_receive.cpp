// The receive path, two ways.
//
// Raw: bytes in arbitrary chunks through framing, keeping step and decoding
// into a recording view, with replies awaited now and then and silences
// between chunks. Nothing may crash, and the held bytes always fit.
//
// Legal (first byte odd): the input describes a stream a charger in step
// may send (packets with its codes and any values, replies in time, late or
// unasked, a few packets with codes it does not know between its own,
// silences, pieces of any size), and the receiver must do exactly what an
// independent model of the protocol does, never moving the step.

#include "tests/support/modelpair.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 12, 7, 89));

// Reads the input a byte at a time; zeros once it is used up.
struct Input
{
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint16_t word() { return uint16_t(byte() << 8 | byte()); }
};

void feed(RecordingView &view, const uint8_t *bytes, int waiting)
{
    while (waiting > 0) {
        const int n = view.receiver.nextChunkSize(waiting);
        view.receiver.receiveChunk(bytes, n);
        if (view.receiver.heldCount() < 0 || view.receiver.heldCount() > RecvBufferSize)
            std::abort();
        bytes += n;
        waiting -= n;
    }
}

void raw(Input in)
{
    RecordingView view;
    view.receiver.LogEnabled = in.byte() & 2;
    const uint8_t flags = in.byte();
    view.settingsPageShown = flags & 1;
    view.chartingSensors = flags & 2;
    view.viewOn = {bool(flags & 4), true, bool(flags & 8), true};
    // Each event: a control byte (chunk length, a reply awaited, a silence
    // before it), then that many bytes of the line.
    while (in.more()) {
        const uint8_t control = in.byte();
        if (control & 0x80)
            view.receiver.ReadMode = true;
        if (control & 0x40)
            view.receiver.resetReceiver();
        const int waiting = int(std::min<size_t>((control & 0x3F) + 1, in.size - in.at));
        feed(view, in.data + in.at, waiting);
        in.at += size_t(waiting);
    }
    view.receiver.resetReceiver();
}

bool isKnown(uint8_t code)
{
    return (code >= 0x01 && code <= 0x0A) || code == 0x30;
}

void legal(Input in)
{
    in.byte();
    PacketOracle::Settings s;
    s.adcStep = in.word() % 500 + 1;
    s.senseR = in.word() % 300 + 1;
    s.rdTenths = in.byte() % 100 + 1;
    const uint8_t flags = in.byte();
    s.settingsPageShown = flags & 1;
    s.chartingSensors = flags & 2;
    s.viewOn = {bool(flags & 4), bool(flags & 8), bool(flags & 16), bool(flags & 32)};
    s.logEnabled = flags & 64;
    s.decimal = Fmt::decimalSeparator().front();
    ModelPair pair(s, 727 / 86400.0, Now);

    QByteArray pending; // bytes of the line not yet delivered
    // Delivers what is pending in events whose sizes the input gives.
    auto deliver = [&] {
        for (qsizetype at = 0; at < pending.size();) {
            const int size = in.byte();
            const int n = int(std::min<qsizetype>(size == 0 ? 300 : size, pending.size() - at));
            pair.event(reinterpret_cast<const uint8_t *>(pending.constData() + at), n);
            at += n;
        }
        pending.clear();
    };
    auto packet = [&](uint8_t code) {
        pending += char(code);
        for (int i = 0; i < 4; ++i)
            pending += char(in.byte());
    };
    static const uint8_t codes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                    0x07, 0x08, 0x09, 0x0A, 0x30};
    while (in.more()) {
        const uint8_t what = in.byte();
        switch (what >> 5) {
        case 0: { // a reply: awaited, awaited but late, or unasked
            deliver();
            if (what % 3 != 2)
                pair.awaitReply();
            if (what % 3 == 1)
                pair.silence();
            // Packets of a charge may come before an awaited reply, and a
            // second reply may follow it unasked.
            for (int k = what % 3 == 0 ? (what >> 3) % 3 : 0; k > 0; --k)
                packet(codes[in.byte() % std::size(codes)]);
            for (int k = what & 4 ? 2 : 1; k > 0; --k) {
                unsigned sum = 0;
                for (int i = 0; i < 12; ++i) {
                    const uint8_t b = in.byte();
                    pending += char(b);
                    sum += b;
                }
                pending += char(sum);
                pending += char(sum >> 8);
                pending += char(in.byte());
            }
            break;
        }
        case 1: // a silence
            deliver();
            pair.silence();
            break;
        case 2: { // up to three unknown packets, between known ones
            packet(codes[in.byte() % std::size(codes)]);
            for (int k = what % 3; k >= 0; --k) {
                uint8_t code = in.byte();
                while (isKnown(code))
                    code = uint8_t(code + 0x31);
                packet(code);
            }
            packet(codes[in.byte() % std::size(codes)]);
            break;
        }
        default:
            packet(codes[what % std::size(codes)]);
        }
    }
    deliver();
    pair.silence();
    const QString difference = pair.difference();
    if (!difference.isEmpty()) {
        std::fprintf(stderr, "the receiver and the model differ on a legal stream: %s\n",
                     qPrintable(difference));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Input in{data, size};
    if (size > 0 && data[0] & 1)
        legal(in);
    else
        raw(in);
    return 0;
}
