#include "framework/Application.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QPushButton>

namespace tolvar {

namespace {

class TQtButtonPeer final : public TQtPeer, public TButtonPeer {
public:
    explicit TQtButtonPeer(TButton& button)
        : TQtPeer(button, new QPushButton(ParentWidget(button)), false) {
        // Return reaches the form, which decides what it presses.
        Button()->setAutoDefault(false);
        QObject::connect(Button(), &QPushButton::clicked, Button(),
                         [this] { RunHandler([this] { control_.PeerClicked(); }); });
    }

    void SetCaption(const std::string& caption) override { Button()->setText(QtText(caption)); }
    void SetDefault(bool isDefault) override { Button()->setDefault(isDefault); }

private:
    QPushButton* Button() const { return static_cast<QPushButton*>(widget_.data()); }
};

} // namespace

std::unique_ptr<TButtonPeer> CreateQtButtonPeer(TButton& button) {
    return std::make_unique<TQtButtonPeer>(button);
}

} // namespace tolvar
