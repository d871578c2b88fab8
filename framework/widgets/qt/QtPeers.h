#pragma once

#include "framework/WidgetSet.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace tolvar {

class TQtWidgetSet;

// The classic Windows faces of the stored descriptions are drawn with the metric-compatible
// fonts installed here.
void InstallFontSubstitutes();

// A colour of the model as the Qt palette gives it.
QColor QtColor(TColor color);
// A font of the model; the name stays as stored, the substitutes draw it.
QFont QtFont(const TFont& font);
// A picture of the program's resources (":/pictures/<name>"); false when there is none.
bool LoadPicture(const std::string& name, QPixmap& picture);

// One control's widget. The widget belongs to the parent's widget while both live; the peer
// deletes it when the control goes (children go first, as the model destroys them).
class TQtPeer final : public TControlPeer {
public:
    TQtPeer(TQtWidgetSet& widgetSet, TControl& control);
    ~TQtPeer() override;

    QWidget* Widget() const { return widget_; }
    TControl& Control() const { return control_; }

    void SetBounds(const TRect& rect) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetCaption(const std::string& caption) override;
    void SetFont(const TFont& font) override;
    void SetColor(TColor color) override;
    void SetFocus() override;
    bool Focused() const override;
    void BringToFront() override;
    void Invalidate() override;
    void SetTabOrder(const std::vector<TControl*>& chain) override;
    void SetTextStyle(const TTextStyle& style) override;
    TSize MeasureText(int width) const override;
    void SetChecked(bool checked) override;
    void SetDefault(bool isDefault) override;
    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void SetItems(const std::vector<std::string>& items) override;
    void SetItemIndex(int index) override;
    void SetPicture(const std::string& name, bool transparent, const TRect& target) override;
    void ShowWindow() override;
    void CloseWindow() override;

private:
    TQtWidgetSet& widgetSet_;
    TControl& control_;
    TControlKind kind_;
    QPointer<QWidget> widget_;
    // A form is shown by ShowWindow only; until then its Visible is remembered.
    bool windowShown_ = false;
};

} // namespace tolvar
