#include "framework/FormReader.h"

#include "framework/FrameworkTexts.h"
#include "framework/XmlReader.h"

namespace tolvar {

namespace {

// Deeper nesting than any real form needs; keeps a hostile description off the stack limit.
constexpr int kMaxDepth = 64;

bool IsIdentifier(const std::string& s) {
    if (s.empty())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!(letter || (digit && i > 0)))
            return false;
    }
    return true;
}

std::string AtLine(int line) {
    return " (line " + std::to_string(line) + ")";
}

class Reader {
public:
    Reader(std::string_view data, TComponent& root, const std::string& rootClass,
           const TClassRegistry& registry, const THandlerTable& handlers)
        : xml_(data), root_(root), rootClass_(rootClass), registry_(registry), handlers_(handlers) {
    }

    void Run() {
        while (!xml_.AtEnd() && xml_.ReadNext() != TXmlReader::TToken::StartElement) {
        }
        CheckXml();
        if (xml_.Token() != TXmlReader::TToken::StartElement || xml_.Name() != "object")
            Fail("The form description holds no object");
        ReadObject(nullptr, 0);
        // Anything but the end of the document after the form is an XML error.
        while (!xml_.AtEnd())
            xml_.ReadNext();
        CheckXml();
        ResolveReferences();
        for (TComponent* c : loaded_)
            c->Loaded();
    }

private:
    struct Fixup {
        TComponent* object;
        const TClassInfo::RefSetter* setter;
        std::string property;
        std::string target;
        int line;
    };

    [[noreturn]] void Fail(const std::string& message) {
        throw EReadError(message + AtLine(xml_.LineNumber()));
    }

    void CheckXml() {
        if (xml_.HasError())
            throw EReadError("Malformed form description: " + xml_.ErrorString() +
                             AtLine(xml_.LineNumber()));
    }

    std::string Attribute(const char* name) {
        const std::string* value = xml_.Attribute(name);
        return value == nullptr ? std::string() : *value;
    }

    // The reader stands on an <object> start element.
    void ReadObject(TComponent* parent, int depth) {
        if (depth > kMaxDepth)
            Fail("Objects nested too deeply");
        const std::string cls = Attribute("class");
        const std::string name = Attribute("name");
        const TClassInfo* info = registry_.Find(cls);
        if (info == nullptr)
            Fail("Class " + cls + " not found (object " + name + ")");
        if (!name.empty() && !IsIdentifier(name))
            Fail("'" + name + "' is not a valid component name");
        TComponent* object = nullptr;
        if (parent == nullptr) {
            if (cls != rootClass_)
                Fail("The form description is for " + cls + ", not " + rootClass_);
            object = &root_;
        } else {
            if (!info->Create())
                Fail("Class " + cls + " cannot be created from a description");
            if (!name.empty() && (root_.FindComponent(name) != nullptr ||
                                  (!root_.Name().empty() && SameName(root_.Name(), name))))
                Fail("A component named " + name + " already exists");
            try {
                object = info->Create()(&root_, parent);
            } catch (const Exception& e) {
                Fail("Cannot create " + name + ": " + e.Message());
            }
        }
        object->SetName(name);
        object->BeginLoading();
        loaded_.push_back(object);

        while (!xml_.AtEnd()) {
            switch (xml_.ReadNext()) {
            case TXmlReader::TToken::StartElement:
                if (xml_.Name() == "property")
                    ReadProperty(*object, *info);
                else if (xml_.Name() == "event")
                    ReadEvent(*object, *info);
                else if (xml_.Name() == "object")
                    ReadObject(object, depth + 1);
                else
                    Fail("Unexpected element <" + xml_.Name() + ">");
                break;
            case TXmlReader::TToken::EndElement:
                return;
            case TXmlReader::TToken::Characters:
                if (!xml_.IsWhitespace())
                    Fail("Unexpected text in object " + name);
                break;
            default:
                break;
            }
        }
        CheckXml();
        Fail("The form description ends inside object " + name);
    }

    // Component names are compared as FindComponent does: ASCII letters without regard to case.
    static bool SameName(const std::string& a, const std::string& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (LowerAscii(a[i]) != LowerAscii(b[i]))
                return false;
        return true;
    }

