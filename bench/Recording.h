#pragma once

// The traffic of one clean pass of the upload, for a bare loop to replay: every frame the
// upload writes, each one acknowledged.

#include "update/FirmwareUpload.h"
#include "update/Upload.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tolvar::bench {

class RecordingPort : public UploadPort {
public:
    void Open() override {}
    void Close() override {}
    void DiscardInput() override {}
    std::int32_t InputCount() override { return 0; }
    void Pause(std::chrono::microseconds) override {}
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        frames.emplace_back(bytes, bytes + count);
        return count;
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        std::fill_n(static_cast<std::uint8_t*>(buffer), count, std::uint8_t{0x06});
        return count;
    }

    std::vector<std::vector<std::uint8_t>> frames;
};

// The frames of one clean pass of the shipped image.
inline std::vector<std::vector<std::uint8_t>> RecordedFrames() {
    RecordingPort recording;
    NullUploadReporter quiet;
    RunFirmwareUpload(recording, quiet);
    return recording.frames;
}

} // namespace tolvar::bench
