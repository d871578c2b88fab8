// tolvar-bench: the upload of the shipped image against the simulator.
//
// 1. With line-time emulation (115200 baud, 8N2), two paths, each the median of five rounds:
//    the core path (the upload alone, on this thread) and the window path (the real main form
//    over the offscreen widget set, "PROGRAMUJ" as the user runs it: the upload on its worker
//    thread, every report through the window). Wall time against the time the traffic needs on
//    the line, and the program's CPU time as a share of the wall time.
// 2. Without emulation: the median software overhead of one record exchange (frame out, reply in).
//
// The simulator runs on its own thread; its CPU time is not counted as the program's.

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
    long bytes = 0;
    std::vector<double> exchanges;
    std::string simulator;
};

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
        const auto start = Clock::now();
        form.btn_PROGRAMClick(form.btn_PROGRAM);
        run.wall = std::chrono::duration<double>(Clock::now() - start).count();
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

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The round whose wall time is the median.
Run MedianRun(std::vector<Run> runs) {
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
    return runs[runs.size() / 2];
}

void Report(const char* name, const Run& run, double lineLimit) {
    std::printf("%s: %s (simulator: %s)\n", name, run.ok ? "success" : "FAILED",
                run.simulator.c_str());
    std::printf("  measured              %.3f s, ratio %.4f\n", run.wall, run.wall / lineLimit);
    std::printf("  program CPU           %.3f s, %.2f%% of wall (goal <= 2%%)\n", run.cpu,
                100.0 * run.cpu / run.wall);
}

} // namespace

int main(int argc, char** argv) {
    try {
        InitTextLookup();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        TQtApplication app(argc, argv);
        ComPortModuleStartup();
        constexpr int kRounds = 5;
        std::vector<Run> core;
        std::vector<Run> window;
        bool ok = true;
        for (int i = 0; i < kRounds; ++i) {
            core.push_back(Upload(true));
            window.push_back(WindowUpload());
            ok = ok && core.back().ok && window.back().ok;
        }
        const Run corePath = MedianRun(core);
        const Run windowPath = MedianRun(window);
        const double lineLimit = static_cast<double>(corePath.bytes) *
                                 std::chrono::duration<double>(sim::kByteTime).count();
        std::printf("line-time runs, median of %d rounds, %ld bytes on the line, limit %.3f s\n",
                    kRounds, corePath.bytes, lineLimit);
        Report("core path", corePath, lineLimit);
        Report("window path", windowPath, lineLimit);
        std::printf("  window against core   %+.2f%% (goal within 0.5%%); ratio goal <= 1.015\n",
                    100.0 * (windowPath.wall / corePath.wall - 1.0));

        std::vector<double> exchanges;
        for (int i = 0; i < 3; ++i) {
            Run fast = Upload(false);
            ok = ok && fast.ok;
            exchanges.insert(exchanges.end(), fast.exchanges.begin(), fast.exchanges.end());
        }
        const double overhead = Median(exchanges);
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
