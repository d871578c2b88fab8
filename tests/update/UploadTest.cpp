#include "framework/Exception.h"
#include "serial/EComPort.h"
#include "tests/support/RecordingReporter.h"
#include "update/FirmwareUpload.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tolvar {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kStart = {0x0B, '0', '0', '0', '0', '0', '0', 'F', 'E', '0', '2', 0x0A};

// A port that records what the upload does and answers from a script. The script sees the
// number of the frame in the whole run (0-based) and the frame itself and returns the bytes
// that arrive after it (empty for a silent line); they wait in `input` until read or discarded.
// A read of an empty input is a time-out. Like the real port, Open on an open port does nothing,
// and Close discards the input.
class FakePort : public UploadPort {
public:
    std::function<Bytes(std::size_t, const Bytes&)> answer = [](std::size_t, const Bytes&) {
        return Bytes{kAck};
    };
    std::function<void()> onOpen;
    std::deque<std::uint8_t> input;
    // Bytes that trail the reply to frame n so closely that they arrive only once frame n + 1
    // has gone out.
    std::map<std::size_t, Bytes> trailing;
    // Like a line at 115200 baud 8N2: a frame's own reply comes no sooner than the frame and the
    // reply byte take on the line; a trailing byte is there at once.
    bool paced = false;
    // The remedy the port offers for an open failure with this code.
    std::map<std::int32_t, std::string> hints;
    std::vector<Bytes> frames;
    std::vector<std::string> calls;
    bool open = false;
    // Call kind ("write", "read", "close") and the number of that call (from 1) that raises.
    std::map<std::string, int> failAt;

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
        if (const auto it = trailing.find(frames.size() - 2); it != trailing.end())
            input.insert(input.end(), it->second.begin(), it->second.end());
        stale_ = input.size();
        const Bytes reply = answer(frames.size() - 1, frames.back());
        input.insert(input.end(), reply.begin(), reply.end());
        replyDue_ = std::chrono::steady_clock::now() + (count + 1) * kByteTime;
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        Call("read", CError_ReadFailed);
        EXPECT_EQ(count, 1);
        if (input.empty())
            return 0;
        if (stale_ > 0)
            --stale_;
        else if (paced)
            std::this_thread::sleep_until(replyDue_);
        *static_cast<std::uint8_t*>(buffer) = input.front();
        input.pop_front();
        return 1;
    }
    void DiscardInput() override {
        Call("discard", CError_PurgeFailed);
        input.clear();
        stale_ = 0;
    }
    void Close() override {
        Call("close", CError_PurgeFailed);
        input.clear();
        open = false;
    }

    int Count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

private:
    std::size_t stale_ = 0; // bytes at the front of the input that arrived before the reply
    std::chrono::steady_clock::time_point replyDue_{};

    void Call(const std::string& call, std::int32_t code) {
        EXPECT_TRUE(open) << call << " on a closed port";
        calls.push_back(call);
        const auto fail = failAt.find(call);
        if (fail != failAt.end() && Count(call) == fail->second)
            throw EComPort(code, 5);
    }
};

using Events = std::vector<std::string>;

// The frames of `passes` clean passes over a payload of CR LF lines: the start record, then each
// line with its colon replaced by the count of the bytes after it.
std::vector<Bytes> FramesOf(std::string_view payload, int passes) {
    std::vector<Bytes> pass{kStart};
    for (std::size_t at = 0; at < payload.size();) {
        const std::size_t lf = payload.find('\n', at);
        Bytes frame = B(std::string(payload.substr(at, lf - at)));
        frame[0] = static_cast<std::uint8_t>(frame.size() - 1);
        pass.push_back(frame);
        at = lf + 1;
    }
    std::vector<Bytes> all;
    for (int i = 0; i < passes; ++i)
        all.insert(all.end(), pass.begin(), pass.end());
    return all;
}

bool IsStart(const Bytes& frame) {
    return frame == kStart;
}

// Progress positions of one pass that ends after n records were answered with ACK and the end.
std::vector<int> FullPass(int lines) {
    std::vector<int> positions{0};
    for (int i = 0; i <= lines; ++i)
        positions.push_back(i);
    return positions;
}

class Upload : public testing::Test {
protected:
    FakePort port;
    test::RecordingReporter reporter;

    UploadResult Run() { return RunFirmwareUpload(port, reporter); }
    UploadResult Run(const std::string& payload) {
        text_ = payload;
        return RunFirmwareUpload(port, reporter, [this]() -> std::optional<PayloadView> {
            return PayloadView{reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size()};
        });
    }

private:
    std::string text_;
};

