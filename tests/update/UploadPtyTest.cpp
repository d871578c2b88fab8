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

// A reply after the read time-out or a doubled one never stands in for a later frame: the
// verdict is the one the controller would give, and no record follows a fault in its pass.
TEST_F(UploadOverPty, LateAndDoubledRepliesNeverCountForALaterFrame) {
    const std::vector<std::vector<sim::Deal>> cases = {
        {{1, 161, sim::Fault::Late}, {2, 451, sim::Fault::Silent}},
        {{1, 10, sim::Fault::Late}, {2, 20, sim::Fault::Refuse}, {3, 20, sim::Fault::Refuse}},
        {{1, 5, sim::Fault::Late}, {2, 836, sim::Fault::Silent}, {3, 836, sim::Fault::Silent}},
        {{1, 1, sim::Fault::Double}, {1, 290, sim::Fault::Silent}},
    };
    for (const auto& deals : cases) {
        sim::Options options;
        options.deals = deals;
        options.lateBy = std::chrono::milliseconds(300); // twice the read time-out here
        Start(options);
        reporter_ = test::RecordingReporter();
        const UploadResult result = Upload();
        const sim::Summary summary = Finish();
        const std::string what = ::testing::PrintToString(summary.PassLines());
        EXPECT_EQ(result.outcome, summary.LastPassWhole() ? UploadResult::Outcome::Success
                                                          : UploadResult::Outcome::Failure)
            << what;
        for (const sim::PassReport& pass : summary.passReports)
            EXPECT_FALSE(pass.recordAfterFault) << what;
    }
}

// On a line that keeps the line time the second byte of a doubled reply comes one byte time after
// the first, after the next frame has gone out: it must not pass for that frame's reply.
TEST_F(UploadOverPty, DoubledReplyAtLineSpeedIsNotTakenForTheNextReply) {
    const std::vector<sim::Deal> quickFailures = {
        {2, 1, sim::Fault::Refuse}, {3, 1, sim::Fault::Refuse}, {4, 1, sim::Fault::Refuse}};
    for (const sim::Deal& second :
         {sim::Deal{1, 101, sim::Fault::Refuse}, sim::Deal{1, 290, sim::Fault::Silent}}) {
        sim::Options options;
        options.lineTime = true;
        options.deals = quickFailures;
        options.deals.push_back({1, 100, sim::Fault::Double});
        options.deals.push_back(second);
        Start(options);
        reporter_ = test::RecordingReporter();
        EXPECT_EQ(Upload().outcome, UploadResult::Outcome::Failure);
        const sim::Summary summary = Finish();
        const std::string what = ::testing::PrintToString(summary.PassLines());
        EXPECT_EQ(summary.passes, 4) << what;
        for (const sim::PassReport& pass : summary.passReports)
            EXPECT_FALSE(pass.recordAfterFault) << what;
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
        EXPECT_EQ(result.outcome, summary.LastPassWhole() ? UploadResult::Outcome::Success
                                                          : UploadResult::Outcome::Failure)
            << what;
        for (const sim::PassReport& pass : summary.passReports)
            EXPECT_FALSE(pass.recordAfterFault) << what;
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
