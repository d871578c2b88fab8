#include "framework/FrameworkTexts.h"

#include "framework/TextLookup.h"

namespace tolvar {

std::string FrameworkText(const char* msgid) {
    return TranslateResourceText(msgid);
}

std::string ReadErrorText(const std::string& object, const std::string& property,
                          const std::string& message) {
    // The template may come translated, so it is filled by position, not by concatenation.
    const std::string format = FrameworkText(kSReadError);
    const std::string args[] = {object, ".", property, message};
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next < 4)
                out += args[next++];
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace tolvar
