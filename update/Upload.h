#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace tolvar {

// What the firmware upload needs of a serial port. Open raises EComPort when the device cannot
// be opened; Write/Read/Close raise whatever the port raises and the upload lets it pass.
class UploadPort {
public:
    virtual ~UploadPort() = default;
    virtual void Open() = 0;
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Drops the bytes that arrived and were not read; raises what the port raises.
    virtual void DiscardInput() = 0;
    // The bytes that have arrived and wait to be read.
    virtual std::int32_t InputCount() = 0;
    // The bytes that were waiting behind the last Read when it returned, where the port learns
    // that with the read at no cost; otherwise it asks.
    virtual std::int32_t InputLeftByRead() { return InputCount(); }
    virtual void Close() = 0;
    // The line's clock and a wait on it: the steady clock, unless a test plays the line.
    virtual std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::now();
    }
    virtual void Pause(std::chrono::microseconds span) {
        // The clock decides: Windows' sleeps round a fraction of a millisecond down to nothing and
        // a millisecond up to its timer's step (15.6 ms), so short waits yield rather than sleep.
        const auto end = Now() + span;
        for (auto now = Now(); now < end; now = Now()) {
            if (end - now < std::chrono::milliseconds(2))
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(end - now);
        }
    }
    // Why the port could not be opened, for the user, when the platform knows a remedy (no
    // permission); empty otherwise.
    virtual std::string OpenFailureHint(std::int32_t /*osErrorCode*/) const { return {}; }
};

// What one pass did, for the record of the run that support reads; the window shows only the
// verdict.
struct PassRecord {
    enum class End {
        Whole,      // every frame up to the end-of-file record answered with ACK
        Refused,    // a frame answered with another byte (`byte`)
        Unanswered, // no byte that could be the reply within the read time-out
        Noise,      // a byte of another value (`byte`) came with or right behind a reply
    };
    int number = 0;                                  // 1 for the first pass of the run
    std::chrono::system_clock::time_point started{}; // wall clock
    std::chrono::nanoseconds took{};
    int reached = 0; // the frame it ended on: 0 the start record, k record k (of `lines`)
    int lines = 0;   // the payload's line count; record `lines` is the end-of-file record
    End end = End::Whole;
    std::uint8_t byte = 0; // the answer that was not ACK, or the noise
    int dropped = 0;       // bytes that could not be a reply and were dropped
};

// How the upload reports to the window. Texts are UTF-8.
class UploadReporter {
public:
    virtual ~UploadReporter() = default;
    virtual void SetProgressMax(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetResultText(const std::string& text) = 0;
    virtual void ShowAdvice() = 0;
    virtual void AdvanceWizard() = 0;
    virtual void HideBackAndCancel() = 0;
    virtual void ShowMissingPayload() = 0;
    // Shows the advice label with another text (the remedy for a port that could not be opened).
    virtual void ShowAdviceText(const std::string& /*text*/) {}
    // After each pass, before the next one or the outcome; shows nothing.
    virtual void PassEnded(const PassRecord& /*pass*/) {}
};

// A reporter that shows nothing: for tools and tests that only want the transfer.
class NullUploadReporter : public UploadReporter {
public:
    void SetProgressMax(int) override {}
    void SetProgressPosition(int) override {}
    void SetResultText(const std::string&) override {}
    void ShowAdvice() override {}
    void AdvanceWizard() override {}
    void HideBackAndCancel() override {}
    void ShowMissingPayload() override {}
};

} // namespace tolvar
