#include "link/statistika.h"

#include "platform/clock.h"
#include "platform/localeformat.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int PacketSize = 5;

quint16 word(const quint8 *p)
{
    return quint16(p[0] << 8 | p[1]);
}

} // namespace

void Receiver::dropHeldBytes()
{
    // A pause in named noise leaves a piece of it held: its doing too.
    if (RecvCount > 0 && !ReceiveNoise.noisy(Clock::steadyMs()))
        view_.showReceiveError(clock.chargeTimeText());
    forgetHeldBytes();
    ReadMode = false;
}

// " DataReceive N5-" and the bytes handed on, a colon before each packet.
void Receiver::logHandOn(QString &entry, int count) const
{
    entry += QStringLiteral(" DataReceive N5-") + QString::number(count) + QLatin1Char(' ');
    for (int i = 0; i < count; ++i) {
        if (i % PacketSize == 0)
            entry += QLatin1Char(':');
        appendHex(entry, RecvBuffer[i]);
        entry += QLatin1Char(' ');
    }
}

// Hands on the first `whole` held bytes (a multiple of 5): as a reply when
// one is awaited and complete, else to the decoder. What decoding leaves (a
// packet begun in a moved step) and the bytes after `whole` stay held, in
// order.
void Receiver::handOn(int whole, QString *entry)
{
    if (entry)
        logHandOn(*entry, whole);
    if (ReadMode) {
        if (whole < 15)
            return; // a reply's first packets: held until it is whole
        ReadMode = false;
        ReceiveStep.replyTaken();
        quint8 reply[RecvBufferSize];
        std::memcpy(reply, RecvBuffer, size_t(whole));
        RecvCount -= whole;
        std::memmove(RecvBuffer, RecvBuffer + whole, size_t(RecvCount));
        view_.HandleBlockReply(reply, whole);
        return;
    }
    const int taken = DecodePackets(RecvBuffer, whole);
    RecvCount -= taken;
    std::memmove(RecvBuffer, RecvBuffer + taken, size_t(RecvCount));
}

void addToCounter(qint32 &counter, int n)
{
    counter = qint32(quint32(counter) + quint32(n));
}

void appendHex(QString &out, quint8 b)
{
    static const char digits[] = "0123456789ABCDEF";
    out += QLatin1Char(digits[b >> 4]);
    out += QLatin1Char(digits[b & 15]);
}

QString logLegend()
{
    return QStringLiteral("Начало посылки \r\n"
                          "01-send_str A\r\n"
                          "02-send_str B\r\n"
                          "03-send_end_err_str A\r\n"
                          "04-send_end_err_str B\r\n"
                          "05-send_internal_r A\r\n"
                          "06-send_internal_r B\r\n"
                          "07-send_state A\r\n"
                          "08-send_state B\r\n"
                          "09-Разряд send_state A\r\n"
                          "0A-Разряд send_state B\r\n"
                          "30-send_Temperature A B\r\n");
}

int nextChunkSize(int held, int waiting)
{
    auto fit = [waiting](int kept) {
        int n = std::min({waiting, RecvChunkSize, RecvBufferSize - kept});
        if (n < waiting)
            n -= (kept + n) % PacketSize; // may leave 0: the packet begun cannot be completed
        return n;
    };
    const int n = fit(held);
    // receiveChunk then hands on the whole packets held before it takes the
    // read, keeping only the packet begun.
    return n > 0 ? n : fit(held % PacketSize);
}

int Receiver::receive(int waiting, const Read &read)
{
    int taken = 0;
    while (waiting > 0) {
        quint8 chunk[RecvChunkSize];
        const int got = read(chunk, nextChunkSize(waiting));
        if (got <= 0)
            break;
        receiveChunk(chunk, got);
        waiting -= got;
        taken += got;
    }
    return taken;
}

void Receiver::receive(const quint8 *bytes, int count)
{
    int done = 0;
    receive(count, [&](quint8 *buffer, int most) {
        const int n = std::min(most, count - done);
        std::memcpy(buffer, bytes + done, size_t(n));
        done += n;
        return n;
    });
}

