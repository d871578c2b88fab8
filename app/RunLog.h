#pragma once

#include "serial/ComDevice.h"
#include "update/Upload.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

namespace tolvar {

// What one programming run did on the line, kept for support after the window has closed.
struct TRunRecord {
    std::chrono::system_clock::time_point started{};
    std::string system;      // the operating system and its version
    std::string port;        // the port name picked
    std::string portDetails; // what the port page shows beside it; empty when nothing is known
    std::string line;        // the line settings applied; empty when the port never opened
    int lines = 0;           // the payload's line count
    std::vector<PassRecord> passes;
    bool missingPayload = false;
    std::string resultText; // what the result page says; empty when it was not reached
    std::string advice;     // the remedy shown beside a port failure
    bool adviceShown = false;
    // A port that could not be opened: the port object's error number and the system's code.
    std::int32_t openError = 0;
    std::int32_t openOsError = 0;
    // An error that cut the run short and went to the exception display.
    std::string error;
    std::string errorDuring; // "write", "read", ... the operation that raised it
    int errorFrame = 0;      // the frame of the pass cut short (0 the start record)
    std::chrono::system_clock::time_point errorPassStarted{};
};

// The port seen by the upload, recording what the record needs: when each pass opens, which frame
// goes out, an open failure with its codes and remedy, and the operation that raises.
class TRecordingPort final : public UploadPort {
public:
    TRecordingPort(UploadPort& port, TRunRecord& record) : port_(port), record_(record) {}
    void Open() override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int32_t Read(void* buffer, std::int32_t count) override;
    void DiscardInput() override;
    std::int32_t InputCount() override;
    std::int32_t InputLeftByRead() override { return port_.InputLeftByRead(); }
    void Close() override;
    std::string OpenFailureHint(std::int32_t osErrorCode) const override;
    std::chrono::steady_clock::time_point Now() const override { return port_.Now(); }
    void Pause(std::chrono::microseconds span) override { port_.Pause(span); }

    // Called from the way out of a failed run: which pass and frame the error cut.
    void NoteError(const std::string& text);
    bool Opened() const { return opened_; }

private:
    UploadPort& port_;
    TRunRecord& record_;
    const char* operation_ = "";
    int framesThisPass_ = 0;
    bool opened_ = false;
    std::chrono::system_clock::time_point passStarted_{};
};

// Passes every report on and keeps what the record needs, on the upload's own thread: the record
// costs the transfer a copy of each pass's summary, nothing that waits.
class TRecordingReporter final : public UploadReporter {
public:
    TRecordingReporter(UploadReporter& target, TRunRecord& record)
        : target_(target), record_(record) {}
    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override { target_.SetProgressPosition(position); }
    void SetResultText(const std::string& text) override;
    void ShowAdvice() override;
    void AdvanceWizard() override { target_.AdvanceWizard(); }
    void HideBackAndCancel() override { target_.HideBackAndCancel(); }
    void ShowMissingPayload() override;
    void ShowAdviceText(const std::string& text) override;
    void PassEnded(const PassRecord& pass) override;

private:
    UploadReporter& target_;
    TRunRecord& record_;
};

// "115200 baud, 8 data bits, ..." for the record.
std::string LineSettingsText(const TComLineSettings& line, const TComTimeoutValues& timeouts);

// "2026-12-10 03:12:45 +01:00": the local calendar reading of `time` and its offset from UTC.
std::string StampText(const std::tm& local, std::time_t time);

// The record as plain text: a first line beginning with "== ", a line per fact, a blank line.
std::string FormatRunRecord(const TRunRecord& record);

// The log with `record` appended, the oldest records dropped until at most kLogRuns remain and
// the text fits in kLogBytes; the new record always stays.
inline constexpr int kLogRuns = 50;
inline constexpr std::size_t kLogBytes = 256 * 1024;
std::string BoundedLog(const std::string& log, const std::string& record);

// The newest record of a log; empty when it has none.
std::string NewestRecord(const std::string& log);

// Appends the record to the log at `path` under the log's lock, never raising; false when it
// could not be written (no folder, read-only, full, locked by another writer for `wait`).
// Another program writes its record in milliseconds; a lock held longer is not ours to wait for.
bool AppendRunRecord(const std::string& path, const std::string& record,
                     std::chrono::milliseconds wait = std::chrono::seconds(2)) noexcept;

// Completes the record with what the system is and appends it to the user's log; never raises,
// false when it could not be kept.
bool KeepRunRecord(TRunRecord& record) noexcept;

// The text of an error as the exception display shows it, with the port's codes where it has
// them.
std::string ShownErrorText(const std::exception_ptr& error);

// What `tolvar-update --log` prints: the log's path, a blank line, its newest record.
std::string RunLogReport();

} // namespace tolvar
