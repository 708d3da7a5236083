// The receive path: bytes in arbitrary chunks through framing, keeping step
// and decoding into a recording view, with replies awaited now and then and
// silences between chunks. Nothing may crash, and the held bytes always fit.

#include "link/statistika.h"
#include "tests/support/recordingview.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    resetLinkState();
    LogEnabled = size > 0 && data[0] & 1;
    RecordingView view;
    view.settingsPageShown = size > 0 && data[0] & 2;
    view.chartingSensors = size > 0 && data[0] & 4;
    view.viewOn = {bool(size > 0 && data[0] & 8), true, bool(size > 0 && data[0] & 16), true};
    size_t at = 1;
    // Each event: a control byte (chunk length, a reply awaited, a silence
    // before it), then that many bytes of the line.
    while (at < size) {
        const uint8_t control = data[at++];
        if (control & 0x80)
            ReadMode = true;
        if (control & 0x40)
            resetReceiver(view);
        int waiting = std::min<int>(control & 0x3F, int(size - at)) + 1;
        waiting = std::min<int>(waiting, int(size - at));
        while (waiting > 0) {
            const int n = nextChunkSize(view, waiting);
            if (n <= 0)
                break;
            receiveChunk(view, data + at, n);
            if (RecvCount < 0 || RecvCount > RecvBufferSize)
                std::abort();
            at += size_t(n);
            waiting -= n;
        }
        if (waiting > 0)
            at += size_t(waiting); // not taken this turn: dropped, as a full driver queue does
    }
    resetReceiver(view);
    return 0;
}
