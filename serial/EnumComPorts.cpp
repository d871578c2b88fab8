#include "serial/EnumComPorts.h"

#include "serial/Platform.h"

namespace tolvar {

namespace {

TComPortSource& InjectedSource() {
    static TComPortSource source;
    return source;
}

} // namespace

void EnumComPorts(std::vector<std::string>& target, const TComPortSource& source) {
    std::vector<std::string> names = source ? source() : SystemComPorts();
    SortComPortNames(names);
    target = std::move(names);
}

void EnumComPorts(std::vector<std::string>& target) {
    EnumComPorts(target, InjectedSource());
}

TComPortSource SetComPortSource(TComPortSource source) {
    TComPortSource previous = std::move(InjectedSource());
    InjectedSource() = std::move(source);
    return previous;
}

} // namespace tolvar
