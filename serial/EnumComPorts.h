#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tolvar {

// Yields the raw port names of the system in any order, or raises EComPort 23.
using TComPortSource = std::function<std::vector<std::string>()>;

// Replaces `target` with the port names, sorted ascending, letter case ignored, textual (COM1,
// COM10, COM2), duplicates kept. On failure raises EComPort 23 with the source's error code and
// leaves `target` untouched.
void EnumComPorts(std::vector<std::string>& target);
void EnumComPorts(std::vector<std::string>& target, const TComPortSource& source);

// Replaces the source that EnumComPorts(target) uses; an empty one restores the system's.
// Returns the previous one (empty for the system's).
TComPortSource SetComPortSource(TComPortSource source);

} // namespace tolvar
