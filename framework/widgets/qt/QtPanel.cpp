#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/widgets/qt/QtPaint.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QPainter>

namespace tolvar {

namespace {

class TPanelWidget : public QWidget {
public:
    TPanelWidget(QWidget* parent, TControl& control) : QWidget(parent), control_(control) {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Button);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        TQtCanvas canvas(painter);
        RunHandler([&] { control_.PeerPaint(canvas); });
    }

private:
    TControl& control_;
};

class TQtPanelPeer final : public TQtPeer, public TPanelPeer {
public:
    explicit TQtPanelPeer(TCustomPanel& panel)
        : TQtPeer(panel, new TPanelWidget(ParentWidget(panel), panel), true) {
        ownAccessible_ = true;
    }
};

} // namespace

std::unique_ptr<TPanelPeer> CreateQtPanelPeer(TCustomPanel& panel) {
    return std::make_unique<TQtPanelPeer>(panel);
}

} // namespace tolvar
