#include "framework/Application.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace tolvar {

namespace {

class TQtComboBoxPeer final : public TQtPeer, public TComboBoxPeer {
public:
    explicit TQtComboBoxPeer(TComboBox& comboBox)
        : TQtPeer(comboBox, new QComboBox(ParentWidget(comboBox)), false) {
        List()->setEditable(false);
        // Picks by mouse, arrow keys, wheel or typing the start of a name all arrive here.
        QObject::connect(List(), &QComboBox::activated, List(), [this](int index) {
            RunHandler([this, index] { control_.PeerSelected(index); });
        });
    }

    void SetItems(const std::vector<std::string>& items) override {
        const QSignalBlocker quiet(List());
        List()->clear();
        for (const std::string& item : items)
            List()->addItem(QtText(item));
        // The list selects nothing by itself; the selection is the model's to make.
        List()->setCurrentIndex(-1);
    }
    void SetItemIndex(int index) override {
        const QSignalBlocker quiet(List());
        List()->setCurrentIndex(index);
    }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget_.data()); }
};

} // namespace

std::unique_ptr<TComboBoxPeer> CreateQtComboBoxPeer(TComboBox& comboBox) {
    return std::make_unique<TQtComboBoxPeer>(comboBox);
}

} // namespace tolvar
