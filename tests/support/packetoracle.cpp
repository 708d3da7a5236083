#include "tests/support/packetoracle.h"

#include <algorithm>
#include <cstdlib>

namespace {

const QString ErrorText = QStringLiteral("ошибка в принимаемых данных - ");

QString hexByte(quint8 b)
{
    return QStringLiteral("%1").arg(uint(b), 2, 16, QLatin1Char('0')).toUpper();
}

quint16 word(const QByteArray &bytes, int at)   // big-endian, as the charger sends it
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

// a / b rounded half away from zero, for a >= 0 and b > 0.
qint64 roundedDiv(qint64 a, qint64 b)
{
    return (2 * a + b) / (2 * b);
}

// One text per bit of the end-of-charge flags, bit 0 first.
const char *const EndTexts[8] = {
    " Ошибка 1. Превышено максимальное время заряда.",
    " Ошибка 2. Большая температура / большой рост температуры.",
    " Ошибка 3. Высокое напряжение аккумулятора.",
    " Ошибка 4. Высокое сопротивление аккумулятора.",
    " Ошибка 5. Ошибка при установке тока.",
    " Ошибка 6. Низкое напряжение аккумулятора.",
    " Ошибка 7. Нет роста напряжения на аккумуляторе.",
    " Конец заряда.",
};

} // namespace

PacketOracle::PacketOracle(Settings settings, QString chargeTime, QString hoursMinutes, QString wallStamp)
    : m_settings(settings)
    , m_chargeTime(std::move(chargeTime))
    , m_hoursMinutes(std::move(hoursMinutes))
    , m_wallStamp(std::move(wallStamp))
{
}

bool PacketOracle::readMode() const { return m_readMode; }
int PacketOracle::held() const { return int(m_held.size()); }

void PacketOracle::replyAwaited() { m_readMode = true; }

void PacketOracle::silenceTick()
{
    if (!m_held.isEmpty())
        status << receiveError();
    m_held.clear();
    m_readMode = false;
}

QString PacketOracle::receiveError() const { return ErrorText + m_chargeTime; }

// How many of the waiting bytes the next read takes; <= 0 when the packet
// begun can no longer be completed in the room the buffer has left.
int PacketOracle::readSize(int waiting) const
{
    const int room = BufferSize - held();
    if (waiting <= MaxRead && waiting <= room)
        return waiting;
    const int n = std::min({waiting, MaxRead, room});
    return n - (held() + n) % 5;   // stop on a packet boundary, so nothing spills
}

void PacketOracle::event(const quint8 *bytes, int count)
{
    int pos = 0;
    while (pos < count) {
        const int waiting = count - pos;
        int n = readSize(waiting);
        QString earlierHandOn;
        if (n <= 0) {
            // Make room: the whole packets held go on as if the count had
            // just reached a multiple of 5; the begun packet stays.
            const int whole = held() - held() % 5;
            earlierHandOn = dataReceivePart(whole);
            handOn(whole);
            n = readSize(waiting);
        }
        read(bytes + pos, n, earlierHandOn);
        pos += n;
    }
}

// One pass of the receive handler over `n` bytes taken from the port.
void PacketOracle::read(const quint8 *bytes, int n, const QString &earlierHandOn)
{
    receivedTotal += n;
    QString entry = QStringLiteral("\r\n") + m_wallStamp + QLatin1Char(' ') + m_chargeTime
        + QStringLiteral(" Nbytes (") + QString::number(n) + QStringLiteral(") ");
    for (int i = 0; i < n; ++i)
        entry += hexByte(bytes[i]) + QLatin1Char(' ');
    m_held.append(reinterpret_cast<const char *>(bytes), n);
    entry += earlierHandOn;

    if (held() % 5 == 0) {
        entry += dataReceivePart(held());
        // A reply of 15 bytes is awaited: 5 or 10 held bytes wait for more.
        if (!m_readMode || held() >= 15)
            handOn(held());
    }
    if (m_settings.logEnabled)
        linkLog += QStringLiteral("  ") + entry;
}

// The first `count` held bytes (a multiple of 5) go to the reply handler in
// read mode, else to the decoder; whatever follows them moves to the front.
void PacketOracle::handOn(int count)
{
    const QByteArray bytes = m_held.left(count);
    m_held.remove(0, count);
    if (m_readMode) {
        m_readMode = false;
        replies << bytes;
    } else {
        decode(bytes);
    }
}

QString PacketOracle::dataReceivePart(int count) const
{
    QString part = QStringLiteral(" DataReceive N5-") + QString::number(count) + QLatin1Char(' ');
    for (int i = 0; i < count; ++i) {
        if (i % 5 == 0)
            part += QLatin1Char(':');
        part += hexByte(quint8(m_held[i])) + QLatin1Char(' ');
    }
    return part;
}

