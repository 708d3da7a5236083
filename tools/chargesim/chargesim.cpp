#include "tools/chargesim/chargesim.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace chargesim {

Packet samplePacket(Channel channel, std::uint16_t adc, std::int16_t tenths)
{
    const auto t = static_cast<std::uint16_t>(tenths);
    return {static_cast<std::uint8_t>(channel == Channel::A ? 0x01 : 0x02),
            static_cast<std::uint8_t>(adc >> 8), static_cast<std::uint8_t>(adc & 0xFF),
            static_cast<std::uint8_t>(t >> 8), static_cast<std::uint8_t>(t & 0xFF)};
}

Packet wordPacket(std::uint8_t code, std::uint16_t w1, std::uint16_t w2)
{
    return {code, static_cast<std::uint8_t>(w1 >> 8), static_cast<std::uint8_t>(w1 & 0xFF),
            static_cast<std::uint8_t>(w2 >> 8), static_cast<std::uint8_t>(w2 & 0xFF)};
}

double CellCurve::volts(double t) const
{
    const double x = std::clamp(t / minutes, 0.0, 1.0);
    // A quick rise to the plateau, a slow climb, then the steep end-of-charge
    // rise to the peak and a small drop after it.
    double v = startVolts + (plateauVolts - startVolts) * (1 - std::exp(-t / 4.0));
    v += (peakVolts - plateauVolts) * 0.3 * x;
    if (x > 0.85)
        v += (peakVolts - plateauVolts) * 0.7 * std::sin((x - 0.85) / 0.12 * M_PI / 2);
    if (x > 0.97)
        v -= (x - 0.97) * 0.5;
    return v;
}

double CellCurve::celsius(double t) const
{
    const double x = std::clamp(t / minutes, 0.0, 1.0);
    double c = roomCelsius + 1.5 * x;
    if (x > 0.8)
        c += (endCelsius - roomCelsius - 1.5) * std::pow((x - 0.8) / 0.2, 2);
    return c;
}

CellCurve CellCurve::afterCharges(int charges, double fadePercent) const
{
    CellCurve c = *this;
    // The end comes sooner, the start of the charge is as it was: the quick
    // rise to the plateau comes from the current, not from what the cell
    // holds. However long a run, a curve keeps some length to divide by.
    c.minutes = std::max(minutes * std::pow(1 - fadePercent / 100, charges), 1e-6);
    return c;
}

CellCurve nimhCell() { return {75, 1.28, 1.42, 1.48, 22.5, 34}; }
CellCurve nicdCell() { return {60, 1.25, 1.40, 1.50, 22.0, 31}; }

std::string ChargeStart::describe() const
{
    return std::string("channel ") + (channel == Channel::A ? "A" : "B") + ": cell " + cell + ", charge "
           + std::to_string(number) + ", about " + std::to_string(std::lround(milliampHours)) + " mAh";
}

