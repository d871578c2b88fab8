#pragma once

#include <string>
#include <vector>

namespace tolvar {

// Serial devices present under a sysfs root ("/sys"), as device paths: every class/tty/<name>
// with a device/driver, except legacy ttyS ports whose UART type is 0.
std::vector<std::string> SysfsComPorts(const std::string& sysfsRoot);

} // namespace tolvar
