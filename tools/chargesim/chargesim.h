#pragma once

// A simulated charger on a pseudo-terminal: the program opens the slave side
// as its serial port and receives what a real charger would send.

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace chargesim {

enum class Channel { A, B };
using Packet = std::array<std::uint8_t, 5>;

// A measurement packet: code 01 (A) or 02 (B), ADC count and temperature in
// tenths of a degree, both big-endian.
Packet samplePacket(Channel channel, std::uint16_t adcCount, std::int16_t tenthsCelsius);

// Any packet: a code and two big-endian words.
Packet wordPacket(std::uint8_t code, std::uint16_t w1, std::uint16_t w2);

// Voltage and temperature of a cell along a fast charge, by minutes since
// the start; the curve ends with the voltage peak, its slight drop and the
// temperature rise that end a real charge.
struct CellCurve
{
    double minutes;       // length of the charge
    double startVolts;    // at the start
    double plateauVolts;  // where the voltage settles
    double peakVolts;     // at the end of the charge
    double roomCelsius;
    double endCelsius;

    double volts(double t) const;
    double celsius(double t) const;

    // The same cell after `charges` charges that each took `fadePercent`
    // off what it holds: a shorter charge of the same shape, which still
    // ends with the peak, the drop and the rise in temperature.
    CellCurve afterCharges(int charges, double fadePercent) const;
};

CellCurve nimhCell();
CellCurve nicdCell();

// What the simulated charger (or its line) does wrong: the first five when
// asked for its parameter block (commands 10 and 20).
enum class Fault {
    None,
    BadChecksum,  // the reply's checksum is off by one
    AlteredEcho,  // a write is echoed with a changed byte (and a fitting checksum)
    NoReply,      // no reply at all
    LateReply,    // the reply comes lateMs after the request
    Interleaved,  // a measurement packet lands in the middle of the reply
    StrayByte,    // now and then a byte of line noise lands inside the charge stream
    NoSensor,     // neither channel has its temperature sensor plugged in: -127.0 degrees
    HighCounts,   // the board's ADC step is 25, so voltage counts pass 12 bits
    Noise,        // a broken line: the packets come whole among three times their bytes of random ones
};

// The block a charger holds from the factory: NiMH 1000/100 mA, 2 h 30 min,
// NiCd 500/50 mA, 1 h 10 min, 40 degrees, 1.0 degree a minute (R 51, step 250).
using Block = std::array<std::uint8_t, 12>;
inline constexpr Block FactoryBlock = {0xCC, 0x00, 0x14, 0x1E, 0x02, 0x66, 0x00,
                                      0x0A, 0x0A, 0x01, 0x28, 0x0A};

struct Options
{
    std::string link;          // a stable path to the slave side; empty for none
    int intervalMs = 1000;     // time between two samples of a channel
    double speed = 1.0;        // charge minutes that pass per real minute
    std::uint16_t adcStep = 250; // hundredths of a millivolt per ADC count
    std::uint16_t senseR = 51;   // current-sense resistor, hundredths of an ohm
    bool samples = true;         // send the charge stream (off: only answer commands)
    Fault fault = Fault::None;
    int lateMs = 700;            // delay of a late reply
    int strayEvery = 10;         // StrayByte: intervals between two stray bytes
    bool repeat = true;          // a new cell after each end (off: a channel goes quiet after its end report)
    // Paced mode (rate > 0): samples of both channels as a stream of `rate`
    // bytes a second, written every `writeMs` in whatever pieces that makes,
    // as a fast USB adapter delivers them; the interval is then unused.
    int rate = 0;
    int writeMs = 1;
    // A channel goes quiet after this many charges (0: never); with
    // `repeat` off it is one.
    int charges = 0;
    // Each charge of a channel is this many percent shorter than the one
    // before, as a cell that slowly loses capacity (0 <= fade < 100).
    double fadePercent = 0;
    // The label of the simulated cells, given to each channel's with its
    // letter after it ("AA" makes "AA-A" and "AA-B"); empty for none.
    std::string cell {};
};

// A charge as its channel begins it (the start block goes out).
struct ChargeStart
{
    Channel channel = Channel::A;
    int number = 0;       // the cell's charges so far, this one included
    double minutes = 0;   // charge minutes from its first sample to its end
    int milliamps = 0;    // the fast current, as the program reads the start block
    // What the charge puts in: the current over those minutes. The program
    // times a charge by the clock, so at a speed of X it finds an X-th.
    double milliampHours = 0;
    std::string cell;     // the cell's label with the channel's letter; empty for none

    // "channel A: cell AA-A, charge 3, about 1234 mAh"
    std::string describe() const;
};

class Simulator
{
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // The slave side; a new one after each replug.
    std::string slavePath() const;
    int masterFd() const { return master_; }

    // Pulls the adapter out: the pseudo-terminal is closed (the program
    // holding it sees a hang-up) and the link disappears. Replugging makes a
    // new pseudo-terminal and links it again.
    void unplug();
    void replug();
    bool plugged() const;

    // True while some program holds the slave side open.
    bool peerConnected() const;

    void start();
    void stop();

    // May change while running.
    void setFault(Fault fault) { fault_ = fault; }
    // The parameter block as last written by the program.
    Block storedBlock() const;
    // Command frames received so far (whole 15-byte frames).
    int framesReceived() const { return frames_; }
    // Stray bytes sent so far (the StrayByte fault).
    int straysSent() const { return strays_; }
    // Paced mode: bytes written so far, and bytes due but not yet taken by
    // the program (a growing backlog means it cannot keep up).
    long long pacedBytes() const { return pacedWritten_; }
    long long pacedBacklog() const { return pacedGenerated_ - pacedWritten_; }
    // The charges begun so far, both channels', in the order of their start
    // blocks (a reset begins the charge under way again, and lists it again).
    std::vector<ChargeStart> chargesBegun() const;
    // Called on the simulator's thread as each charge begins; set it before
    // start().
    void onChargeStart(std::function<void(const ChargeStart &)> listener)
    {
        chargeListener_ = std::move(listener);
    }

    // The next pair of samples (A then B) as the charger would send them.
    std::array<Packet, 2> nextSamples();
    // With the Noise fault, the packets of `bytes` among three times as many
    // random bytes, as a broken line would bring them; else `bytes`.
    std::vector<std::uint8_t> onTheLine(std::vector<std::uint8_t> bytes);
    // Everything the charger sends in one interval: for a channel whose
    // charge begins, the end report of the last one (if any), the start block
    // and the cell's internal resistance; then the samples.
    std::vector<Packet> nextPackets();

private:
    void openPty();
    void closePty();
    void run();
    // Paced mode: what is due by `elapsed` seconds, written without waiting.
    void pace(double elapsed);
    bool send(const std::uint8_t *bytes, std::size_t count);
    bool send(const Packet &p) { return send(p.data(), p.size()); }
    // Takes bytes from the program and answers every whole command frame.
    void receive();
    void answer(const std::uint8_t *frame);
    Packet temperatures() const;
    // The ADC step the board measures with, in 1/100 mV a count.
    std::uint16_t adcStep() const { return fault_ == Fault::HighCounts ? 25 : options_.adcStep; }
    // A sensor's reading in tenths of a degree.
    std::int16_t tenths(double celsius) const;

    // A channel's charge under way: which of its cell's, when it began on
    // the channel's clock, and its curve (shortened by the fade).
    struct Charge
    {
        int index = 0;
        double start = 0;
        CellCurve curve {};
        bool announced = false; // its start block has gone out
    };
    // The channel's clock: charge minutes since the first charge or the
    // last reset; channel B's cell was ten minutes into its charge then.
    double clock(int ch) const { return minutes_ + (ch ? 10 : 0); }
    Charge chargeFrom(int ch, int index, double start) const;
    // The charge under way: the next one once the last is over.
    Charge current(int ch) const;
    // Moves the channel on to that next charge; the end of an announced one
    // is then due to be reported.
    void roll(int ch);
    // The start block and internal resistance of the channel's charge,
    // which is listed among those begun.
    void announce(int ch, std::vector<Packet> &out);

    Options options_;
    std::atomic<int> master_{-1};
    mutable std::mutex pathMutex_;
    std::string slavePath_;
    std::atomic<bool> unplugRequest_{false};
    std::atomic<bool> replugRequest_{false};
    std::atomic<bool> plugged_{true};
    std::thread thread_;
    std::atomic<bool> running_{false};
    int stopPipe_[2] = {-1, -1};
    double minutes_ = 0;
    Charge charges_[2];
    bool endDue_[2] = {false, false};
    bool done_[2] = {false, false}; // ended and not repeating
    mutable std::mutex begunMutex_;
    std::vector<ChargeStart> begun_;
    std::function<void(const ChargeStart &)> chargeListener_;
    std::atomic<Fault> fault_;
    std::atomic<int> frames_{0};
    std::atomic<int> strays_{0};
    mutable std::mutex blockMutex_;
    Block block_ = FactoryBlock;
    std::vector<std::uint8_t> rx_;
    // A reply held back by the LateReply fault, and when it is due.
    std::vector<std::uint8_t> late_;
    std::chrono::steady_clock::time_point lateAt_;
    bool restart_ = false;
    int intervals_ = 0;
    std::uint32_t noise_ = 12345;
    std::uint32_t lineNoise_ = 4242; // the Noise fault's own, so the samples stay as they are
    std::vector<std::uint8_t> paced_; // generated, not yet written
    std::atomic<long long> pacedGenerated_{0}, pacedWritten_{0};
};

} // namespace chargesim
