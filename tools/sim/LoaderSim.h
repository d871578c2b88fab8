#pragma once

#include "update/HexImage.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::sim {

// What the loader does to the reply of one frame instead of answering it at once with ACK. A
// doubled reply comes in one burst; a doubled one behind, or noise, one byte time after the reply.
enum class Fault { None, Refuse, Garbage, Silent, Late, Double, DoubleBehind, Noise };

// "refuse", "garbage", ... as the command line and the report spell them.
const char* FaultName(Fault fault);
std::optional<Fault> FaultNamed(std::string_view name); // none for "none" or a word it lacks

// A fault for one frame: pass 1 is the first start record, frame 0 the start record of that pass
// and 1 the first record after it. Pass 0 means the first time that frame arrives in any pass.
struct Deal {
    long pass = 0;
    long frame = 0;
    Fault fault = Fault::None;
    std::uint8_t noise = 0x5A; // the byte that noise puts behind the reply
};

// Faults dealt at random, the same for the same seed: each frame gets one of the first five kinds
// with the given probability.
struct Storm {
    std::uint32_t seed = 1;
    double rate = 0.0;
};

// How the stand-in for the controller's update loader behaves.
struct Options {
    bool silent = false;            // never answer anything
    bool silentStart = false;       // never answer the start record
    std::uint8_t startReply = 0x06; // value of the start reply
    std::uint8_t refusal = 0x15;    // byte sent for a refused record
    int refuseEvery = 0;            // refuse record K (1-based) of every pass; 0: none
    int refuseOnce = 0;             // refuse record K only the first time it arrives; 0: none
    std::chrono::microseconds replyDelay{0};
    long hangUpAfter = 0;  // after answering N frames, hang up when more arrives; 0: never
    bool lineTime = false; // emulate 115200 baud, 8N2 (11 bit times a byte)
    std::chrono::milliseconds frameGap{200}; // a partial frame idle this long is dropped
    std::vector<Deal> deals;
    std::optional<Storm> storm;
    std::chrono::milliseconds lateBy{1800}; // how much later than its due a late reply comes
    std::optional<HexMemory> reference;     // image to compare the received one with
};

// What one pass met: the faults dealt in it, whether a record came after a frame that the loader
// had not answered with a timely ACK or before it had answered the previous frame at all, and
// whether every frame up to the end record was answered so.
struct PassReport {
    std::string dealt; // "late@161 double@290 ...", empty when clean
    bool recordAfterFault = false;
    bool earlyRecord = false;
    bool whole = false;
};

// Counters and the verdict, as printed in the one-line summary.
struct Summary {
    enum class Image { NotChecked, None, Match, Mismatch };
    long passes = 0; // start records received
    long frames = 0; // complete frames received, start records included
    long acks = 0;
    long refusals = 0;
    long framingErrors = 0;
    long earlyRecords = 0; // records that came before the previous frame was answered
    bool hungUp = false;
    Image image = Image::NotChecked;
    std::vector<PassReport> passReports;

    std::string Line() const;
    // One line per pass, then the verdict: "success" when the last pass took the whole image.
    std::vector<std::string> PassLines() const;
    bool LastPassWhole() const { return !passReports.empty() && passReports.back().whole; }
};

// Time a byte takes on the line: 11 bit times at 115200 bits per second.
inline constexpr std::chrono::nanoseconds kByteTime{11'000'000'000LL / 115200};

// Plays the loader on a pseudo-terminal (or a device). Run() blocks until Stop(), a hang-up
// that the options ask for, or a fault of the line; Stop() may be called from any thread and
// from a signal handler.
class LoaderSim {
public:
    explicit LoaderSim(Options options);
    ~LoaderSim();
    LoaderSim(const LoaderSim&) = delete;
    LoaderSim& operator=(const LoaderSim&) = delete;

    // Creates a pseudo-terminal and returns the path of its slave side, which the PC opens.
    std::string OpenPty();
    // Uses a real serial device instead (raw, 115200 8N2).
    void OpenDevice(const std::string& path);

    void Run();
    void Stop();

    Summary Result() const;

private:
    void HandleFrame(const std::vector<std::uint8_t>& frame);
    Fault FaultFor(bool start);
    void Answer(std::uint8_t byte, Fault fault);
    void Reply(std::uint8_t byte, std::chrono::microseconds later = {}, int copies = 1,
               std::optional<std::uint8_t> behind = std::nullopt);
    // Whether bytes of a later frame are here already: the PC did not wait for this reply.
    bool MoreIsWaiting() const;
    void HangUp();
    void CheckImage();

    Options options_;
    int line_ = -1;      // master side of the pty, or the device
    int slaveKeep_ = -1; // our own slave fd, so the PC's close does not hang up the master
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};

    std::vector<std::uint8_t> pending_;
    std::chrono::steady_clock::time_point rxFreeAt_{};
    std::chrono::steady_clock::time_point txFreeAt_{};
    std::chrono::steady_clock::time_point frameDone_{};
    long chunkLeft_ = 0;           // bytes read with the current frame that belong to later ones
    bool sentBeforeReply_ = false; // the frame after the last reply began before that reply
    std::uint8_t noise_ = 0x5A;    // of the fault dealt last
    bool refusedOnce_ = false;
    long recordInPass_ = 0;
    bool passBroken_ = false;
    std::vector<HexRecord> currentPass_;
    bool faultInPass_ = false;
    std::uint32_t stormState_ = 0;
    std::optional<std::vector<HexRecord>> lastCompletePass_;
    Summary summary_;
};

// Puts a serial line or pseudo-terminal into raw mode at 115200 baud, 8N2, as the loader's line.
void MakeRawLine(int fd);

// Reads and checks an Intel HEX file into the memory it describes; on failure says why.
std::optional<HexMemory> ReadHexFile(const std::string& path, std::string& error);

} // namespace tolvar::sim
