#include "serial/ComSelect.h"

#include "serial/ComPort.h"
#include "serial/EnumComPorts.h"
#include "serial/Platform.h"
#include "serial/PortDetails.h"

#include <algorithm>
#include <cctype>

namespace tolvar {

namespace {
bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

int FindEntry(const std::vector<std::string>& entries, const std::string& name) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (SameIgnoringCase(entries[i], name))
            return static_cast<int>(i);
    // The list may show device paths while a port is named "COM1": match the device it opens.
    if (const std::string device = PortDeviceKey(name); !device.empty()) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (!entries[i].empty() && PortDeviceKey(entries[i]) == device)
                return static_cast<int>(i);
    }
    return -1;
}

void TComSelect::SetComProperty(TComProperty kind) {
    kind_ = kind;
    std::vector<std::string>& entries = list_.Entries();
    entries.clear();
    list_.EntriesChanged();
    list_.DetailsChanged({});
    if (kind == cpPort) {
        EnumComPorts(entries);
        list_.EntriesChanged();
        list_.DetailsChanged(DescribeComPorts(entries));
    }
    // The other kinds are not offered by this program: their lists stay empty.
    if (entries.empty())
        return;
    if (port_ != nullptr)
        UpdateSettings();
    else
        list_.SelectIndex(0);
}

void TComSelect::UpdateSettings() {
    if (port_ == nullptr || kind_ != cpPort)
        return;
    const std::vector<std::string>& entries = list_.Entries();
    const int index = FindEntry(entries, port_->Port());
    if (index >= 0)
        port_name_ = entries[static_cast<std::size_t>(index)];
    list_.SelectIndex(index);
}

void TComSelect::ApplySettings() {
    if (port_ != nullptr && kind_ == cpPort)
        port_->SetPort(port_name_);
}

void TComSelect::Change(const std::string& text) {
    port_name_ = text;
    if (autoApply_)
        ApplySettings();
}

void TComSelect::PortRemoved() {
    port_ = nullptr;
    if (!list_.Entries().empty())
        list_.SelectIndex(0);
}

} // namespace tolvar
