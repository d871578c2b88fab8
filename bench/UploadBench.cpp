// tolvar-bench: the upload of the shipped image against the simulator.
//
// 1. With line-time emulation (115200 baud, 8N2), two paths, each the median of five rounds:
//    the core path (the upload alone, on this thread) and the window path (the real main form
//    over the offscreen widget set, "PROGRAMUJ" as the user runs it: the upload on its worker
//    thread, every report through the window). Wall time against the time the traffic needs on
//    the line, and the program's CPU time as a share of the wall time.
//    Beside them, in the same rounds, the machine's floor: the same frames exchanged by a bare
//    loop of write, poll and read on the line, with nothing of the program in it. What a path
//    takes beyond the floor is the program's; the floor beyond the line time is the machine's
//    (thread wake-ups on the pseudo-terminal, and on a virtual machine the CPU time the host
//    takes away, printed as steal).
// 2. Without emulation: the median software overhead of one record exchange (frame out, reply in).
//
// The simulator runs on its own thread; its CPU time is not counted as the program's.
//
// While it measures, it asks the kernel to keep the CPUs in their shallowest idle state
// (/dev/cpu_dma_latency, root only), as latency benchmarks do: a CPU woken from a deep state,
// or on a virtual machine a halted virtual CPU, starts hundreds of microseconds late, once for
// every byte that arrives, and that would be measured as the program's time. --idle-as-is
// leaves the idle states as the system has them; the output says which was measured.

#include "app/Form1.h"
#include "framework/StdControls.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPort.h"
#include "serial/ComPortStartup.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"
#include "wizard/Assist.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace tolvar;

// Counts the bytes on the line and times each exchange from the write to the reply.
class MeasuringPort : public UploadPort {
public:
    // Room for a clean pass up front, so that measuring allocates nothing per record.
    explicit MeasuringPort(UploadPort& inner) : inner_(inner) { exchanges.reserve(1024); }
    void Open() override { inner_.Open(); }
    void Close() override { inner_.Close(); }
    void DiscardInput() override { inner_.DiscardInput(); }
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

// Keeps every frame the upload writes and acknowledges each one: the traffic of one clean pass,
// for the bare loop to replay.
class RecordingPort : public UploadPort {
public:
    void Open() override {}
    void Close() override {}
    void DiscardInput() override {}
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        frames.emplace_back(bytes, bytes + count);
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        std::fill_n(static_cast<std::uint8_t*>(buffer), count, std::uint8_t{0x06});
        return count;
    }

    std::vector<std::vector<std::uint8_t>> frames;
};

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    return CpuSeconds(RUSAGE_THREAD);
}

struct Run {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    double windowCpu = 0; // the window thread's share of cpu
    long bytes = 0;
    std::vector<double> exchanges; // microseconds from each frame's write to its reply
    std::string simulator;
};

// Host steal and all CPU time of the machine so far, in clock ticks (0, 0 where not known).
struct CpuTicks {
    unsigned long long steal = 0;
    unsigned long long total = 0;
};

CpuTicks MachineTicks() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    CpuTicks ticks;
    if (!(stat >> cpu) || cpu != "cpu")
        return ticks;
    // user nice system idle iowait irq softirq steal
    for (int field = 0; field < 8; ++field) {
        unsigned long long value = 0;
        if (!(stat >> value))
            return {};
        ticks.total += value;
        if (field == 7)
            ticks.steal = value;
    }
    return ticks;
}

// The simulator on its own thread, with the CPU time that thread used.
class Controller {
public:
    explicit Controller(bool lineTime) {
        sim::Options options;
        options.lineTime = lineTime;
        options.reference = MemoryOfImage(PayloadText(*LoadPayload()));
        simulator_ = std::make_unique<sim::LoaderSim>(options);
        path_ = simulator_->OpenPty();
        thread_ = std::thread([this] {
            simulator_->Run();
            cpu_ = ThreadCpuSeconds();
        });
    }
    const std::string& Path() const { return path_; }
    // Stops it; true when it received the whole image.
    bool Finish(std::string& line) {
        simulator_->Stop();
        thread_.join();
        line = simulator_->Result().Line();
        return simulator_->Result().image == sim::Summary::Image::Match;
    }
    double Cpu() const { return cpu_; }

private:
    std::unique_ptr<sim::LoaderSim> simulator_;
    std::string path_;
    std::thread thread_;
    double cpu_ = 0;
};

