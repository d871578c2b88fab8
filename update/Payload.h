#pragma once

#include "update/HexImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvar {

// Read-only bytes of the firmware payload; valid for the life of the program.
struct PayloadView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

inline std::string_view PayloadText(const PayloadView& view) {
    return {reinterpret_cast<const char*>(view.data), view.size};
}

// Number of LF-terminated lines (the progress maximum).
int CountLines(PayloadView payload);

// Cuts the payload into lines: up to and including each CR, with every LF dropped.
class LineCursor {
public:
    enum class Step {
        Line,         // Line() holds the next line, colon first, CR last
        End,          // payload exhausted cleanly (nothing but LF after the last CR)
        Overlong,     // a line would not fit the line buffer
        Unterminated, // bytes at the end of the payload without a CR
    };

    explicit LineCursor(PayloadView payload) : payload_(payload) {}

    void Reset() {
        position_ = 0;
        length_ = 0;
        broken_ = false;
    }
    // A broken payload stays broken: after Overlong or Unterminated every step repeats it.
    Step Next();

    const std::uint8_t* Line() const { return buffer_.data(); }
    std::size_t LineSize() const { return length_; }

private:
    PayloadView payload_;
    std::size_t position_ = 0;
    std::size_t length_ = 0;
    bool broken_ = false;
    Step brokenStep_ = Step::End;
    std::array<std::uint8_t, kMaxLineBytes> buffer_{};
};

// True when a cursor walks the whole payload to End: no over-long line, nothing left without
// its CR. The upload refuses to start otherwise, so it never claims to have sent a payload that
// it could not send completely.
bool PayloadIsWhole(PayloadView payload);

} // namespace tolvar