namespace {
void fail(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// Channel A charges a NiMH cell at 1000 mA with trickle charge after it,
// channel B a NiCd cell at 500 mA; both cells measure about 0.05 ohm.
struct Setup
{
    CellCurve cell;
    int milliamps;
    std::uint8_t mode;
};
Setup setupOf(int ch)
{
    return ch ? Setup {nicdCell(), 500, 0x60} : Setup {nimhCell(), 1000, 0x40};
}
} // namespace

Simulator::Simulator(Options options) : options_(std::move(options)), fault_(options_.fault)
{
    for (int ch = 0; ch < 2; ++ch)
        charges_[ch] = chargeFrom(ch, 0, 0);
    openPty();
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        fail("pipe");
}

void Simulator::openPty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        fail("grantpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        fail("ptsname");
    {
        std::lock_guard lock(pathMutex_);
        slavePath_ = name;
    }
    // Open the slave once and close it: from then on the master reports a
    // hang-up while no program holds the port, which is how we know when
    // to stay quiet (a real charger's bytes are lost while the port is
    // closed; a pty would keep them for the next open).
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        fail("open slave");
    termios t {};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    ::close(slave);
    if (!options_.link.empty()) {
        ::unlink(options_.link.c_str());
        if (::symlink(name, options_.link.c_str()) != 0)
            fail("symlink");
    }
}

void Simulator::closePty()
{
    if (!options_.link.empty())
        ::unlink(options_.link.c_str());
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

std::string Simulator::slavePath() const
{
    std::lock_guard lock(pathMutex_);
    return slavePath_;
}

void Simulator::unplug()
{
    if (running_)
        unplugRequest_ = true;
    else
        closePty();
}

void Simulator::replug()
{
    if (running_)
        replugRequest_ = true;
    else if (master_ < 0)
        openPty();
}

bool Simulator::plugged() const
{
    return plugged_;
}

Simulator::~Simulator()
{
    stop();
    closePty();
    for (int fd : {stopPipe_[0], stopPipe_[1]})
        if (fd >= 0)
            ::close(fd);
}

bool Simulator::peerConnected() const
{
    if (master_ < 0)
        return false;
    pollfd p {master_, POLLOUT, 0};
    ::poll(&p, 1, 0);
    return !(p.revents & POLLHUP);
}

std::vector<std::uint8_t> Simulator::onTheLine(std::vector<std::uint8_t> bytes)
{
    if (fault_ != Fault::Noise)
        return bytes;
    auto next = [this] {
        lineNoise_ = lineNoise_ * 1103515245u + 12345u;
        return lineNoise_ >> 16;
    };
    // Before each packet 0 to 30 random bytes, 15 on average: the packets
    // come whole but at any offset, among three times their bytes of noise.
    std::vector<std::uint8_t> line;
    line.reserve(bytes.size() * 4);
    for (std::size_t at = 0; at < bytes.size(); at += std::tuple_size<Packet>::value) {
        for (unsigned n = next() % 31; n > 0; --n)
            line.push_back(static_cast<std::uint8_t>(next()));
        const std::size_t end = std::min(bytes.size(), at + std::tuple_size<Packet>::value);
        line.insert(line.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return line;
}

std::array<Packet, 2> Simulator::nextSamples()
{
    auto jitter = [this] {
        noise_ = noise_ * 1103515245u + 12345u;
        return static_cast<int>((noise_ >> 16) % 3) - 1;
    };
    const double step = adcStep() / 100000.0;
    auto adc = [&](double volts) {
        return static_cast<std::uint16_t>(std::lround(volts / step) + jitter());
    };
    // Each channel starts a new charge when its last is over.
    roll(0);
    roll(1);
    const CellCurve &a = charges_[0].curve, &b = charges_[1].curve;
    const double ta = clock(0) - charges_[0].start;
    const double tb = clock(1) - charges_[1].start;
    std::array<Packet, 2> out = {samplePacket(Channel::A, adc(a.volts(ta)), tenths(a.celsius(ta))),
                                 samplePacket(Channel::B, adc(b.volts(tb)), tenths(b.celsius(tb)))};
    minutes_ += options_.intervalMs / 60000.0 * options_.speed;
    return out;
}

Simulator::Charge Simulator::chargeFrom(int ch, int index, double start) const
{
    Charge c {index, start, setupOf(ch).cell.afterCharges(index, options_.fadePercent), false};
    // A charge that would be over before its first sample (a cell faded to
    // less than an interval) begins now, so that it is seen at all.
    if (clock(ch) - c.start >= c.curve.minutes)
        c.start = clock(ch);
    return c;
}

Simulator::Charge Simulator::current(int ch) const
{
    const Charge &c = charges_[ch];
    if (clock(ch) - c.start < c.curve.minutes)
        return c;
    // The next charge begins where the last ended, not at the sample that
    // finds it over: the channel's charges keep to its clock.
    return chargeFrom(ch, c.index + 1, c.start + c.curve.minutes);
}

void Simulator::roll(int ch)
{
    if (clock(ch) - charges_[ch].start < charges_[ch].curve.minutes)
        return;
    // Samples can move past an end between two intervals (a reply with
    // samples inside it); its report still goes out with the next interval.
    endDue_[ch] = endDue_[ch] || charges_[ch].announced;
    charges_[ch] = current(ch);
}

void Simulator::announce(int ch, std::vector<Packet> &out)
{
    Charge &c = charges_[ch];
    const Setup s = setupOf(ch);
    const auto odd = static_cast<std::uint8_t>(ch);
    const double t = clock(ch) - c.start;
    const auto units = static_cast<std::uint16_t>(s.milliamps * options_.senseR / adcStep());
    out.push_back(wordPacket(0x07 + odd, units, std::uint16_t(s.mode << 8)));
    const auto emf = static_cast<std::uint16_t>(c.curve.volts(t) * 100000 / adcStep());
    out.push_back(wordPacket(0x05 + odd, emf, std::uint16_t(emf * 0.987)));
    c.announced = true;

    ChargeStart begun;
    begun.channel = ch ? Channel::B : Channel::A;
    begun.number = c.index + 1;
    // The program puts the current at the start block's units times the
    // step over the sense resistor, to the nearest milliamp, and times the
    // charge from its first sample (this interval's) to the end report.
    if (options_.senseR > 0)
        begun.milliamps = int((2L * units * adcStep() + options_.senseR) / (2L * options_.senseR));
    begun.minutes = c.curve.minutes - t;
    begun.milliampHours = begun.milliamps * begun.minutes / 60;
    if (!options_.cell.empty())
        begun.cell = options_.cell + (ch ? "-B" : "-A");
    {
        std::lock_guard lock(begunMutex_);
        begun_.push_back(begun);
    }
    if (chargeListener_)
        chargeListener_(begun);
}

std::vector<ChargeStart> Simulator::chargesBegun() const
{
    std::lock_guard lock(begunMutex_);
    return begun_;
}

std::vector<Packet> Simulator::nextPackets()
{
    std::vector<Packet> out;
    for (int ch = 0; ch < 2; ++ch) {
        if (done_[ch])
            continue;
        roll(ch);
        if (endDue_[ch]) {
            endDue_[ch] = false;
            out.push_back(wordPacket(0x03 + std::uint8_t(ch), 0x80 << 8, 0));
            // The index of the charge it moved on to counts those before.
            if (!options_.repeat || (options_.charges > 0 && charges_[ch].index >= options_.charges)) {
                done_[ch] = true;
                continue;
            }
        }
        if (!charges_[ch].announced)
            announce(ch, out);
    }
    const std::array<Packet, 2> samples = nextSamples();
    for (int ch = 0; ch < 2; ++ch)
        if (!done_[ch])
            out.push_back(samples[size_t(ch)]);
    return out;
}

void Simulator::pace(double elapsed)
{
    const auto due = static_cast<long long>(options_.rate * elapsed);
    while (pacedGenerated_ < due) {
        std::vector<std::uint8_t> bytes;
        for (const Packet &p : nextSamples())
            bytes.insert(bytes.end(), p.begin(), p.end());
        bytes = onTheLine(std::move(bytes));
        paced_.insert(paced_.end(), bytes.begin(), bytes.end());
        pacedGenerated_ += static_cast<long long>(bytes.size());
    }
    // Whatever the program has room for now; the rest waits for the next turn.
    size_t done = 0;
    while (done < paced_.size()) {
        const ssize_t n = ::write(master_, paced_.data() + done, paced_.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    paced_.erase(paced_.begin(), paced_.begin() + static_cast<std::ptrdiff_t>(done));
    pacedWritten_ += static_cast<long long>(done);
}

bool Simulator::send(const std::uint8_t *bytes, std::size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(master_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd w {master_, POLLOUT, 0};
            if (::poll(&w, 1, 100) <= 0)
                return false; // nobody reads: drop, as a real line would
        } else {
            return false;
        }
    }
    return true;
}

Block Simulator::storedBlock() const
{
    std::lock_guard lock(blockMutex_);
    return block_;
}

std::int16_t Simulator::tenths(double celsius) const
{
    // An open sensor input reads the bottom of the converter's range.
    if (fault_ == Fault::NoSensor)
        return -1270;
    return static_cast<std::int16_t>(std::lround(celsius * 10));
}

Packet Simulator::temperatures() const
{
    const Charge a = current(0), b = current(1);
    return wordPacket(0x30, std::uint16_t(tenths(a.curve.celsius(clock(0) - a.start))),
                      std::uint16_t(tenths(b.curve.celsius(clock(1) - b.start))));
}

void Simulator::receive()
{
    std::uint8_t buf[256];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0)
        rx_.insert(rx_.end(), buf, buf + n);
    // Frames start with 17 and end with 71 fifteen bytes later; anything
    // else is skipped a byte at a time, as the charger's firmware resyncs.
    while (rx_.size() >= 15) {
        if (rx_[0] == 0x17 && rx_[14] == 0x71) {
            answer(rx_.data());
            rx_.erase(rx_.begin(), rx_.begin() + 15);
        } else {
            rx_.erase(rx_.begin());
        }
    }
}

void Simulator::answer(const std::uint8_t *frame)
{
    ++frames_;
    const Fault fault = fault_;
    switch (frame[1]) {
    case 0x01: // reset: both channels begin their charge again
        minutes_ = 0;
        for (int ch = 0; ch < 2; ++ch) {
            charges_[ch] = chargeFrom(ch, charges_[ch].index, 0);
            endDue_[ch] = false;
        }
        restart_ = true;
        return;
    case 0x31:
        send(temperatures());
        return;
    case 0x10: {
        std::lock_guard lock(blockMutex_);
        std::copy(frame + 2, frame + 14, block_.begin());
        break;
    }
    case 0x20:
        break;
    default:
        return;
    }
    if (fault == Fault::NoReply)
        return;
    Block echo = storedBlock();
    if (fault == Fault::AlteredEcho && frame[1] == 0x10)
        echo[0] ^= 0x01;
    unsigned sum = 0;
    for (std::uint8_t b : echo)
        sum += b;
    if (fault == Fault::BadChecksum)
        ++sum;
    std::vector<std::uint8_t> reply(echo.begin(), echo.end());
    reply.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(sum >> 8 & 0xFF));
    reply.push_back(0x00); // one more byte, which nobody looks at
    if (fault == Fault::LateReply) {
        late_ = reply;
        lateAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.lateMs);
    } else if (fault == Fault::Interleaved) {
        send(reply.data(), 7);
        send(nextSamples()[0]);
        send(reply.data() + 7, reply.size() - 7);
    } else {
        send(reply.data(), reply.size());
    }
}

void Simulator::start()
{
    if (running_.exchange(true))
        return;
    thread_ = std::thread([this] { run(); });
}

void Simulator::stop()
{
    if (!running_.exchange(false))
        return;
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &c, 1);
    thread_.join();
    char buf[16];
    while (::read(stopPipe_[0], buf, sizeof buf) > 0) {
    }
}

void Simulator::run()
{
    using Clock = std::chrono::steady_clock;
    auto nextSample = Clock::now();
    auto paceStart = nextSample;
    bool pacing = false;
    bool hadPeer = false;
    while (running_) {
        if (unplugRequest_.exchange(false)) {
            closePty();
            plugged_ = false;
        }
        if (replugRequest_.exchange(false) && master_ < 0) {
            openPty();
            plugged_ = true;
            hadPeer = false;
        }
        if (master_ < 0) {
            // Unplugged: nothing to send, nobody to hear.
            pollfd stop {stopPipe_[0], POLLIN, 0};
            if (::poll(&stop, 1, 20) > 0)
                break;
            continue;
        }
        const bool peer = peerConnected();
        const auto now = Clock::now();
        // A charger charges whether or not anybody listens: a program that
        // opens the port hears the next sample when it is due, not a burst
        // on opening (which would land in its first request's reply).
        if (peer && !hadPeer)
            nextSample = now + std::chrono::milliseconds(options_.intervalMs);
        hadPeer = peer;
        if (peer && options_.rate > 0 && !restart_) {
            if (!pacing) {
                pacing = true;
                paceStart = now;
            }
            if (now >= nextSample) {
                pace(std::chrono::duration<double>(now - paceStart).count());
                nextSample = now + std::chrono::milliseconds(options_.writeMs);
            }
        } else if (peer && (now >= nextSample || restart_)) {
            if (options_.samples || restart_) {
                std::vector<std::uint8_t> bytes;
                for (const Packet &p : nextPackets())
                    bytes.insert(bytes.end(), p.begin(), p.end());
                if (fault_ == Fault::StrayByte && ++intervals_ % std::max(options_.strayEvery, 1) == 0)
                {
                    bytes.insert(bytes.begin() + 3, std::uint8_t(0x5A)); // inside the first packet
                    ++strays_;
                }
                bytes = onTheLine(std::move(bytes));
                send(bytes.data(), bytes.size());
            }
            restart_ = false;
            nextSample = now + std::chrono::milliseconds(options_.intervalMs);
        }
        if (!late_.empty() && now >= lateAt_) {
            send(late_.data(), late_.size());
            late_.clear();
        }
        // Wake for the next sample, a late reply, or the program's bytes; a
        // master without a peer reports a hang-up at once, so it is only
        // watched while a program holds the port.
        auto until = peer ? nextSample : now + std::chrono::milliseconds(20);
        if (!late_.empty())
            until = std::min(until, lateAt_);
        const int wait = static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1));
        pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {master_, POLLIN, 0}};
        if (::poll(fds, peer ? 2 : 1, wait) > 0 && (fds[0].revents & POLLIN))
            break;
        if (peer)
            receive();
    }
}

} // namespace chargesim
