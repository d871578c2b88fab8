#include "serial/Platform.h"

#include <algorithm>
#include <locale>
#include <stdexcept>

namespace tolvar {

namespace {

std::string Folded(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

void SortComPortNames(std::vector<std::string>& names) {
    std::locale user = std::locale::classic();
    try {
        user = std::locale("");
    } catch (const std::runtime_error&) {
        // The user's locale is not installed: plain byte order.
    }
    const auto& collate = std::use_facet<std::collate<char>>(user);
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& n : names)
        keyed.emplace_back(Folded(n), std::move(n));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return collate.compare(a.first.data(), a.first.data() + a.first.size(), b.first.data(),
                               b.first.data() + b.first.size()) < 0;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

} // namespace tolvar
