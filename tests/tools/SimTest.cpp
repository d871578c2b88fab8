#include "serial/ComPort.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tolvar::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kStart = {0x0B, '0', '0', '0', '0', '0', '0', 'F', 'E', '0', '2', 0x0A};

Bytes Frame(const std::string& line) {
    Bytes frame(line.begin(), line.end());
    frame[0] = static_cast<std::uint8_t>(frame.size() - 1);
    return frame;
}

// The simulator on a thread and a raw client on its slave side, as the PC would be.
class Sim : public testing::Test {
protected:
    void Start(Options options) {
        sim_ = std::make_unique<LoaderSim>(std::move(options));
        path_ = sim_->OpenPty();
        thread_ = std::thread([this] { sim_->Run(); });
        Connect();
    }
    void Connect() {
        fd_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd_, 0);
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    void Disconnect() {
        close(fd_);
        fd_ = -1;
    }
    // Sends one frame and returns the reply, or -1 when none comes within a second.
    int Exchange(const Bytes& frame) {
        EXPECT_EQ(write(fd_, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, 1000) != 1)
            return -1;
        std::uint8_t byte = 0;
        return read(fd_, &byte, 1) == 1 ? byte : -1;
    }
    Summary Finish() {
        if (fd_ >= 0)
            Disconnect();
        sim_->Stop();
        thread_.join();
        return sim_->Result();
    }
    void TearDown() override {
        if (thread_.joinable())
            Finish();
    }

    std::unique_ptr<LoaderSim> sim_;
    std::thread thread_;
    std::string path_;
    int fd_ = -1;
};

const HexMemory kImage = {{0x0B, 0x02}, {0x0C, 0x00}, {0x0D, 0x46}};

TEST_F(Sim, AcknowledgesAPassAndVerifiesItAcrossReopens) {
    Options options;
    options.reference = kImage;
    Start(options);
    EXPECT_EQ(Exchange(kStart), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x06);
    // The PC closes and reopens between passes; the simulator must survive it.
    Disconnect();
    Connect();
    EXPECT_EQ(Exchange(kStart), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x06);
    EXPECT_EQ(Exchange(Frame(":00000001FF\r")), 0x06);
    const Summary summary = Finish();
    EXPECT_EQ(summary.Line(), "passes=2 frames=5 acks=3 refusals=0 framing_errors=0 image=match");
}

TEST_F(Sim, RefusesBadFramingAndReportsAWrongImage) {
    Options options;
    options.reference = kImage;
    Start(options);
    EXPECT_EQ(Exchange(kStart), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AB\r")), 0x15) << "checksum";
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\n")), 0x15) << "LF instead of CR";
    EXPECT_EQ(Exchange(kStart), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020047A9\r")), 0x06);
    EXPECT_EQ(Exchange(Frame(":00000001FF\r")), 0x06);
    const Summary summary = Finish();
    EXPECT_EQ(summary.framingErrors, 2);
    EXPECT_EQ(summary.refusals, 2);
    EXPECT_EQ(summary.image, Summary::Image::Mismatch);
}

TEST_F(Sim, PartialFrameIsDroppedAfterTheGap) {
    Options options;
    options.frameGap = std::chrono::milliseconds(50);
    Start(options);
    const Bytes half(kStart.begin(), kStart.begin() + 5);
    ASSERT_EQ(write(fd_, half.data(), half.size()), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Exchange(kStart), 0x06);
    const Summary summary = Finish();
    EXPECT_EQ(summary.framingErrors, 1);
    EXPECT_EQ(summary.image, Summary::Image::NotChecked);
}

TEST_F(Sim, FaultModes) {
    Options options;
    options.silentStart = true;
    options.refuseEvery = 2;
    options.refuseOnce = 1;
    options.refusal = 0x55;
    Start(options);
    EXPECT_EQ(Exchange(kStart), -1);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x55) << "once";
    EXPECT_EQ(Exchange(kStart), -1);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x06) << "only once";
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x55) << "every pass";
    const Summary summary = Finish();
    EXPECT_EQ(summary.passes, 2);
    EXPECT_EQ(summary.refusals, 2);
}

