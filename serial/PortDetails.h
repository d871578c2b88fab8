#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tolvar {

// What a system tells of the device behind a port, in its own words.
struct TPortFacts {
    std::string product;      // product string or friendly name
    std::string manufacturer; // manufacturer string or maker
    std::string vendorId;     // USB: four hex digits
    std::string productId;    // USB: four hex digits
    std::string serialNumber; // USB, where the device carries one
    bool onBoard = false;     // a UART of the machine itself
};

// The line the dropped list shows beside a port's name; empty when nothing is known.
std::string PortDetailText(const TPortFacts& facts);

// Describes listed port names: one line per name, in the same order, empty where nothing is
// known.
using TComPortDescriber =
    std::function<std::vector<std::string>(const std::vector<std::string>& names)>;

// The lines for the names: from the system (Platform.h), or from the describer put in place.
// Never raises and always gives one line per name: a failing describer describes nothing, so
// describing can never stop the list from being shown.
std::vector<std::string> DescribeComPorts(const std::vector<std::string>& names);

// Replaces the describer that DescribeComPorts uses; an empty one restores the system's.
// Returns the previous one (empty for the system's).
TComPortDescriber SetComPortDescriber(TComPortDescriber describer);

} // namespace tolvar
