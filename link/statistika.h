#pragma once

// The device link's receiving end: framing of received bytes, packet
// decoding and the lines of the channel logs.

#include "link/linkview.h"

#include <QString>
#include <QStringList>

#include "link/chargeclock.h"
#include "link/step.h"

#include <functional>

constexpr int RecvBufferSize = 257;
constexpr int RecvChunkSize = 256; // most bytes taken from the port at once

// The byte counters are 32-bit and wrap after about six days of full-rate
// traffic; the wrap is done on unsigned values so that it is defined.
void addToCounter(qint32 &counter, int n);

// Two uppercase hexadecimal digits, as the link log and dumps write bytes.
void appendHex(QString &out, quint8 byte);

// The legend the link log starts with (CR LF line ends).
QString logLegend();

// How many of `waiting` bytes the next read may take with `held` bytes held.
// Held bytes are framed exactly as they come for as long as they fit in the
// receive buffer: a packet split across reads waits for its fifth byte,
// however many reads that takes. Only when the waiting bytes do not fit does
// a read end where the held count ends on a packet boundary; when even that
// cannot be (the packet begun cannot be completed in the room left),
// Receiver::receiveChunk first hands on the whole packets held and keeps
// the one begun. Always at least 1 for waiting > 0.
int nextChunkSize(int held, int waiting);

// The receiving end of the link (one link, one charger): the bytes held,
// the counters, read mode, the link log, the step and noise watches and the
// charge clock. It frames what the port brings, decodes the packets and
// tells its view what to show.
class Receiver
{
public:
    explicit Receiver(LinkView &view) : view_(view) {}
    Receiver(const Receiver &) = delete;
    Receiver &operator=(const Receiver &) = delete;

    qint32 RecvTotal = 0;   // bytes received since start or the counter's reset
    qint32 SentTotal = 0;   // bytes sent since start or the counter's reset
    bool ReadMode = false;  // a 15-byte parameter-block reply is awaited
    bool LogEnabled = false; // the link log is kept ("Log" in the settings file)
    QString LogText = logLegend(); // the link log, starting with its legend
    quint16 AdcStep = 0;    // ADC step, 1/100 mV per count; never 0 once set
    ChargeClock clock;

    // Bytes held and not yet handed on.
    int heldCount() const { return RecvCount; }

    // Takes `waiting` bytes from `read(buffer, most)`, which returns how
    // many it gave (0 or less: none came), in chunks that keep packets
    // whole, in arrival order. Returns the bytes taken.
    using Read = std::function<int(quint8 *buffer, int most)>;
    int receive(int waiting, const Read &read);
    // The same for bytes at hand.
    void receive(const quint8 *bytes, int count);
    int nextChunkSize(int waiting) const { return ::nextChunkSize(RecvCount, waiting); }
    // Takes one chunk read from the port: counters, link log, and the
    // hand-on of complete frames to DecodePackets or the block-reply handler.
    void receiveChunk(const quint8 *chunk, int count);
    // A tick of the silence timer: drops an incomplete frame and read mode.
    void resetReceiver();
    // The line is gone: what was held can never be completed. Dropped
    // without the receive error (the loss itself is what the user is told).
    void forgetHeldBytes();
    // A new start: noise on the line is news again.
    void rearmNoiseWatch() { ReceiveNoise.rearm(); }
    // The line is known to bring mostly noise, and still does.
    bool lineNoisy() const;

    // Appends an entry to the link log when it is kept.
    void log(const QString &entry);
    // Counts bytes sent; returns the new total.
    qint32 countSent(int n);

    // Decodes the whole packets of `bytes` in order and returns how many
    // bytes it took: all but, when the step was moved inside them, the
    // start of a packet in the new step (fewer than 5 bytes), which the
    // caller keeps held. After a move, the packets of the new step that
    // were read out of step are decoded again (see step.h).
    int DecodePackets(const quint8 *bytes, int count);

    // Each packet's event, its lines in the log; the start and discharge
    // headers come with the parameter lines of their block.
    void AddSampleLine(quint16 adc, qint16 tenths, Channel ch);
    void AddEndReport(quint8 flags, Channel ch);
    void AddInternalResistance(quint16 emf, quint16 loaded, Channel ch);
    void AddStartHeader(quint16 current, quint8 mode, Channel ch);
    void AddDischargeHeader(quint16 current, quint8 mode, Channel ch);

private:
    void dropHeldBytes();
    void logHandOn(QString &entry, int count) const;
    void handOn(int whole, QString *entry);
    void decodeKnown(const quint8 *p, bool alone);
    LogEvent event(LogEvent::Kind kind, Channel ch) const;
    void addBlock(LogEvent::Kind kind, quint16 current, quint8 mode, Channel ch);
    // The event's lines into its log, then the view told.
    void record(const LogEvent &e);

    LinkView &view_;
    quint8 RecvBuffer[RecvBufferSize] = {};
    qint32 RecvCount = 0; // bytes held in RecvBuffer
    StepWatch ReceiveStep;
    NoiseWatch ReceiveNoise; // whether the line brings mostly noise; rearmed at each start
};

// The lines an event makes in its channel's log; `logHasLines`: the log
// already holds a line (a block is then set off by an empty one). Throws
// std::domain_error for a resistance with no loaded voltage.
QStringList logLines(const LogEvent &e, bool logHasLines);

// The texts of those lines, from plain values.
QString sampleLineText(const QString &chargeTime, quint16 adc, int step, qint16 tenths);
QString endReportText(quint8 flags);
// The reasons alone, each after a blank (" Конец заряда.").
QString endReportReasons(quint8 flags);
// Throws std::domain_error when `loaded` is 0 (the cell's resistance cannot
// be computed).
QString internalResistanceText(quint16 emf, quint16 loaded, int rdTenths);
// Its value alone, in ohms to three places.
QString internalResistanceOhms(quint16 emf, quint16 loaded, int rdTenths);
QStringList parameterLinesText(quint16 current, quint8 mode, int step, int senseR);
// What a block's mode byte says: a NiCd cell (else NiMH), and a trickle
// charge after the end.
bool blockIsNiCd(quint8 mode);
bool blockTrickles(quint8 mode);
// Status panel text when the step was moved to where the packets make
// sense again.
QString stepRegainedText(const QString &chargeTime);
// What the line probably is when it brings mostly noise.
QString noiseSuspectedText();
// " 0xNN" for every byte: the dump of an unrecognised packet.
QString packetDump(const quint8 *bytes, int count);
