#include "framework/MessageCatalogue.h"

#include <climits>
#include <cstdlib>
#include <libintl.h>
#include <locale.h>
#include <unistd.h>

namespace tolvar::catalogue {

namespace {
locale_t MessagesLocale() {
    // glibc ignores LANGUAGE while the messages locale is the plain "C" one, so lookups run
    // under C.UTF-8, which is always present and is not "C".
    static const locale_t loc =
        newlocale(LC_MESSAGES_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
}
} // namespace

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

bool UseLanguages(const std::vector<std::string>& languages) {
    // glibc takes the language list from LANGUAGE, which lets a catalogue be used even when no
    // system locale of that name is installed.
    std::string list;
    for (const auto& language : languages)
        list += (list.empty() ? "" : ":") + language;
    setenv("LANGUAGE", list.c_str(), 1);
    // Setting the message domain, even to itself, makes glibc forget the translations that it
    // cached under the previous language.
    const std::string current = textdomain(nullptr);
    textdomain(current.c_str());
    return true;
}

void BindDomain(const std::string& domain, const std::string& folder) {
    bindtextdomain(domain.c_str(), folder.c_str());
    // Without this the result would be converted to the LC_CTYPE charset (ASCII under "C").
    bind_textdomain_codeset(domain.c_str(), "UTF-8");
}

const char* Lookup(const std::string& domain, const char* msgid) {
    const locale_t messages = MessagesLocale();
    locale_t previous = static_cast<locale_t>(nullptr);
    if (messages != static_cast<locale_t>(nullptr))
        previous = uselocale(messages);
    const char* result = dgettext(domain.c_str(), msgid);
    if (previous != static_cast<locale_t>(nullptr))
        uselocale(previous);
    return result;
}

} // namespace tolvar::catalogue
