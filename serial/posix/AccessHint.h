#pragma once

#include <string>

namespace tolvar {

// The explanation for a user who may not open a port: the group that owns the device.
std::string AccessHintText(const std::string& group);

// The explanation for a port that another program holds, naming that program.
std::string HolderHintText(const std::string& name, int pid);

} // namespace tolvar
