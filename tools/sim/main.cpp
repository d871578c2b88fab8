// tolvar-sim: stands in for the controller's update loader on a pseudo-terminal or a device.

#include "tools/sim/LoaderSim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <getopt.h>
#include <string>

namespace {

tolvar::sim::LoaderSim* g_sim = nullptr;

void OnSignal(int) {
    if (g_sim)
        g_sim->Stop();
}

const char kHelp[] =
    "Usage: tolvar-sim [OPTION]...\n"
    "Plays the TOLVAR controller's update loader: answers the start record, acknowledges\n"
    "each record frame with 0x06, checks the framing of all it receives and, at the end,\n"
    "prints one summary line. Without --device it creates a pseudo-terminal and prints the\n"
    "path of its slave side on the first line of output; open that path as the serial port.\n"
    "\n"
    "Line:\n"
    "  -d, --device PATH       use this serial device instead of a pseudo-terminal\n"
    "  -p, --path-file FILE    also write the slave path to FILE (written when ready)\n"
    "  -t, --line-time         emulate the line time at 115200 baud 8N2 (11 bits a byte)\n"
    "Checking:\n"
    "  -x, --hex FILE          compare the image of the last fully acknowledged pass with\n"
    "                          this Intel HEX file (image=match|mismatch|none)\n"
    "Faults:\n"
    "      --silent            never answer\n"
    "      --silent-start      never answer the start record\n"
    "      --start-reply BYTE  value of the start reply (default 0x06)\n"
    "      --refuse K          refuse record K (1 = first after the start record) in every pass\n"
    "      --refuse-once K     refuse record K the first time only\n"
    "      --refusal BYTE      byte sent for a refused record (default 0x15)\n"
    "      --reply-delay MS    wait MS milliseconds (fractions allowed) before each reply\n"
    "      --hang-up-after N   answer N frames (start records count), then close the line\n"
    "                          as soon as more arrives, and end\n"
    "      --late K            answer record K late the first time it arrives (0 = the\n"
    "                          start record), as a loader busy erasing flash would\n"
    "      --late-by MS        how late a late reply comes (default 1800, beyond the PC's\n"
    "                          1.5 s read time-out)\n"
    "      --double K          answer record K twice, in one burst, the first time it arrives\n"
    "      --deal P:K:KIND     in pass P, deal KIND to frame K (0 = the start record);\n"
    "                          KIND is refuse, garbage, silent, late, double (in one burst),\n"
    "                          double-behind (the second byte one byte time after the\n"
    "                          first, with or without -t) or noise[:BYTE] (BYTE, 0x5A\n"
    "                          unless given, one byte time behind the reply)\n"
    "      --storm SEED:RATE   deal a fault of the five kinds to each frame with probability\n"
    "                          RATE (for example 0.002), the same storm for the same SEED\n"
    "With --late, --double, --deal or --storm, a line per pass says what was dealt and\n"
    "whether the pass took the whole image, with each frame answered in time, and the last\n"
    "line before the summary gives the verdict: verdict=success when the last pass did.\n"
    "A record that arrives before the previous frame was answered (the PC did not wait for\n"
    "the reply) is reported on its pass's line and counted in the summary (early_records=N).\n"
    "  -h, --help              show this text\n"
    "\n"
    "Ends on SIGINT or SIGTERM, or after a hang-up, and prints:\n"
    "  tolvar-sim: passes=P frames=F acks=A refusals=R framing_errors=E image=I\n"
    "  (then hung_up=yes after a hang-up and early_records=N when there were any)\n";

bool ParseNumber(const char* text, long minimum, long maximum, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && value >= minimum && value <= maximum;
}

int Usage(const char* message, const char* argument) {
    std::fprintf(stderr, "tolvar-sim: %s '%s'\nTry 'tolvar-sim --help'.\n", message, argument);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    enum {
        kSilent = 256,
        kSilentStart,
        kStartReply,
        kRefuse,
        kRefuseOnce,
        kRefusal,
        kDelay,
        kHangUp,
        kLate,
        kLateBy,
        kDouble,
        kDeal,
        kStorm
    };
    static const option kOptions[] = {
        {"device", required_argument, nullptr, 'd'},
        {"path-file", required_argument, nullptr, 'p'},
        {"line-time", no_argument, nullptr, 't'},
        {"hex", required_argument, nullptr, 'x'},
        {"silent", no_argument, nullptr, kSilent},
        {"silent-start", no_argument, nullptr, kSilentStart},
        {"start-reply", required_argument, nullptr, kStartReply},
        {"refuse", required_argument, nullptr, kRefuse},
        {"refuse-once", required_argument, nullptr, kRefuseOnce},
        {"refusal", required_argument, nullptr, kRefusal},
        {"reply-delay", required_argument, nullptr, kDelay},
        {"hang-up-after", required_argument, nullptr, kHangUp},
        {"late", required_argument, nullptr, kLate},
        {"late-by", required_argument, nullptr, kLateBy},
        {"double", required_argument, nullptr, kDouble},
        {"deal", required_argument, nullptr, kDeal},
        {"storm", required_argument, nullptr, kStorm},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };

    tolvar::sim::Options options;
    std::string device;
    std::string pathFile;
    long number = 0;
    int c;
    while ((c = getopt_long(argc, argv, "d:p:tx:h", kOptions, nullptr)) != -1) {
        switch (c) {
        case 'd':
            device = optarg;
            break;
        case 'p':
            pathFile = optarg;
            break;
        case 't':
            options.lineTime = true;
            break;
        case 'x': {
            std::string error;
            options.reference = tolvar::sim::ReadHexFile(optarg, error);
            if (!options.reference) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            break;
        }
        case kSilent:
            options.silent = true;
            break;
        case kSilentStart:
            options.silentStart = true;
            break;
        case kStartReply:
        case kRefusal:
            if (!ParseNumber(optarg, 0, 255, number))
                return Usage("not a byte value:", optarg);
            (c == kStartReply ? options.startReply : options.refusal) =
                static_cast<std::uint8_t>(number);
            break;
        case kRefuse:
        case kRefuseOnce:
            if (!ParseNumber(optarg, 1, 1'000'000, number))
                return Usage("not a record number:", optarg);
            (c == kRefuse ? options.refuseEvery : options.refuseOnce) = static_cast<int>(number);
            break;
        case kDelay: {
            char* end = nullptr;
            const double ms = std::strtod(optarg, &end);
            if (end == optarg || *end != '\0' || !(ms >= 0 && ms <= 600'000))
                return Usage("not a delay in milliseconds:", optarg);
            options.replyDelay = std::chrono::microseconds(static_cast<long>(ms * 1000));
            break;
        }
        case kHangUp:
            if (!ParseNumber(optarg, 1, 1'000'000'000, number))
                return Usage("not a frame count:", optarg);
            options.hangUpAfter = number;
            break;
        case kLate:
        case kDouble:
            if (!ParseNumber(optarg, 0, 1'000'000, number))
                return Usage("not a record number:", optarg);
            options.deals.push_back(
                {0, number, c == kLate ? tolvar::sim::Fault::Late : tolvar::sim::Fault::Double});
            break;
        case kLateBy:
            if (!ParseNumber(optarg, 0, 600'000, number))
                return Usage("not a delay in milliseconds:", optarg);
            options.lateBy = std::chrono::milliseconds(number);
            break;
        case kDeal: {
            long pass = 0;
            long frame = 0;
            char kind[16] = {};
            int used = 0;
            const bool parsed =
                std::sscanf(optarg, "%ld:%ld:%15[a-z-]%n", &pass, &frame, kind, &used) == 3;
            const auto fault = parsed ? tolvar::sim::FaultNamed(kind) : std::nullopt;
            tolvar::sim::Deal deal{pass, frame, fault.value_or(tolvar::sim::Fault::None)};
            if (fault == tolvar::sim::Fault::Noise && optarg[used] == ':') {
                if (!ParseNumber(optarg + used + 1, 0, 255, number))
                    return Usage("not a byte value:", optarg);
                deal.noise = static_cast<std::uint8_t>(number);
            } else if (optarg[used] != '\0') {
                return Usage("not PASS:FRAME:KIND:", optarg);
            }
            if (!fault || pass < 1 || frame < 0)
                return Usage("not PASS:FRAME:KIND:", optarg);
            options.deals.push_back(deal);
            break;
        }
        case kStorm: {
            unsigned long seed = 0;
            double rate = -1;
            int used = 0;
            if (std::sscanf(optarg, "%lu:%lf%n", &seed, &rate, &used) != 2 ||
                optarg[used] != '\0' || !(rate >= 0 && rate <= 1))
                return Usage("not SEED:RATE:", optarg);
            options.storm = tolvar::sim::Storm{static_cast<std::uint32_t>(seed), rate};
            break;
        }
        case 'h':
            std::fputs(kHelp, stdout);
            return 0;
        default:
            std::fputs("Try 'tolvar-sim --help'.\n", stderr);
            return 2;
        }
    }
    if (optind < argc)
        return Usage("unexpected argument", argv[optind]);

    const bool reportPasses = !options.deals.empty() || options.storm.has_value();
    try {
        tolvar::sim::LoaderSim sim(std::move(options));
        const std::string path = device.empty() ? sim.OpenPty() : device;
        if (!device.empty())
            sim.OpenDevice(device);

        g_sim = &sim;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        std::signal(SIGPIPE, SIG_IGN);

        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        if (!pathFile.empty()) {
            // Written under another name and renamed, so a reader never sees half a path.
            const std::string temporary = pathFile + ".tmp";
            std::ofstream(temporary) << path << '\n';
            if (std::rename(temporary.c_str(), pathFile.c_str()) != 0) {
                std::perror(pathFile.c_str());
                return 1;
            }
        }

        sim.Run();
        g_sim = nullptr;
        const tolvar::sim::Summary summary = sim.Result();
        if (reportPasses)
            for (const std::string& line : summary.PassLines())
                std::printf("tolvar-sim: %s\n", line.c_str());
        std::printf("tolvar-sim: %s\n", summary.Line().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvar-sim: %s\n", e.what());
        return 1;
    }
}
