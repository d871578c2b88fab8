#pragma once

#include <string>

// What a platform supplies to the application; one implementation per platform (app/posix/,
// app/win32/).
namespace tolvar {

// The stored description of the main form, embedded in the executable; raises Exception when
// it is missing.
std::string StoredForm1Description();

} // namespace tolvar
