// Fuzz target for the readers of payload bytes: the line cursor, the line count, the image
// check, and the upload's framing of whatever lines the cursor yields.

#include "update/FirmwareUpload.h"
#include "update/HexImage.h"
#include "update/Payload.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Acknowledges everything and checks each frame's shape.
class CheckingPort : public tolvar::UploadPort {
public:
    void Open() override {}
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        Require(count >= 1 && count <= static_cast<std::int32_t>(tolvar::kMaxLineBytes));
        Require(bytes[0] == count - 1);
        ++frames;
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        Require(count == 1);
        *static_cast<std::uint8_t*>(buffer) = tolvar::kAck;
        return 1;
    }
    void DiscardInput() override {}
    std::int32_t InputCount() override { return 0; }
    void Pause(std::chrono::microseconds) override {}
    void Close() override {}
    long frames = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tolvar::PayloadView payload{data, size};
    tolvar::LineCursor cursor(payload);
    long lines = 0;
    tolvar::LineCursor::Step step;
    while ((step = cursor.Next()) == tolvar::LineCursor::Step::Line) {
        Require(cursor.LineSize() >= 1 && cursor.LineSize() <= tolvar::kMaxLineBytes);
        Require(cursor.Line()[cursor.LineSize() - 1] == '\r');
        for (std::size_t i = 0; i < cursor.LineSize(); ++i)
            Require(cursor.Line()[i] != '\n');
        ++lines;
    }
    Require(cursor.Next() == step); // the end, or a broken payload, stays so
    const bool whole = step == tolvar::LineCursor::Step::End;
    Require(tolvar::PayloadIsWhole(payload) == whole);
    Require(tolvar::CountLines(payload) >= 0);

    CheckingPort port;
    tolvar::NullUploadReporter reporter;
    const auto result =
        tolvar::RunFirmwareUpload(port, reporter, [&payload] { return std::optional(payload); });
    if (whole) {
        Require(result.outcome == tolvar::UploadResult::Outcome::Success);
        Require(port.frames == lines + 1);
    } else {
        Require(result.outcome == tolvar::UploadResult::Outcome::NoPayload);
        Require(port.frames == 0);
    }

    // An image that passes the build check must also walk cleanly.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!tolvar::CheckHexImage(text))
        Require(whole);
    return 0;
}
