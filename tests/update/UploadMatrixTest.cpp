// Every fault the loader can deal, at each place in a pass, on a paced and an unpaced line, and
// followed by a second fault or by a clean pass: the verdict is always the one the loader would
// give, no record follows a fault in its pass, and no frame goes out before the previous one was
// answered. In virtual time, so the whole matrix takes seconds.

#include "tests/support/RecordingReporter.h"
#include "tests/update/FakeLine.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tolvar {
namespace {

using namespace std::chrono_literals;
using test::Dealt;
using test::FakePort;
using test::Fault;
using test::LoaderModel;

constexpr int kEnd = 836; // the end-of-file record of the shipped image

struct Kind {
    const char* name;
    Dealt dealt;
};

const Kind kKinds[] = {
    {"refuse", {Fault::Refuse}},
    {"garbage", {Fault::Garbage}},
    {"silent", {Fault::Silent}},
    {"late 1.6 s", {Fault::Late, 1600ms}},
    {"late 2.5 s", {Fault::Late, 2500ms}},
    {"late 3.5 s", {Fault::Late, 3500ms}},
    {"late 4.2 s", {Fault::Late, 4200ms}},
    {"late 6 s", {Fault::Late, 6000ms}},
    {"late 10 s", {Fault::Late, 10000ms}},
    {"double", {Fault::Double}},
    {"double behind", {Fault::DoubleBehind}},
    {"noise 0x15 behind", {Fault::Noise, {}, 0x15}},
};

struct Second {
    const char* name;
    int pass;   // relative to the first fault's pass (1)
    int offset; // frame after the first fault's, or -1 for the end-of-file record
    Fault fault;
};

const Second kSeconds[] = {
    {"then clean", 0, 0, Fault::None},
    {"+ next silent", 1, 1, Fault::Silent},
    {"+ next refused", 1, 1, Fault::Refuse},
    {"+ end refused", 1, -1, Fault::Refuse},
    {"+ next silent in pass 2", 2, 1, Fault::Silent},
    {"+ next refused in pass 2", 2, 1, Fault::Refuse},
    {"+ end refused in pass 2", 2, -1, Fault::Refuse},
};

TEST(UploadMatrix, EveryDealtFaultEndsAsTheLoaderSawIt) {
    std::string wrong;
    int wrongRuns = 0;
    int runs = 0;
    for (const bool paced : {true, false})
        for (const Kind& kind : kKinds)
            for (const int at : {0, 1, kEnd / 2, kEnd - 1, kEnd})
                for (const Second& second : kSeconds) {
                    const int then = second.offset < 0 ? kEnd : at + second.offset;
                    FakePort port;
                    port.paced = paced;
                    LoaderModel loader(port, [&](int pass, int frame) {
                        if (pass == 1 && frame == at)
                            return kind.dealt;
                        if (pass == second.pass && frame == then)
                            return Dealt{second.fault};
                        return Dealt{};
                    });
                    test::RecordingReporter seen;
                    const UploadResult result = RunFirmwareUpload(port, seen);
                    ++runs;
                    const bool success = result.outcome == UploadResult::Outcome::Success;
                    if (success != loader.lastPassWhole || loader.earlyFrame ||
                        loader.recordAfterFault)
                        wrong += std::to_string(++wrongRuns) + (paced ? " paced " : " unpaced ") +
                                 kind.name + " @" + std::to_string(at) + " " + second.name +
                                 (success != loader.lastPassWhole ? ": wrong verdict" : "") +
                                 (loader.earlyFrame ? ": record early" : "") +
                                 (loader.recordAfterFault ? ": record after fault" : "") + "\n";
                }
    EXPECT_EQ(runs, 2 * 12 * 5 * 7);
    EXPECT_EQ(wrongRuns, 0) << "of " << runs << " runs:\n" << wrong;
}

TEST(UploadMatrix, FaultStormsEndAsTheLoaderSawThem) {
    int successes = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::uint32_t state = seed * 2654435761u;
        FakePort port;
        port.paced = seed % 2 == 0;
        LoaderModel loader(port, [&state](int, int) {
            state = state * 1664525u + 1013904223u;         // the same storm on every platform
            const std::uint32_t roll = (state >> 8) % 5000; // 0.3 % of frames, seven kinds
            const auto kind = static_cast<Fault>(1 + roll % 7);
            return roll < 15 ? Dealt{kind, std::chrono::milliseconds(1600 + roll * 500)} : Dealt{};
        });
        test::RecordingReporter seen;
        const UploadResult result = RunFirmwareUpload(port, seen);
        successes += result.outcome == UploadResult::Outcome::Success;
        EXPECT_EQ(result.outcome == UploadResult::Outcome::Success, loader.lastPassWhole)
            << "seed " << seed;
        EXPECT_FALSE(loader.recordAfterFault || loader.earlyFrame) << "seed " << seed;
    }
    // Both verdicts occur, or the storm proves little.
    EXPECT_GT(successes, 3);
    EXPECT_LT(successes, 37);
}

