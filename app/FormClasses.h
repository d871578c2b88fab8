#pragma once

#include "framework/ClassRegistry.h"

namespace tolvar {

// Every class the main form's description may name: the framework's controls, the wizard
// frame and its pages, the serial port object and TForm1 itself.
const TClassRegistry& FormClasses();

} // namespace tolvar
