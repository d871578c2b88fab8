// The window path of the upload under Windows, for tolvar-bench: the real main form over the
// Win32 widget set, "PROGRAMUJ" pressed on the port COM1 (which the benchmark serves with the
// simulator). Prints one line: "window-round <ok> <wall s> <cpu s> <window thread cpu s>".
// With --phases it prints instead where the start-up's time goes, one "phase <name> <ms>" line
// each, up to the window's first paint. With --floor it is the floor of the Windows runs: the
// upload's frames exchanged on COM1 by the barest loop of the same system calls (overlapped
// WriteFile, ReadFile of the reply), nothing of the program in it, printed as
// "floor-round <ok> <wall s> <cpu s>".

#include "app/Form1.h"
#include "app/Platform.h"
#include "bench/Recording.h"
#include "framework/StdControls.h"
#include "framework/TextLookup.h"
#include "framework/Thread.h"
#include "framework/widgets/win32/Win32Process.h"
#include "framework/widgets/win32/Win32SingleInstance.h"
#include "framework/widgets/win32/Win32WidgetSet.h"
#include "serial/ComPort.h"
#include "serial/ComPortStartup.h"
#include "serial/EnumComPorts.h"
#include "serial/PortDetails.h"
#include "wizard/Assist.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>
#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace tolvar;

double Seconds(const FILETIME& kernel, const FILETIME& user) {
    const auto value = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return value(kernel) + value(user);
}

double ProcessCpu() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel, user);
}

double ThreadCpu() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Seconds(kernel, user);
}

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Waits for one overlapped transfer on the port and returns the bytes it moved; -1 on failure.
long Finish(HANDLE port, BOOL started, OVERLAPPED& transfer) {
    DWORD moved = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return -1;
    if (WaitForSingleObject(transfer.hEvent, INFINITE) != WAIT_OBJECT_0 ||
        !GetOverlappedResult(port, &transfer, &moved, FALSE))
        return -1;
    return static_cast<long>(moved);
}

int Floor() {
    const std::vector<std::vector<std::uint8_t>> frames = bench::RecordedFrames();
    HANDLE port = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("floor-round 0 0 0\n");
        return 1;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 115200;
    dcb.fBinary = 1;
    dcb.ByteSize = 8;
    dcb.StopBits = TWOSTOPBITS;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 1500;
    bool ok = SetCommState(port, &dcb) && SetCommTimeouts(port, &timeouts);
    OVERLAPPED transfer{};
    transfer.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const double cpu0 = ProcessCpu();
    const auto start = Clock::now();
    for (std::size_t i = 0; ok && i < frames.size(); ++i) {
        const auto& frame = frames[i];
        const DWORD size = static_cast<DWORD>(frame.size());
        std::uint8_t reply = 0;
        ok = Finish(port, WriteFile(port, frame.data(), size, nullptr, &transfer), transfer) ==
                 static_cast<long>(size) &&
             Finish(port, ReadFile(port, &reply, 1, nullptr, &transfer), transfer) == 1 &&
             reply == 0x06;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ProcessCpu() - cpu0;
    CloseHandle(transfer.hEvent);
    CloseHandle(port);
    std::printf("floor-round %d %.6f %.6f\n", ok ? 1 : 0, wall, cpu);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--floor") == 0)
        return Floor();
    const bool phases = argc > 1 && std::strcmp(argv[1], "--phases") == 0;
    auto at = Clock::now();
    auto phase = [&](const char* name) {
        if (phases)
            std::printf("phase %s %.2f\n", name, Ms(at));
        at = Clock::now();
    };
    RestrictLibrarySearch();
    const TSingleInstance instance;
    phase("single-instance");
    const TComApartment com;
    phase("com");
    InitTextLookup();
    phase("text-lookup");
    TWin32WidgetSet widgets;
    SetWidgetSet(&widgets);
    widgets.SetTitle(kApplicationTitle);
    SetSynchronizeWakeUp([&widgets] { widgets.Post([] { CheckSynchronize(); }); });
    phase("toolkit");
    ComPortModuleStartup();
    phase("port-module");
    const std::string description = StoredForm1Description();
    phase("description");
    if (phases) {
        std::vector<std::string> names;
        EnumComPorts(names);
        phase("port-names(again)");
        DescribeComPorts(names);
        phase("port-descriptions(again)");
    }
    int status = 0;
    {
        TForm1 form(description);
        phase("form(pages,port-list)");
        form.ShowWindow();
        phase("show");
        // The first paint: everything the window has to draw now.
        RedrawWindow(nullptr, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        widgets.ProcessMessages(false);
        GdiFlush();
        phase("first-paint");
        if (!phases) {
            form.LMDAssist1->SetActivePage(form.LMDAssist1->GetPage(5));
            widgets.ProcessMessages(false);
            const double cpu0 = ProcessCpu();
            const double window0 = ThreadCpu();
            const auto start = Clock::now();
            form.btn_PROGRAMClick(form.btn_PROGRAM);
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            const double windowCpu = ThreadCpu() - window0;
            const double cpu = ProcessCpu() - cpu0;
            const bool ok = form.lbl_FINISH->Caption() == kUploadSuccessText &&
                            form.progress_PROGRAM->Position() == form.progress_PROGRAM->Max();
            std::printf("window-round %d %.6f %.6f %.6f\n", ok ? 1 : 0, wall, cpu, windowCpu);
            if (!ok)
                std::printf("%s\n%s\n", form.lbl_FINISH->Caption().c_str(),
                            form.lbl_FINISH_INFO->Caption().c_str());
            status = ok ? 0 : 1;
        }
        form.Close();
    }
    std::fflush(stdout);
    SetSynchronizeWakeUp(nullptr);
    SetWidgetSet(nullptr);
    return status;
}
