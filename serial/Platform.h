#pragma once

#include "serial/ComDevice.h"
#include "serial/ComWatcher.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a platform supplies to the serial port: one implementation of each per platform, in the
// platform's folders (serial/posix/ and serial/linux/ on Linux, serial/win32/ on Windows).
namespace tolvar {

class TCustomComPort;

// The serial device behind the port object.
std::unique_ptr<TComDevice> CreateComDevice();

// Starts the event watcher of an open port; nothing where the platform leaves the watcher out.
std::unique_ptr<TComWatcher> StartComWatcher(TCustomComPort& port);

// The port names the system has, in any order; raises EComPort 23 when it cannot say.
std::vector<std::string> SystemComPorts();

// Sorts port names in the list's order: letter case ignored, under the user's collation.
void SortComPortNames(std::vector<std::string>& names);

// What the system knows of the device behind each port name, one line per name in the same
// order (PortDetailText), empty where nothing can be read. Read once, with the list.
std::vector<std::string> SystemComPortDetails(const std::vector<std::string>& names);

// What identifies the device that a port name opens, so that a stored name ("COM1") matches the
// entry of the same device ("/dev/ttyS0"); empty where names are the only key.
std::string PortDeviceKey(const std::string& portName);

// A short explanation for the user of why a port could not be opened (the platform's error
// code of the failure), such as the group a user must join; empty when there is none.
std::string PortAccessHint(const std::string& portName, std::int32_t osErrorCode);

} // namespace tolvar