TEST_F(Upload, AcknowledgedEverywhereSendsEveryFrameOnceAndSucceeds) {
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 1);

    ASSERT_EQ(port.frames.size(), 837u);
    EXPECT_EQ(port.frames[0], kStart);
    Bytes first = B("_03000B00020046AA\r");
    first[0] = 0x11;
    EXPECT_EQ(port.frames[1], first);
    Bytes last = B("_00000001FF\r");
    last[0] = 0x0B;
    EXPECT_EQ(port.frames.back(), last);
    std::size_t bytes = 0;
    for (const Bytes& frame : port.frames) {
        EXPECT_EQ(frame[0], frame.size() - 1);
        bytes += frame.size();
    }
    EXPECT_EQ(bytes + 837, 59407u) << "line traffic of one clean pass";
    // Exactly the payload's lines, each once, in the payload's (not the address) order.
    EXPECT_EQ(port.frames, FramesOf(PayloadText(*LoadPayload()), 1));

    EXPECT_EQ(port.calls.front(), "open");
    EXPECT_EQ(port.calls.back(), "close");
    EXPECT_EQ(port.Count("open"), 1);
    EXPECT_EQ(port.Count("read"), 837);

    EXPECT_EQ(reporter.maximum, 836);
    EXPECT_EQ(reporter.positions, FullPass(836));
    EXPECT_EQ(reporter.text, "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, SilentControllerSpendsTheBudgetOnStartRecords) {
    port.answer = [](std::size_t, const Bytes&) { return Bytes{}; };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(result.failures, 4);
    // Each pass sends its start record and nothing behind the missed reply; each later pass
    // first waits for one read in silence.
    EXPECT_EQ(port.frames, std::vector<Bytes>(4, kStart));
    EXPECT_EQ(port.Count("read"), 1 + 3 * 2);
    EXPECT_EQ(port.Count("open"), 4);
    EXPECT_EQ(port.Count("close"), 4);
    EXPECT_EQ(reporter.positions, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(reporter.text, "Uaktualnienie oprogramowania\nzostało zakończone błędem.");
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advice", "advance", "hide"}));
}

TEST_F(Upload, RefusalOfTheSameRecordInEveryPassEndsAfterFourPasses) {
    // Refuse the fifth record of each pass, with a byte that is neither ACK nor silence.
    port.answer = [this](std::size_t, const Bytes&) {
        std::size_t sinceStart = 0;
        for (auto it = port.frames.rbegin(); it != port.frames.rend() && !IsStart(*it); ++it)
            ++sinceStart;
        return Bytes{static_cast<std::uint8_t>(sinceStart == 5 ? 0x15 : kAck)};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(port.frames.size(), 4u * 6u);
    EXPECT_EQ(std::count_if(port.frames.begin(), port.frames.end(), IsStart), 4);
    EXPECT_EQ(port.Count("close"), 4);
    EXPECT_EQ(reporter.positions.size(), 4u * 6u);
    EXPECT_EQ(reporter.positions.back(), 4);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advice", "advance", "hide"}));
}

TEST_F(Upload, OneRefusalCostsOnePassAndStillSucceeds) {
    port.answer = [](std::size_t frame, const Bytes&) {
        return Bytes{static_cast<std::uint8_t>(frame == 300 ? 0x00 : kAck)};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);
    EXPECT_EQ(result.failures, 1);
    // The second pass starts again from the start record and the first line.
    std::vector<Bytes> expected = FramesOf(PayloadText(*LoadPayload()), 2);
    expected.erase(expected.begin() + 301, expected.begin() + 837);
    EXPECT_EQ(port.frames, expected);
    EXPECT_EQ(reporter.positions.back(), 836);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, MissingStartReplyEndsThePassBeforeAnyRecordAndCountsOnce) {
    port.answer = [](std::size_t frame, const Bytes&) {
        return frame == 0 ? Bytes{} : Bytes{kAck};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(port.frames.size(), 1u + 837u);
    EXPECT_EQ(port.frames[1], kStart);
}

TEST_F(Upload, StartReplyValueIsNotExaminedButItsCountIs) {
    port.answer = [](std::size_t frame, const Bytes&) {
        return frame == 0 ? Bytes{0x15} : Bytes{kAck};
    };
    EXPECT_EQ(Run().outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(port.frames.size(), 837u);
}

TEST_F(Upload, FailureInTheLastAllowedPassAfterSuccessesStillCounts) {
    // Pass 1: silent start (1). Passes 2 and 3: refused first record (2, 3). Pass 4: refused
    // tenth record (4): failure although most records got through.
    port.answer = [](std::size_t frame, const Bytes&) {
        if (frame == 0)
            return Bytes{};
        if (frame == 2 || frame == 4 || frame == 5 + 10)
            return Bytes{0x15};
        return Bytes{kAck};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(result.failures, 4);
}

TEST_F(Upload, PortThatCannotBeOpenedIsNeitherRetriedNorClosed) {
    port.onOpen = [] { throw EComPort(CError_OpenFailed, 2); };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open"}));
    EXPECT_EQ(reporter.text, "Błąd inizjalizacji portu szeregowego.\nPort może być używany przez "
                             "inny program.\nUaktualnienie oprogramowania\nzostało zakończone "
                             "błędem.");
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

// A port the user may not open: the same text, and the remedy on the advice label before the
// page changes. Other failures show no advice.
TEST_F(Upload, APermissionFailureAddsItsRemedyAsAdvice) {
    port.hints = {{13, "join the group"}};
    port.onOpen = [] { throw EComPort(CError_OpenFailed, 13); };
    Run();
    EXPECT_EQ(reporter.text.rfind("Błąd inizjalizacji portu szeregowego.", 0), 0u);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advice join the group", "advance", "hide"}));
    reporter = test::RecordingReporter();
    port = FakePort();
    port.hints = {{13, "join the group"}};
    port.onOpen = [] { throw EComPort(CError_OpenFailed, 16); };
    Run();
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, PortLostBetweenPassesEndsWithThePortTextWithoutAdvice) {
    int opens = 0;
    port.onOpen = [&opens] {
        if (++opens == 2)
            throw EComPort(CError_OpenFailed, 5);
    };
    port.answer = [](std::size_t, const Bytes&) { return Bytes{}; };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(port.Count("close"), 1);
    EXPECT_EQ(reporter.text, kPortFailureText);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, OnlyPortExceptionsFromOpenAreCaught) {
    port.onOpen = [] { throw Exception("a framework failure that is not the port's"); };
    EXPECT_THROW(Run(), Exception);
    EXPECT_EQ(reporter.events, (Events{"max"}));
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open"}));

    FakePort other;
    other.onOpen = [] { throw std::runtime_error("not a port failure"); };
    test::RecordingReporter seen;
    EXPECT_THROW(RunFirmwareUpload(other, seen), std::runtime_error);
    EXPECT_EQ(seen.events, (Events{"max"}));
}

// A port failure while the port is open ends the click at once: no outcome, no page change, the
// port left open, the failure counter untouched.
TEST_F(Upload, PortExceptionDuringTheTransferLeavesTheUploadAsItStood) {
    const struct {
        const char* call;
        int number;
        std::size_t frames;
    } cases[] = {
        {"discard", 1, 0},                                         // before the start record
        {"write", 1, 0},                                           // the start record
        {"read", 1, 1},                                            // the start reply
        {"write", 100, 99}, {"read", 100, 100}, {"close", 1, 837}, // after a clean pass
    };
    for (const auto& c : cases) {
        FakePort failing;
        failing.failAt[c.call] = c.number;
        test::RecordingReporter seen;
        EXPECT_THROW(RunFirmwareUpload(failing, seen), EComPort) << c.call << c.number;
        EXPECT_EQ(failing.frames.size(), c.frames) << c.call << c.number;
        EXPECT_EQ(failing.calls.back(), c.call) << "nothing after the failing call";
        EXPECT_EQ(failing.Count("open"), 1);
        EXPECT_TRUE(failing.open) << c.call << c.number;
        EXPECT_EQ(seen.events, (Events{"max"})) << c.call << c.number;
        EXPECT_TRUE(seen.text.empty());
    }
}

// After such a failure the page still offers the button: the next click's Open finds the port
// open, and that upload runs on it and closes it after its first pass.
TEST_F(Upload, NextClickAfterATransferExceptionRunsOnTheOpenPort) {
    port.failAt["read"] = 50;
    EXPECT_THROW(Run(), EComPort);
    ASSERT_TRUE(port.open);
    const std::size_t before = port.frames.size();
    const std::size_t callsBefore = port.calls.size();

    test::RecordingReporter second;
    const UploadResult result = RunFirmwareUpload(port, second);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 1);
    EXPECT_EQ(result.failures, 0) << "the failed click's count is not carried over";
    EXPECT_FALSE(port.open);
    const std::vector<Bytes> frames(port.frames.begin() + static_cast<std::ptrdiff_t>(before),
                                    port.frames.end());
    EXPECT_EQ(frames, FramesOf(PayloadText(*LoadPayload()), 1));
    EXPECT_EQ(port.calls[callsBefore], "open");
    EXPECT_EQ(port.calls.back(), "close");
    EXPECT_EQ(port.Count("close"), 1);
    EXPECT_EQ(second.events, (Events{"max", "text", "advance", "hide"}));
    EXPECT_EQ(second.positions, FullPass(836));
}

TEST_F(Upload, UnusablePayloadNeverStartsAnUpload) {
    EXPECT_EQ(
        RunFirmwareUpload(port, reporter, [] { return std::optional<PayloadView>(); }).outcome,
        UploadResult::Outcome::NoPayload);
    EXPECT_EQ(reporter.events, (Events{"missing"}));
    EXPECT_TRUE(port.calls.empty());

    // A last line without CR and a line over the buffer would otherwise go unsent.
    for (const std::string& broken :
         {std::string(":00000001FF"), ":" + std::string(300, '0') + "\r\n:00000001FF\r\n"}) {
        FakePort other;
        test::RecordingReporter seen;
        EXPECT_EQ(RunFirmwareUpload(other, seen,
                                    [&broken] {
                                        return std::optional<PayloadView>(PayloadView{
                                            reinterpret_cast<const std::uint8_t*>(broken.data()),
                                            broken.size()});
                                    })
                      .outcome,
                  UploadResult::Outcome::NoPayload);
        EXPECT_EQ(seen.events, (Events{"missing"}));
        EXPECT_TRUE(other.calls.empty());
    }
}

TEST_F(Upload, StrayLfIsDroppedFromTheFrameButCountsForProgress) {
    const UploadResult result = Run(":01000000\n55AA\r\n:00000001FF\r\n");
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(reporter.maximum, 3);
    ASSERT_EQ(port.frames.size(), 3u);
    Bytes record = B("_0100000055AA\r");
    record[0] = 13;
    EXPECT_EQ(port.frames[1], record);
    EXPECT_EQ(reporter.positions, (std::vector<int>{0, 0, 1, 2}));
}

// A controller that deals faults per frame of a pass (0 is the start record, then the records
// from 1) and keeps what it saw: whether a record came after a frame that it did not answer
// with ACK in time, and whether the last pass took the whole image. A late reply arrives after
// the read has timed out, so after the port was opened again; a doubled one comes right behind.
enum class Fault { None, Refuse, Garbage, Silent, Late, Double };

class Controller {
public:
    using Dealer = std::function<Fault(int pass, int frame)>;

    Controller(FakePort& port, Dealer deal) : port_(port), deal_(std::move(deal)) {
        port.answer = [this](std::size_t, const Bytes& frame) { return Answer(frame); };
        port.onOpen = [this] {
            port_.input.insert(port_.input.end(), late_.begin(), late_.end());
            late_.clear();
        };
    }

    bool recordAfterFailure = false;
    bool lastPassWhole = false;

private:
    Bytes Answer(const Bytes& frame) {
        const bool start = IsStart(frame);
        if (start) {
            ++pass_;
            frame_ = 0;
            broken_ = false;
        } else {
            ++frame_;
            recordAfterFailure = recordAfterFailure || broken_;
        }
        const Fault fault = deal_(pass_, frame_);
        const std::uint8_t good = kAck;
        Bytes reply{good};
        switch (fault) {
        case Fault::None:
            break;
        case Fault::Double:
            reply.push_back(good);
            break;
        case Fault::Refuse:
        case Fault::Garbage:
            reply = {static_cast<std::uint8_t>(fault == Fault::Refuse ? 0x15 : 0x5A)};
            broken_ = broken_ || !start;
            break;
        case Fault::Silent:
        case Fault::Late:
            if (fault == Fault::Late)
                late_.push_back(good);
            reply.clear();
            broken_ = true;
            break;
        }
        lastPassWhole = !broken_ && frame == endRecord_;
        return reply;
    }

    FakePort& port_;
    Dealer deal_;
    Bytes late_;
    int pass_ = 0;
    int frame_ = 0;
    bool broken_ = false;
    const Bytes endRecord_ = FramesOf(PayloadText(*LoadPayload()), 1).back();
};

Controller::Dealer Deal(std::map<std::pair<int, int>, Fault> faults) {
    return [faults](int pass, int frame) {
        const auto it = faults.find({pass, frame});
        return it == faults.end() ? Fault::None : it->second;
    };
}

// Replies meant for an earlier frame (late, doubled) must never stand in for a later one: the
// verdict is the controller's, and no record follows one that went wrong.
TEST(UploadReplies, EveryReplyCountsOnlyForItsOwnFrame) {
    const struct {
        const char* name;
        Controller::Dealer deal;
    } cases[] = {
        {"late reply, then a record missed in the next pass",
         Deal({{{1, 161}, Fault::Late}, {{2, 451}, Fault::Silent}})},
        {"late reply, then a refusal in the next pass",
         Deal({{{1, 10}, Fault::Late}, {{2, 20}, Fault::Refuse}, {{3, 20}, Fault::Refuse}})},
        {"late reply, then the end record unanswered in every later pass",
         [](int pass, int frame) {
             return pass == 1 && frame == 5    ? Fault::Late
                    : pass > 1 && frame == 836 ? Fault::Silent
                                               : Fault::None;
         }},
        {"doubled reply, then a record missed",
         Deal({{{1, 1}, Fault::Double}, {{1, 290}, Fault::Silent}})},
        {"late start reply", Deal({{{1, 0}, Fault::Late}, {{2, 3}, Fault::Garbage}})},
    };
    for (const auto& c : cases) {
        FakePort port;
        Controller controller(port, c.deal);
        test::RecordingReporter seen;
        const UploadResult result = RunFirmwareUpload(port, seen);
        EXPECT_EQ(result.outcome, controller.lastPassWhole ? UploadResult::Outcome::Success
                                                           : UploadResult::Outcome::Failure)
            << c.name;
        EXPECT_FALSE(controller.recordAfterFailure) << c.name;
    }
}

// A byte right behind a reply can arrive after the next frame went out; on a line that keeps its
// speed it comes too soon to be that frame's reply, and the reply is the byte after it.
TEST_F(Upload, ByteTrailingAReplyIsNotTakenForTheNextReply) {
    std::string payload;
    for (int i = 0; i < 5; ++i)
        payload += ":10000000" + std::string(32, '0') + "F0\r\n";
    payload += ":00000001FF\r\n";
    port.paced = true;
    port.trailing[2] = {kAck};
    port.answer = [](std::size_t frame, const Bytes&) {
        return Bytes{static_cast<std::uint8_t>(frame == 3 ? 0x15 : kAck)};
    };
    EXPECT_EQ(Run(payload).outcome, UploadResult::Outcome::Success);
    ASSERT_GE(port.frames.size(), 5u);
    EXPECT_EQ(port.frames[4], kStart) << "the refused record ends its pass";
    EXPECT_EQ(port.frames.size(), 4u + 7u);
}

TEST(UploadReplies, FaultStormsEndAsTheControllerSawThem) {
    int successes = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::uint32_t state = seed * 2654435761u;
        FakePort port;
        Controller controller(port, [&state](int, int) {
            state = state * 1664525u + 1013904223u;         // the same storm on every platform
            const std::uint32_t roll = (state >> 8) % 5000; // 0.3 % of frames, five kinds
            return roll < 15 ? static_cast<Fault>(1 + roll / 3) : Fault::None;
        });
        test::RecordingReporter seen;
        const UploadResult result = RunFirmwareUpload(port, seen);
        successes += result.outcome == UploadResult::Outcome::Success;
        EXPECT_EQ(result.outcome, controller.lastPassWhole ? UploadResult::Outcome::Success
                                                           : UploadResult::Outcome::Failure)
            << "seed " << seed;
        EXPECT_FALSE(controller.recordAfterFailure) << "seed " << seed;
    }
    // Both verdicts occur, or the storm proves little.
    EXPECT_GT(successes, 5);
    EXPECT_LT(successes, 55);
}

// The adapter forwards to any object with the port's operations.
struct PlainPort {
    std::string log;
    void Open() { log += "O"; }
    void Close() { log += "C"; }
    std::int32_t Write(const void*, std::int32_t count) {
        log += "W" + std::to_string(count);
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t) {
        log += "R";
        *static_cast<std::uint8_t*>(buffer) = kAck;
        return 1;
    }
    void DiscardInput() { log += "D"; }
};

TEST(PortAdapter, DrivesAPlainPortObject) {
    PlainPort plain;
    PortAdapter<PlainPort> adapter(plain);
    test::RecordingReporter reporter;
    const std::string payload = ":00000001FF\r\n";
    const auto result = RunFirmwareUpload(adapter, reporter, [&payload] {
        return std::optional<PayloadView>(
            PayloadView{reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()});
    });
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(plain.log, "ODW12RDW12RC");
}

} // namespace
} // namespace tolvar
