#pragma once

#include <cstdint>
#include <string>

namespace tolvar {

// When a port could not be opened for lack of permission (the platform's error code of the
// failure), a short explanation for the user naming the group that owns the device; empty for
// every other failure and where the platform has no such rule.
std::string PortAccessHint(const std::string& portName, std::int32_t osErrorCode);

// The text of that explanation for a group (POSIX).
std::string AccessHintText(const std::string& group);

} // namespace tolvar
