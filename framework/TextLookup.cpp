#include "framework/TextLookup.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <libintl.h>
#include <locale.h>
#include <mutex>
#include <set>
#include <unistd.h>

namespace tolvar {

namespace {

struct LookupState {
    bool initialised = false;
    bool active = false; // false: the language is C, nothing is translated
    std::string catalogueDir;
    std::vector<std::string> resourceDomains{"default"};
    std::set<std::string> bound;
    locale_t messagesLocale = static_cast<locale_t>(nullptr);
};

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}

LookupState& State() {
    static LookupState s;
    return s;
}

std::string ExecutableDir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    const std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
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

std::string Join(const std::vector<std::string>& parts, char sep) {
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty())
            out += sep;
        out += p;
    }
    return out;
}

// Caller holds the mutex.
void Initialise(LookupState& s) {
    if (s.initialised)
        return;
    s.initialised = true;
    s.catalogueDir = ExecutableDir() + "/locale";
    const auto languages = CatalogueLanguages(UserLocaleName());
    s.active = !languages.empty();
    if (!s.active)
        return;
    // glibc takes the language list from LANGUAGE, which lets a catalogue be used even when no
    // system locale of that name is installed. It ignores LANGUAGE while the messages locale is
    // the plain "C" one, so lookups run under C.UTF-8 (always present, and not "C").
    setenv("LANGUAGE", Join(languages, ':').c_str(), 1);
    if (s.messagesLocale == static_cast<locale_t>(nullptr))
        s.messagesLocale = newlocale(LC_MESSAGES_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    // Setting the message domain, even to itself, makes glibc forget the translations that it
    // cached under the previous language.
    const std::string current = textdomain(nullptr);
    textdomain(current.c_str());
}

// Caller holds the mutex. Returns `msgid` itself when there is no translation.
const char* Lookup(LookupState& s, const std::string& domain, const char* msgid) {
    if (s.bound.insert(domain).second) {
        bindtextdomain(domain.c_str(), s.catalogueDir.c_str());
        // Without this the result would be converted to the LC_CTYPE charset (ASCII under "C").
        bind_textdomain_codeset(domain.c_str(), "UTF-8");
    }
    locale_t previous = static_cast<locale_t>(nullptr);
    if (s.messagesLocale != static_cast<locale_t>(nullptr))
        previous = uselocale(s.messagesLocale);
    const char* result = dgettext(domain.c_str(), msgid);
    if (previous != static_cast<locale_t>(nullptr))
        uselocale(previous);
    return result;
}

} // namespace

std::string TranslateText(const std::string& domain, const std::string& text) {
    // An empty msgid would return the catalogue's header entry.
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
