#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tolvar {

// Read-only bytes of an RCDATA resource of this program's own module, valid for the life of the
// program; nothing when the resource is missing or cannot be loaded. Windows only.
struct ResourceBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};
std::optional<ResourceBytes> LoadRcDataResource(std::uint16_t id);
std::optional<ResourceBytes> LoadRcDataResource(const char* name);

} // namespace tolvar
