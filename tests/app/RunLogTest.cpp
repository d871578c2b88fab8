// The record of a run: what the real upload leaves in it through a scripted port, the log's bound,
// its lock, and a log that cannot be written.
#include "app/RunLog.h"

#include "app/Platform.h"
#include "serial/EComPort.h"
#include "update/FirmwareUpload.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <utility>

namespace tolvar {
namespace {

// Two records and the end-of-file record.
const std::string kPayload = ":03000B00020046AA\r\n:0100000000FF\r\n:00000001FF\r\n";
constexpr int kSilent = -1;
constexpr int kPulled = -2; // the read of the reply raises, as for an adapter pulled out

// Answers frame f (0 the start record) of pass p with reply(p, f), every reply in time.
class ScriptedPort final : public UploadPort {
public:
    std::function<int(int, int)> reply;
    int openError = 0; // the system's code of a refused open
    void Open() override {
        if (openError != 0)
            throw EComPort(CError_OpenFailed, openError);
        ++pass_;
        frame_ = -1;
    }
    std::int32_t Write(const void*, std::int32_t count) override {
        pending_ = reply(pass_, ++frame_);
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t) override {
        if (pending_ == kPulled)
            throw EComPort(CError_ReadFailed, 5);
        *static_cast<std::uint8_t*>(buffer) = static_cast<std::uint8_t>(pending_);
        return std::exchange(pending_, kSilent) == kSilent ? 0 : 1;
    }
    void DiscardInput() override {}
    std::int32_t InputCount() override { return 0; }
    void Pause(std::chrono::microseconds) override {}
    void Close() override { pending_ = kSilent; }
    std::string OpenFailureHint(std::int32_t) const override { return "HELD BY minicom\r\nCLOSE"; }

private:
    int pass_ = 0;
    int frame_ = -1;
    int pending_ = kSilent;
};

// The run as the window makes it: the upload through both recorders, an error noted on its way
// out. The header and the times are masked.
std::string RecordOf(ScriptedPort& scripted) {
    NullUploadReporter window;
    TRunRecord record;
    record.port = "COM3";
    TRecordingReporter reporter(window, record);
    TRecordingPort port(scripted, record);
    try {
        RunFirmwareUpload(port, reporter, [] {
            return std::optional<PayloadView>(PayloadView{
                reinterpret_cast<const std::uint8_t*>(kPayload.data()), kPayload.size()});
        });
    } catch (...) {
        port.NoteError(ShownErrorText(std::current_exception()));
    }
    std::string text = std::regex_replace(FormatRunRecord(record), std::regex("^== .*\n"), "");
    text = std::regex_replace(text, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)"), "T");
    return std::regex_replace(text, std::regex(R"(\d+\.\d\d s)"), "S");
}

std::string Passes(int from, int to, const std::string& end) {
    std::string text;
    for (int pass = from; pass <= to; ++pass)
        text += "pass " + std::to_string(pass) + ": T, " + end + ", S\n";
    return text;
}

TEST(RunRecord, SaysForEachOutcomeWhatTheLineDid) {
    const std::string whole =
        Passes(2, 2, "end-of-file record (3 of 3): whole image acknowledged") +
        "result: success: \"Uaktualnienie oprogramowania / zostało "
        "zakończone sukcesem.\"\n\n";
    const std::string failed = "result: failure: \"Uaktualnienie oprogramowania / zostało "
                               "zakończone błędem.\", advice to check the connections shown\n\n";
    struct Case {
        std::function<int(int, int)> reply;
        int openError;
        std::string record;
    };
    const std::vector<Case> cases = {
        {[](int p, int f) { return p == 1 && f == 2 ? 0x15 : kAck; }, 0,
         Passes(1, 1, "record 2 of 3: refused with 0x15 (NAK)") + whole},
        {[](int, int) { return kSilent; }, 0,
         Passes(1, 4, "start record: no reply within the time-out") + failed},
        {[](int, int f) { return f == 2 ? 0x15 : kAck; }, 0,
         Passes(1, 4, "record 2 of 3: refused with 0x15 (NAK)") + failed},
        {[](int p, int f) { return p == 1 && f == 1 ? 0x5A : kAck; }, 0,
         Passes(1, 1, "record 1 of 3: garbage byte 0x5A") + whole},
        {[](int p, int f) { return p == 1 && f == 3   ? 0x15
                                   : p == 2 && f == 2 ? kPulled
                                                      : kAck; },
         0,
         Passes(1, 1, "end-of-file record (3 of 3): refused with 0x15 (NAK)") +
             "pass 2: T, record 2 of 3: cut by an error on read\nresult: error shown, the wizard "
             "stays on the programming page: \"" +
             ShownErrorText(std::make_exception_ptr(EComPort(3, 5))) + "\"\n\n"},
        {nullptr, 16,
         "port failure: port error 1, system error code 16\nadvice shown: \"HELD BY minicom / "
         "CLOSE\"\nresult: port failure: \"Błąd inizjalizacji portu szeregowego. / Port może być "
         "używany przez inny program. / Uaktualnienie oprogramowania / zostało zakończone "
         "błędem.\"\n\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ScriptedPort port;
        port.reply = cases[i].reply;
        port.openError = cases[i].openError;
        EXPECT_EQ(RecordOf(port), "system: \nport: COM3\n" + cases[i].record) << "case " << i;
    }
    EXPECT_NE(ShownErrorText(std::make_exception_ptr(EComPort(3, 5)))
                  .find("[port error 3, system error code 5]"),
              std::string::npos);
}

TEST(RunRecord, GivesTheLocalTimeWithItsOffsetTheVersionsAndTheDroppedBytes) {
    TRunRecord record;
    record.started = std::chrono::system_clock::now();
    PassRecord pass;
    pass.number = 3;
    pass.reached = 7;
    pass.lines = 836;
    pass.end = PassRecord::End::Unanswered;
    pass.dropped = 2;
    pass.took = std::chrono::milliseconds(1520);
    record.passes.push_back(pass);
    EXPECT_TRUE(std::regex_match(
        FormatRunRecord(record),
        std::regex(R"(== \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d  TOLVAR Update \d+\.\d+\.)"
                   R"(\d+, firmware 1\.6\.0\nsystem: \nport: \npass 3: \d\d:\d\d:\d\d\.\d{3}, )"
                   R"(record 7 of 836: no reply within the time-out, 2 byte\(s\) dropped that )"
                   R"(could not be a reply, 1\.52 s\n\n)")));
    // 2026-12-10 03:12:45 UTC read in zones east and west of Greenwich, across a date line.
    auto local = [](int day, int hour, int minute) {
        std::tm tm{};
        tm.tm_year = 126;
        tm.tm_mon = 11;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = 45;
        return tm;
    };
    const std::time_t utc = 1796872365;
    EXPECT_EQ(StampText(local(10, 3, 12), utc), "2026-12-10 03:12:45 +00:00");
    EXPECT_EQ(StampText(local(10, 8, 42), utc), "2026-12-10 08:42:45 +05:30");
    EXPECT_EQ(StampText(local(9, 22, 12), utc), "2026-12-09 22:12:45 -05:00");

    // Noise behind a reply names its byte.
    pass.end = PassRecord::End::Noise;
    pass.byte = 0x15;
    pass.dropped = 1;
    record.passes = {pass};
    EXPECT_NE(FormatRunRecord(record).find("record 7 of 836: noise byte 0x15 with or right behind "
                                           "the reply, 1 byte(s) dropped that could not be a "
                                           "reply, 1.52 s\n"),
              std::string::npos);
}

// Records "== run <n>", each `size` bytes long where it is long enough.
std::string Records(int from, int to, std::size_t size = 0) {
    std::string log;
    for (int n = from; n <= to; ++n) {
        const std::string head = "== run " + std::to_string(n) + "\n";
        log +=
            head + std::string(size > head.size() + 2 ? size - head.size() - 2 : 0, 'x') + "\n\n";
    }
    return log;
}

TEST(RunLog, KeepsTheNewestRecordsWithinBothBounds) {
    const std::size_t big = kLogBytes / 8;
    const std::vector<std::array<std::string, 3>> cases = {
        // the log, the record, what is kept
        {"", Records(1, 1), Records(1, 1)},
        {Records(10, 58), Records(59, 59), Records(10, 59)},
        {Records(10, 59), Records(60, 60), Records(11, 60)},
        {Records(11, 19, big), Records(20, 20, big), Records(13, 20, big)},
        // What came before the first record, and a record cut short, stay apart.
        {"stray\n== cut", Records(3, 3), "stray\n== cut\n" + Records(3, 3)},
        // The run being written stays, whatever its size.
        {Records(1, 3), Records(4, 4, kLogBytes + 10), Records(4, 4, kLogBytes + 10)},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(BoundedLog(cases[i][0], cases[i][1]), cases[i][2]) << "case " << i;
    EXPECT_EQ(NewestRecord(Records(1, 3)), "== run 3\n");
    EXPECT_EQ(NewestRecord("stray\n"), "");
}

class LogFolder : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Read() {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() /
        ("tolvar-log-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string path_ = (folder_ / "sub" / "tolvar-update.log").string();
};

// The folder is made, records are appended, and past the bound the file is replaced whole with
// nothing left beside it. While another writer holds the lock nothing is written.
TEST_F(LogFolder, AppendsRotatesAndKeepsToTheLock) {
    for (int n = 1; n <= kLogRuns + 2; ++n)
        ASSERT_TRUE(AppendRunRecord(path_, Records(n, n))) << n;
    EXPECT_EQ(Read(), Records(3, kLogRuns + 2));
    EXPECT_FALSE(std::filesystem::exists(path_ + ".new"));
    bool written = true;
    EXPECT_TRUE(RunLocked(path_ + ".lock", std::chrono::milliseconds(0), [&] {
        written = AppendRunRecord(path_, Records(99, 99), std::chrono::milliseconds(0));
    }));
    EXPECT_FALSE(written);
    EXPECT_EQ(Read(), Records(3, kLogRuns + 2));
}

// A folder that cannot be made (its parent is a file, which stops root as well) or a log that
// is a folder: nothing written, nothing raised.
TEST_F(LogFolder, AnUnwritableLogIsLeftAloneQuietly) {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "file") << "x";
    EXPECT_FALSE(AppendRunRecord((folder_ / "file" / "log").string(), Records(1, 1)));
    std::filesystem::create_directories(path_);
    EXPECT_FALSE(AppendRunRecord(path_, Records(1, 1)));
    EXPECT_FALSE(AppendRunRecord({}, Records(1, 1)));
}

} // namespace
} // namespace tolvar
