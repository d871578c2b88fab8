#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QBitmap>
#include <QPainter>

namespace tolvar {

namespace {

const QColor kTransparentKey(255, 0, 255);

class TImageWidget : public QWidget {
public:
    using QWidget::QWidget;

    void SetPicture(const std::string& name, bool transparent, const QRect& target) {
        if (name != name_) {
            name_ = name;
            source_ = QPixmap();
            LoadPicture(name, source_);
        }
        picture_ = source_;
        if (transparent && !picture_.isNull())
            picture_.setMask(source_.createMaskFromColor(kTransparentKey, Qt::MaskInColor));
        target_ = target;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (picture_.isNull() || target_.isEmpty())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // Scaling the masked pixmap itself keeps the left-out colour out of the blend.
        painter.drawPixmap(target_.topLeft(), picture_.scaled(target_.size(), Qt::IgnoreAspectRatio,
                                                              Qt::SmoothTransformation));
    }

private:
    std::string name_;
    QPixmap source_;
    QPixmap picture_;
    QRect target_;
};

class TQtImagePeer final : public TQtPeer, public TImagePeer {
public:
    explicit TQtImagePeer(TImage& image)
        : TQtPeer(image, new TImageWidget(ParentWidget(image)), false) {
        ownAccessible_ = true;
    }

    void SetPicture(const std::string& name, bool transparent, const TRect& target) override {
        static_cast<TImageWidget*>(widget_.data())->SetPicture(name, transparent, QtRect(target));
    }
};

} // namespace

std::unique_ptr<TImagePeer> CreateQtImagePeer(TImage& image) {
    return std::make_unique<TQtImagePeer>(image);
}

} // namespace tolvar
