#pragma once

#include <string>
#include <vector>

// What the text lookup needs of the platform's message catalogues; one implementation per
// platform. All calls come with the lookup's lock held.
namespace tolvar::catalogue {

// The folder that holds the catalogues: "locale" beside the executable.
std::string Folder();

// The user's locale name: LANG when it is set, else what the platform says of the user.
std::string UserLocaleName();

// Makes lookups use these languages, most specific first (never empty). Returns false when the
// platform cannot translate at all; the lookup then hands every text back unchanged.
bool UseLanguages(const std::vector<std::string>& languages);

// Readies a domain for lookups from `folder`; called once per domain and language setting.
void BindDomain(const std::string& domain, const std::string& folder);

// The translation of msgid in domain, or msgid itself (the same pointer) when there is none.
const char* Lookup(const std::string& domain, const char* msgid);

} // namespace tolvar::catalogue
