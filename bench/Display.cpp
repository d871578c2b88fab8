#include "bench/Display.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace tolvar::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Forks and execs; in the child stdout goes to outFd when given, stderr to /dev/null.
pid_t Spawn(const Exec& program, int outFd, int keepFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    for (const std::string& add : program.env) {
        const std::string name = add.substr(0, add.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(add);
    }
    std::vector<char*> argv;
    for (const std::string& a : program.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(outFd >= 0 ? outFd : null, 1);
        dup2(null, 2);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

} // namespace

Xvfb::Xvfb() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    pid_ = Spawn({{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", "-br", "-noreset"},
                  {}},
                 -1, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    display_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    // The fields after the command's name, which ends at the last ')'.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 17 && fields >> field; ++i)
        if (i >= 14) // utime stime cutime cstime
            ticks += std::strtod(field.c_str(), nullptr);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t FindWineServer(const std::string& prefix) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return -1;
    pid_t found = -1;
    const std::string wanted = "WINEPREFIX=" + prefix;
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::string name;
        if (!std::getline(comm, name) || name != "wineserver")
            continue;
        std::ifstream environment("/proc/" + pid + "/environ");
        std::string variable;
        while (std::getline(environment, variable, '\0'))
            if (variable == wanted)
                found = std::stoi(pid);
    }
    closedir(proc);
    return found;
}

double TimeToFirstPaint(const std::string& display, const Exec& program, double timeout) {
    int screenNumber = 0;
    xcb_connection_t* c = nullptr;
    // Now and then the server refuses a connection for a moment (other X servers starting and
    // ending beside it on a shared machine): a few tries.
    for (int attempt = 0; attempt < 50; ++attempt) {
        c = xcb_connect(display.c_str(), &screenNumber);
        if (xcb_connection_has_error(c) == 0)
            break;
        xcb_disconnect(c);
        c = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (c == nullptr)
        throw std::runtime_error("cannot connect to " + display);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

    Exec onDisplay = program;
    onDisplay.env.push_back("DISPLAY=" + display);
    const auto start = Clock::now();
    const pid_t pid = Spawn(onDisplay, -1);
    xcb_window_t window = XCB_NONE;
    std::vector<xcb_window_t> mapped;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    double painted = -1;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    while (painted < 0 && Seconds(Clock::now() - start) < timeout) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->event == root && map->override_redirect == 0)
                    mapped.push_back(map->window);
            }
            free(event);
        }
        // The first mapped window of a form's size; a window of a few pixels is none (Wine
        // maps one for the task bar entry).
        while (window == XCB_NONE && !mapped.empty()) {
            const xcb_window_t candidate = mapped.front();
            mapped.erase(mapped.begin());
            xcb_get_geometry_reply_t* g =
                xcb_get_geometry_reply(c, xcb_get_geometry(c, candidate), nullptr);
            if (g != nullptr && g->width >= 64 && g->height >= 64) {
                window = candidate;
                width = g->width;
                height = g->height;
            }
            free(g);
        }
        if (width > 0) {
            // A row through the middle of the window: black until the program draws there.
            xcb_get_image_reply_t* image = xcb_get_image_reply(
                c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                              static_cast<std::int16_t>(height / 2), width, 1, ~0u),
                nullptr);
            if (image != nullptr) {
                const std::uint8_t* data = xcb_get_image_data(image);
                const int length = xcb_get_image_data_length(image);
                for (int i = 0; i < length; ++i)
                    if ((i % 4 != 3) && data[i] != 0) {
                        painted = Seconds(Clock::now() - start);
                        break;
                    }
                free(image);
            }
        }
        poll(&p, 1, 1);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // Let the window go before the next run watches the display.
    if (window != XCB_NONE) {
        const auto until = Clock::now() + std::chrono::seconds(5);
        bool gone = false;
        while (!gone && Clock::now() < until) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                const int type = event->response_type & 0x7f;
                if (type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY)
                    gone = gone ||
                           reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window;
                free(event);
            }
            poll(&p, 1, 10);
        }
    }
    xcb_disconnect(c);
    return painted;
}

pid_t StartWithOutput(const Exec& program, const std::string& outFile) {
    const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot write " + outFile);
    const pid_t pid = Spawn(program, fd);
    close(fd);
    return pid;
}

std::string RunForOutput(const Exec& program, double& cpu) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = Spawn(program, fds[1]);
    close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return out;
}

} // namespace tolvar::bench