void Receiver::receiveChunk(const quint8 *chunk, int count)
{
    if (count <= 0)
        return;
    count = std::min(count, RecvBufferSize);

    addToCounter(RecvTotal, count);
    view_.showReceivedTotal(RecvTotal);

    QString entry;
    if (LogEnabled) {
        entry.reserve(48 + count * 6);
        entry += QStringLiteral("\r\n");
        entry += Fmt::wallClockStamp(Clock::now().time());
        entry += QLatin1Char(' ');
        entry += clock.chargeTimeText();
        entry += QStringLiteral(" Nbytes (") + QString::number(count) + QStringLiteral(") ");
        for (int i = 0; i < count; ++i) {
            appendHex(entry, chunk[i]);
            entry += QLatin1Char(' ');
        }
    }
    QString *logged = LogEnabled ? &entry : nullptr;

    for (int done = 0; done < count;) {
        if (count - done > RecvBufferSize - RecvCount) {
            // The bytes do not all fit behind the ones held (a stream read
            // at points that keep missing a packet's end): the whole packets
            // held go on first, as if the last read had ended there, and the
            // packet begun stays. (A step moved among them may keep a few
            // bytes more; the rest of the read then follows in a second turn.)
            const int whole = RecvCount - RecvCount % PacketSize;
            if (whole >= (ReadMode ? 15 : PacketSize))
                handOn(whole, logged);
            if (RecvCount == RecvBufferSize)
                dropHeldBytes(); // cannot be: a full buffer holds 51 whole packets
        }
        const int n = std::min(count - done, RecvBufferSize - RecvCount);
        std::memcpy(RecvBuffer + RecvCount, chunk + done, size_t(n));
        RecvCount += n;
        done += n;
        if (RecvCount % PacketSize == 0)
            handOn(RecvCount, logged);
    }

    if (LogEnabled)
        LogText += QStringLiteral("  ") + entry;
}

void Receiver::resetReceiver()
{
    dropHeldBytes();
}

void Receiver::forgetHeldBytes()
{
    RecvCount = 0;
    ReceiveStep.reset();
}

void Receiver::log(const QString &entry)
{
    if (LogEnabled)
        LogText += entry;
}

qint32 Receiver::countSent(int n)
{
    addToCounter(SentTotal, n);
    return SentTotal;
}

QString packetDump(const quint8 *bytes, int count)
{
    QString dump;
    dump.reserve(count * 5);
    for (int i = 0; i < count; ++i) {
        dump += QStringLiteral(" 0x");
        appendHex(dump, bytes[i]);
    }
    return dump;
}

QString noiseSuspectedText()
{
    return QStringLiteral("поток нераспознанных данных: проверьте скорость порта, зарядное устройство работает на 38400");
}

QString stepRegainedText(const QString &chargeTime)
{
    return QStringLiteral("синхронизация восстановлена - ") + chargeTime;
}

// One packet with a code the charger sends. `alone`: the call holds only it.
void Receiver::decodeKnown(const quint8 *p, bool alone)
{
    const quint8 code = p[0];
    const Channel ch = code % 2 ? Channel::A : Channel::B;
    switch (code) {
    case 0x01: case 0x02:
        AddSampleLine(word(p + 1), qint16(word(p + 3)), ch);
        break;
    case 0x03: case 0x04:
        AddEndReport(p[1], ch);
        break;
    case 0x05: case 0x06:
        AddInternalResistance(word(p + 1), word(p + 3), ch);
        break;
    case 0x07: case 0x08:
        AddStartHeader(word(p + 1), p[3], ch);
        break;
    case 0x09: case 0x0A:
        AddDischargeHeader(word(p + 1), p[3], ch);
        break;
    case 0x30: {
        const double t1 = qint16(word(p + 1)) / 10.0, t2 = qint16(word(p + 3)) / 10.0;
        if (alone)
            view_.showSensorReadings(t1, t2);
        if (view_.sensorChartingOn()) {
            if (view_.seriesViewOn(SeriesId::AT))
                view_.addSeriesPoint(SeriesId::AT, t1, Fmt::hoursMinutes(clock.chargeTime()));
            if (view_.seriesViewOn(SeriesId::BT))
                view_.addSeriesPoint(SeriesId::BT, t2, Fmt::hoursMinutes(clock.chargeTime()));
        }
        break;
    }
    default:
        Q_UNREACHABLE();
    }
}

