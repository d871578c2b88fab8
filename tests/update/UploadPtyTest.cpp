// The upload through the real port object over a pseudo-terminal, against the simulator.

#include "serial/ComPort.h"
#include "tests/support/RecordingReporter.h"
#include "tools/sim/LoaderSim.h"
#include "update/FirmwareUpload.h"

#include <gtest/gtest.h>
#include <thread>

namespace tolvar {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using Events = std::vector<std::string>;

class UploadOverPty : public testing::Test {
protected:
    // Starts the simulator; the port gets the program's settings, with a 150 ms read time-out
    // unless the test wants the real 1.5 s.
    void Start(sim::Options options, bool realTimeouts = false) {
        options.reference = MemoryOfImage(PayloadText(*LoadPayload()));
        sim_ = std::make_unique<sim::LoaderSim>(std::move(options));
        const std::string path = sim_->OpenPty();
        thread_ = std::thread([this] { sim_->Run(); });
        SetProgramComSettings(port_);
        port_.SetPort(path);
        if (!realTimeouts) {
            port_.Timeouts().SetReadTotalMultiplier(100);
            port_.Timeouts().SetReadTotalConstant(50);
        }
    }
    UploadResult Upload() { return RunFirmwareUpload(adapter_, reporter_); }
    sim::Summary Finish() {
        sim_->Stop();
        thread_.join();
        return sim_->Result();
    }
    // The port's destructor closes it; on a dead line that close cannot succeed.
    void TearDown() override {
        if (thread_.joinable())
            Finish();
    }

    TComPort port_;
    PortAdapter<TComPort> adapter_{port_};
    test::RecordingReporter reporter_;
    std::unique_ptr<sim::LoaderSim> sim_;
    std::thread thread_;
};

TEST_F(UploadOverPty, AcknowledgedUploadDeliversTheWholeImage) {
    Start({});
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(reporter_.maximum, 836);
    EXPECT_EQ(reporter_.Position(), 836);
    EXPECT_EQ(reporter_.text, kUploadSuccessText);
    EXPECT_EQ(reporter_.events, (Events{"max", "text", "advance", "hide"}));
    EXPECT_FALSE(port_.Connected());
    const sim::Summary summary = Finish();
    EXPECT_EQ(summary.Line(),
              "passes=1 frames=837 acks=836 refusals=0 framing_errors=0 image=match");
}

TEST_F(UploadOverPty, AbsentControllerWaitsOutTheRealTimeouts) {
    sim::Options options;
    options.silent = true;
    Start(options, true);
    const auto start = Clock::now();
    const UploadResult result = Upload();
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(result.failures, 4);
    // Four start replies and, before each later pass, a read in silence: one-byte reads that
    // each end only at 1000 x 1 + 500 ms.
    EXPECT_GE(elapsed, std::chrono::milliseconds(7 * 1500 - 50));
    EXPECT_EQ(reporter_.text, kUploadFailureText);
    EXPECT_EQ(reporter_.events, (Events{"max", "text", "advice", "advance", "hide"}));
    const sim::Summary summary = Finish();
    EXPECT_EQ(summary.passes, 4);
    EXPECT_EQ(summary.frames, 4);
    EXPECT_EQ(summary.image, sim::Summary::Image::None);
}

TEST_F(UploadOverPty, RefusalInEveryPassUsesFourPasses) {
    sim::Options options;
    options.refuseEvery = 100;
    Start(options);
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(reporter_.Passes(), 4);
    EXPECT_EQ(reporter_.events, (Events{"max", "text", "advice", "advance", "hide"}));
    const sim::Summary summary = Finish();
    EXPECT_EQ(summary.passes, 4);
    EXPECT_EQ(summary.frames, 4 * 101);
    EXPECT_EQ(summary.refusals, 4);
    EXPECT_EQ(summary.image, sim::Summary::Image::None);
}

TEST_F(UploadOverPty, SingleRefusalIsMadeGoodByTheNextPass) {
    sim::Options options;
    options.refuseOnce = 500;
    Start(options);
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(result.passes, 2);
    EXPECT_EQ(reporter_.Position(), 836);
    const sim::Summary summary = Finish();
    EXPECT_EQ(summary.frames, 501 + 837);
    EXPECT_EQ(summary.image, sim::Summary::Image::Match);
}

TEST_F(UploadOverPty, AnyStartReplyWillDoAndASilentOneCostsAPass) {
    sim::Options options;
    options.startReply = 0x15;
    Start(options);
    EXPECT_EQ(Upload().outcome, UploadResult::Outcome::Success);
    EXPECT_EQ(Finish().frames, 837);

    sim::Options silentStart;
    silentStart.silentStart = true;
    Start(silentStart);
    // Every pass loses its start reply: one failure per pass, four passes.
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::Failure);
    EXPECT_EQ(result.passes, 4);
    EXPECT_EQ(Finish().frames, 4);
}

