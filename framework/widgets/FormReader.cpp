#include "framework/widgets/FormReader.h"

#include "framework/widgets/FrameworkTexts.h"

#include <QXmlStreamReader>

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

std::string AtLine(qint64 line) {
    return " (line " + std::to_string(line) + ")";
}

class Reader {
public:
    Reader(std::string_view data, TComponent& root, const std::string& rootClass,
           const TClassRegistry& registry, const THandlerTable& handlers)
        : xml_(QByteArray(data.data(), static_cast<qsizetype>(data.size()))), root_(root),
          rootClass_(rootClass), registry_(registry), handlers_(handlers) {}

    void Run() {
        while (!xml_.atEnd() && xml_.readNext() != QXmlStreamReader::StartElement) {
        }
        CheckXml();
        if (!xml_.isStartElement() || xml_.name() != QLatin1String("object"))
            Fail("The form description holds no object");
        ReadObject(nullptr, 0);
        while (!xml_.atEnd()) {
            if (xml_.readNext() == QXmlStreamReader::StartElement)
                Fail("Unexpected element <" + xml_.name().toString().toStdString() +
                     "> after the form");
        }
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
        qint64 line;
    };

    [[noreturn]] void Fail(const std::string& message) {
        throw EReadError(message + AtLine(xml_.lineNumber()));
    }

    void CheckXml() {
        if (xml_.hasError())
            throw EReadError("Malformed form description: " + xml_.errorString().toStdString() +
                             AtLine(xml_.lineNumber()));
    }

    std::string Attribute(const char* name) {
        return xml_.attributes().value(QLatin1String(name)).toString().toStdString();
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

        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::StartElement:
                if (xml_.name() == QLatin1String("property"))
                    ReadProperty(*object, *info);
                else if (xml_.name() == QLatin1String("event"))
                    ReadEvent(*object, *info);
                else if (xml_.name() == QLatin1String("object"))
                    ReadObject(object, depth + 1);
                else
                    Fail("Unexpected element <" + xml_.name().toString().toStdString() + ">");
                break;
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::Characters:
                if (!xml_.isWhitespace())
                    Fail("Unexpected text in object " + name);
                break;
            default:
                break;
            }
        }
        CheckXml();
        Fail("The form description ends inside object " + name);
    }

    static bool SameName(const std::string& a, const std::string& b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) ==
               0;
    }

    void ReadProperty(TComponent& object, const TClassInfo& info) {
        const qint64 line = xml_.lineNumber();
        const std::string property = Attribute("name");
        const bool isRef = xml_.attributes().hasAttribute(QLatin1String("ref"));
        const std::string target = Attribute("ref");
        TStoredValue value;
        value.line = static_cast<int>(line);
        std::string text;
        while (true) {
            const auto token = xml_.readNext();
            if (token == QXmlStreamReader::EndElement)
                break;
            if (token == QXmlStreamReader::Characters) {
                text += xml_.text().toString().toStdString();
            } else if (token == QXmlStreamReader::StartElement &&
                       xml_.name() == QLatin1String("item")) {
                value.isList = true;
                value.items.push_back(
                    xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).toStdString());
                CheckXml();
            } else if (token == QXmlStreamReader::StartElement) {
                Fail("Unexpected element <" + xml_.name().toString().toStdString() +
                     "> in property " + property);
            } else if (xml_.atEnd() || xml_.hasError()) {
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
        const qint64 line = xml_.lineNumber();
        const std::string event = Attribute("name");
        const std::string handlerName = Attribute("handler");
        xml_.skipCurrentElement();
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

    QXmlStreamReader xml_;
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
