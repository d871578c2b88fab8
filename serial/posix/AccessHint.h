#pragma once

#include <string>

namespace tolvar {

// The explanation for a user who may not open a port: the group that owns the device.
std::string AccessHintText(const std::string& group);

} // namespace tolvar
