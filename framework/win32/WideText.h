#pragma once

#include <string>
#include <string_view>

namespace tolvar {

// The system's UTF-16 text as UTF-8.
std::string Utf8FromWide(std::wstring_view text);

} // namespace tolvar
