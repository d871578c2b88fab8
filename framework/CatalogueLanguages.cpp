#include "framework/TextLookup.h"

#include <algorithm>

namespace tolvar {

std::vector<std::string> CatalogueLanguages(const std::string& localeName) {
    const std::string full = localeName.substr(0, localeName.find_first_of(".@"));
    if (full.empty() || full == "C" || full == "POSIX")
        return {};
    // The code becomes part of a file path: letters, digits, '_' and '-' only.
    const bool plain = std::all_of(full.begin(), full.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
    if (!plain)
        return {};
    std::vector<std::string> out{full};
    const auto underscore = full.find('_');
    if (underscore != std::string::npos && underscore > 0)
        out.push_back(full.substr(0, underscore));
    return out;
}

} // namespace tolvar
