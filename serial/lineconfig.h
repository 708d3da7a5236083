#pragma once

// Line settings and timeouts as plain values: what the device layer needs
// of the port's properties.

#include "serial/CPortTypes.h"

#include <cstdint>

struct LineConfig
{
    int baud = 9600;
    int dataBits = 8;
    TParityBits parity = prNone;
    TStopBits stopBits = sbOneStopBit;
    bool parityCheck = false;
    bool outCtsFlow = false;
    bool rtsHandshake = false;
    TDTRFlowControl dtr = dtrDisable;
    TRTSFlowControl rts = rtsDisable;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    char xonChar = 17;
    char xoffChar = 19;
    bool discardNull = false;
    char eventChar = 0;
};

struct TimeoutConfig
{
    std::uint32_t readInterval = 0xFFFFFFFF;
    std::uint32_t readMultiplier = 0;
    std::uint32_t readConstant = 0;
    std::uint32_t writeMultiplier = 100;
    std::uint32_t writeConstant = 1000;
};
