#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"

#include <QLabel>
#include <QWidget>
#include <string>
#include <string_view>

namespace tolvar {

// Records the order in which stored controls were created; it orders the tab chain where no
// TabOrder was stored.
void MarkCreation(QWidget* control);

// Factory for a stored control class T constructed as T(owner, parent widget).
template <class T> TClassInfo::Factory WidgetFactory() {
    return [](TComponent* owner, TComponent* parent) -> TComponent* {
        auto* parentWidget = dynamic_cast<QWidget*>(parent);
        if (parentWidget == nullptr)
            throw Exception("Control has no parent window");
        T* control = new T(owner, parentWidget);
        MarkCreation(control);
        return control;
    };
}

// Colour names of stored descriptions ("clBtnFace", "clRed", "$00BBGGRR", ...).
QColor ParseColor(const TStoredValue& value);

// Base of forms built from a stored description. It owns every stored object, offers its
// event handlers by name and keeps the modal result that buttons set.
class TCustomForm : public QWidget, public TComponent {
public:
    explicit TCustomForm(QWidget* parent = nullptr);
    ~TCustomForm() override;

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    const THandlerTable& Handlers() const { return handlers_; }

    // Reads the description whose outermost object has class rootClass into this form.
    void ReadDescription(std::string_view description, const std::string& rootClass,
                         const TClassRegistry& registry);

    void Loaded() override;

protected:
    THandlerTable handlers_;

private:
    int modalResult_ = 0;
};

// A one-line or word-wrapped text.
class TLabel : public QLabel, public TComponent {
public:
    TLabel(TComponent* owner, QWidget* parent);
    void SetCaption(const std::string& caption);
    void SetAutoSize(bool autoSize);
    void SetWordWrap(bool wrap);
    // Line breaks are stored as "\r\n", as the platform's labels expect them.
    const std::string& Caption() const { return caption_; }
    // Raised text: a light copy above left and a dark one below right of the text.
    enum class TTextEffect { None, Raised };
    void SetTextEffect(TTextEffect effect);
    TTextEffect TextEffect() const { return effect_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string caption_;
    bool autoSize_ = true;
    TTextEffect effect_ = TTextEffect::None;
};

// Registers "TControl" (geometry, "Align" = alClient to fill the parent, visibility, enabled state,
// tab order, colour, font), "TForm" (caption, client size) and the labels "TLabel" and "TLMDLabel".
void RegisterControlClasses(TClassRegistry& registry);

// Orders the tab chain of a window: siblings by their stored TabOrder (creation order where
// none was stored), depth first, as the stored description intends.
void ApplyTabOrder(QWidget* window);

} // namespace tolvar