bool PacketOracle::decode(const QByteArray &bytes)
{
    const int count = int(bytes.size());
    QString dump;
    for (char b : bytes)
        dump += QStringLiteral(" 0x") + hexByte(quint8(b));

    // A call with more than two packets of unknown codes is dumped once,
    // at the first of them (a dump holds the whole call; noise would
    // otherwise grow the logs with the square of the call).
    int unknown = 0;
    for (int at = 0; at + 5 <= count; at += 5) {
        const quint8 code = quint8(bytes[at]);
        if (!((code >= 0x01 && code <= 0x0A) || code == 0x30))
            ++unknown;
    }
    const bool dumpEach = unknown <= 2;
    bool dumped = false;

    for (int at = 0; at + 5 <= count; at += 5) {
        const quint8 code = quint8(bytes[at]);
        const quint16 w1 = word(bytes, at + 1);
        const quint16 w2 = word(bytes, at + 3);
        const int ch = (code & 1) ? 0 : 1;
        switch (code) {
        case 0x01: case 0x02:
            measurement(ch, w1, qint16(w2));
            break;
        case 0x03: case 0x04:
            endReport(ch, quint8(bytes[at + 1]));
            break;
        case 0x05: case 0x06:
            if (!internalResistance(ch, w1, w2)) {
                // The rest of the call is dropped; what was logged stays.
                status << receiveError();
                return false;
            }
            break;
        case 0x07: case 0x08:
        case 0x09: case 0x0A:
            if (!logs[ch].isEmpty())
                logs[ch] << QString();
            if (code <= 0x08) {
                logs[ch] << QStringLiteral("Старт.");
            } else {
                logs[ch] << QStringLiteral("Разряд.") << QStringLiteral("Параметры заряда:");
            }
            parameterLines(ch, w1, quint8(bytes[at + 3]));
            break;
        case 0x30:
            // The labels only answer a poll seen alone; the curves take every reading.
            if (m_settings.settingsPageShown && count == 5)
                sensorReadings.append({qint16(w1) / 10.0, qint16(w2) / 10.0});
            if (m_settings.chartingSensors) {
                if (m_settings.viewOn[1])
                    addPoint(1, qint16(w1) / 10.0);
                if (m_settings.viewOn[3])
                    addPoint(3, qint16(w2) / 10.0);
            }
            break;
        default:
            // Both logs get the whole call's bytes, once per strange packet.
            if (dumpEach || !dumped) {
                logs[0] << m_chargeTime + QStringLiteral(";  ") + dump;
                logs[1] << m_chargeTime + QStringLiteral(";  ") + dump;
                dumped = true;
            }
            break;
        }
    }
    return true;
}

void PacketOracle::addPoint(int series, double value)
{
    points[series].append(value);
    pointLabels[series].append(m_hoursMinutes);
}

void PacketOracle::measurement(int ch, quint16 adc, qint16 tenths)
{
    const quint32 n = quint32(adc) * quint32(m_settings.adcStep);   // volts * 100000
    const int u = ch * 2, t = ch * 2 + 1;
    if (m_settings.viewOn[u])
        addPoint(u, n / 100000.0);
    if (m_settings.viewOn[t])
        addPoint(t, tenths / 10.0);
    logs[ch] << m_chargeTime + QStringLiteral("    ADC=") + QString::number(adc)
            + QStringLiteral("    U=") + fixed(roundedDiv(n, 10), 4, false)
            + QStringLiteral("    T=") + fixed(std::abs(int(tenths)), 1, tenths < 0)
            + QLatin1Char(';');
}

void PacketOracle::endReport(int ch, quint8 flags)
{
    QString line = QStringLiteral("END: ");
    for (int bit = 0; bit < 8; ++bit) {
        if (flags & (1u << bit))
            line += QString::fromUtf8(EndTexts[bit]);
    }
    logs[ch] << line;
}

bool PacketOracle::internalResistance(int ch, quint16 emf, quint16 ur)
{
    if (ur == 0)
        return false;   // the division by the loaded voltage fails
    // R = (emf - ur) * Rd / ur with Rd in tenths of an ohm; in milliohms that
    // is (emf - ur) * rdTenths * 100 / ur.
    const qint64 diff = qint64(emf) - qint64(ur);
    const qint64 milli = roundedDiv(std::llabs(diff) * m_settings.rdTenths * 100, ur);
    logs[ch] << QStringLiteral("Внутреннее R аккумулятора = ") + fixed(milli, 3, diff < 0);
    return true;
}

void PacketOracle::parameterLines(int ch, quint16 current, quint8 mode)
{
    const qint64 mA = roundedDiv(qint64(current) * m_settings.adcStep, m_settings.senseR);
    const QString tail = QStringLiteral(" Ток = ") + QString::number(mA) + QStringLiteral(" mA.");
    const QString trickle = QStringLiteral("Включен режим дозаряда.");
    if (mode & 0x20) {
        logs[ch] << QStringLiteral("Ni\u0421d аккумулятор.") + tail;   // a Cyrillic Es, as the program writes it
        if (mode & 0x80)
            logs[ch] << QStringLiteral("Останов только по времени и ошибкам.");
        else if (mode & 0x40)
            logs[ch] << trickle;
    } else {
        logs[ch] << QStringLiteral("NiMh аккумулятор.") + tail;
        if (mode & 0x40)
            logs[ch] << trickle;
    }
}

// `scaled` (>= 0) holds the value times 10^places; the sign is given apart,
// and a value that rounds to zero has none.
QString PacketOracle::fixed(qint64 scaled, int places, bool negative) const
{
    qint64 unit = 1;
    for (int i = 0; i < places; ++i)
        unit *= 10;
    return (negative && scaled > 0 ? QStringLiteral("-") : QString()) + QString::number(scaled / unit)
        + m_settings.decimal + QString::number(scaled % unit).rightJustified(places, QLatin1Char('0'));
}
