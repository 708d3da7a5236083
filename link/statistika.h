#pragma once

// The device link: the program-wide link state, framing of received bytes,
// packet decoding and the lines of the channel logs.

#include "link/linkview.h"

#include <QString>
#include <QStringList>

// --- Link state (one link, one charger) ---------------------------------

constexpr int RecvBufferSize = 257;
constexpr int RecvChunkSize = 256; // most bytes taken from the port at once

extern quint8 RecvBuffer[RecvBufferSize];
extern qint32 RecvCount;   // bytes held in RecvBuffer
extern qint32 RecvTotal;   // bytes received since start or the counter's reset
extern qint32 SentTotal;   // bytes sent since start or the counter's reset
extern bool ReadMode;      // a 15-byte parameter-block reply is awaited
extern bool LogEnabled;    // the link log is kept ("Log" in the settings file)
extern QString LogText;    // the link log, starting with its legend
extern quint16 AdcStep;    // ADC step, 1/100 mV per count; never 0 once set

// The charge clock, fractions of a day: charge time = time of day -
// StartTime + TimeOffset.
extern double StartTime;
extern double TimeOffset;

double chargeTime();
QString chargeTimeText(); // the charge time as log lines print it

// The byte counters are 32-bit and wrap after about six days of full-rate
// traffic; the wrap is done on unsigned values so that it is defined.
void addToCounter(qint32 &counter, int n);

// Two uppercase hexadecimal digits, as the link log and dumps write bytes.
void appendHex(QString &out, quint8 byte);

// The legend the link log starts with (CR LF line ends).
QString logLegend();
// Watches the step of received packets (see step.h).
class StepWatch;
extern StepWatch ReceiveStep;
// Whether the line brings mostly noise; rearmed at each start.
class NoiseWatch;
extern NoiseWatch ReceiveNoise;

// Puts every piece of link state back to its start value.
void resetLinkState();

// --- Framing -------------------------------------------------------------

// How many of `waiting` bytes the next read may take. Held bytes are framed
// exactly as they come for as long as they fit in RecvBuffer: a packet split
// across reads waits for its fifth byte, however many reads that takes. Only
// when the waiting bytes do not fit does a read end where the held count
// ends on a packet boundary; when even that cannot be (the packet begun
// cannot be completed in the room left), receiveChunk first hands on the
// whole packets held and keeps the one begun. Always at least 1 for
// waiting > 0.
int nextChunkSize(int waiting);
// Takes one chunk read from the port: counters, link log, and the hand-on of
// complete frames to DecodePackets or the block-reply handler.
void receiveChunk(LinkView &view, const quint8 *chunk, int count);
// A tick of the silence timer: drops an incomplete frame and read mode.
void resetReceiver(LinkView &view);
// The line is gone: what was held can never be completed. Dropped without
// the receive error (the loss itself is what the user is told).
void forgetHeldBytes();

// --- Decoding and log lines -----------------------------------------------

// Decodes the whole packets of `bytes` in order and returns how many bytes
// it took: all but, when the step was moved inside them, the start of a
// packet in the new step (fewer than 5 bytes), which the caller keeps held.
// After a move, the packets of the new step that were read out of step are
// decoded again (see step.h).
int DecodePackets(LinkView &view, const quint8 *bytes, int count);

void AddSampleLine(LinkView &view, quint16 adc, qint16 tenths, Channel ch);
void AddEndReport(LinkView &view, quint8 flags, Channel ch);
void AddInternalResistance(LinkView &view, quint16 emf, quint16 loaded, Channel ch);
void AddParameterLines(LinkView &view, quint16 current, quint8 mode, Channel ch);
void AddStartHeader(LinkView &view, Channel ch);
void AddDischargeHeader(LinkView &view, Channel ch);

// The texts of those lines, from plain values.
QString sampleLineText(const QString &chargeTime, quint16 adc, int step, qint16 tenths);
QString endReportText(quint8 flags);
// Throws std::domain_error when `loaded` is 0 (the cell's resistance cannot
// be computed).
QString internalResistanceText(quint16 emf, quint16 loaded, int rdTenths);
QStringList parameterLinesText(quint16 current, quint8 mode, int step, int senseR);
// Status panel text when the step was moved to where the packets make
// sense again.
QString stepRegainedText(const QString &chargeTime);
// What the line probably is when it brings mostly noise.
QString noiseSuspectedText();
// " 0xNN" for every byte: the dump of an unrecognised packet.
QString packetDump(const quint8 *bytes, int count);
