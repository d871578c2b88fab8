#include "app/RunLog.h"

#include "app/Platform.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "serial/EComPort.h"
#include "update/FirmwareUpload.h"

#include <cstdio>

namespace tolvar {

namespace {

constexpr const char* kRecordMark = "== ";
constexpr std::uint8_t kNak = 0x15;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The time of day with milliseconds ("03:12:45.120"), or the date, time and offset.
std::string Stamp(std::chrono::system_clock::time_point time, bool withDate) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const std::tm local = LocalTime(seconds);
    if (withDate)
        return StampText(local, seconds);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch() %
                                                                          std::chrono::seconds(1))
                        .count();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms < 0 ? ms + 1000 : ms));
    return text;
}

std::string Hex(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string Seconds(std::chrono::nanoseconds took) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", std::chrono::duration<double>(took).count());
    return text;
}

std::string FrameText(int frame, int lines) {
    if (frame <= 0)
        return "start record";
    const std::string of = std::to_string(frame) + " of " + std::to_string(lines);
    return frame == lines ? "end-of-file record (" + of + ")" : "record " + of;
}

std::string EndText(const PassRecord& pass) {
    std::string text;
    switch (pass.end) {
    case PassRecord::End::Whole:
        text = "whole image acknowledged";
        break;
    case PassRecord::End::Refused:
        // The loader's refusal is NAK; any other byte is what noise makes of a reply.
        text = pass.byte == kNak ? "refused with " + Hex(pass.byte) + " (NAK)"
                                 : "garbage byte " + Hex(pass.byte);
        break;
    case PassRecord::End::Unanswered:
        text = "no reply within the time-out";
        break;
    case PassRecord::End::Noise:
        text = "noise byte " + Hex(pass.byte) + " with or right behind the reply";
        break;
    }
    if (pass.dropped > 0)
        text += ", " + std::to_string(pass.dropped) + " byte(s) dropped that could not be a reply";
    return text;
}

// A text of the window on one line of the record.
std::string OneLine(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            continue;
        out += text[i] == '\n' ? std::string(" / ") : std::string(1, text[i]);
    }
    return out;
}

// Where each record starts: at a line that begins with the mark; text before the first mark
// counts as one more.
std::vector<std::size_t> RecordStarts(const std::string& log) {
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    while (at < log.size()) {
        if (at == 0 || log.compare(at, 3, kRecordMark) == 0)
            starts.push_back(at);
        const std::size_t end = log.find('\n', at);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return starts;
}

} // namespace

std::string StampText(const std::tm& local, std::time_t time) {
    // The offset is how far the local calendar reading is ahead of UTC.
    const long long asUtc =
        DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) *
            86400 +
        local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    const long long offset = (asUtc - static_cast<long long>(time)) / 60;
    const long long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02lld:%02lld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

void TRecordingPort::Open() {
    operation_ = "open";
    passStarted_ = std::chrono::system_clock::now();
    framesThisPass_ = 0;
    try {
        port_.Open();
    } catch (const EComPort& e) {
        record_.openError = e.PortErrorCode();
        record_.openOsError = e.OsErrorCode();
        throw;
    }
    opened_ = true;
}

std::int32_t TRecordingPort::Write(const void* buffer, std::int32_t count) {
    operation_ = "write";
    ++framesThisPass_;
    return port_.Write(buffer, count);
}

std::int32_t TRecordingPort::Read(void* buffer, std::int32_t count) {
    operation_ = "read";
    return port_.Read(buffer, count);
}

void TRecordingPort::DiscardInput() {
    operation_ = "discard of the input";
    port_.DiscardInput();
}

std::int32_t TRecordingPort::InputCount() {
    operation_ = "count of the input";
    return port_.InputCount();
}

void TRecordingPort::Close() {
    operation_ = "close";
    port_.Close();
}

std::string TRecordingPort::OpenFailureHint(std::int32_t osErrorCode) const {
    return port_.OpenFailureHint(osErrorCode);
}

void TRecordingPort::NoteError(const std::string& text) {
    record_.error = text;
    record_.errorDuring = operation_;
    record_.errorFrame = framesThisPass_ > 0 ? framesThisPass_ - 1 : 0;
    record_.errorPassStarted = passStarted_;
}

void TRecordingReporter::SetProgressMax(int maximum) {
    record_.lines = maximum;
    target_.SetProgressMax(maximum);
}

void TRecordingReporter::SetResultText(const std::string& text) {
    record_.resultText = text;
    target_.SetResultText(text);
}

void TRecordingReporter::ShowAdvice() {
    record_.adviceShown = true;
    target_.ShowAdvice();
}

void TRecordingReporter::ShowMissingPayload() {
    record_.missingPayload = true;
    target_.ShowMissingPayload();
}

void TRecordingReporter::ShowAdviceText(const std::string& text) {
    record_.adviceShown = true;
    record_.advice = text;
    target_.ShowAdviceText(text);
}

void TRecordingReporter::PassEnded(const PassRecord& pass) {
    record_.passes.push_back(pass);
    target_.PassEnded(pass);
}

