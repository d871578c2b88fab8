#include "framework/Platform.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace tolvar::catalogue {

std::string Folder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./locale";
    const std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./locale";
    return path.substr(0, slash) + "/locale";
}

std::string UserLocaleName() {
    // LANG decides; without it, the variables through which the user names a locale.
    for (const char* var : {"LANG", "LC_ALL", "LC_MESSAGES"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

} // namespace tolvar::catalogue
