#include "framework/Application.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QCheckBox>
#include <QSignalBlocker>

namespace tolvar {

namespace {

class TQtCheckBoxPeer final : public TQtPeer, public TCheckBoxPeer {
public:
    explicit TQtCheckBoxPeer(TCheckBox& checkBox)
        : TQtPeer(checkBox, new QCheckBox(ParentWidget(checkBox)), false) {
        // clicked: only the user's changes, never the program's.
        QObject::connect(Box(), &QCheckBox::clicked, Box(), [this] {
            RunHandler([this] { control_.PeerToggled(Box()->isChecked()); });
        });
    }

    void SetCaption(const std::string& caption) override { Box()->setText(QtText(caption)); }
    void SetChecked(bool checked) override {
        const QSignalBlocker quiet(Box());
        Box()->setChecked(checked);
    }

private:
    QCheckBox* Box() const { return static_cast<QCheckBox*>(widget_.data()); }
};

} // namespace

std::unique_ptr<TCheckBoxPeer> CreateQtCheckBoxPeer(TCheckBox& checkBox) {
    return std::make_unique<TQtCheckBoxPeer>(checkBox);
}

} // namespace tolvar
