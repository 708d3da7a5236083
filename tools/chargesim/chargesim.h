#pragma once

// A simulated charger on a pseudo-terminal: the program opens the slave side
// as its serial port and receives what a real charger would send.

#include <array>
#include <atomic>
#include <cstdint>
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
};

CellCurve nimhCell();
CellCurve nicdCell();

struct Options
{
    std::string link;          // a stable path to the slave side; empty for none
    int intervalMs = 1000;     // time between two samples of a channel
    double speed = 1.0;        // charge minutes that pass per real minute
    std::uint16_t adcStep = 250; // hundredths of a millivolt per ADC count
    std::uint16_t senseR = 51;   // current-sense resistor, hundredths of an ohm
};

class Simulator
{
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    const std::string &slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // True while some program holds the slave side open.
    bool peerConnected() const;

    void start();
    void stop();

    // The next pair of samples (A then B) as the charger would send them.
    std::array<Packet, 2> nextSamples();
    // Everything the charger sends in one interval: for a channel whose
    // charge begins, the end report of the last one (if any), the start block
    // and the cell's internal resistance; then the samples.
    std::vector<Packet> nextPackets();

private:
    void run();
    bool send(const Packet &p);

    Options options_;
    int master_ = -1;
    std::string slavePath_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    int stopPipe_[2] = {-1, -1};
    double minutes_ = 0;
    double lastT_[2] = {-1, -1};
    std::uint32_t noise_ = 12345;
};

} // namespace chargesim
