#pragma once

// A serial line played in virtual time for the upload: the port end records what the upload does,
// the far end answers from a script or a loader model. Reads wait on the line's own clock, so a
// reply ten seconds late costs the test nothing and every run gives the same bytes at the same
// times.

#include "serial/EComPort.h"
#include "update/FirmwareUpload.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::test {

using Bytes = std::vector<std::uint8_t>;
using LineClock = std::chrono::steady_clock;

inline const Bytes kStart = {0x0B, '0', '0', '0', '0', '0', '0', 'F', 'E', '0', '2', 0x0A};

inline bool IsStart(const Bytes& frame) {
    return frame == kStart;
}

// Like the real port with the program's settings: a one-byte read waits 1.5 s at most; Open on
// an open port does nothing; Close drops what has arrived (bytes still on their way come later).
class FakePort : public UploadPort {
public:
    static constexpr std::chrono::milliseconds kReadTimeout{1500};

    // Bytes that answer frame n of the run (0-based), arriving together once the frame is in
    // (plus a byte time when paced). Not used while `far` is set.
    std::function<Bytes(std::size_t, const Bytes&)> answer = [](std::size_t, const Bytes&) {
        return Bytes{kAck};
    };
    // The far end itself: gets each frame written and when its last byte arrives there, and
    // answers through Deliver.
    std::function<void(const Bytes&, LineClock::time_point)> far;
    std::function<void()> onOpen;
    // How much later than its due the answer to frame n of the run comes (not with `far`).
    std::function<LineClock::duration(std::size_t)> lag = [](std::size_t) {
        return LineClock::duration{};
    };
    // Bytes take their time on the line: 11 bit times at 115200 baud.
    bool paced = false;
    // The remedy the port offers for an open failure with this code.
    std::map<std::int32_t, std::string> hints;
    std::vector<Bytes> frames;
    std::vector<std::string> calls;
    bool open = false;
    // Call kind ("write", "read", "close") and the number of that call (from 1) that raises.
    std::map<std::string, int> failAt;

    LineClock::duration ByteTime() const { return paced ? kByteTime : LineClock::duration{}; }
    // A byte that reaches the port at `at`.
    void Deliver(LineClock::time_point at, std::uint8_t byte) {
        const auto place =
            std::upper_bound(input_.begin(), input_.end(), at,
                             [](LineClock::time_point t, const Arrival& a) { return t < a.at; });
        input_.insert(place, {at, byte});
    }

    std::string OpenFailureHint(std::int32_t code) const override {
        auto it = hints.find(code);
        return it == hints.end() ? std::string() : it->second;
    }
    void Open() override {
        calls.push_back("open");
        if (open)
            return;
        if (onOpen)
            onOpen();
        open = true;
    }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        Call("write", CError_WriteFailed);
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        frames.emplace_back(bytes, bytes + count);
        const LineClock::time_point in = now_ + count * ByteTime();
        if (far) {
            far(frames.back(), in);
        } else {
            for (std::uint8_t byte : answer(frames.size() - 1, frames.back()))
                Deliver(in + ByteTime() + lag(frames.size() - 1), byte);
        }
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        Call("read", CError_ReadFailed);
        EXPECT_EQ(count, 1);
        if (input_.empty() || input_.front().at > now_ + kReadTimeout) {
            now_ += kReadTimeout;
            left_ = 0;
            return 0;
        }
        now_ = std::max(now_, input_.front().at);
        *static_cast<std::uint8_t*>(buffer) = input_.front().byte;
        input_.pop_front();
        left_ = InputCount();
        return 1;
    }
    std::int32_t InputCount() override {
        return static_cast<std::int32_t>(std::count_if(
            input_.begin(), input_.end(), [this](const Arrival& a) { return a.at <= now_; }));
    }
    std::int32_t InputLeftByRead() override { return left_; }
    void DiscardInput() override {
        Call("discard", CError_PurgeFailed);
        Drop();
    }
    void Close() override {
        Call("close", CError_PurgeFailed);
        Drop();
        open = false;
    }
    LineClock::time_point Now() const override { return now_; }
    void Pause(std::chrono::microseconds span) override { now_ += span; }

    int Count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