int Receiver::DecodePackets(const quint8 *bytes, int count)
{
    QString dump; // built on the first unrecognised packet: rare in practice
    // Each dump line holds the whole call, so a line per unrecognised packet
    // grows with the square of the call: a few seconds of line noise (a
    // wrong baud rate, a broken line) would bury both logs and stall the
    // window. A call whose packets, as first framed, hold at most two
    // unrecognised ones is dumped once for each; one that holds more is
    // dumped once, at its first. No call gets more than two lines (a step
    // moved inside the call may bring a second).
    int unrecognised = 0;
    for (int i = 0; i + PacketSize <= count; i += PacketSize)
        unrecognised += isKnownCode(bytes[i]) ? 0 : 1;
    int dumpsLeft = unrecognised > 2 ? 1 : 2;
    int known = 0, unknown = 0;
    bool evidence = false;
    const qint64 now = Clock::steadyMs();
    auto judgeLine = [&] {
        if (ReceiveNoise.take(known, unknown, evidence, now))
            view_.showNoise(noiseSuspectedText());
    };
    int at = 0;
    int next = 0; // where the packet after the one being decoded starts
    try {
        while (at + PacketSize <= count) {
            const quint8 *p = bytes + at;
            next = at + PacketSize;
            if (isKnownCode(p[0])) {
                ++known;
                decodeKnown(p, count == PacketSize);
            } else {
                ++unknown;
                if (dumpsLeft > 0) {
                    --dumpsLeft;
                    if (dump.isEmpty())
                        dump = packetDump(bytes, count);
                    for (const Channel ch : {Channel::A, Channel::B}) {
                        LogEvent e = event(LogEvent::Kind::Unrecognised, ch);
                        e.dump = dump;
                        record(e);
                    }
                }
            }
            const StepWatch::News news = ReceiveStep.take(p);
            evidence = evidence || news.evidence;
            if (news.shift) {
                next = at + news.shift;
                if (!ReceiveNoise.noisy(now))
                    view_.showStepRegained(clock.chargeTimeText());
                known += int(news.replay.size());
                for (const StepWatch::Packet &q : news.replay)
                    decodeKnown(q.data(), false);
            }
            at = next;
        }
    } catch (const std::exception &) {
        // Whatever a packet holds, it is reported in the status bar and never
        // in a dialog; the whole packets after it in this call are dropped,
        // and a packet begun at the end (in a step moved inside this call)
        // stays held. In noise that has been named, the error is its doing;
        // the call still counts towards judging the line.
        if (!ReceiveNoise.noisy(now))
            view_.showReceiveError(clock.chargeTimeText());
        ReceiveStep.reset();
        judgeLine();
        return count - (count - next) % PacketSize;
    }
    judgeLine();
    return at;
}

QString sampleLineText(const QString &chargeTime, quint16 adc, int step, qint16 tenths)
{
    QString line;
    line.reserve(chargeTime.size() + 40);
    line += chargeTime;
    line += QStringLiteral("    ADC=");
    line += QString::number(adc);
    line += QStringLiteral("    U=");
    line += Fmt::ratio(qint64(adc) * step, 100000, 4);
    line += QStringLiteral("    T=");
    line += Fmt::ratio(tenths, 10, 1);
    line += QLatin1Char(';');
    return line;
}

void Receiver::AddSampleLine(quint16 adc, qint16 tenths, Channel ch)
{
    const double volts = qint32(quint32(adc) * AdcStep) / 100000.0;
    const double degrees = tenths / 10.0;
    const bool a = ch == Channel::A;
    const SeriesId u = a ? SeriesId::AU : SeriesId::BU, t = a ? SeriesId::AT : SeriesId::BT;
    if (view_.seriesViewOn(u))
        view_.addSeriesPoint(u, volts, Fmt::hoursMinutes(clock.chargeTime()));
    if (view_.seriesViewOn(t))
        view_.addSeriesPoint(t, degrees, Fmt::hoursMinutes(clock.chargeTime()));
    LogEvent e = event(LogEvent::Kind::Sample, ch);
    e.adc = adc;
    e.tenths = tenths;
    e.adcStep = AdcStep;
    record(e);
}

QString endReportReasons(quint8 flags)
{
    static const char *const texts[8] = {
        " Ошибка 1. Превышено максимальное время заряда.",
        " Ошибка 2. Большая температура / большой рост температуры.",
        " Ошибка 3. Высокое напряжение аккумулятора.",
        " Ошибка 4. Высокое сопротивление аккумулятора.",
        " Ошибка 5. Ошибка при установке тока.",
        " Ошибка 6. Низкое напряжение аккумулятора.",
        " Ошибка 7. Нет роста напряжения на аккумуляторе.",
        " Конец заряда.",
    };
    QString reasons;
    for (int bit = 0; bit < 8; ++bit)
        if (flags & (1 << bit))
            reasons += QString::fromUtf8(texts[bit]);
    return reasons;
}

QString endReportText(quint8 flags)
{
    return QStringLiteral("END: ") + endReportReasons(flags);
}

void Receiver::AddEndReport(quint8 flags, Channel ch)
{
    LogEvent e = event(LogEvent::Kind::EndReport, ch);
    e.flags = flags;
    record(e);
}

