#include "RecordingReporter.h"
#include "serial/EComPort.h"
#include "update/FirmwareUpload.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
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
// that the read should deliver (empty for a silent line).
class FakePort : public UploadPort {
public:
    std::function<Bytes(std::size_t, const Bytes&)> answer = [](std::size_t, const Bytes&) {
        return Bytes{kAck};
    };
    std::function<void()> onOpen;
    std::vector<Bytes> frames;
    std::vector<std::string> calls;

    void Open() override {
        calls.push_back("open");
        if (onOpen)
            onOpen();
    }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        calls.push_back("write");
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        frames.emplace_back(bytes, bytes + count);
        if (failWriteAt && frames.size() == *failWriteAt)
            throw EComPort(CError_WriteFailed, 5);
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        calls.push_back("read");
        EXPECT_EQ(count, 1);
        const Bytes reply = answer(frames.size() - 1, frames.back());
        std::copy(reply.begin(), reply.end(), static_cast<std::uint8_t*>(buffer));
        return static_cast<std::int32_t>(reply.size());
    }
    void Close() override { calls.push_back("close"); }

    std::optional<std::size_t> failWriteAt;
    int Count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
};

using Events = std::vector<std::string>;

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

    EXPECT_EQ(port.calls.front(), "open");
    EXPECT_EQ(port.calls.back(), "close");
    EXPECT_EQ(port.Count("open"), 1);
    EXPECT_EQ(port.Count("read"), 837);

    EXPECT_EQ(reporter.maximum, 836);
    EXPECT_EQ(reporter.positions, FullPass(836));
    EXPECT_EQ(reporter.text, "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.");
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, SilentControllerSpendsTheBudgetInTwoPasses) {
    port.answer = [](std::size_t, const Bytes&) { return Bytes{}; };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 2);
    EXPECT_EQ(result.failures, 4);
    // Each pass: start record, its missed reply, the first record, its missed reply.
    ASSERT_EQ(port.frames.size(), 4u);
    EXPECT_EQ(port.frames[0], kStart);
    EXPECT_EQ(port.frames[1][0], 0x11);
    EXPECT_EQ(port.frames[2], kStart);
    EXPECT_EQ(port.Count("open"), 2);
    EXPECT_EQ(port.Count("close"), 2);
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
    EXPECT_EQ(port.frames.size(), 301u + 837u);
    EXPECT_EQ(reporter.positions.back(), 836);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, MissingStartReplyStillSendsTheFirstRecordAndCountsOnce) {
    port.answer = [](std::size_t frame, const Bytes&) {
        return frame == 0 ? Bytes{} : Bytes{kAck};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(port.frames.size(), 2u + 837u);
    EXPECT_EQ(port.frames[2], kStart);
}

TEST_F(Upload, StartReplyValueIsNotExaminedButItsCountIs) {
    port.answer = [](std::size_t frame, const Bytes&) {
        return frame == 0 ? Bytes{0x15} : Bytes{kAck};
    };
    EXPECT_EQ(Run().outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(port.frames.size(), 837u);

    // A record reply must be exactly one byte: two are as bad as none.
    FakePort twice;
    twice.answer = [](std::size_t, const Bytes&) { return Bytes{kAck, kAck}; };
    test::RecordingReporter quiet;
    const UploadResult result = RunFirmwareUpload(twice, quiet);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 2);
}

TEST_F(Upload, FailureInTheLastAllowedPassAfterSuccessesStillCounts) {
    // Pass 1: silent start and refused first record (2). Pass 2: refused first record (3).
    // Pass 3: refused tenth record (4): failure although most records got through.
    port.answer = [](std::size_t frame, const Bytes&) {
        if (frame == 0)
            return Bytes{};
        if (frame == 1 || frame == 3 || frame == 4 + 10)
            return Bytes{0x15};
        return Bytes{kAck};
    };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 3);
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

TEST_F(Upload, PortLostBetweenPassesEndsWithThePortTextWithoutAdvice) {
    int opens = 0;
    port.onOpen = [&opens] {
        if (++opens == 2)
            throw EComPort(CError_OpenFailed, 5);
    };
    port.answer = [](std::size_t, const Bytes&) { return Bytes{}; };
    const UploadResult result = Run();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(result.failures, 2);
    EXPECT_EQ(port.Count("close"), 1);
    EXPECT_EQ(reporter.text, kPortFailureText);
    EXPECT_EQ(reporter.events, (Events{"max", "text", "advance", "hide"}));
}

TEST_F(Upload, OnlyPortExceptionsFromOpenAreCaught) {
    port.onOpen = [] { throw std::runtime_error("not a port failure"); };
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_EQ(reporter.events, (Events{"max"}));
}

TEST_F(Upload, TransferExceptionLeavesEverythingAsItWas) {
    port.failWriteAt = 100;
    EXPECT_THROW(Run(), EComPort);
    EXPECT_EQ(port.Count("close"), 0) << "the port stays open";
    EXPECT_EQ(reporter.events, (Events{"max"}));
    EXPECT_EQ(reporter.positions.back(), 98);
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

// The adapter forwards to any object with the port's four operations.
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
    EXPECT_EQ(plain.log, "OW12RW12RC");
}

} // namespace
} // namespace tolvar
