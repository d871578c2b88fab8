#pragma once

// Shared by the pieces of the Qt widget set; nothing outside this folder includes it.

#include "framework/WidgetSet.h"
#include "framework/widgets/qt/QtAccessible.h"

#include <QAccessible>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <memory>

class QKeyEvent;

namespace tolvar {

class TQtWidgetSet;

// The classic Windows faces of the stored descriptions are drawn with the metric-compatible
// fonts installed here.
void InstallFontSubstitutes();
// A colour of the model as the Qt palette gives it.
QColor QtColor(TColor color);
// Whether the palette Qt is given is a high-contrast one: Qt has no flag for it, but such
// schemes draw pure black on white or pure white on black, which no ordinary palette does.
bool HighContrast();
// A font of the model; the name stays as stored, the substitutes draw it.
QFont QtFont(const TFont& font);
// A picture of the program's resources (":/pictures/<name>"); false when there is none.
bool LoadPicture(const std::string& name, QPixmap& picture);
// A picture's size from its file's header (invalid when it is not among the pictures).
QSize PictureFileSize(const std::string& name);
QString QtText(const std::string& text);
QRect QtRect(const TRect& rect);
TKey KeyOf(const QKeyEvent& event);

// What every control's widget does. The widget belongs to the parent's widget while both live;
// the peer deletes it when the control goes (children go first, as the model destroys them).
class TQtPeer : public virtual TControlPeer {
public:
    // A container also sees the keys its children pass on; it offers only its own to the model.
    TQtPeer(TControl& control, QWidget* widget, bool container);
    ~TQtPeer() override;
    TQtPeer(const TQtPeer&) = delete;
    TQtPeer& operator=(const TQtPeer&) = delete;

    QWidget* Widget() const { return widget_; }
    TControl& Control() const { return control_; }

    void SetBounds(const TRect& rect) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    // Kinds without a caption show nothing of it.
    void SetCaption(const std::string&) override {}
    void SetFont(const TFont& font) override;
    void SetColor(TColor color) override;
    void SetFocus() override;
    bool Focused() const override;
    void BringToFront() override;
    void Invalidate() override;
    void SetAccessible(const TAccessibleInfo& info) override;

protected:
    // The widget of the control's parent, which a child's widget is made in.
    static QWidget* ParentWidget(const TControl& control);

    TControl& control_;
    QPointer<QWidget> widget_;
    // A widget of ours, not a Qt one whose own interface already knows what it is.
    bool ownAccessible_ = false;

private:
    bool container_;
};

std::unique_ptr<TFormPeer> CreateQtFormPeer(TQtWidgetSet& widgetSet, TCustomForm& form);
std::unique_ptr<TPanelPeer> CreateQtPanelPeer(TCustomPanel& panel);
std::unique_ptr<TGroupBoxPeer> CreateQtGroupBoxPeer(TGroupBox& groupBox);
std::unique_ptr<TLabelPeer> CreateQtLabelPeer(TLabel& label);
// What a label's text needs, as its widget would draw it.
TSize MeasureQtLabel(const TLabel& label, int width);
std::unique_ptr<TCheckBoxPeer> CreateQtCheckBoxPeer(TCheckBox& checkBox);
std::unique_ptr<TButtonPeer> CreateQtButtonPeer(TButton& button);
std::unique_ptr<TProgressBarPeer> CreateQtProgressBarPeer(TProgressBar& bar);
std::unique_ptr<TComboBoxPeer> CreateQtComboBoxPeer(TComboBox& comboBox);
std::unique_ptr<TImagePeer> CreateQtImagePeer(TImage& image);

} // namespace tolvar