// "PROGRAMUJ" on the real main form, as the user runs it.
Run WindowUpload() {
    Controller controller(true);
    Run run;
    {
        TForm1 form;
        form.ShowWindow();
        form.ComPort->SetPort(controller.Path());
        form.LMDAssist1->SetActivePage(form.LMDAssist1->GetPage(5));
        WidgetSet().ProcessMessages(false);
        const double cpu0 = CpuSeconds(RUSAGE_SELF);
        const double window0 = ThreadCpuSeconds();
        const auto start = Clock::now();
        form.btn_PROGRAMClick(form.btn_PROGRAM);
        run.wall = std::chrono::duration<double>(Clock::now() - start).count();
        run.windowCpu = ThreadCpuSeconds() - window0;
        run.cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
        run.ok = form.lbl_FINISH->Caption() == kUploadSuccessText &&
                 form.progress_PROGRAM->Position() == form.progress_PROGRAM->Max();
        form.Close();
    }
    run.ok = controller.Finish(run.simulator) && run.ok;
    run.cpu -= controller.Cpu();
    return run;
}

Run Upload(bool lineTime) {
    Controller controller(lineTime);
    TComPort port;
    SetProgramComSettings(port);
    port.SetPort(controller.Path());
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
    run.ok = controller.Finish(run.simulator) && run.ok;
    return run;
}

// The same frames as the upload, on the same kind of line, exchanged by the barest loop.
Run BareExchanges(const std::vector<std::vector<std::uint8_t>>& frames) {
    Controller controller(true);
    Run run;
    const auto start = Clock::now();
    const int fd = open(controller.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + controller.Path());
    sim::MakeRawLine(fd);
    run.ok = true;
    for (const auto& frame : frames) {
        const auto sent = Clock::now();
        std::uint8_t reply = 0;
        pollfd p{fd, POLLIN, 0};
        if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()) ||
            poll(&p, 1, 1000) != 1 || read(fd, &reply, 1) != 1 || reply != 0x06) {
            run.ok = false;
            break;
        }
        run.exchanges.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    close(fd);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.ok = controller.Finish(run.simulator) && run.ok;
    return run;
}

