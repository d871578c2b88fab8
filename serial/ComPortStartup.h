#pragma once

namespace tolvar {

// Start-up of the serial port module, run before its first use: adds the "cport" domain to
// those searched for the framework's resource texts. Runs once; later calls do nothing.
void ComPortModuleStartup();

} // namespace tolvar
