#include "serial/Platform.h"

namespace tolvar {

// Windows has no group a user must join for a serial port.
std::string PortAccessHint(const std::string&, std::int32_t) {
    return std::string();
}

} // namespace tolvar