// Keeps every CPU out of deep idle states while the descriptor stays open; -1 where the system
// does not let us.
int HoldCpusAwake() {
    const int fd = open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const std::int32_t maximumExitLatencyUs = 0;
    if (write(fd, &maximumExitLatencyUs, sizeof maximumExitLatencyUs) !=
        static_cast<ssize_t>(sizeof maximumExitLatencyUs)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The round whose wall time is the median.
Run MedianRun(std::vector<Run> runs) {
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
    return runs[runs.size() / 2];
}

double Percentile(std::vector<double> values, int percent) {
    if (values.empty())
        return 0;
    const std::size_t at = values.size() * static_cast<std::size_t>(percent) / 100;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

// How much later than the line allows each reply came: the exchange less the frame's and the
// reply's time on the line.
void ReportLateness(const Run& run, const std::vector<std::vector<std::uint8_t>>& frames) {
    if (run.exchanges.empty())
        return;
    std::vector<double> late;
    for (std::size_t i = 0; i < run.exchanges.size() && i < frames.size(); ++i)
        late.push_back(run.exchanges[i] -
                       std::chrono::duration<double, std::micro>(
                           static_cast<long>(frames[i].size() + 1) * sim::kByteTime)
                           .count());
    std::printf("  exchange beyond line  median %.0f us, 90th %.0f us, 99th %.0f us\n",
                Percentile(late, 50), Percentile(late, 90), Percentile(late, 99));
}

void Report(const char* name, const Run& run, double lineLimit, const Run& floor,
            const std::vector<std::vector<std::uint8_t>>& frames) {
    std::printf("%s: %s (simulator: %s)\n", name, run.ok ? "success" : "FAILED",
                run.simulator.c_str());
    std::printf("  measured              %.3f s, ratio %.4f, %+.2f%% against the floor\n", run.wall,
                run.wall / lineLimit, 100.0 * (run.wall / floor.wall - 1.0));
    std::printf("  program CPU           %.3f s, %.2f%% of wall (goal <= 2%%)\n", run.cpu,
                100.0 * run.cpu / run.wall);
    if (run.windowCpu > 0)
        std::printf("    window thread       %.3f s; the upload's thread and the rest %.3f s\n",
                    run.windowCpu, run.cpu - run.windowCpu);
    ReportLateness(run, frames);
}

} // namespace

int main(int argc, char** argv) {
    try {
        const bool idleAsIs = std::any_of(argv + 1, argv + argc, [](const char* arg) {
            return std::string_view(arg) == "--idle-as-is";
        });
        const int idleHold = idleAsIs ? -1 : HoldCpusAwake();
        InitTextLookup();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        TQtApplication app(argc, argv);
        ComPortModuleStartup();
        constexpr int kRounds = 5;
        RecordingPort recording;
        NullUploadReporter quiet;
        RunFirmwareUpload(recording, quiet);
        std::vector<Run> bare;
        std::vector<Run> core;
        std::vector<Run> window;
        bool ok = true;
        const CpuTicks before = MachineTicks();
        for (int i = 0; i < kRounds; ++i) {
            bare.push_back(BareExchanges(recording.frames));
            core.push_back(Upload(true));
            window.push_back(WindowUpload());
            ok = ok && bare.back().ok && core.back().ok && window.back().ok;
        }
        const CpuTicks after = MachineTicks();
        const Run floor = MedianRun(bare);
        const Run corePath = MedianRun(core);
        const Run windowPath = MedianRun(window);
        const double lineLimit = static_cast<double>(corePath.bytes) *
                                 std::chrono::duration<double>(sim::kByteTime).count();
        std::printf("line-time runs, median of %d rounds, %ld bytes on the line, limit %.3f s\n",
                    kRounds, corePath.bytes, lineLimit);
        if (idleHold >= 0)
            std::printf("CPU idle states         held shallow while measuring\n");
        else
            std::printf("CPU idle states         as the system has them (%s)\n",
                        idleAsIs ? "--idle-as-is" : "no access to /dev/cpu_dma_latency");
        if (after.total > before.total)
            std::printf("host steal during them  %.1f%% of the machine's CPU time\n",
                        100.0 * static_cast<double>(after.steal - before.steal) /
                            static_cast<double>(after.total - before.total));
        std::printf("floor (bare loop): %s (simulator: %s)\n", floor.ok ? "success" : "FAILED",
                    floor.simulator.c_str());
        std::printf("  measured              %.3f s, ratio %.4f\n", floor.wall,
                    floor.wall / lineLimit);
        ReportLateness(floor, recording.frames);
        Report("core path", corePath, lineLimit, floor, recording.frames);
        Report("window path", windowPath, lineLimit, floor, recording.frames);
        std::printf("  window against core   %+.2f%% (goal within 0.5%%); ratio goal <= 1.015\n",
                    100.0 * (windowPath.wall / corePath.wall - 1.0));

        std::vector<double> exchanges;
        for (int i = 0; i < 3; ++i) {
            Run fast = Upload(false);
            ok = ok && fast.ok;
            exchanges.insert(exchanges.end(), fast.exchanges.begin(), fast.exchanges.end());
        }
        const double overhead = Percentile(exchanges, 50);
        std::printf("no-emulation runs: 3 x 837 exchanges, median %.1f us per exchange\n",
                    overhead);
        std::printf("ratio=%.4f cpu_share=%.4f overhead_us=%.1f\n", windowPath.wall / lineLimit,
                    windowPath.cpu / windowPath.wall, overhead);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvar-bench: %s\n", e.what());
        return 1;
    }
}