    static char LowerAscii(char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }

    void ReadProperty(TComponent& object, const TClassInfo& info) {
        const int line = xml_.LineNumber();
        const std::string property = Attribute("name");
        const bool isRef = xml_.Attribute("ref") != nullptr;
        const std::string target = Attribute("ref");
        TStoredValue value;
        value.line = line;
        std::string text;
        while (true) {
            const auto token = xml_.ReadNext();
            if (token == TXmlReader::TToken::EndElement)
                break;
            if (token == TXmlReader::TToken::Characters) {
                text += xml_.Text();
            } else if (token == TXmlReader::TToken::StartElement && xml_.Name() == "item") {
                value.isList = true;
                value.items.push_back(xml_.ReadElementText());
                CheckXml();
            } else if (token == TXmlReader::TToken::StartElement) {
                Fail("Unexpected element <" + xml_.Name() + "> in property " + property);
            } else if (xml_.AtEnd()) {
                CheckXml();
                Fail("The form description ends inside property " + property);
            }
        }
        if (value.isList) {
            if (text.find_first_not_of(" \t\r\n") != std::string::npos)
                Fail("Property " + property + " mixes text and items");
        } else {
            value.text = std::move(text);
        }

        if (isRef) {
            const TClassInfo::RefSetter* setter = info.FindReference(property);
            if (setter == nullptr)
                throw EReadError(
                    ReadErrorText(object.Name(), property,
                                  "no such reference property in " + info.Name() + AtLine(line)));
            fixups_.push_back({&object, setter, property, target, line});
            return;
        }
        const TClassInfo::Setter* setter = info.FindProperty(property);
        if (setter == nullptr)
            throw EReadError(ReadErrorText(object.Name(), property,
                                           (info.FindReference(property) != nullptr
                                                ? "the property needs a ref"
                                                : "no such property in " + info.Name()) +
                                               AtLine(line)));
        Apply(object, property, [&] { (*setter)(object, value); });
    }

    void ReadEvent(TComponent& object, const TClassInfo& info) {
        const int line = xml_.LineNumber();
        const std::string event = Attribute("name");
        const std::string handlerName = Attribute("handler");
        xml_.SkipCurrentElement();
        CheckXml();
        const TClassInfo::EventSetter* setter = info.FindEvent(event);
        if (setter == nullptr)
            throw EReadError(ReadErrorText(object.Name(), event,
                                           "no such event in " + info.Name() + AtLine(line)));
        const std::any* handler = handlers_.Find(handlerName);
        if (handler == nullptr)
            throw EReadError(ReadErrorText(object.Name(), event,
                                           "handler " + handlerName + " not found" + AtLine(line)));
        Apply(object, event, [&] { (*setter)(object, *handler); });
    }

    template <class F> void Apply(TComponent& object, const std::string& property, F&& apply) {
        try {
            apply();
        } catch (const EReadError&) {
            throw;
        } catch (const Exception& e) {
            throw EReadError(ReadErrorText(object.Name(), property, e.Message()));
        } catch (const std::exception& e) {
            throw EReadError(ReadErrorText(object.Name(), property, e.what()));
        }
    }

    void ResolveReferences() {
        for (const Fixup& f : fixups_) {
            TComponent* target = nullptr;
            if (!f.target.empty()) {
                target = SameName(root_.Name(), f.target) ? &root_ : root_.FindComponent(f.target);
                if (target == nullptr)
                    throw EReadError(
                        ReadErrorText(f.object->Name(), f.property,
                                      "unknown reference " + f.target + AtLine(f.line)));
            }
            Apply(*f.object, f.property, [&] { (*f.setter)(*f.object, target); });
        }
    }

    TXmlReader xml_;
    TComponent& root_;
    const std::string& rootClass_;
    const TClassRegistry& registry_;
    const THandlerTable& handlers_;
    std::vector<TComponent*> loaded_;
    std::vector<Fixup> fixups_;
};

} // namespace

void ReadDescription(std::string_view data, TComponent& root, const std::string& rootClass,
                     const TClassRegistry& registry, const THandlerTable& handlers) {
    Reader(data, root, rootClass, registry, handlers).Run();
}

} // namespace tolvar
