#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvar::embedded {

// Defined by the source that the build generates from the shipped HEX image.
extern const std::uint8_t kPayload[];
extern const std::size_t kPayloadSize;

} // namespace tolvar::embedded
