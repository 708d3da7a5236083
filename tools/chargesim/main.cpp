// ostrel-chargesim: a simulated two-channel charger on a pseudo-terminal.

#include "tools/chargesim/chargesim.h"

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <getopt.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t quit = 0;

void usage(FILE *out = stderr)
{
    std::fprintf(out,
                 "usage: ostrel-chargesim [--link PATH] [--interval-ms N] [--speed X] [--quiet]\n"
                 "                        [--once] [--charges N] [--fade PCT] [--cell NAME]\n"
                 "                        [--rate N [--write-ms N]] [--fault NAME] [--help]\n"
                 "  --link PATH       make PATH a link to the simulated port\n"
                 "  --interval-ms N   time between samples of a channel (default 1000)\n"
                 "  --speed X         charge minutes per real minute (default 1)\n"
                 "  --quiet           send no charge stream, only answer commands\n"
                 "  --once            one charge a channel, then quiet after its end report\n"
                 "  --charges N       N charges a channel, then quiet (default 0: no end)\n"
                 "  --fade PCT        each charge PCT percent shorter than the one before,\n"
                 "                    a cell losing capacity (0 up to below 100, default 0)\n"
                 "  --cell NAME       the cells are NAME-A and NAME-B: a line for each charge\n"
                 "                    begun, with its number and the mAh it will put in\n"
                 "  --rate N          paced: both channels' samples as N bytes a second\n"
                 "  --write-ms N      paced: written every N ms (default 1)\n"
                 "  --fault NAME      answer parameter requests wrongly: bad-checksum,\n"
                 "                    altered-echo, no-reply, late-reply, interleaved;\n"
                 "                    stray-byte: a byte of line noise every ten samples;\n"
                 "                    no-sensor: neither temperature sensor plugged in;\n"
                 "                    high-counts: the board measures with an ADC step of 25\n"
                 "                    (set \"Шаг ADC\" to 25 for true volts);\n"
                 "                    noise: a broken line, the packets among 3 times as much noise;\n"
                 "                    unplug: the adapter is pulled for 3 s every 15 s\n");
}

// The fault of --fault's NAME; false for a name it does not know.
bool faultNamed(const char *name, chargesim::Options &options, bool &unplugging)
{
    if (std::strcmp(name, "unplug") == 0) {
        unplugging = true;
        return true;
    }
    using chargesim::Fault;
    const std::pair<const char *, Fault> faults[] = {
        {"bad-checksum", Fault::BadChecksum}, {"altered-echo", Fault::AlteredEcho},
        {"no-reply", Fault::NoReply},         {"late-reply", Fault::LateReply},
        {"interleaved", Fault::Interleaved},  {"stray-byte", Fault::StrayByte},
        {"no-sensor", Fault::NoSensor},       {"high-counts", Fault::HighCounts},
        {"noise", Fault::Noise}};
    for (const auto &[known, fault] : faults)
        if (std::strcmp(name, known) == 0) {
            options.fault = fault;
            return true;
        }
    return false;
}

// A whole number, or a finite number, that is all of the text; false for
// anything else.
bool wholeNumber(const char *text, int &out)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return false;
    out = int(value);
    return true;
}
bool number(const char *text, double &out)
{
    char *end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}
} // namespace

int main(int argc, char **argv)
{
    chargesim::Options options;
    bool unplugging = false;
    enum { Link = 1, IntervalMs, Speed, Quiet, Once, Charges, Fade, Cell, Rate, WriteMs, FaultName, Help };
    const option longOptions[] = {
        {"link", required_argument, nullptr, Link},
        {"interval-ms", required_argument, nullptr, IntervalMs},
        {"speed", required_argument, nullptr, Speed},
        {"quiet", no_argument, nullptr, Quiet},
        {"once", no_argument, nullptr, Once},
        {"charges", required_argument, nullptr, Charges},
        {"fade", required_argument, nullptr, Fade},
        {"cell", required_argument, nullptr, Cell},
        {"rate", required_argument, nullptr, Rate},
        {"write-ms", required_argument, nullptr, WriteMs},
        {"fault", required_argument, nullptr, FaultName},
        {"help", no_argument, nullptr, Help},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 1; // getopt says what was wrong; the usage follows
    for (int c; (c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        bool good = true;
        switch (c) {
        case Help:
            usage(stdout);
            return 0;
        case Link:
            options.link = optarg;
            break;
        case IntervalMs:
            good = wholeNumber(optarg, options.intervalMs);
            break;
        case Speed:
            good = number(optarg, options.speed);
            break;
        case Quiet:
            options.samples = false;
            break;
        case Once:
            options.repeat = false;
            break;
        case Charges:
            good = wholeNumber(optarg, options.charges) && options.charges >= 0;
            break;
        case Fade:
            // All of a cell's capacity gone would be a charge of no length.
            good = number(optarg, options.fadePercent) && options.fadePercent >= 0
                   && options.fadePercent < 100;
            break;
        case Cell:
            options.cell = optarg;
            break;
        case Rate:
            good = wholeNumber(optarg, options.rate);
            break;
        case WriteMs:
            good = wholeNumber(optarg, options.writeMs);
            break;
        case FaultName:
            good = faultNamed(optarg, options, unplugging);
            break;
        default:
            good = false;
        }
        if (!good) {
            usage();
            return 2;
        }
    }
    if (optind < argc) {
        usage();
        return 2;
    }
    if (options.intervalMs <= 0 || options.speed <= 0 || options.rate < 0 || options.writeMs <= 0) {
        usage();
        return 2;
    }
    std::signal(SIGINT, [](int) { quit = 1; });
    std::signal(SIGTERM, [](int) { quit = 1; });
    try {
        chargesim::Simulator sim(options);
        std::printf("charger simulated on %s%s%s\n", sim.slavePath().c_str(),
                    options.link.empty() ? "" : " linked as ", options.link.c_str());
        std::fflush(stdout);
        // Whoever watches the program's history learns here which cell and
        // charge each of its entries should be, and what it should hold.
        if (!options.cell.empty())
            sim.onChargeStart([](const chargesim::ChargeStart &begun) {
                std::printf("%s\n", begun.describe().c_str());
                std::fflush(stdout);
            });
        sim.start();
        if (unplugging) {
            // The adapter is pulled for 3 s every 15 s.
            for (int second = 1; !quit; ++second) {
                sleep(1);
                if (second % 15 == 12)
                    sim.unplug();
                else if (second % 15 == 0)
                    sim.replug();
            }
        }
        while (!quit)
            pause();
        if (options.rate > 0) {
            sim.stop();
            std::printf("paced: sent %lld bytes (%lld packets), %lld bytes not taken\n", sim.pacedBytes(),
                        sim.pacedBytes() / 5, sim.pacedBacklog());
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ostrel-chargesim: %s\n", e.what());
        return 1;
    }
    return 0;
}
