#include "framework/TextLookup.h"

#include "framework/MessageCatalogue.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace tolvar {

namespace {

struct LookupState {
    bool initialised = false;
    bool active = false; // false: nothing is translated
    std::string folder;
    std::vector<std::string> resourceDomains{"default"};
    std::set<std::string> bound;
};

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}

LookupState& State() {
    static LookupState s;
    return s;
}

// Caller holds the mutex.
LookupState& Initialised() {
    LookupState& s = State();
    if (s.initialised)
        return s;
    s.initialised = true;
    s.bound.clear();
    s.folder = catalogue::Folder();
    const auto languages = CatalogueLanguages(catalogue::UserLocaleName());
    s.active = !languages.empty() && catalogue::UseLanguages(languages);
    return s;
}

// Caller holds the mutex. Returns `msgid` itself when there is no translation.
const char* Lookup(LookupState& s, const std::string& domain, const char* msgid) {
    if (s.bound.insert(domain).second)
        catalogue::BindDomain(domain, s.folder);
    return catalogue::Lookup(domain, msgid);
}

// The first translation of `text` in the domains that `pick` names, or `text` itself.
template <class Pick> std::string Translate(const std::string& text, Pick pick) {
    // An empty msgid would return the catalogue's header entry.
    if (text.empty())
        return text;
    std::lock_guard lock(Mutex());
    LookupState& s = Initialised();
    if (!s.active)
        return text;
    for (const auto& domain : pick(s)) {
        const char* result = Lookup(s, domain, text.c_str());
        if (result != text.c_str())
            return result;
    }
    return text;
}

} // namespace

std::string TranslateText(const std::string& domain, const std::string& text) {
    return Translate(text, [&](const LookupState&) { return std::vector<std::string>{domain}; });
}

std::string TranslateResourceText(const std::string& text) {
    return Translate(text, [](const LookupState& s) { return s.resourceDomains; });
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
