#include "framework/Platform.h"

namespace tolvar {

// Executables here carry no resources: what travels inside the program is compiled in.
std::optional<ResourceBytes> LoadRcDataResource(std::uint16_t) {
    return std::nullopt;
}

std::optional<ResourceBytes> LoadRcDataResource(const char*) {
    return std::nullopt;
}

} // namespace tolvar
