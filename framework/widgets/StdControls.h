#pragma once

#include "framework/ClassRegistry.h"
#include "framework/Component.h"
#include "framework/widgets/Controls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <functional>
#include <string>

namespace tolvar {

using TControlClickEvent = std::function<void(TComponent* sender)>;

// A frame around related controls; the stored ones carry no caption.
class TGroupBox : public QGroupBox, public TComponent {
public:
    TGroupBox(TComponent* owner, QWidget* parent);
};

// A box the user ticks; OnClick follows every change the user makes.
class TCheckBox : public QCheckBox, public TComponent {
public:
    TCheckBox(TComponent* owner, QWidget* parent);
    void SetCaption(const std::string& caption);
    bool Checked() const { return isChecked(); }
    void SetChecked(bool value) { setChecked(value); }

    TControlClickEvent OnClick;
};

class TButton : public QPushButton, public TComponent {
public:
    TButton(TComponent* owner, QWidget* parent);
    void SetCaption(const std::string& caption);

    TControlClickEvent OnClick;
};

// A bar without a percentage text.
class TProgressBar : public QProgressBar, public TComponent {
public:
    TProgressBar(TComponent* owner, QWidget* parent);
};

// A bitmap drawn into its frame. Picture names a file of the program's picture resources.
class TImage : public QWidget, public TComponent {
public:
    TImage(TComponent* owner, QWidget* parent);

    void SetPicture(const std::string& name);
    const QPixmap& Picture() const { return picture_; }
    // Pure magenta pixels are left out.
    void SetTransparent(bool value);
    void SetStretch(bool value);
    void SetProportional(bool value);
    void SetCenter(bool value);
    // Where the picture lands inside the frame.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Rebuild();

    QPixmap source_;
    QPixmap picture_;
    bool transparent_ = false;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
};

// A label that opens its caption, a web address, with the desktop's default handler. The text
// turns purple on the press and stays so; when the desktop cannot open it, the link is disabled.
class TLinkLabel : public TLabel {
public:
    using TOpener = std::function<bool(const QUrl&)>;

    TLinkLabel(TComponent* owner, QWidget* parent);
    bool Visited() const { return visited_; }
    // How addresses are opened: the desktop's default handler unless replaced (tests). Returns
    // the previous opener.
    static TOpener SetOpener(TOpener opener);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool visited_ = false;
    bool pressed_ = false;
};

// Registers "TGroupBox", "TCheckBox", "TButton", "TProgressBar", "TImage" and the link label
// "TLMDSimpleLabel" (needs RegisterControlClasses first).
void RegisterStandardControls(TClassRegistry& registry);

} // namespace tolvar
