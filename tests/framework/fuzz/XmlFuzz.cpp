// Fuzz entry of the XML reader and of the description reader above it, with no widget set, so
// that it runs on every platform. Whatever the input, the XML reader ends at the end of the
// document or at an error, with its elements balanced, its text valid UTF-8 and its line within
// the input; the description reader ends in a built form or in EReadError. Anything else
// aborts.
#include "framework/FormReader.h"
#include "framework/XmlReader.h"

#include <any>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tolvar;
using TToken = TXmlReader::TToken;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

int Lines(std::string_view s) {
    int lines = 1;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == '\n' || (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n')))
            ++lines;
    return lines;
}

void WalkTokens(std::string_view text) {
    const int lines = Lines(text);
    TXmlReader xml(text);
    std::vector<std::string> open;
    bool root = false;
    while (!xml.AtEnd()) {
        const TToken token = xml.ReadNext();
        Check(xml.LineNumber() >= 1 && xml.LineNumber() <= lines);
        switch (token) {
        case TToken::StartElement:
            Check(!xml.Name().empty() && (!root || !open.empty()));
            for (const auto& a : xml.Attributes())
                Check(!a.name.empty() && IsUtf8(a.value));
            open.push_back(xml.Name());
            root = true;
            break;
        case TToken::EndElement:
            Check(!open.empty() && open.back() == xml.Name());
            open.pop_back();
            break;
        case TToken::Characters:
            Check(!open.empty() && IsUtf8(xml.Text()));
            break;
        case TToken::EndDocument:
            Check(root && open.empty());
            break;
        case TToken::Invalid:
            Check(!xml.ErrorString().empty());
            break;
        default:
            Check(false);
        }
    }
    const TToken last = xml.Token();
    Check(xml.ReadNext() == last);
}

// A registry that knows every class, property, reference and event the input names, so the
// description reader's own paths are reached without any control class. The outermost
// object's class is the root's and cannot be created.
void ReadAsDescription(std::string_view text) {
    TClassRegistry registry;
    THandlerTable handlers;
    std::string rootClass;
    bool haveRoot = false;
    std::vector<TClassInfo*> objects;
    TXmlReader xml(text);
    while (!xml.AtEnd()) {
        const TToken token = xml.ReadNext();
        const std::string* name = xml.Attribute("name");
        if (token == TToken::StartElement && xml.Name() == "object") {
            const std::string* cls = xml.Attribute("class");
            const std::string c = cls == nullptr ? std::string() : *cls;
            TClassInfo::Factory factory = nullptr;
            if (haveRoot)
                factory = [](TComponent* owner, TComponent*) { return new TComponent(owner); };
            else
                rootClass = c;
            haveRoot = true;
            objects.push_back(&registry.Register(c, "", std::move(factory)));
        } else if (token == TToken::EndElement && xml.Name() == "object") {
            objects.pop_back();
        } else if (token == TToken::StartElement && name != nullptr && !objects.empty()) {
            if (xml.Name() == "property" && xml.Attribute("ref") != nullptr) {
                objects.back()->Reference(*name, [](TComponent&, TComponent*) {});
            } else if (xml.Name() == "property") {
                objects.back()->Property(*name, [](TComponent&, const TStoredValue& v) {
                    if (!v.isList && !v.text.empty() && v.text[0] == '[')
                        ParseSetNames(v);
                    else if (!v.isList && !v.text.empty() && v.text[0] >= 'A')
                        ParseBool(v);
                    else if (!v.isList)
                        ParseInt(v);
                });
            } else if (xml.Name() == "event") {
                objects.back()->Event(*name, [](TComponent&, const std::any& handler) {
                    if (std::any_cast<std::function<void(TComponent*)>>(&handler) == nullptr)
                        throw Exception("the handler does not fit the event");
                });
                if (const std::string* h = xml.Attribute("handler"))
                    handlers.Add<void(TComponent*)>(*h, [](TComponent*) {});
            }
        }
    }
    TComponent root;
    try {
        ReadDescription(text, root, rootClass, registry, handlers);
    } catch (const EReadError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    WalkTokens(text);
    ReadAsDescription(text);
    return 0;
}
