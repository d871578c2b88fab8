#include "framework/Platform.h"

#include <cstdlib>
#include <windows.h>

namespace tolvar::catalogue {

std::string Folder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return ".\\locale";
    const std::string full(path, n);
    const auto slash = full.find_last_of("\\/");
    return (slash == std::string::npos ? std::string(".") : full.substr(0, slash)) + "\\locale";
}

// LANG when it is set, else the user locale's language and country (pl_PL).
std::string UserLocaleName() {
    const char* lang = std::getenv("LANG");
    if (lang != nullptr && *lang != '\0')
        return lang;
    char language[16] = {};
    char country[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, sizeof language) == 0)
        return {};
    std::string name = language;
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, sizeof country) != 0)
        name += std::string("_") + country;
    return name;
}

} // namespace tolvar::catalogue
