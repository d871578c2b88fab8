#include "update/Payload.h"

#include <algorithm>

namespace tolvar {

int CountLines(PayloadView payload) {
    if (payload.data == nullptr)
        return 0;
    return static_cast<int>(std::count(payload.data, payload.data + payload.size, '\n'));
}

LineCursor::Step LineCursor::Next() {
    if (broken_)
        return brokenStep_;
    length_ = 0;
    bool collected = false;
    while (position_ < payload_.size) {
        const std::uint8_t byte = payload_.data[position_++];
        if (byte == '\n')
            continue;
        if (length_ == buffer_.size()) {
            // The line does not fit: report it instead of writing past the buffer.
            broken_ = true;
            brokenStep_ = Step::Overlong;
            length_ = 0;
            return brokenStep_;
        }
        buffer_[length_++] = byte;
        collected = true;
        if (byte == '\r')
            return Step::Line;
    }
    length_ = 0;
    if (collected) {
        // The line lacks its CR: not silently dropped, because it was never sent.
        broken_ = true;
        brokenStep_ = Step::Unterminated;
        return brokenStep_;
    }
    return Step::End;
}

bool PayloadIsWhole(PayloadView payload) {
    LineCursor cursor(payload);
    for (;;) {
        switch (cursor.Next()) {
        case LineCursor::Step::Line:
            break;
        case LineCursor::Step::End:
            return true;
        default:
            return false;
        }
    }
}

} // namespace tolvar
