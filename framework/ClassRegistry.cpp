#include "framework/ClassRegistry.h"

#include <cctype>
#include <charconv>

namespace tolvar {

namespace {

std::string Trimmed(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

} // namespace

std::int32_t ParseInt(const TStoredValue& value, std::int32_t min, std::int32_t max) {
    const std::string t = Trimmed(value.text);
    std::int32_t result = 0;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, result);
    if (t.empty() || ec != std::errc() || ptr != last)
        throw Exception("'" + value.text + "' is not a valid integer value");
    if (result < min || result > max)
        throw Exception("'" + value.text + "' is out of range (" + std::to_string(min) + ".." +
                        std::to_string(max) + ")");
    return result;
}

bool ParseBool(const TStoredValue& value) {
    const std::string t = Trimmed(value.text);
    if (t == "True" || t == "true")
        return true;
    if (t == "False" || t == "false")
        return false;
    throw Exception("'" + value.text + "' is not a valid boolean value");
}

int ParseEnumName(const std::string& text, const std::vector<std::pair<std::string, int>>& names) {
    const std::string t = Trimmed(text);
    for (const auto& [n, v] : names)
        if (n == t)
            return v;
    throw Exception("Invalid property value '" + text + "'");
}

std::vector<std::string> ParseSetNames(const TStoredValue& value) {
    const std::string t = Trimmed(value.text);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        throw Exception("Invalid set value '" + value.text + "'");
    std::vector<std::string> names;
    std::string item;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i] == ',') {
            names.push_back(Trimmed(item));
            item.clear();
        } else {
            item += t[i];
        }
    }
    item = Trimmed(item);
    if (!item.empty() || !names.empty())
        names.push_back(item);
    for (const std::string& n : names)
        if (n.empty())
            throw Exception("Invalid set value '" + value.text + "'");
    return names;
}

TClassInfo& TClassInfo::Property(const std::string& name, Setter setter) {
    properties_[name] = std::move(setter);
    return *this;
}

TClassInfo& TClassInfo::Reference(const std::string& name, RefSetter setter) {
    references_[name] = std::move(setter);
    return *this;
}

TClassInfo& TClassInfo::Event(const std::string& name, EventSetter setter) {
    events_[name] = std::move(setter);
    return *this;
}

const TClassInfo::Setter* TClassInfo::FindProperty(const std::string& name) const {
    for (const TClassInfo* c = this; c != nullptr; c = c->base_) {
        auto it = c->properties_.find(name);
        if (it != c->properties_.end())
            return &it->second;
    }
    return nullptr;
}

const TClassInfo::RefSetter* TClassInfo::FindReference(const std::string& name) const {
    for (const TClassInfo* c = this; c != nullptr; c = c->base_) {
        auto it = c->references_.find(name);
        if (it != c->references_.end())
            return &it->second;
    }
    return nullptr;
}

const TClassInfo::EventSetter* TClassInfo::FindEvent(const std::string& name) const {
    for (const TClassInfo* c = this; c != nullptr; c = c->base_) {
        auto it = c->events_.find(name);
        if (it != c->events_.end())
            return &it->second;
    }
    return nullptr;
}

TClassInfo& TClassRegistry::Register(const std::string& name, const std::string& base,
                                     TClassInfo::Factory factory) {
    if (TClassInfo* existing = Find(name))
        return *existing;
    const TClassInfo* baseInfo = nullptr;
    if (!base.empty()) {
        baseInfo = Find(base);
        if (baseInfo == nullptr)
            throw Exception("Class " + base + " not registered (base of " + name + ")");
    }
    auto info = std::make_unique<TClassInfo>(name, baseInfo, std::move(factory));
    TClassInfo& ref = *info;
    classes_.emplace(name, std::move(info));
    return ref;
}

const TClassInfo* TClassRegistry::Find(const std::string& name) const {
    auto it = classes_.find(name);
    return it == classes_.end() ? nullptr : it->second.get();
}

TClassInfo* TClassRegistry::Find(const std::string& name) {
    auto it = classes_.find(name);
    return it == classes_.end() ? nullptr : it->second.get();
}

} // namespace tolvar