TEST_F(UploadOverPty, PortThatCannotBeOpenedIsReportedAndNotRetried) {
    Start({});
    TComPort holder; // another program holds the line
    SetProgramComSettings(holder);
    holder.SetPort(port_.Port());
    holder.Open();
    const UploadResult result = Upload();
    EXPECT_EQ(result.outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(result.passes, 1);
    EXPECT_EQ(reporter_.text, kPortFailureText);
    EXPECT_EQ(reporter_.events, (Events{"max", "text", "advance", "hide"}));
    holder.Close();
    EXPECT_EQ(Finish().frames, 0);

    test::RecordingReporter other;
    port_.SetPort("/dev/tolvar-no-such-port");
    EXPECT_EQ(RunFirmwareUpload(adapter_, other).outcome, UploadResult::Outcome::PortFailure);
    EXPECT_EQ(other.events, (Events{"max", "text", "advance", "hide"}));
}

// The verdict is the one the loader would give; no record follows a fault in its pass or goes out
// before the previous frame was answered.
void ExpectAsTheLoaderSawIt(const UploadResult& result, const sim::Summary& summary,
                            const std::string& what) {
    EXPECT_EQ(result.outcome, summary.LastPassWhole() ? UploadResult::Outcome::Success
                                                      : UploadResult::Outcome::Failure)
        << what;
    EXPECT_EQ(summary.earlyRecords, 0) << what;
    for (const sim::PassReport& pass : summary.passReports)
        EXPECT_FALSE(pass.recordAfterFault || pass.earlyRecord) << what;
}

// A sample of the fault matrix through the real port: replies after the read time-out, doubled
// ones and noise never stand in for a later frame. Times are scaled to the 150 ms read time-out
// here (a reply 380 ms late lands in the next pass's start wait, as one 3.5 to 4.2 s late does
// with the real 1.5 s).
TEST_F(UploadOverPty, ASampleOfTheFaultMatrixEndsAsTheLoaderSawIt) {
    using F = sim::Fault;
    const struct {
        bool paced;
        std::chrono::milliseconds lateBy;
        std::vector<sim::Deal> deals;
    } cases[] = {
        {true, 380ms, {{1, 418, F::DoubleBehind}, {1, 419, F::Silent}}},
        {true, 380ms, {{1, 161, F::Late}}},
        {true, 420ms, {{1, 0, F::Late}, {2, 836, F::Refuse}}},
        {true, 380ms, {{1, 835, F::Noise, 0x15}}},
        {false, 380ms, {{1, 418, F::Double}, {1, 419, F::Silent}}},
        {false, 380ms, {{1, 300, F::Late}, {2, 301, F::Refuse}}},
        {false, 1000ms, {{1, 1, F::Late}, {2, 836, F::Silent}}},
        {false, 380ms, {{1, 0, F::Double}, {1, 1, F::Refuse}}},
    };
    for (const auto& c : cases) {
        sim::Options options;
        options.lineTime = c.paced;
        options.deals = c.deals;
        options.lateBy = c.lateBy;
        Start(options);
        reporter_ = test::RecordingReporter();
        const UploadResult result = Upload();
        const sim::Summary summary = Finish();
        ExpectAsTheLoaderSawIt(result, summary, ::testing::PrintToString(summary.PassLines()));
    }
}

TEST_F(UploadOverPty, SeededStormsEndAsTheControllerSawThem) {
    for (std::uint32_t seed : {3u, 8u, 21u, 34u}) {
        sim::Options options;
        options.storm = sim::Storm{seed, 0.002};
        options.lateBy = std::chrono::milliseconds(300);
        Start(options);
        reporter_ = test::RecordingReporter();
        const UploadResult result = Upload();
        const sim::Summary summary = Finish();
        const std::string what =
            "seed " + std::to_string(seed) + ::testing::PrintToString(summary.PassLines());
        ExpectAsTheLoaderSawIt(result, summary, what);
        std::printf("seed %u: %s\n", seed, what.c_str());
    }
}

TEST_F(UploadOverPty, LineDeadInMidTransferEndsTheClickWithTheException) {
    sim::Options options;
    options.hangUpAfter = 100;
    Start(options);
    EXPECT_THROW(Upload(), EComPort);
    EXPECT_EQ(reporter_.events, (Events{"max"})) << "no outcome, the wizard stays";
    EXPECT_EQ(reporter_.Position(), 99);
    EXPECT_TRUE(port_.Connected()) << "the port stays open";
    EXPECT_TRUE(Finish().hungUp);
}

} // namespace
} // namespace tolvar
