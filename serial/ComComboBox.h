#pragma once

#include "framework/Component.h"
#include "framework/StdControls.h"
#include "serial/ComSelect.h"

#include <string>
#include <vector>

namespace tolvar {

class TClassRegistry;
class TCustomComPort;

enum TComboBoxStyle : std::uint8_t { csDropDown, csSimple, csDropDownList };

// A drop-down list of port settings linked to a port object; here it lists the serial ports
// and writes the user's pick into the port.
class TComComboBox : public TComboBox, private TComSelectList {
public:
    TComComboBox(TComponent* owner, TWinControl* parent);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return select_.ComPort(); }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.ComProperty(); }
    void SetComProperty(TComProperty kind);
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool value) { select_.SetAutoApply(value); }

    // The selected entry's text, empty when nothing is selected.
    std::string Text() const;
    // Selects the first entry matching the name; unknown names change nothing.
    void SetText(const std::string& name);
    void SetStyle(TComboBoxStyle style);
    void SetItemHeight(std::int32_t height) { itemHeight_ = height; }
    std::int32_t ItemHeight() const { return itemHeight_; }
    int ItemIndex() const;
    void SetItemIndex(int index);

    const TComSelect& Select() const { return select_; }

    void UpdateSettings() { select_.UpdateSettings(); }
    void ApplySettings() { select_.ApplySettings(); }

    void Loaded() override;

protected:
    // A change of the selection made by the user.
    void Change() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::vector<std::string>& Entries() override { return entries_; }
    void EntriesChanged() override;
    void DetailsChanged(std::vector<std::string> details) override;
    void SelectIndex(int index) override;

    std::vector<std::string> entries_;
    TComSelect select_;
    std::int32_t itemHeight_ = 16;
    // While loading, selections wait here until Loaded.
    int pending_ = -1;
};

// Registers "TComComboBox" (on top of "TControl") with its stored properties.
void RegisterComComboBox(TClassRegistry& registry);

} // namespace tolvar
