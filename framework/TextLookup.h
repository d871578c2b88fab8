#pragma once

#include <string>
#include <vector>

namespace tolvar {

// Message catalogues: <folder of the executable>/locale/<language>/LC_MESSAGES/<domain>.mo.
// The language comes from LANG, or, when LANG is unset, from the user's locale settings. Per
// domain one file is used: the full code's (pl_PL) when it exists, else the two-letter one's
// (pl). Texts are UTF-8 in and out, and a text without a translation comes back unchanged.
// The lookup reads the environment but never changes it, so programs that we start see the
// user's own settings.

// Reads the language from the environment and forgets the catalogues read so far. Call once at
// start-up on the main thread, before other threads run; lookups from any thread may follow.
// A lookup before it initialises on its own.
void InitTextLookup();

// Looks `text` up in one domain.
std::string TranslateText(const std::string& domain, const std::string& text);

// Looks a framework resource text up in "default", then in each domain added below.
std::string TranslateResourceText(const std::string& text);

// Adds a domain to those searched by TranslateResourceText (once; later calls do nothing).
void AddResourceTextDomain(const std::string& domain);

// The language codes that a locale name gives, most specific first: "pl_PL.UTF-8@euro" gives
// {"pl_PL", "pl"}. Empty for "C", "POSIX" or an empty name: no translation then.
std::vector<std::string> CatalogueLanguages(const std::string& localeName);

} // namespace tolvar
