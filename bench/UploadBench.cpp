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
// 2. Through a real display: the window path again with the Linux program's window on an X server
//    that the benchmark starts (Xvfb), and with --wine DIR the Windows program's window under
//    Wine on the same server (tolvar-bench-window.exe of a Windows build, COM1 served by the
//    simulator through the prefix's COM1 link). Beside the program's CPU per record (worker and
//    window thread) the display's: the X server's, and under Wine the Wine server's.
//    Then the start-up, from the exec to the first paint of the window, of the program and of a
//    bare window of the same toolkit (tolvar-bare-window), rounds interleaved; and where the
//    program's start-up goes, phase by phase, measured inside it.
// 3. Without emulation: the median software overhead of one record exchange (frame out, reply in).
//
// The simulator runs on its own thread; its CPU time is not counted as the program's.
//
// While it measures, it asks the kernel to keep the CPUs in their shallowest idle state
// (/dev/cpu_dma_latency, root only), as latency benchmarks do: a CPU woken from a deep state,
// or on a virtual machine a halted virtual CPU, starts hundreds of microseconds late, once for
// every byte that arrives, and that would be measured as the program's time. --idle-as-is
// leaves the idle states as the system has them; the output says which was measured.

#include "app/Form1.h"
#include "app/Platform.h"
#include "bench/Display.h"
#include "bench/Recording.h"
#include "framework/Application.h"
#include "framework/StdControls.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtSingleInstance.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPort.h"
#include "serial/ComPortStartup.h"
#include "serial/EnumComPorts.h"
#include "serial/PortDetails.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"
#include "wizard/Assist.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
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
    std::int32_t InputCount() override { return inner_.InputCount(); }
    std::int32_t InputLeftByRead() override { return inner_.InputLeftByRead(); }
    Clock::time_point Now() const override { return inner_.Now(); }
    void Pause(std::chrono::microseconds span) override { inner_.Pause(span); }
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
    double windowCpu = 0;  // the window thread's share of cpu
    double displayCpu = 0; // the X server's
    double wineServerCpu = 0;
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

std::string SelfFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// Reads "floor-round <ok> <wall> <cpu>" from a child's output.
bool ParseFloorRound(const std::string& out, Run& run) {
    std::istringstream in(out.substr(std::min(out.find("floor-round "), out.size())));
    std::string tag;
    int ok = 0;
    if (!(in >> tag >> ok >> run.wall >> run.cpu) || tag != "floor-round")
        return false;
    run.ok = ok == 1;
    return true;
}

// Reads "window-round <ok> <wall> <cpu> <window thread cpu>" from a child's output.
bool ParseWindowRound(const std::string& out, Run& run) {
    std::istringstream in(out.substr(std::min(out.find("window-round "), out.size())));
    std::string tag;
    int ok = 0;
    if (!(in >> tag >> ok >> run.wall >> run.cpu >> run.windowCpu) || tag != "window-round")
        return false;
    run.ok = ok == 1;
    return true;
}

