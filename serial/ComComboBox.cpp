#include "serial/ComComboBox.h"

#include "framework/ClassRegistry.h"
#include "serial/ComPort.h"

namespace tolvar {

TComComboBox::TComComboBox(TComponent* owner, TWinControl* parent)
    : TComboBox(owner, parent), select_(*this) {
    SetStyle(csDropDownList);
}

TComComboBox::~TComComboBox() {
    if (ComPort() != nullptr)
        RemoveFreeNotification(ComPort());
}

void TComComboBox::SetComPort(TCustomComPort* port) {
    TCustomComPort* old = select_.ComPort();
    if (port == old)
        return;
    if (old != nullptr)
        RemoveFreeNotification(old);
    select_.SetComPort(port);
    if (port != nullptr) {
        FreeNotification(port);
        select_.UpdateSettings();
    }
}

void TComComboBox::SetComProperty(TComProperty kind) {
    select_.SetComProperty(kind);
}

std::string TComComboBox::Text() const {
    const int index = ItemIndex();
    return index < 0 ? std::string() : entries_[static_cast<std::size_t>(index)];
}

void TComComboBox::SetText(const std::string& name) {
    const int index = FindEntry(entries_, name);
    if (index >= 0)
        SelectIndex(index);
}

void TComComboBox::SetStyle(TComboBoxStyle style) {
    // Only the drop-down list is offered: the field must never take typed port names.
    if (style != csDropDownList)
        throw Exception("Invalid property value");
}

int TComComboBox::ItemIndex() const {
    return IsLoading() ? pending_ : TComboBox::ItemIndex();
}

void TComComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(entries_.size()))
        index = -1;
    SelectIndex(index);
}

void TComComboBox::Loaded() {
    const bool wasLoading = IsLoading();
    TComboBox::Loaded();
    if (wasLoading && pending_ >= 0)
        TComboBox::SetItemIndex(pending_);
    pending_ = -1;
}

void TComComboBox::Change() {
    select_.Change(Text());
}

void TComComboBox::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr &&
        component == static_cast<TComponent*>(select_.ComPort()))
        select_.PortRemoved();
}

void TComComboBox::EntriesChanged() {
    // The platform's list selects nothing by itself; the selection is ours to make.
    SetItems(entries_);
}

void TComComboBox::DetailsChanged(std::vector<std::string> details) {
    SetItemDetails(std::move(details));
}

void TComComboBox::SelectIndex(int index) {
    if (IsLoading()) {
        pending_ = index;
        return;
    }
    TComboBox::SetItemIndex(index);
}

void RegisterComComboBox(TClassRegistry& registry) {
    using C = TComComboBox;
    registry.Register("TComComboBox", "TControl", ControlFactory<C>())
        .Ref<C, TCustomComPort>("ComPort", &C::SetComPort)
        .Enum<C, TComProperty>("ComProperty", &C::SetComProperty,
                               {{"cpNone", cpNone},
                                {"cpPort", cpPort},
                                {"cpBaudRate", cpBaudRate},
                                {"cpDataBits", cpDataBits},
                                {"cpStopBits", cpStopBits},
                                {"cpParity", cpParity},
                                {"cpFlowControl", cpFlowControl}})
        .Bool<C>("AutoApply", &C::SetAutoApply)
        .String<C>("Text", &C::SetText)
        .Enum<C, TComboBoxStyle>("Style", &C::SetStyle,
                                 {{"csDropDown", csDropDown},
                                  {"csSimple", csSimple},
                                  {"csDropDownList", csDropDownList}})
        .Int<C>("ItemHeight", &C::SetItemHeight)
        .Property("ItemIndex", [](TComponent& c, const TStoredValue& v) {
            TClassInfo::As<C>(c).SetItemIndex(ParseInt(v));
        });
}

} // namespace tolvar
