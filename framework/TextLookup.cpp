#include "framework/TextLookup.h"

#include "framework/MoFile.h"
#include "framework/Platform.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace tolvar {

namespace {

struct LookupState {
    bool initialised = false;
    std::string folder;
    std::vector<std::string> languages; // empty: nothing is translated
    std::vector<std::string> resourceDomains{"default"};
    std::map<std::string, MoMessages> domains; // read so far; empty when a domain has no file
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
void Initialise(LookupState& s) {
    s.initialised = true;
    s.domains.clear();
    s.folder = catalogue::Folder();
    s.languages = CatalogueLanguages(catalogue::UserLocaleName());
}

// Caller holds the mutex. The first language with a readable file for the domain decides, even
// when that file lacks a text that a less specific one has.
const MoMessages& Domain(LookupState& s, const std::string& domain) {
    const auto found = s.domains.find(domain);
    if (found != s.domains.end())
        return found->second;
    MoMessages messages;
    for (const auto& language : s.languages) {
        if (auto file = LoadMoFile(s.folder + "/" + language + "/LC_MESSAGES/" + domain + ".mo")) {
            messages = std::move(*file);
            break;
        }
    }
    return s.domains.emplace(domain, std::move(messages)).first->second;
}

// The first translation of `text` in the domains that `pick` names, or `text` itself.
template <class Pick> std::string Translate(const std::string& text, Pick pick) {
    // An empty msgid names the catalogue's header entry, never a text.
    if (text.empty())
        return text;
    std::lock_guard lock(Mutex());
    LookupState& s = State();
    if (!s.initialised)
        Initialise(s);
    if (s.languages.empty())
        return text;
    for (const auto& domain : pick(s)) {
        const MoMessages& messages = Domain(s, domain);
        const auto found = messages.find(text);
        if (found != messages.end())
            return found->second;
    }
    return text;
}

} // namespace

void InitTextLookup() {
    std::lock_guard lock(Mutex());
    Initialise(State());
}

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

} // namespace tolvar
