#pragma once

// The parameter exchange with the charger: the outgoing frame, what the user
// asked for, what came back, and what the settings page then shows.

#include "link/frames.h"

#include <QString>

#include <optional>

struct ExchangeOutcome
{
    QString status;       // the text of the status label
    bool failure = false; // shown in red
    // A block the charger returned that the fields take.
    std::optional<ParameterBlock> block;
};

class ParameterExchange
{
public:
    // The outgoing frame; the first FrameSize bytes are sent. After a write
    // it keeps the written block, against which the echo is checked.
    quint8 TxBlock[17] = {};
    // The awaited reply confirms a write.
    bool WritePending = false;

    void ClearTxBlock();
    // Fills TxBlock with a command (and, for the write, the block).
    void buildCommand(Command command, const ParameterBlock *block = nullptr);
    // Judges a 15-byte block reply: the checksum, and for a write the echo
    // of the block last sent.
    bool replyIsGood(const quint8 *reply, bool checkEcho) const;

    // A write of `block` goes out: its frame is built and the echo awaited.
    ExchangeOutcome writeRequested(const ParameterBlock &block);
    // A read goes out. Its reply is a read, whatever became of an earlier
    // write: checking it as that write's echo would call a good block bad.
    ExchangeOutcome readRequested();
    // The write could not be sent: no echo will come.
    void writeFailed() { WritePending = false; }
    // The 15 (or more) bytes of a reply.
    ExchangeOutcome reply(const quint8 *bytes);
    // Nothing came back in time.
    static ExchangeOutcome timedOut();
};

// A current the charger returned, in the field it goes to: the value to put
// there (in mA) and whether clamping it to the field's range still names the
// same charger setting (reading back adds one mA, so a current at the top of
// its range comes back one above it; that is no surprise worth marking).
struct ReadBackCurrent
{
    int milliamps;
    bool sameSetting;
};
ReadBackCurrent readBack(int units, int bits, int senseR, quint16 step, int fieldMin, int fieldMax);
