#pragma once

// The parameter exchange with the charger as plain state: what the user
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

// Each step acts on the link's WritePending.
class ParameterExchange
{
public:
    // A write of `block` goes out: its frame is built and the echo awaited.
    static ExchangeOutcome writeRequested(const ParameterBlock &block);
    // A read goes out. Its reply is a read, whatever became of an earlier
    // write: checking it as that write's echo would call a good block bad.
    static ExchangeOutcome readRequested();
    // The 15 (or more) bytes of a reply.
    static ExchangeOutcome reply(const quint8 *bytes);
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
