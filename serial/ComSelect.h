#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar {

class TCustomComPort;

// What a port-setting control offers.
enum TComProperty : std::uint8_t {
    cpNone,
    cpPort,
    cpBaudRate,
    cpDataBits,
    cpStopBits,
    cpParity,
    cpFlowControl,
};

// The list control behind a selection: its entries and which one is selected.
class TComSelectList {
public:
    virtual ~TComSelectList() = default;
    virtual std::vector<std::string>& Entries() = 0;
    // Shows the entries again after they were replaced.
    virtual void EntriesChanged() = 0;
    // What is known of each entry, shown beside it when the list is dropped.
    virtual void DetailsChanged(std::vector<std::string> details) = 0;
    // Selects one entry, or none with -1.
    virtual void SelectIndex(int index) = 0;
};

// The entry of `entries` that a name picks: the whole text must match, letter case is ignored,
// the first match wins; -1 when none does. Where ports are device paths, a name also matches the
// entry of the device it opens ("COM1" and "/dev/ttyS0").
int FindEntry(const std::vector<std::string>& entries, const std::string& name);

// Ties a list control to a port object: fills the list and writes picks into the port.
class TComSelect {
public:
    explicit TComSelect(TComSelectList& list) : list_(list) {}

    TComProperty ComProperty() const { return kind_; }
    // Rebuilds the entries for the kind; raises what the port enumeration raises (the entries
    // are then empty).
    void SetComProperty(TComProperty kind);

    TCustomComPort* ComPort() const { return port_; }
    // Only stores the link; the control takes care of removal notices.
    void SetComPort(TCustomComPort* port) { port_ = port; }

    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool value) { autoApply_ = value; }

    // The port name last picked or matched.
    const std::string& HeldPort() const { return port_name_; }

    // Makes the selection follow the linked port's name.
    void UpdateSettings();
    // Writes the held name into the linked port.
    void ApplySettings();
    // A pick by the user with the selected entry's text.
    void Change(const std::string& text);
    // The linked port is going away.
    void PortRemoved();

private:
    TComSelectList& list_;
    TComProperty kind_ = cpNone;
    TCustomComPort* port_ = nullptr;
    bool autoApply_ = false;
    std::string port_name_;
};

} // namespace tolvar
