#include "serial/PortDetails.h"

#include "serial/Platform.h"

namespace tolvar {

namespace {

TComPortDescriber& InjectedDescriber() {
    static TComPortDescriber describer;
    return describer;
}

void Append(std::string& text, const std::string& part) {
    if (part.empty())
        return;
    if (!text.empty())
        text += ", ";
    text += part;
}

} // namespace

std::string PortDetailText(const TPortFacts& facts) {
    std::string text;
    Append(text, facts.product);
    Append(text, facts.manufacturer);
    if (!facts.vendorId.empty() && !facts.productId.empty())
        Append(text, "USB " + facts.vendorId + ":" + facts.productId);
    if (!facts.serialNumber.empty())
        Append(text, "nr ser. " + facts.serialNumber);
    if (text.empty() && facts.onBoard)
        text = "wbudowany port szeregowy";
    return text;
}

std::vector<std::string> DescribeComPorts(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    try {
        const TComPortDescriber& injected = InjectedDescriber();
        lines = injected ? injected(names) : SystemComPortDetails(names);
    } catch (...) {
        lines.clear(); // whatever went wrong, the names alone are shown
    }
    lines.resize(names.size());
    return lines;
}

TComPortDescriber SetComPortDescriber(TComPortDescriber describer) {
    TComPortDescriber previous = std::move(InjectedDescriber());
    InjectedDescriber() = std::move(describer);
    return previous;
}

} // namespace tolvar
