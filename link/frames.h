#pragma once

// Commands to the charger: the 15-byte frames, the parameter block and the
// conversions of currents between milliamperes and the charger's ADC units.

#include <QString>
#include <QtGlobal>

#include <array>

// --- Currents ----------------------------------------------------------------

// mA to ADC units: mA x R (1/100 Ohm) div step (1/100 mV), truncating.
qint32 toDeviceUnits(int milliamps, int senseR, quint16 step);
// ADC units back to mA: units x step div R, plus one (so 204 units at R 51
// and step 250 read back as 1001 mA).
qint32 toMilliamps(qint64 units, int senseR, quint16 step);
// The units a field of the block can hold: 16 bits for a fast current,
// 8 for a trickle current. A larger value is kept at the field's maximum
// rather than cut to its low bits, which would send an arbitrary current.
quint32 fitField(qint32 units, int bits);
// What a field of `bits` receives for a current in mA.
inline quint32 chargerUnits(int milliamps, int senseR, quint16 step, int bits)
{
    return fitField(toDeviceUnits(milliamps, senseR, step), bits);
}

// --- Frames -------------------------------------------------------------------

constexpr int FrameSize = 15;
constexpr int BlockSize = 12;
constexpr quint8 FrameStart = 0x17, FrameEnd = 0x71;
enum Command : quint8 { CmdReset = 0x01, CmdWrite = 0x10, CmdRead = 0x20, CmdTemperatures = 0x31 };

// The charge parameters in the charger's units, in block order.
struct ParameterBlock
{
    quint16 mhFast = 0;
    quint8 mhTrickle = 0, mhMinutes = 0, mhHours = 0;
    quint16 cdFast = 0;
    quint8 cdTrickle = 0, cdMinutes = 0, cdHours = 0;
    quint8 maxTemperature = 0, maxRise = 0;

    bool operator==(const ParameterBlock &) const = default;
};

std::array<quint8, BlockSize> encodeBlock(const ParameterBlock &block);
ParameterBlock decodeBlock(const quint8 *bytes);
// Sum of the 12 block bytes, modulo 65536.
quint16 blockChecksum(const quint8 *bytes);

// The link log's entry for a sent frame.
QString sendLogEntry(const quint8 *frame, int count);
