#include "framework/MessageCatalogue.h"

#include <cstdlib>
#include <windows.h>

#if TOLVAR_HAVE_LIBINTL
#include <libintl.h>
#endif

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

#if TOLVAR_HAVE_LIBINTL

bool UseLanguages(const std::vector<std::string>& languages) {
    std::string list;
    for (const auto& language : languages)
        list += (list.empty() ? "" : ":") + language;
    _putenv_s("LANGUAGE", list.c_str());
    return true;
}

void BindDomain(const std::string& domain, const std::string& folder) {
    bindtextdomain(domain.c_str(), folder.c_str());
    bind_textdomain_codeset(domain.c_str(), "UTF-8");
}

const char* Lookup(const std::string& domain, const char* msgid) {
    return dgettext(domain.c_str(), msgid);
}

#else

// Without libintl no catalogue can be read: every text reads as given.
bool UseLanguages(const std::vector<std::string>&) {
    return false;
}

void BindDomain(const std::string&, const std::string&) {}

const char* Lookup(const std::string&, const char* msgid) {
    return msgid;
}

#endif

} // namespace tolvar::catalogue
