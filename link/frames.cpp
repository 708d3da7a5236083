#include "link/frames.h"

#include "platform/clock.h"
#include "platform/localeformat.h"
#include "link/statistika.h"

#include <algorithm>
#include <cstring>

qint32 toDeviceUnits(int milliamps, int senseR, quint16 step)
{
    return qint32(qint64(milliamps) * senseR / step);
}

qint32 toMilliamps(qint64 units, int senseR, quint16 step)
{
    return qint32(units * step / senseR + 1);
}

quint32 fitField(qint32 units, int bits)
{
    const qint32 max = (1 << bits) - 1;
    return quint32(std::clamp(units, 0, max));
}

std::array<quint8, BlockSize> encodeBlock(const ParameterBlock &b)
{
    return {quint8(b.mhFast), quint8(b.mhFast >> 8), b.mhTrickle, b.mhMinutes, b.mhHours,
            quint8(b.cdFast), quint8(b.cdFast >> 8), b.cdTrickle, b.cdMinutes, b.cdHours,
            b.maxTemperature, b.maxRise};
}

ParameterBlock decodeBlock(const quint8 *p)
{
    ParameterBlock b;
    b.mhFast = quint16(p[0] | p[1] << 8);
    b.mhTrickle = p[2];
    b.mhMinutes = p[3];
    b.mhHours = p[4];
    b.cdFast = quint16(p[5] | p[6] << 8);
    b.cdTrickle = p[7];
    b.cdMinutes = p[8];
    b.cdHours = p[9];
    b.maxTemperature = p[10];
    b.maxRise = p[11];
    return b;
}

quint16 blockChecksum(const quint8 *bytes)
{
    quint16 sum = 0;
    for (int i = 0; i < BlockSize; ++i)
        sum = quint16(sum + bytes[i]);
    return sum;
}

QString sendLogEntry(const quint8 *frame, int count)
{
    QString entry = QStringLiteral("\r\n") + Fmt::wallClockStamp(Clock::now().time())
                    + QStringLiteral(" ---> Send: ");
    for (int i = 0; i < count; ++i) {
        appendHex(entry, frame[i]);
        entry += QLatin1Char(' ');
    }
    return entry;
}
