#pragma once

#include "serial/PortDetails.h"

#include <string>
#include <vector>

namespace tolvar {

// Serial devices present under a sysfs root ("/sys"), as device paths: every class/tty/<name>
// with a device/driver, except legacy ttyS ports whose UART type is 0.
std::vector<std::string> SysfsComPorts(const std::string& sysfsRoot);

// What sysfs under a root tells of the device behind a device path: for USB and ACM devices
// the product and manufacturer strings, the vendor and product ids and the serial number; a
// device on no USB bus is an on-board UART. Nothing when the tty has no device or sysfs cannot
// be read.
TPortFacts SysfsPortFacts(const std::string& sysfsRoot, const std::string& devicePath);

} // namespace tolvar
