// tolvar-bench: the upload of the shipped image against the simulator.
//
// 1. With line-time emulation (115200 baud, 8N2): wall time against the time the traffic needs
//    on the line, and the uploading thread's CPU time as a share of the wall time.
// 2. Without it: the median software overhead of one record exchange (frame out, reply in).
//
// The simulator runs on its own thread, so its CPU time is not the uploader's.

#include "serial/ComPort.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace tolvar;

// Counts the bytes on the line and times each exchange from the write to the reply.
class MeasuringPort : public UploadPort {
public:
    explicit MeasuringPort(UploadPort& inner) : inner_(inner) {}
    void Open() override { inner_.Open(); }
    void Close() override { inner_.Close(); }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        sent_ = Clock::now();
        const std::int32_t n = inner_.Write(buffer, count);
        bytes += n;
        return n;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const std::int32_t n = inner_.Read(buffer, count);
        bytes += n;
        exchanges.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - sent_).count());
        return n;
    }

    long bytes = 0;
    std::vector<double> exchanges;

private:
    UploadPort& inner_;
    Clock::time_point sent_{};
};

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    long bytes = 0;
    std::vector<double> exchanges;
    std::string simulator;
};

Run Upload(bool lineTime) {
    sim::Options options;
    options.lineTime = lineTime;
    options.reference = MemoryOfImage(PayloadText(*LoadPayload()));
    sim::LoaderSim simulator(options);
    const std::string path = simulator.OpenPty();
    std::thread thread([&simulator] { simulator.Run(); });

    TComPort port;
    SetProgramComSettings(port);
    port.SetPort(path);
    PortAdapter<TComPort> adapter(port);
    MeasuringPort measuring(adapter);
    NullUploadReporter reporter;

    Run run;
    const double cpu0 = ThreadCpuSeconds();
    const auto start = Clock::now();
    const UploadResult result = RunFirmwareUpload(measuring, reporter);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = ThreadCpuSeconds() - cpu0;
    run.ok = result.outcome == UploadResult::Outcome::Success && result.passes == 1;
    run.bytes = measuring.bytes;
    run.exchanges = std::move(measuring.exchanges);

    simulator.Stop();
    thread.join();
    run.simulator = simulator.Result().Line();
    run.ok = run.ok && simulator.Result().image == sim::Summary::Image::Match;
    return run;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    try {
        const Run timed = Upload(true);
        const double lineLimit = static_cast<double>(timed.bytes) *
                                 std::chrono::duration<double>(sim::kByteTime).count();
        std::printf("line-time run: %s (simulator: %s)\n", timed.ok ? "success" : "FAILED",
                    timed.simulator.c_str());
        std::printf("  bytes on the line     %ld\n", timed.bytes);
        std::printf("  line-time limit       %.3f s\n", lineLimit);
        std::printf("  measured              %.3f s\n", timed.wall);
        std::printf("  ratio                 %.4f (goal <= 1.02)\n", timed.wall / lineLimit);
        std::printf("  uploader CPU          %.3f s, %.2f%% of wall (goal <= 2%%)\n", timed.cpu,
                    100.0 * timed.cpu / timed.wall);

        std::vector<double> exchanges;
        bool ok = timed.ok;
        for (int i = 0; i < 3; ++i) {
            Run fast = Upload(false);
            ok = ok && fast.ok;
            exchanges.insert(exchanges.end(), fast.exchanges.begin(), fast.exchanges.end());
        }
        const double overhead = Median(exchanges);
        std::printf("no-emulation runs: 3 x 837 exchanges, median %.1f us per exchange\n",
                    overhead);
        std::printf("ratio=%.4f cpu_share=%.4f overhead_us=%.1f\n", timed.wall / lineLimit,
                    timed.cpu / timed.wall, overhead);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvar-bench: %s\n", e.what());
        return 1;
    }
}
