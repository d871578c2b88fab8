// The record of a run: what the real upload leaves in it through a scripted port, the log's bound,
// its lock, and a log that cannot be written.
#include "app/RunLog.h"

#include "serial/EComPort.h"
#include "update/FirmwareUpload.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <thread>

namespace tolvar {
namespace {

// Two records and the end-of-file record.
const std::string kPayload = ":03000B00020046AA\r\n:0100000000FF\r\n:00000001FF\r\n";

struct Script {
    std::map<std::pair<int, int>, std::vector<std::uint8_t>> replies; // (pass, frame): default ACK
    bool silent = false;
    int failOpen = 0; // system error code of a refused open
    std::string hint;
    std::pair<int, int> readFails{0, 0}; // (pass, frame) whose reply read raises
};

// Answers each frame from the script, as a line that delivers every reply in time.
class ScriptedPort final : public UploadPort {
public:
    explicit ScriptedPort(Script script) : script_(std::move(script)) {}
    void Open() override {
        if (script_.failOpen != 0)
            throw EComPort(CError_OpenFailed, script_.failOpen);
        ++pass_;
        frame_ = -1;
    }
    std::int32_t Write(const void*, std::int32_t count) override {
        ++frame_;
        const auto it = script_.replies.find({pass_, frame_});
        pending_ = it != script_.replies.end() ? it->second
                   : script_.silent            ? std::vector<std::uint8_t>{}
                                               : std::vector<std::uint8_t>{kAck};
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t) override {
        if (std::make_pair(pass_, frame_) == script_.readFails)
            throw EComPort(CError_ReadFailed, 5);
        if (pending_.empty())
            return 0;
        *static_cast<std::uint8_t*>(buffer) = pending_.front();
        pending_.erase(pending_.begin());
        return 1;
    }
    void DiscardInput() override { pending_.clear(); }
    void Close() override { pending_.clear(); }
    std::string OpenFailureHint(std::int32_t) const override { return script_.hint; }

private:
    Script script_;
    int pass_ = 0;
    int frame_ = -1;
    std::vector<std::uint8_t> pending_;
};

// The run as the window makes it: the upload through both recorders, an error noted on its way
// out. Times and the header's stamp are masked.
std::string RecordOf(const Script& script) {
    ScriptedPort scripted(script);
    NullUploadReporter window;
    TRunRecord record;
    record.port = "COM3";
    record.portDetails = "FT232R USB UART, FTDI, USB 0403:6001";
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
    if (port.Opened())
        record.line = "8N2";
    std::string text = FormatRunRecord(record);
    text = std::regex_replace(text, std::regex(R"(^== .*\n)"), "");
    text = std::regex_replace(text, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)"), "T");
    return std::regex_replace(text, std::regex(R"(\d+\.\d\d s)"), "S");
}

TEST(RunRecord, SaysForEachOutcomeWhatTheLineDid) {
    const std::string head = "system: \nport: COM3 (FT232R USB UART, FTDI, USB 0403:6001)\n";
    const std::string line = "line: 8N2\n";
    const std::string failed = "result: failure: \"Uaktualnienie oprogramowania / zostało "
                               "zakończone błędem.\", advice to check the connections shown\n\n";
    const std::string succeeded =
        "result: success: \"Uaktualnienie oprogramowania / zostało zakończone sukcesem.\"\n\n";
    Script retry;
    retry.replies[{1, 2}] = {0x15};
    Script silent;
    silent.silent = true;
    Script refusal;
    for (int pass = 1; pass <= 4; ++pass)
        refusal.replies[{pass, 2}] = {0x15};
    Script noise;
    noise.replies[{1, 1}] = {0x5A};
    Script held;
    held.failOpen = 16;
    held.hint = "PORT JEST UŻYWANY PRZEZ PROGRAM minicom (PID 4242).\r\nZAMKNIJ GO.";
    Script pulled;
    pulled.replies[{1, 3}] = {0x15};
    pulled.readFails = {2, 2};
    const std::string pulledText = ShownErrorText(std::make_exception_ptr(EComPort(3, 5)));
    ASSERT_NE(pulledText.find("[port error 3, system error code 5]"), std::string::npos);

    const std::vector<std::pair<Script, std::string>> cases = {
        {retry, head + line + "pass 1: T, record 2 of 3: refused with 0x15 (NAK), S\n" +
                    "pass 2: T, end-of-file record (3 of 3): whole image acknowledged, S\n" +
                    succeeded},
        {silent, head + line + "pass 1: T, start record: no reply within the time-out, S\n" +
                     "pass 2: T, start record: no reply within the time-out, S\n" +
                     "pass 3: T, start record: no reply within the time-out, S\n" +
                     "pass 4: T, start record: no reply within the time-out, S\n" + failed},
        {refusal, head + line + "pass 1: T, record 2 of 3: refused with 0x15 (NAK), S\n" +
                      "pass 2: T, record 2 of 3: refused with 0x15 (NAK), S\n" +
                      "pass 3: T, record 2 of 3: refused with 0x15 (NAK), S\n" +
                      "pass 4: T, record 2 of 3: refused with 0x15 (NAK), S\n" + failed},
        {noise, head + line + "pass 1: T, record 1 of 3: garbage byte 0x5A, S\n" +
                    "pass 2: T, end-of-file record (3 of 3): whole image acknowledged, S\n" +
                    succeeded},
        {held, head + "port failure: port error 1, system error code 16\n" +
                   "advice shown: \"PORT JEST UŻYWANY PRZEZ PROGRAM minicom (PID 4242). / "
                   "ZAMKNIJ GO.\"\n" +
                   "result: port failure: \"Błąd inizjalizacji portu szeregowego. / Port może "
                   "być używany przez inny program. / Uaktualnienie oprogramowania / zostało "
                   "zakończone błędem.\"\n\n"},
        {pulled, head + line +
                     "pass 1: T, end-of-file record (3 of 3): refused with 0x15 (NAK), S\n" +
                     "pass 2: T, record 2 of 3: cut by an error on read\n" +
                     "result: error shown, the wizard stays on the programming page: \"" +
                     pulledText + "\"\n\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(RecordOf(cases[i].first), cases[i].second) << "case " << i;
}

// Bytes that could not be a reply are counted beside what ended the pass.
TEST(RunRecord, CountsTheBytesAPassDropped) {
    TRunRecord record;
    PassRecord pass;
    pass.number = 3;
    pass.reached = 7;
    pass.lines = 836;
    pass.end = PassRecord::End::Unanswered;
    pass.dropped = 2;
    pass.took = std::chrono::milliseconds(1520);
    record.passes.push_back(pass);
    EXPECT_TRUE(
        std::regex_search(FormatRunRecord(record),
                          std::regex(R"(\npass 3: \d\d:\d\d:\d\d\.\d{3}, record 7 of 836: no )"
                                     R"(reply within the time-out, 2 byte\(s\) dropped that )"
                                     R"(could not be a reply, 1\.52 s\n)")));
}

TEST(RunRecord, StartsWithTheLocalTimeAndItsOffsetAndTheVersions) {
    TRunRecord record;
    record.started = std::chrono::system_clock::now();
    EXPECT_TRUE(std::regex_search(
        FormatRunRecord(record), std::regex(R"(^== \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d  )"
                                            R"(TOLVAR Update \d+\.\d+\.\d+, firmware 1\.6\.0\n)")));
    // 2026-12-10 03:12:45 UTC read in zones east and west of Greenwich, across a date line.
    const std::time_t utc = 1796872365;
    auto local = [](int year, int month, int day, int hour, int minute) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = 45;
        return tm;
    };
    EXPECT_EQ(StampText(local(2026, 12, 10, 3, 12), utc), "2026-12-10 03:12:45 +00:00");
    EXPECT_EQ(StampText(local(2026, 12, 10, 8, 42), utc), "2026-12-10 08:42:45 +05:30");
    EXPECT_EQ(StampText(local(2026, 12, 9, 22, 12), utc), "2026-12-09 22:12:45 -05:00");
}

std::string Record(int n, std::size_t size = 0) {
    std::string body = "== run " + std::to_string(n) + "\n";
    body += std::string(size > body.size() + 2 ? size - body.size() - 2 : 0, 'x') + "\n\n";
    return body;
}

std::string Records(int from, int to, std::size_t size = 0) {
    std::string log;
    for (int n = from; n <= to; ++n)
        log += Record(n, size);
    return log;
}

TEST(RunLog, KeepsTheNewestRecordsWithinBothBounds) {
    struct Case {
        std::string log;
        std::string record;
        std::string kept;
    };
    const std::size_t big = kLogBytes / 8;
    const std::vector<Case> cases = {
        {"", Record(1), Record(1)},
        {Records(1, 49), Record(50), Records(1, 50)},
        {Records(1, 50), Record(51), Records(2, 51)},
        {Records(1, 9, big), Record(10, big), Records(3, 10, big)},
        // What was there before the first record, and a record cut short, stay apart.
        {"stray\n" + Records(1, 2) + "== cut", Record(3),
         "stray\n" + Records(1, 2) + "== cut\n" + Record(3)},
        // The run being written stays, whatever its size.
        {Records(1, 3), Record(4, kLogBytes + 10), Record(4, kLogBytes + 10)},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(BoundedLog(cases[i].log, cases[i].record), cases[i].kept) << "case " << i;
    }
    EXPECT_EQ(NewestRecord(Records(1, 3)), "== run 3\n");
    EXPECT_EQ(NewestRecord("stray\n"), "");
}

class LogFolder : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tolvar-log-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = folder_ / "sub" / "tolvar-update.log";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Read() {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

// The folder is made, records are appended, and past the bound the file is replaced whole.
TEST_F(LogFolder, AppendsAndRotatesAtTheBound) {
    for (int n = 1; n <= kLogRuns + 2; ++n)
        ASSERT_TRUE(AppendRunRecord(path_, Record(n))) << n;
    EXPECT_EQ(Read(), Records(3, kLogRuns + 2));
    EXPECT_FALSE(std::filesystem::exists(path_.string() + ".new"));
}

// Writers of two programs at once (each its own handle on the lock) never mix their records.
TEST_F(LogFolder, WritersAtOnceNeverInterleave) {
    const std::size_t size = 2000;
    auto writer = [&](int from) {
        for (int n = from; n < from + 30; ++n)
            AppendRunRecord(path_, Record(n, size));
    };
    std::thread first(writer, 100);
    std::thread second(writer, 200);
    first.join();
    second.join();
    const std::string log = Read();
    std::size_t records = 0;
    for (std::size_t at = 0; at < log.size(); at += size, ++records)
        ASSERT_TRUE(
            std::regex_match(log.substr(at, size), std::regex(R"(== run [12]\d\d\nx+\n\n)")))
            << at;
    EXPECT_EQ(records, static_cast<std::size_t>(kLogRuns));
}

// A folder that cannot be made (its parent is a file, which stops root as well) or a log that
// is a folder: nothing written, nothing raised.
TEST_F(LogFolder, AnUnwritableLogIsLeftAloneQuietly) {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "file") << "x";
    EXPECT_FALSE(AppendRunRecord(folder_ / "file" / "tolvar-update.log", Record(1)));
    std::filesystem::create_directories(path_);
    EXPECT_FALSE(AppendRunRecord(path_, Record(1)));
    EXPECT_FALSE(AppendRunRecord({}, Record(1)));
}

} // namespace
} // namespace tolvar
