#pragma once

#include "serial/PortDetails.h"

#include <string>
#include <vector>

namespace tolvar {

// One device of the ports class as SetupAPI knows it.
struct TSetupApiPort {
    std::string portName;     // the PortName value of its device key: "COM3"
    std::string friendlyName; // "USB Serial Port (COM3)"
    std::string maker;        // its manufacturer property: "FTDI"
    std::string instanceId;   // "USB\VID_0403&PID_6001\A5XK3RJT"
};

// The devices of the ports class that are present; none when SetupAPI cannot be used.
std::vector<TSetupApiPort> SetupApiPorts();

// What a device's properties and instance id tell: the friendly name without its "(COMn)"
// suffix, the maker, and for USB devices the ids and the serial number where the instance id
// carries one.
TPortFacts SetupApiPortFacts(const TSetupApiPort& port);

// One line per name (PortDetailText), matched by PortName, letter case ignored; empty for a
// name that no device has.
std::vector<std::string> SetupApiPortDetails(const std::vector<std::string>& names,
                                             const std::vector<TSetupApiPort>& ports);

} // namespace tolvar
