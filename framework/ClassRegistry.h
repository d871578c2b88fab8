#pragma once

#include "framework/Component.h"
#include "framework/Exception.h"

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tolvar {

// A failure while a stored description is read.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// One stored property value as written in the description: plain text, or a list of items.
struct TStoredValue {
    std::string text;
    std::vector<std::string> items;
    bool isList = false;
    int line = 0;
};

// Value parsers shared by the setters; each raises Exception with a readable message.
// Integers outside [min, max] are refused, so that no stored value can overflow the layout
// arithmetic that uses it.
std::int32_t ParseInt(const TStoredValue& value,
                      std::int32_t min = std::numeric_limits<std::int32_t>::min(),
                      std::int32_t max = std::numeric_limits<std::int32_t>::max());
// Bounds of stored positions and sizes, in pixels.
inline constexpr std::int32_t kMinCoord = -32768;
inline constexpr std::int32_t kMaxCoord = 32767;
bool ParseBool(const TStoredValue& value);
// Looks a name up in a table of (name, value) pairs.
int ParseEnumName(const std::string& text, const std::vector<std::pair<std::string, int>>& names);
// A set such as "[abCancel, abHelp]": the names between the brackets.
std::vector<std::string> ParseSetNames(const TStoredValue& value);

// Handlers a form offers to its description, by name. Each is a std::function of the exact
// type of the events it may be bound to.
class THandlerTable {
public:
    template <class Sig> void Add(std::string name, std::function<Sig> handler) {
        handlers_[std::move(name)] = std::move(handler);
    }
    const std::any* Find(const std::string& name) const {
        auto it = handlers_.find(name);
        return it == handlers_.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, std::any> handlers_;
};

// What the reader knows about one stored class: how to create an object of it and how to
// apply each of its properties, references and events. Lookups also search the base class.
class TClassInfo {
public:
    // owner: the root being read; parent: the enclosing object in the description.
    using Factory = std::function<TComponent*(TComponent* owner, TComponent* parent)>;
    using Setter = std::function<void(TComponent& object, const TStoredValue& value)>;
    using RefSetter = std::function<void(TComponent& object, TComponent* target)>;
    using EventSetter = std::function<void(TComponent& object, const std::any& handler)>;

    TClassInfo(std::string name, const TClassInfo* base, Factory factory)
        : name_(std::move(name)), base_(base), factory_(std::move(factory)) {}

    const std::string& Name() const { return name_; }
    const TClassInfo* Base() const { return base_; }
    const Factory& Create() const { return factory_; }

    TClassInfo& Property(const std::string& name, Setter setter);
    TClassInfo& Reference(const std::string& name, RefSetter setter);
    TClassInfo& Event(const std::string& name, EventSetter setter);

    // Typed shorthands: the object is cast to T; a failed cast is an error, not a crash.
    template <class T>
    TClassInfo& Int(const std::string& name, void (T::*set)(std::int32_t),
                    std::int32_t min = std::numeric_limits<std::int32_t>::min(),
                    std::int32_t max = std::numeric_limits<std::int32_t>::max()) {
        return Property(name, [set, min, max](TComponent& c, const TStoredValue& v) {
            (As<T>(c).*set)(ParseInt(v, min, max));
        });
    }
    template <class T> TClassInfo& Bool(const std::string& name, void (T::*set)(bool)) {
        return Property(
            name, [set](TComponent& c, const TStoredValue& v) { (As<T>(c).*set)(ParseBool(v)); });
    }
    template <class T>
    TClassInfo& String(const std::string& name, void (T::*set)(const std::string&)) {
        return Property(name,
                        [set](TComponent& c, const TStoredValue& v) { (As<T>(c).*set)(v.text); });
    }
    template <class T, class E>
    TClassInfo& Enum(const std::string& name, void (T::*set)(E),
                     std::initializer_list<std::pair<const char*, E>> names) {
        std::vector<std::pair<std::string, int>> table;
        for (const auto& [n, e] : names)
            table.emplace_back(n, static_cast<int>(e));
        return Property(name, [set, table](TComponent& c, const TStoredValue& v) {
            (As<T>(c).*set)(static_cast<E>(ParseEnumName(v.text, table)));
        });
    }
    template <class T, class U> TClassInfo& Ref(const std::string& name, void (T::*set)(U*)) {
        return Reference(name, [set, name](TComponent& c, TComponent* target) {
            U* typed = target == nullptr ? nullptr : dynamic_cast<U*>(target);
            if (target != nullptr && typed == nullptr)
                throw Exception("Invalid property value: " + target->Name() +
                                " is of the wrong class");
            (As<T>(c).*set)(typed);
        });
    }
    template <class T, class Sig>
    TClassInfo& EventMember(const std::string& name, std::function<Sig> T::*member) {
        return Event(name, [member](TComponent& c, const std::any& handler) {
            auto* f = std::any_cast<std::function<Sig>>(&handler);
            if (f == nullptr)
                throw Exception("the handler does not fit the event");
            As<T>(c).*member = *f;
        });
    }

    const Setter* FindProperty(const std::string& name) const;
    const RefSetter* FindReference(const std::string& name) const;
    const EventSetter* FindEvent(const std::string& name) const;

    template <class T> static T& As(TComponent& c) {
        T* t = dynamic_cast<T*>(&c);
        if (t == nullptr)
            throw Exception("Object " + c.Name() + " does not support this property");
        return *t;
    }

private:
    std::string name_;
    const TClassInfo* base_;
    Factory factory_;
    std::map<std::string, Setter> properties_;
    std::map<std::string, RefSetter> references_;
    std::map<std::string, EventSetter> events_;
};

// Maps class names of stored descriptions to what the reader needs of them. New classes are
// added by registration; the reader itself never changes for them.
class TClassRegistry {
public:
    // Adds a class, or returns the one already there (so later code can add properties).
    // base may be empty; a named base must already be registered.
    TClassInfo& Register(const std::string& name, const std::string& base,
                         TClassInfo::Factory factory = nullptr);
    const TClassInfo* Find(const std::string& name) const;
    TClassInfo* Find(const std::string& name);

private:
    std::map<std::string, std::unique_ptr<TClassInfo>> classes_;
};

} // namespace tolvar