private:
    struct Arrival {
        LineClock::time_point at;
        std::uint8_t byte;
    };
    std::deque<Arrival> input_;
    LineClock::time_point now_ = LineClock::time_point{} + std::chrono::hours(1);
    std::int32_t left_ = 0;

    void Drop() {
        left_ = 0;
        input_.erase(input_.begin(), input_.begin() + InputCount());
    }
    void Call(const std::string& call, std::int32_t code) {
        EXPECT_TRUE(open) << call << " on a closed port";
        calls.push_back(call);
        const auto fail = failAt.find(call);
        if (fail != failAt.end() && Count(call) == fail->second)
            throw EComPort(code, 5);
    }
};

// What the loader does to one frame's reply instead of answering it at once.
enum class Fault { None, Refuse, Garbage, Silent, Late, Double, DoubleBehind, Noise };

struct Dealt {
    Fault fault = Fault::None;
    std::chrono::milliseconds lateBy{1800};
    std::uint8_t noise = 0x5A;
    // How far behind the reply a doubled reply's second byte or noise comes.
    std::chrono::nanoseconds behind = kByteTime;
};

// A loader readies itself for the records when the start record comes (it may erase its flash);
// only then does it answer.
inline constexpr std::chrono::milliseconds kLoaderStartTime{2};

// The controller's loader as the simulator plays it: it handles frames in order, one at a time,
// and a late reply keeps it busy until it is sent. It keeps what the simulator reports: a record
// after a fault in its pass, a record that came before the previous frame was answered, and whether
// the last pass took the whole image with every frame answered in time.
class LoaderModel {
public:
    // Pass from 1, frame 0 for the start record and k for record k.
    using Dealer = std::function<Dealt(int pass, int frame)>;

    LoaderModel(FakePort& port, Dealer deal) : port_(port), deal_(std::move(deal)) {
        port.far = [this](const Bytes& frame, LineClock::time_point in) { Frame(frame, in); };
    }

    bool recordAfterFault = false;
    bool earlyFrame = false;
    bool lastPassWhole = false;
    int passes = 0;

private:
    void Frame(const Bytes& frame, LineClock::time_point in) {
        // A record sent before the previous reply could have been read. A start record may come
        // at any time: the PC gave up on the previous frame.
        const bool start = IsStart(frame);
        earlyFrame = earlyFrame || (!start && answered_ && port_.Now() < answeredAt_);
        if (start) {
            ++passes;
            record_ = 0;
            broken_ = false;
            lastPassWhole = false;
        } else {
            ++record_;
            recordAfterFault = recordAfterFault || broken_;
        }
        Dealt dealt = deal_(passes, record_);
        const LineClock::time_point handled =
            std::max(in, busyUntil_) + (start ? kLoaderStartTime : LineClock::duration{});
        LineClock::time_point at = handled + port_.ByteTime();
        std::uint8_t reply = kAck;
        answered_ = true;
        std::optional<std::uint8_t> trailing;
        switch (dealt.fault) {
        case Fault::Refuse:
        case Fault::Garbage:
            reply = dealt.fault == Fault::Refuse ? 0x15 : 0x5A;
            broken_ = broken_ || !start; // the start reply's value is not examined
            break;
        case Fault::Silent:
        case Fault::Late:
            at += dealt.lateBy;
            answered_ = false;
            broken_ = true;
            break;
        case Fault::Double:
            dealt.behind = {};
            trailing = reply;
            break;
        case Fault::DoubleBehind:
            trailing = reply;
            break;
        case Fault::Noise:
            trailing = dealt.noise;
            break;
        case Fault::None:
            break;
        }
        if (dealt.fault != Fault::Silent) {
            port_.Deliver(at, reply);
            busyUntil_ = at;
        }
        if (trailing)
            port_.Deliver(at + dealt.behind, *trailing);
        answeredAt_ = at;
        if (!start && frame.size() > 8 && frame[7] == '0' && frame[8] == '1') // record type 01
            lastPassWhole = !broken_;
    }

    FakePort& port_;
    Dealer deal_;
    LineClock::time_point busyUntil_{};
    LineClock::time_point answeredAt_{};
    bool answered_ = false;
    bool broken_ = false;
    int record_ = 0;
};

} // namespace tolvar::test
