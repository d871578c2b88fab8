#include "framework/TextLookup.h"

#include <algorithm>
#include <mutex>

#if TOLVAR_HAVE_LIBINTL
#include <cstdlib>
#include <libintl.h>
#include <windows.h>
#endif

namespace tolvar {

namespace {

struct LookupState {
    bool initialised = false;
    bool active = false; // false: nothing is translated
    std::string catalogueDir;
    std::vector<std::string> resourceDomains{"default"};
    std::vector<std::string> bound;
};

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}

LookupState& State() {
    static LookupState s;
    return s;
}

#if TOLVAR_HAVE_LIBINTL

std::string ExecutableDir() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return ".";
    const std::string full(path, n);
    const auto slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
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

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : ":") + p;
    return out;
}

void Initialise(LookupState& s) {
    if (s.initialised)
        return;
    s.initialised = true;
    s.catalogueDir = ExecutableDir() + "\\locale";
    const auto languages = CatalogueLanguages(UserLocaleName());
    s.active = !languages.empty();
    if (s.active)
        _putenv_s("LANGUAGE", Join(languages).c_str());
    s.bound.clear();
}

const char* Lookup(LookupState& s, const std::string& domain, const char* msgid) {
    if (std::find(s.bound.begin(), s.bound.end(), domain) == s.bound.end()) {
        s.bound.push_back(domain);
        bindtextdomain(domain.c_str(), s.catalogueDir.c_str());
        bind_textdomain_codeset(domain.c_str(), "UTF-8");
    }
    return dgettext(domain.c_str(), msgid);
}

#else

// Without libintl no catalogue can be read: the lookup stays inactive.
void Initialise(LookupState& s) {
    s.initialised = true;
}

const char* Lookup(LookupState&, const std::string&, const char* msgid) {
    return msgid;
}

#endif

} // namespace

std::string TranslateText(const std::string& domain, const std::string& text) {
    if (text.empty())
        return text;
    std::lock_guard lock(Mutex());
    auto& s = State();
    Initialise(s);
    if (!s.active)
        return text;
    return Lookup(s, domain, text.c_str());
}

std::string TranslateResourceText(const std::string& text) {
    if (text.empty())
        return text;
    std::lock_guard lock(Mutex());
    auto& s = State();
    Initialise(s);
    if (!s.active)
        return text;
    for (const auto& domain : s.resourceDomains) {
        const char* result = Lookup(s, domain, text.c_str());
        if (result != text.c_str())
            return result;
    }
    return text;
}

void AddResourceTextDomain(const std::string& domain) {
    std::lock_guard lock(Mutex());
    auto& domains = State().resourceDomains;
    if (std::find(domains.begin(), domains.end(), domain) == domains.end())
        domains.push_back(domain);
}

void ResetTextLookup() {
    std::lock_guard lock(Mutex());
    State().initialised = false;
}

} // namespace tolvar
