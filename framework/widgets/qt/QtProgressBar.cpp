#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QProgressBar>

namespace tolvar {

namespace {

class TQtProgressBarPeer final : public TQtPeer, public TProgressBarPeer {
public:
    explicit TQtProgressBarPeer(TProgressBar& bar)
        : TQtPeer(bar, new QProgressBar(ParentWidget(bar)), false) {
        Bar()->setTextVisible(false);
        Bar()->setRange(0, 100);
        Bar()->setValue(0);
    }

    void SetRange(int minimum, int maximum) override { Bar()->setRange(minimum, maximum); }
    void SetPosition(int position) override { Bar()->setValue(position); }

private:
    QProgressBar* Bar() const { return static_cast<QProgressBar*>(widget_.data()); }
};

} // namespace

std::unique_ptr<TProgressBarPeer> CreateQtProgressBarPeer(TProgressBar& bar) {
    return std::make_unique<TQtProgressBarPeer>(bar);
}

} // namespace tolvar