QString internalResistanceOhms(quint16 emf, quint16 loaded, int rdTenths)
{
    // Floating point would quietly give an infinity; a cell cannot be
    // measured without current through the load, so this is bad data.
    if (loaded == 0)
        throw std::domain_error("internal resistance with no loaded voltage");
    // (emf - loaded) / (loaded / Rd) ohms with Rd in tenths, exactly.
    return Fmt::ratio(qint64(int(emf) - int(loaded)) * rdTenths, qint64(loaded) * 10, 3);
}

QString internalResistanceText(quint16 emf, quint16 loaded, int rdTenths)
{
    return QStringLiteral("Внутреннее R аккумулятора = ") + internalResistanceOhms(emf, loaded, rdTenths);
}

void Receiver::AddInternalResistance(quint16 emf, quint16 loaded, Channel ch)
{
    LogEvent e = event(LogEvent::Kind::Resistance, ch);
    e.emf = emf;
    e.loaded = loaded;
    e.rdTenths = view_.dischargeResistor();
    record(e);
}

bool blockIsNiCd(quint8 mode)
{
    return mode & 0x20;
}

bool blockTrickles(quint8 mode)
{
    // A NiCd charge that stops on time and errors alone has no trickle.
    return (mode & 0x40) && !(blockIsNiCd(mode) && (mode & 0x80));
}

QStringList parameterLinesText(quint16 current, quint8 mode, int step, int senseR)
{
    const QString amount = QStringLiteral(" Ток = ")
                           + Fmt::ratio(qint64(current) * step, senseR, 0) + QStringLiteral(" mA.");
    QStringList lines;
    // "NiСd" is spelled with a Cyrillic Es, as the charger's logs always were.
    lines << (blockIsNiCd(mode) ? QStringLiteral("NiСd аккумулятор.") : QStringLiteral("NiMh аккумулятор.")) + amount;
    if (blockIsNiCd(mode) && (mode & 0x80))
        lines << QStringLiteral("Останов только по времени и ошибкам.");
    if (blockTrickles(mode))
        lines << QStringLiteral("Включен режим дозаряда.");
    return lines;
}

void Receiver::AddStartHeader(quint16 current, quint8 mode, Channel ch)
{
    addBlock(LogEvent::Kind::ChargeStart, current, mode, ch);
}

void Receiver::AddDischargeHeader(quint16 current, quint8 mode, Channel ch)
{
    addBlock(LogEvent::Kind::DischargeStart, current, mode, ch);
}

void Receiver::addBlock(LogEvent::Kind kind, quint16 current, quint8 mode, Channel ch)
{
    LogEvent e = event(kind, ch);
    e.current = current;
    e.mode = mode;
    e.stepSetting = view_.adcStepSetting();
    e.senseR = view_.senseResistor();
    record(e);
}

LogEvent Receiver::event(LogEvent::Kind kind, Channel ch) const
{
    LogEvent e;
    e.kind = kind;
    e.channel = ch;
    e.chargeTime = clock.chargeTimeText();
    return e;
}

bool Receiver::lineNoisy() const
{
    return ReceiveNoise.noisy(Clock::steadyMs());
}

QStringList logLines(const LogEvent &e, bool logHasLines)
{
    using Kind = LogEvent::Kind;
    switch (e.kind) {
    case Kind::Sample:
        return {sampleLineText(e.chargeTime, e.adc, e.adcStep, e.tenths)};
    case Kind::EndReport:
        return {endReportText(e.flags)};
    case Kind::Resistance:
        return {internalResistanceText(e.emf, e.loaded, e.rdTenths)};
    case Kind::ChargeStart:
    case Kind::DischargeStart: {
        // A block in a log that has lines is set off by an empty one.
        QStringList lines;
        if (logHasLines)
            lines << QString();
        if (e.kind == Kind::ChargeStart)
            lines << QStringLiteral("Старт.");
        else
            lines << QStringLiteral("Разряд.") << QStringLiteral("Параметры заряда:");
        return lines + parameterLinesText(e.current, e.mode, e.stepSetting, e.senseR);
    }
    case Kind::Unrecognised:
        return {e.chargeTime + QStringLiteral(";  ") + e.dump};
    }
    Q_UNREACHABLE();
}

void Receiver::record(const LogEvent &e)
{
    // Formatted whole before any line goes in: a packet that cannot be
    // read (no loaded voltage) leaves no line behind.
    const QStringList lines = logLines(e, view_.logLineCount(e.channel) > 0);
    for (const QString &line : lines)
        view_.addLogLine(e.channel, line);
    view_.logged(e, lines);
}
