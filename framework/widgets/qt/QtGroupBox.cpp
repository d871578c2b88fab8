#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QGroupBox>

namespace tolvar {

namespace {

class TQtGroupBoxPeer final : public TQtPeer, public TGroupBoxPeer {
public:
    explicit TQtGroupBoxPeer(TGroupBox& groupBox)
        : TQtPeer(groupBox, new QGroupBox(ParentWidget(groupBox)), true) {}

    void SetCaption(const std::string& caption) override {
        static_cast<QGroupBox*>(widget_.data())->setTitle(QtText(caption));
    }
};

} // namespace

std::unique_ptr<TGroupBoxPeer> CreateQtGroupBoxPeer(TGroupBox& groupBox) {
    return std::make_unique<TQtGroupBoxPeer>(groupBox);
}

} // namespace tolvar
