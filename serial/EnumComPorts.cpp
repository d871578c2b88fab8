#include "serial/EnumComPorts.h"

#include <algorithm>
#include <locale>
#include <stdexcept>

namespace tolvar {

namespace {

TComPortSource& InjectedSource() {
    static TComPortSource source;
    return source;
}

#ifndef _WIN32
std::string Folded(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}
#endif

} // namespace

#ifndef _WIN32
// Windows orders the names with its own locale comparison (serial/win32).
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
#endif

void EnumComPorts(std::vector<std::string>& target, const TComPortSource& source) {
    std::vector<std::string> names = source ? source() : SystemComPorts();
    SortComPortNames(names);
    target = std::move(names);
}

void EnumComPorts(std::vector<std::string>& target) {
    EnumComPorts(target, InjectedSource());
}

TComPortSource SetComPortSource(TComPortSource source) {
    TComPortSource previous = std::move(InjectedSource());
    InjectedSource() = std::move(source);
    return previous;
}

#ifndef _WIN32
void EnumComPorts(std::vector<std::string>& target, const std::string& sysfsRoot) {
    EnumComPorts(target, [&sysfsRoot] { return SysfsComPorts(sysfsRoot); });
}
#endif

} // namespace tolvar
