#include "framework/Exception.h"
#include "serial/EComPort.h"
#include "tests/support/RecordingReporter.h"
#include "tests/update/FakeLine.h"
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

using test::Bytes;
using test::FakePort;
using test::IsStart;
using test::kStart;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

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
    std::int32_t InputCount() {
        log += "N";
        return 0;
    }
};

// The waits for trailing bytes are fractions of a millisecond, which some platforms' sleeps
// round down to nothing: the port's own pause waits them out.
TEST(PortAdapter, PausesAtLeastAsLongAsAsked) {
    PlainPort plain;
    PortAdapter<PlainPort> adapter(plain);
    for (const auto span : {std::chrono::microseconds(300), std::chrono::microseconds(2500)}) {
        const auto start = std::chrono::steady_clock::now();
        adapter.Pause(span);
        EXPECT_GE(std::chrono::steady_clock::now() - start, span);
    }
}

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
    EXPECT_EQ(plain.log, "ONW12RNW12RNC");
}

} // namespace
} // namespace tolvar