TEST_F(Sim, StartReplyValueAndHangUp) {
    Options options;
    options.startReply = 0x15;
    options.hangUpAfter = 2;
    Start(options);
    EXPECT_EQ(Exchange(kStart), 0x15);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), -1);
    thread_.join(); // the hang-up ends the run by itself
    std::uint8_t byte = 0;
    EXPECT_LE(read(fd_, &byte, 1), 0) << "the line is dead";
    EXPECT_TRUE(sim_->Result().hungUp);
}

// What trails a dealt reply, and records that did not wait for the previous reply: a start
// record may come at any time, as the PC gives up on a frame.
TEST_F(Sim, TrailingBytesAndRecordsThatDidNotWait) {
    Options options;
    options.deals = {
        {1, 1, Fault::Double}, {1, 2, Fault::DoubleBehind}, {1, 3, Fault::Noise, 0x21}};
    Start(options);
    const Bytes record = Frame(":03000B00020046AA\r");
    const auto send = [this](const Bytes& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    };
    // Everything that comes until the line is quiet for 200 ms.
    const auto received = [this] {
        Bytes bytes;
        pollfd pfd{fd_, POLLIN, 0};
        std::uint8_t byte = 0;
        while (poll(&pfd, 1, 200) == 1 && read(fd_, &byte, 1) == 1)
            bytes.push_back(byte);
        return bytes;
    };
    EXPECT_EQ(Exchange(kStart), 0x06);
    for (const Bytes& expected : {Bytes{6, 6}, Bytes{6, 6}, Bytes{6, 0x21}}) {
        send(record);
        EXPECT_EQ(received(), expected);
    }
    Bytes twoRecords = record;
    twoRecords.insert(twoRecords.end(), record.begin(), record.end());
    send(twoRecords);
    EXPECT_EQ(received(), (Bytes{6, 6}));
    Bytes recordAndStart = record;
    recordAndStart.insert(recordAndStart.end(), kStart.begin(), kStart.end());
    send(recordAndStart);
    EXPECT_EQ(received(), (Bytes{6, 6}));
    const Summary summary = Finish();
    EXPECT_EQ(summary.earlyRecords, 1);
    EXPECT_TRUE(summary.passReports.at(0).earlyRecord);
    EXPECT_FALSE(summary.passReports.at(1).earlyRecord);
    EXPECT_EQ(summary.Line().substr(summary.Line().rfind(' ')), " early_records=1");
    EXPECT_NE(summary.PassLines()[0].find("record sent before the reply"), std::string::npos);
}

TEST_F(Sim, ReplyDelayHoldsEveryAnswer) {
    Options options;
    options.replyDelay = std::chrono::milliseconds(50);
    Start(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(kStart), 0x06);
    EXPECT_EQ(Exchange(Frame(":03000B00020046AA\r")), 0x06);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(Sim, LineTimeDelaysEachReplyByTheFrameAndReplyBytes) {
    Options options;
    options.lineTime = true;
    Start(options);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(Exchange(kStart), 0x06);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // 20 exchanges of 13 bytes; only a lower bound is asserted.
    EXPECT_GE(elapsed, 20 * 13 * kByteTime);
}

// The executable as a script uses it: slave path through a file, an upload, SIGTERM, summary.
TEST(SimProcess, ServesAnUploadAndSummarisesOnSigterm) {
    namespace fs = std::filesystem;
    const fs::path pathFile =
        fs::temp_directory_path() / ("tolvar-sim-path-" + std::to_string(getpid()));
    fs::remove(pathFile);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string hex = std::string(SOURCE_DIR) + "/resources/tolvar-1.6.0.hex";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(SIM_TOOL, SIM_TOOL, "--path-file", pathFile.c_str(), "--hex", hex.c_str(),
              "--refuse-once", "3", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    for (int i = 0; i < 500 && !fs::exists(pathFile); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string path;
    std::ifstream(pathFile) >> path;
    fs::remove(pathFile);
    ASSERT_FALSE(path.empty());

    TComPort port;
    SetProgramComSettings(port);
    port.SetPort(path);
    PortAdapter<TComPort> adapter(port);
    NullUploadReporter reporter;
    const UploadResult result = RunFirmwareUpload(adapter, reporter);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);

    kill(child, SIGTERM);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    EXPECT_EQ(text, path + "\ntolvar-sim: passes=2 frames=841 acks=838 refusals=1 "
                           "framing_errors=0 image=match\n");
}

} // namespace
} // namespace tolvar::sim