// What each pass reports for the record of the run: where it ended, why, and what was dropped.
TEST(UploadMatrix, EachPassReportsWhereAndWhyItEnded) {
    struct Reporter : test::RecordingReporter {
        std::vector<PassRecord> passes;
        void PassEnded(const PassRecord& pass) override { passes.push_back(pass); }
    };
    using End = PassRecord::End;
    const struct {
        const char* name;
        bool paced;
        int frame;
        Dealt dealt;
        End end;
        int reached;
        int byte;
        int dropped;
    } cases[] = {
        {"clean", true, -1, {}, End::Whole, kEnd, 0, 0},
        {"silent start", true, 0, {Fault::Silent}, End::Unanswered, 0, 0, 0},
        {"refusal", true, 5, {Fault::Refuse}, End::Refused, 5, 0x15, 0},
        {"garbage", false, 7, {Fault::Garbage}, End::Refused, 7, 0x5A, 0},
        {"noise behind, paced", true, 20, {Fault::Noise, {}, 0x15}, End::Noise, 21, 0x15, 1},
        {"noise behind, unpaced", false, 9, {Fault::Noise, {}, 0x00}, End::Noise, 9, 0x00, 1},
        {"noise with the end record's reply",
         true,
         kEnd,
         {Fault::Noise, {}, 0x15, 0ns},
         End::Noise,
         kEnd,
         0x15,
         1},
        {"noise a fraction of a frame behind",
         true,
         400,
         {Fault::Noise, {}, 0x15, 2ms},
         End::Noise,
         401,
         0x15,
         1},
        {"doubled, paced", true, 20, {Fault::DoubleBehind}, End::Whole, kEnd, 0, 1},
        {"doubled before the pace shows",
         true,
         12,
         {Fault::Noise, {}, 0x15},
         End::Noise,
         12,
         0x15,
         1},
        {"doubled start", false, 0, {Fault::Double}, End::Whole, kEnd, 0, 1},
    };
    for (const auto& c : cases) {
        FakePort port;
        port.paced = c.paced;
        LoaderModel loader(port, [&c](int pass, int frame) {
            return pass == 1 && frame == c.frame ? c.dealt : Dealt{};
        });
        Reporter seen;
        RunFirmwareUpload(port, seen);
        ASSERT_FALSE(seen.passes.empty()) << c.name;
        const PassRecord& first = seen.passes.front();
        EXPECT_EQ(first.number, 1) << c.name;
        EXPECT_EQ(first.lines, kEnd) << c.name;
        EXPECT_EQ(first.end, c.end) << c.name;
        EXPECT_EQ(first.reached, c.reached) << c.name;
        EXPECT_EQ(first.byte, c.byte) << c.name;
        EXPECT_EQ(first.dropped, c.dropped) << c.name;
        EXPECT_GT(first.took, c.paced && c.end == End::Whole ? 5s : 0s)
            << c.name << ": the line's time, by its clock";
    }
}

// A line that answers at once but stalls for a while (a pseudo-terminal on a busy machine) must not
// pass for one that keeps the line time: its next quick reply would be dropped as too soon.
TEST(UploadMatrix, ALineThatAnsweredAtOnceIsNeverTakenForAPacedOne) {
    FakePort port;
    port.lag = [](std::size_t frame) {
        return frame >= 20 && frame < 60 ? std::chrono::milliseconds(10) : 0ms;
    };
    test::RecordingReporter seen;
    const UploadResult result = RunFirmwareUpload(port, seen);
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 1);
}

// Before a new pass the line must fall quiet, but one that never does gets only so much patience.
TEST(UploadMatrix, TheQuietWaitGivesUpOnALineThatNeverFallsQuiet) {
    FakePort port;
    LoaderModel loader(port, [](int pass, int frame) {
        return pass == 1 && frame == 3 ? Dealt{Fault::Refuse} : Dealt{};
    });
    int opens = 0;
    port.onOpen = [&] {
        // From the second open on, three bytes every second for a minute.
        if (++opens == 2)
            for (int i = 0; i < 180; ++i)
                port.Deliver(port.Now() + std::chrono::seconds(i / 3), 0x5A);
    };
    test::RecordingReporter seen;
    RunFirmwareUpload(port, seen);
    // Between the first close and the second start record: the quiet wait's eight reads, then
    // what still waits is dropped.
    const auto close = std::find(port.calls.begin(), port.calls.end(), "close");
    const auto write = std::find(close, port.calls.end(), "write");
    EXPECT_EQ(std::vector<std::string>(close + 1, write),
              (std::vector<std::string>{"open", "read", "read", "read", "read", "read", "read",
                                        "read", "read", "discard"}));
}

} // namespace
} // namespace tolvar