std::string LineSettingsText(const TComLineSettings& line, const TComTimeoutValues& timeouts) {
    static const char* const parities[] = {"no parity", "odd parity", "even parity", "mark parity",
                                           "space parity"};
    static const char* const stops[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    const bool flow = line.outCtsFlow || line.outDsrFlow || line.outX || line.inX ||
                      line.rtsControl == 2 || line.dtrControl == 2;
    return std::to_string(line.baudRate) + " baud, " + std::to_string(line.byteSize) +
           " data bits, " + (line.parity < 5 ? parities[line.parity] : "parity ?") + ", " +
           (line.stopBits < 3 ? stops[line.stopBits] : "stop bits ?") + ", " +
           (flow ? "flow control" : "no flow control") + ", DTR " +
           (line.dtrControl == 0 ? "off" : "on") + ", RTS " +
           (line.rtsControl == 0 ? "off" : "on") + ", read time-out " +
           std::to_string(timeouts.readTotalMultiplier) + " ms a byte + " +
           std::to_string(timeouts.readTotalConstant) + " ms";
}

std::string FormatRunRecord(const TRunRecord& record) {
    using std::to_string;
    std::string out = kRecordMark + Stamp(record.started, true) +
                      "  TOLVAR Update " TOLVAR_PROGRAM_VERSION
                      ", firmware " TOLVAR_FIRMWARE_VERSION "\n";
    out += "system: " + OneLine(record.system) + "\n";
    out += "port: " + OneLine(record.port);
    if (!record.portDetails.empty())
        out += " (" + OneLine(record.portDetails) + ")";
    out += "\n";
    if (!record.line.empty())
        out += "line: " + record.line + "\n";
    for (const PassRecord& pass : record.passes)
        out += "pass " + to_string(pass.number) + ": " + Stamp(pass.started, false) + ", " +
               FrameText(pass.reached, pass.lines) + ": " + EndText(pass) + ", " +
               Seconds(pass.took) + "\n";
    if (!record.error.empty()) {
        out += "pass " + to_string(record.passes.size() + 1) + ": " +
               Stamp(record.errorPassStarted, false) + ", " +
               FrameText(record.errorFrame, record.lines) + ": cut by an error on " +
               record.errorDuring + "\n";
        out += "result: error shown, the wizard stays on the programming page: \"" +
               OneLine(record.error) + "\"\n";
    } else if (record.missingPayload) {
        out += "result: the firmware is missing from the program, box shown\n";
    } else if (record.openError != 0) {
        out += "port failure: port error " + to_string(record.openError) + ", system error code " +
               to_string(record.openOsError) + "\n";
        if (!record.advice.empty())
            out += "advice shown: \"" + OneLine(record.advice) + "\"\n";
    }
    if (!record.resultText.empty()) {
        const char* verdict = record.resultText == kUploadSuccessText   ? "success"
                              : record.resultText == kUploadFailureText ? "failure"
                              : record.openError != 0                   ? "port failure"
                                                                        : "other";
        out += std::string("result: ") + verdict + ": \"" + OneLine(record.resultText) + "\"";
        if (record.adviceShown && record.advice.empty())
            out += ", advice to check the connections shown";
        out += "\n";
    }
    return out + "\n";
}

std::string BoundedLog(const std::string& log, const std::string& record) {
    std::string joined = log;
    if (!joined.empty() && joined.back() != '\n')
        joined += '\n'; // a record cut short (a full disk) stays apart from the next
    joined += record;
    std::vector<std::size_t> starts = RecordStarts(joined);
    std::size_t first = 0;
    while (first + 1 < starts.size() &&
           (starts.size() - first > static_cast<std::size_t>(kLogRuns) ||
            joined.size() - starts[first] > kLogBytes))
        ++first;
    return starts.empty() ? joined : joined.substr(starts[first]);
}

std::string NewestRecord(const std::string& log) {
    const std::vector<std::size_t> starts = RecordStarts(log);
    if (starts.empty() || log.compare(starts.back(), 3, kRecordMark) != 0)
        return std::string();
    std::string newest = log.substr(starts.back());
    while (newest.size() > 1 && newest.back() == '\n' && newest[newest.size() - 2] == '\n')
        newest.pop_back();
    return newest;
}

bool AppendRunRecord(const std::string& path, const std::string& record,
                     std::chrono::milliseconds wait) noexcept {
    try {
        if (path.empty() || !MakeFolderFor(path))
            return false;
        bool written = false;
        RunLocked(path + ".lock", wait, [&] {
            std::string log;
            if (ReadWholeFile(path, log) == TFileRead::Failed)
                return; // there but unreadable: never replace what cannot be read
            const std::string next = BoundedLog(log, record);
            if (next.size() > log.size() && next.compare(0, log.size(), log) == 0) {
                written = WriteWholeFile(path, next.substr(log.size()), true);
                return;
            }
            // Dropping old records rewrites the file: beside it first, then in its place, so
            // that a failure leaves the old log whole.
            const std::string fresh = path + ".new";
            written = WriteWholeFile(fresh, next, false) && PutFileInPlace(fresh, path);
            if (!written)
                RemoveFile(fresh);
        });
        return written;
    } catch (...) {
        return false;
    }
}

bool KeepRunRecord(TRunRecord& record) noexcept {
    try {
        record.system = SystemText();
        return AppendRunRecord(RunLogPath(), FormatRunRecord(record));
    } catch (...) {
        return false;
    }
}

std::string ShownErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EComPort& e) {
        return ExceptionDisplayText(e.Message()) + " [port error " +
               std::to_string(e.PortErrorCode()) + ", system error code " +
               std::to_string(e.OsErrorCode()) + "]";
    } catch (const EAbort&) {
        return "(a silent abort, nothing shown)";
    } catch (const Exception& e) {
        return ExceptionDisplayText(e.Message());
    } catch (const std::exception& e) {
        return std::string("(shown without a text) ") + e.what();
    } catch (...) {
        return "(shown without a text)";
    }
}

std::string RunLogReport() {
    const std::string path = RunLogPath();
    if (path.empty())
        return "The system names no folder for the log.\n";
    std::string log;
    ReadWholeFile(path, log);
    const std::string newest = NewestRecord(log);
    return path + "\n\n" + (newest.empty() ? std::string("No run recorded yet.\n") : newest);
}

} // namespace tolvar