// One round of the Linux window path on the benchmark's X server: this program again, in a
// process of its own, with the window on that display.
Run DisplayWindowRound(const bench::Xvfb& x) {
    Run run;
    double cpu = 0;
    const double x0 = bench::ProcessCpuSeconds(x.Pid());
    const std::string out = bench::RunForOutput({{SelfFolder() + "/tolvar-bench", "--window-round"},
                                                 {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb"}},
                                                cpu);
    run.displayCpu = bench::ProcessCpuSeconds(x.Pid()) - x0;
    if (!ParseWindowRound(out, run))
        run.ok = false;
    run.simulator = run.ok ? "in the child: image=match" : "FAILED: " + out;
    return run;
}

// Where the Wine runs take their programs and their COM1.
struct Wine {
    std::string folder; // tolvar-update.exe, tolvar-bench-window.exe, tolvar-bare-window.exe
    std::string prefix;
    std::string Link() const { return prefix + "/ttyCOM1"; }
    // COM1's link on a pseudo-terminal, or back on the prefix's resting folder.
    void PointCom1(const std::string& target) const {
        const std::string temporary = Link() + ".bench";
        std::filesystem::remove(temporary);
        std::filesystem::create_directory_symlink(target, temporary);
        std::filesystem::rename(temporary, Link());
    }
    void Rest() const {
        std::filesystem::create_directories(prefix + "/no-port");
        PointCom1(prefix + "/no-port");
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One round of the Windows window path under Wine, its window on the benchmark's X server, COM1
// served by tolvar-sim with line-time emulation, as the Windows tests serve it. With `floor`,
// the Windows floor instead: the same frames by a bare loop of the same system calls.
Run WineWindowRound(const bench::Xvfb& x, const Wine& wine, const std::string& work,
                    bool floor = false) {
    const std::string pathFile = work + "/sim-path";
    const std::string simOut = work + "/sim-out";
    std::filesystem::remove(pathFile);
    const pid_t sim = bench::StartWithOutput({{SelfFolder() + "/tolvar-sim", "-t", "--path-file",
                                               pathFile, "--hex", work + "/image.hex"},
                                              {}},
                                             simOut);
    for (int i = 0; i < 200 && ReadFile(pathFile).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::string pty = ReadFile(pathFile);
    pty = pty.substr(0, pty.find('\n'));
    Run run;
    if (!pty.empty()) {
        wine.PointCom1(pty);
        double cpu = 0;
        const pid_t server = bench::FindWineServer(wine.prefix);
        const double x0 = bench::ProcessCpuSeconds(x.Pid());
        const double w0 = server > 0 ? bench::ProcessCpuSeconds(server) : 0;
        std::vector<std::string> command{"wine", wine.folder + "/tolvar-bench-window.exe"};
        if (floor)
            command.push_back("--floor");
        const std::string out =
            bench::RunForOutput({command,
                                 {"DISPLAY=" + x.Display(), "WINEDEBUG=-all",
                                  "LD_PRELOAD=" + SelfFolder() + "/libtolvar-modem-lines.so"}},
                                cpu);
        run.displayCpu = bench::ProcessCpuSeconds(x.Pid()) - x0;
        run.wineServerCpu = server > 0 ? bench::ProcessCpuSeconds(server) - w0 : 0;
        wine.Rest();
        if (!(floor ? ParseFloorRound(out, run) : ParseWindowRound(out, run)))
            run.ok = false;
        if (!run.ok)
            std::fprintf(stderr, "tolvar-bench: the Wine round printed: %s\n", out.c_str());
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    const std::string summary = ReadFile(simOut);
    const std::size_t at = summary.find("tolvar-sim: ");
    run.simulator = at == std::string::npos
                        ? "no summary"
                        : summary.substr(at + 12, summary.find('\n', at) - at - 12);
    run.ok = run.ok && run.simulator.find("image=match") != std::string::npos;
    return run;
}

// The start-up phases of the Linux program, measured inside it (this program again, on the X
// server): one "phase <name> <ms>" line each.
int PrintStartupPhases() {
    using Ms = std::chrono::duration<double, std::milli>;
    auto at = Clock::now();
    auto phase = [&](const char* name) {
        std::printf("phase %s %.2f\n", name, Ms(Clock::now() - at).count());
        at = Clock::now();
    };
    int argc = 1;
    char name[] = "tolvar-bench";
    char* argv[] = {name, nullptr};
    InitTextLookup();
    TQtApplication app(argc, argv);
    phase("toolkit");
    const TQtSingleInstance instance;
    phase("single-instance");
    SetApplicationTitle(kApplicationTitle);
    ComPortModuleStartup();
    phase("port-module");
    const std::string description = StoredForm1Description();
    phase("description");
    std::vector<std::string> names;
    EnumComPorts(names);
    phase("port-names(again)");
    DescribeComPorts(names);
    phase("port-descriptions(again)");
    TForm1 form(description);
    phase("form(pages,port-list)");
    form.ShowWindow();
    phase("show");
    QWindow* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            window = widget->windowHandle();
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (window != nullptr && !window->isExposed() && Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    phase("first-paint");
    std::fflush(stdout);
    return 0;
}

std::map<std::string, std::vector<double>> ReadPhases(const std::string& out) {
    std::map<std::string, std::vector<double>> phases;
    std::istringstream in(out);
    std::string tag;
    std::string name;
    double ms = 0;
    while (in >> tag >> name >> ms)
        if (tag == "phase")
            phases[name].push_back(ms);
    return phases;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

void ReportPerRecord(const Run& run, std::size_t records) {
    const double n = static_cast<double>(records);
    std::printf("  per record (CPU)      worker and the rest %.0f us, window thread %.0f us, "
                "X server %.0f us",
                1e6 * (run.cpu - run.windowCpu) / n, 1e6 * run.windowCpu / n,
                1e6 * run.displayCpu / n);
    if (run.wineServerCpu > 0)
        std::printf(", Wine server %.0f us", 1e6 * run.wineServerCpu / n);
    std::printf("\n");
}

struct Startup {
    std::vector<double> program;
    std::vector<double> bare;
};

void ReportStartup(const char* platform, const Startup& s) {
    auto range = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? std::make_pair(0.0, 0.0) : std::make_pair(v.front(), v.back());
    };
    const double program = Median(s.program);
    const double bare = Median(s.bare);
    const auto p = range(s.program);
    const auto b = range(s.bare);
    std::printf("start-up, %s: program %.3f s (%.3f-%.3f), bare window %.3f s (%.3f-%.3f), "
                "ratio %.2f (goal <= 1.2)\n",
                platform, program, p.first, p.second, bare, b.first, b.second,
                bare > 0 ? program / bare : 0.0);
}

void ReportPhases(const char* platform, const std::map<std::string, std::vector<double>>& phases) {
    std::printf("  where %s start-up goes (inside the program, median ms):", platform);
    for (const auto& [name, values] : phases)
        std::printf(" %s %.1f;", name.c_str(), Median(values));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string_view> args(argv + 1, argv + argc);
        auto has = [&](std::string_view option) {
            return std::find(args.begin(), args.end(), option) != args.end();
        };
        auto value = [&](std::string_view option) {
            const auto at = std::find(args.begin(), args.end(), option);
            return at != args.end() && at + 1 != args.end() ? std::string(*(at + 1))
                                                            : std::string();
        };
        // The benchmark's own children, on the X server it started.
        if (has("--window-round") || has("--phases")) {
            if (has("--phases"))
                return PrintStartupPhases();
            InitTextLookup();
            TQtApplication app(argc, argv);
            ComPortModuleStartup();
            const Run run = WindowUpload();
            std::printf("window-round %d %.6f %.6f %.6f\n", run.ok ? 1 : 0, run.wall, run.cpu,
                        run.windowCpu);
            return run.ok ? 0 : 1;
        }
        const bool idleAsIs = has("--idle-as-is");
        const bool withDisplay = !has("--no-display");
        Wine wine;
        wine.folder = value("--wine");
        if (!wine.folder.empty()) {
            const char* prefix = std::getenv("WINEPREFIX");
            if (prefix == nullptr ||
                std::filesystem::read_symlink(std::string(prefix) + "/dosdevices/com1") !=
                    std::string(prefix) + "/ttyCOM1")
                throw std::runtime_error("--wine needs WINEPREFIX with COM1 pinned to its "
                                         "ttyCOM1 link (scripts/wine-prefix start)");
            wine.prefix = prefix;
        }
        const int idleHold = idleAsIs ? -1 : HoldCpusAwake();
        std::unique_ptr<bench::Xvfb> x;
        if (withDisplay) {
            x = std::make_unique<bench::Xvfb>();
            if (x->Display().empty()) {
                std::printf("no X server could be started (Xvfb): display runs left out\n");
                x.reset();
            }
        }
        // The Wine runs' simulator checks the image it received against the shipped one.
        const std::string work = std::filesystem::temp_directory_path().string() +
                                 "/tolvar-bench-" + std::to_string(getpid());
        std::filesystem::create_directories(work);
        std::ofstream(work + "/image.hex") << PayloadText(*LoadPayload());
        if (x && !wine.folder.empty()) {
            // Started beforehand, as on a machine where Wine runs already.
            double ignored = 0;
            bench::RunForOutput({{"wineserver", "-p"}, {}}, ignored);
        }
        InitTextLookup();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        TQtApplication app(argc, argv);
        ComPortModuleStartup();
        const int rounds = value("--rounds").empty() ? 5 : std::stoi(value("--rounds"));
        const std::vector<std::vector<std::uint8_t>> frames = bench::RecordedFrames();
        std::vector<Run> bare;
        std::vector<Run> core;
        std::vector<Run> window;
        std::vector<Run> xWindow;
        std::vector<Run> wineWindow;
        std::vector<Run> wineFloor;
        bool ok = true;
        const CpuTicks before = MachineTicks();
        for (int i = 0; i < rounds; ++i) {
            bare.push_back(BareExchanges(frames));
            core.push_back(Upload(true));
            window.push_back(WindowUpload());
            ok = ok && bare.back().ok && core.back().ok && window.back().ok;
            if (x) {
                xWindow.push_back(DisplayWindowRound(*x));
                ok = ok && xWindow.back().ok;
                if (!wine.folder.empty()) {
                    wineFloor.push_back(WineWindowRound(*x, wine, work, true));
                    wineWindow.push_back(WineWindowRound(*x, wine, work));
                    ok = ok && wineFloor.back().ok && wineWindow.back().ok;
                }
            }
        }
        const CpuTicks after = MachineTicks();
        const Run floor = MedianRun(bare);
        const Run corePath = MedianRun(core);
        const Run windowPath = MedianRun(window);
        const double lineLimit = static_cast<double>(corePath.bytes) *
                                 std::chrono::duration<double>(sim::kByteTime).count();
        std::printf("line-time runs, median of %d rounds, %ld bytes on the line, limit %.3f s\n",
                    rounds, corePath.bytes, lineLimit);
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
        ReportLateness(floor, frames);
        Report("core path", corePath, lineLimit, floor, frames);
        Report("window path", windowPath, lineLimit, floor, frames);
        std::printf("  window against core   %+.2f%% (goal within 0.5%%); ratio goal <= 1.015\n",
                    100.0 * (windowPath.wall / corePath.wall - 1.0));
        const Run* last = &windowPath;
        Run xPath;
        if (!xWindow.empty()) {
            xPath = MedianRun(xWindow);
            Report("window path, X display (Linux, xcb on Xvfb)", xPath, lineLimit, floor, frames);
            ReportPerRecord(xPath, frames.size());
            last = &xPath;
        }
        if (!wineWindow.empty()) {
            // Against the floor of its own system: Wine's serial emulation costs the bare loop
            // too, and that is not the program's.
            const Run wineBare = MedianRun(wineFloor);
            std::printf("floor under Wine (bare Win32 loop on COM1): %s (simulator: %s)\n",
                        wineBare.ok ? "success" : "FAILED", wineBare.simulator.c_str());
            std::printf("  measured              %.3f s, ratio %.4f, %+.2f%% against the floor\n",
                        wineBare.wall, wineBare.wall / lineLimit,
                        100.0 * (wineBare.wall / floor.wall - 1.0));
            std::printf("  its CPU               %.3f s, %.2f%% of wall, %.0f us a record\n",
                        wineBare.cpu, 100.0 * wineBare.cpu / wineBare.wall,
                        1e6 * wineBare.cpu / static_cast<double>(frames.size()));
            const Run winePath = MedianRun(wineWindow);
            Report("window path, X display (Windows program under Wine)", winePath, lineLimit,
                   floor, frames);
            std::printf("  against the Wine floor %+.2f%% time, CPU %+.2f%% of wall beyond it\n",
                        100.0 * (winePath.wall / wineBare.wall - 1.0),
                        100.0 * (winePath.cpu / winePath.wall - wineBare.cpu / wineBare.wall));
            ReportPerRecord(winePath, frames.size());
        }

        if (x) {
            // Start-up, rounds interleaved: the program and the bare window of each platform.
            const int startRounds = 2 * rounds - 1;
            Startup linuxStart;
            Startup windows;
            const std::string self = SelfFolder();
            const std::string runtime = std::filesystem::temp_directory_path().string() +
                                        "/tolvar-bench-runtime-" + std::to_string(getpid());
            std::filesystem::create_directories(runtime);
            std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
            const std::vector<std::string> qtEnv{"QT_QPA_PLATFORM=xcb",
                                                 "XDG_RUNTIME_DIR=" + runtime};
            const std::vector<std::string> wineEnv{"WINEDEBUG=-all"};
            for (int i = 0; i < startRounds; ++i) {
                linuxStart.program.push_back(
                    bench::TimeToFirstPaint(x->Display(), {{self + "/tolvar-update"}, qtEnv}));
                linuxStart.bare.push_back(
                    bench::TimeToFirstPaint(x->Display(), {{self + "/tolvar-bare-window"}, qtEnv}));
                if (!wine.folder.empty()) {
                    windows.program.push_back(bench::TimeToFirstPaint(
                        x->Display(), {{"wine", wine.folder + "/tolvar-update.exe"}, wineEnv}));
                    windows.bare.push_back(bench::TimeToFirstPaint(
                        x->Display(),
                        {{"wine", wine.folder + "/tolvar-bare-window.exe"}, wineEnv}));
                }
            }
            std::map<std::string, std::vector<double>> linuxPhases;
            std::map<std::string, std::vector<double>> windowsPhases;
            for (int i = 0; i < 3; ++i) {
                double ignored = 0;
                std::vector<std::string> env = qtEnv;
                env.push_back("DISPLAY=" + x->Display());
                for (auto& [name, values] : ReadPhases(
                         bench::RunForOutput({{self + "/tolvar-bench", "--phases"}, env}, ignored)))
                    linuxPhases[name].insert(linuxPhases[name].end(), values.begin(), values.end());
                if (!wine.folder.empty())
                    for (auto& [name, values] : ReadPhases(bench::RunForOutput(
                             {{"wine", wine.folder + "/tolvar-bench-window.exe", "--phases"},
                              {"DISPLAY=" + x->Display(), "WINEDEBUG=-all"}},
                             ignored)))
                        windowsPhases[name].insert(windowsPhases[name].end(), values.begin(),
                                                   values.end());
            }
            std::filesystem::remove_all(runtime);
            std::printf("start-up, exec to the first paint of the window, median of %d rounds "
                        "on the benchmark's X server:\n",
                        startRounds);
            ReportStartup("Linux (xcb)", linuxStart);
            ReportPhases("the Linux", linuxPhases);
            if (!wine.folder.empty()) {
                ReportStartup("Windows under Wine", windows);
                ReportPhases("the Windows", windowsPhases);
            }
        }
        if (!wine.folder.empty()) {
            double ignored = 0;
            bench::RunForOutput({{"wineserver", "-k"}, {}}, ignored);
        }

        std::filesystem::remove_all(work);

        std::vector<double> exchanges;
        for (int i = 0; i < 3; ++i) {
            Run fast = Upload(false);
            ok = ok && fast.ok;
            exchanges.insert(exchanges.end(), fast.exchanges.begin(), fast.exchanges.end());
        }
        const double overhead = Percentile(exchanges, 50);
        std::printf("no-emulation runs: 3 x 837 exchanges, median %.1f us per exchange\n",
                    overhead);
        // The window path that users meet: through the display where one was measured.
        std::printf("ratio=%.4f cpu_share=%.4f overhead_us=%.1f\n", last->wall / lineLimit,
                    last->cpu / last->wall, overhead);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvar-bench: %s\n", e.what());
        return 1;
    }
}
