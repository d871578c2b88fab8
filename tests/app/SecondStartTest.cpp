// The real program started twice: the second start ends at once with status 0 and leaves the
// first running.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t Start(const std::string& runtime) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(TOLVAR_UPDATE_EXE, TOLVAR_UPDATE_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The exit status, or -1 when the program still runs after `seconds`.
int WaitFor(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

} // namespace

TEST(SecondStart, EndsWithStatusZeroAndLeavesTheFirstRunning) {
    char name[] = "/tmp/tolvar-start-XXXXXX";
    const std::string runtime = mkdtemp(name);
    const pid_t first = Start(runtime);
    const auto socket = std::filesystem::path(runtime) / "tolvar-update.socket";
    for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(std::filesystem::exists(socket)) << "the first start does not listen";

    const pid_t second = Start(runtime);
    const int status = WaitFor(second, 10);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(WaitFor(first, 0), -1) << "the first start ended too";

    // Only what still runs (a reaped pid may belong to another process by now).
    if (status == -1) {
        kill(second, SIGKILL);
        WaitFor(second, 10);
    }
    kill(first, SIGKILL);
    WaitFor(first, 10);
    std::filesystem::remove_all(runtime);
}

// For support: the log's path and its newest record, without a window.
TEST(LogOption, PrintsThePathAndTheNewestRecord) {
    char name[] = "/tmp/tolvar-state-XXXXXX";
    const std::string state = mkdtemp(name);
    auto run = [](const std::string& environment) {
        const std::string command =
            "env -u DISPLAY -u XDG_STATE_HOME " + environment + " " TOLVAR_UPDATE_EXE " --log";
        FILE* out = popen(command.c_str(), "r");
        std::string text;
        char buffer[256];
        while (out != nullptr && std::fgets(buffer, sizeof buffer, out) != nullptr)
            text += buffer;
        EXPECT_EQ(out != nullptr ? pclose(out) : -1, 0);
        return text;
    };
    // The state folder must be an absolute path to count; else the one under the home folder.
    const std::string path = state + "/tolvar-update/tolvar-update.log";
    const std::string home = state + "/.local/state/tolvar-update/tolvar-update.log";
    EXPECT_EQ(run("XDG_STATE_HOME=" + state), path + "\n\nNo run recorded yet.\n");
    EXPECT_EQ(run("HOME=" + state), home + "\n\nNo run recorded yet.\n");
    EXPECT_EQ(run("HOME=" + state + " XDG_STATE_HOME=relative"),
              home + "\n\nNo run recorded yet.\n");
    std::filesystem::create_directories(state + "/tolvar-update");
    std::ofstream(path) << "== run 1\nresult: failure\n\n== run 2\nresult: success\n\n";
    EXPECT_EQ(run("XDG_STATE_HOME=" + state), path + "\n\n== run 2\nresult: success\n");
    std::filesystem::remove_all(state);
}
