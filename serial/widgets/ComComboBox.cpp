#include "serial/widgets/ComComboBox.h"

#include "framework/ClassRegistry.h"
#include "framework/widgets/Application.h"
#include "framework/widgets/Controls.h"
#include "serial/ComPort.h"

#include <QKeyEvent>

namespace tolvar {

TComComboBox::TComComboBox(TComponent* owner, QWidget* parent)
    : QComboBox(parent), TComponent(owner), select_(*this) {
    SetStyle(csDropDownList);
    // Picks by mouse, arrow keys, wheel or typing the start of a name all arrive here.
    // A failing pick is shown here: an exception must not unwind through the toolkit's code.
    connect(this, &QComboBox::activated, this, [this](int) { RunHandler([this] { Change(); }); });
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
    setEditable(false);
}

int TComComboBox::ItemIndex() const {
    return IsLoading() ? pending_ : currentIndex();
}

void TComComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(entries_.size()))
        index = -1;
    SelectIndex(index);
}

void TComComboBox::Loaded() {
    const bool wasLoading = IsLoading();
    TComponent::Loaded();
    if (wasLoading && pending_ >= 0)
        setCurrentIndex(pending_);
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

void TComComboBox::keyPressEvent(QKeyEvent* event) {
    // Backspace does not pick: it must not write the name again, nor an empty one.
    if (event->key() == Qt::Key_Backspace) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void TComComboBox::EntriesChanged() {
    const QSignalBlocker quiet(this);
    clear();
    for (const std::string& name : entries_)
        addItem(QString::fromStdString(name));
    // The platform's list selects nothing by itself; the selection is ours to make.
    setCurrentIndex(-1);
}

void TComComboBox::SelectIndex(int index) {
    if (IsLoading()) {
        pending_ = index;
        return;
    }
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}

void RegisterComComboBox(TClassRegistry& registry) {
    using C = TComComboBox;
    registry.Register("TComComboBox", "TControl", WidgetFactory<C>())
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
