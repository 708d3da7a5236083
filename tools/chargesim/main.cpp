// ostrel-chargesim: a simulated two-channel charger on a pseudo-terminal.

#include "tools/chargesim/chargesim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t quit = 0;

void usage(FILE *out = stderr)
{
    std::fprintf(out,
                 "usage: ostrel-chargesim [--link PATH] [--interval-ms N] [--speed X] [--quiet]\n"
                 "                        [--once] [--rate N [--write-ms N]] [--fault NAME] [--help]\n"
                 "  --link PATH       make PATH a link to the simulated port\n"
                 "  --interval-ms N   time between samples of a channel (default 1000)\n"
                 "  --speed X         charge minutes per real minute (default 1)\n"
                 "  --quiet           send no charge stream, only answer commands\n"
                 "  --once            one charge a channel, then quiet after its end report\n"
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
} // namespace

int main(int argc, char **argv)
{
    chargesim::Options options;
    bool unplugging = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help") {
            usage(stdout);
            return 0;
        }
        if (a == "--link" && hasValue) {
            options.link = argv[++i];
        } else if (a == "--interval-ms" && hasValue) {
            options.intervalMs = std::atoi(argv[++i]);
        } else if (a == "--speed" && hasValue) {
            options.speed = std::atof(argv[++i]);
        } else if (a == "--quiet") {
            options.samples = false;
        } else if (a == "--once") {
            options.repeat = false;
        } else if (a == "--rate" && hasValue) {
            options.rate = std::atoi(argv[++i]);
        } else if (a == "--write-ms" && hasValue) {
            options.writeMs = std::atoi(argv[++i]);
        } else if (a == "--fault" && hasValue) {
            const std::string f = argv[++i];
            if (f == "unplug") {
                unplugging = true;
                continue;
            }
            using chargesim::Fault;
            const std::pair<const char *, Fault> faults[] = {
                {"bad-checksum", Fault::BadChecksum}, {"altered-echo", Fault::AlteredEcho},
                {"no-reply", Fault::NoReply},         {"late-reply", Fault::LateReply},
                {"interleaved", Fault::Interleaved},  {"stray-byte", Fault::StrayByte},
                {"no-sensor", Fault::NoSensor},       {"high-counts", Fault::HighCounts},
                {"noise", Fault::Noise}};
            bool known = false;
            for (const auto &[name, fault] : faults)
                if (f == name) {
                    options.fault = fault;
                    known = true;
                }
            if (!known) {
                usage();
                return 2;
            }
        } else {
            usage();
            return 2;
        }
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
