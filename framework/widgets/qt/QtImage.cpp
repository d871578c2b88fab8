#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmapCache>

namespace tolvar {

namespace {

const QColor kTransparentKey(255, 0, 255);

// The picture as drawn before scaling: decoded once per process and kept in Qt's pixmap cache
// (two controls showing one picture share it), with the key colour left out where asked.
QPixmap Picture(const std::string& name, bool transparent) {
    const QString key = QStringLiteral("tolvar:") + QtText(name) + (transparent ? "+mask" : "");
    QPixmap picture;
    if (QPixmapCache::find(key, &picture))
        return picture;
    if (!LoadPicture(name, picture))
        return {};
    if (transparent)
        picture.setMask(picture.createMaskFromColor(kTransparentKey, Qt::MaskInColor));
    QPixmapCache::insert(key, picture);
    return picture;
}

class TImageWidget : public QWidget {
public:
    using QWidget::QWidget;

    // Only notes what to draw: the picture is decoded, masked and scaled when it is first drawn,
    // so the pictures of pages not yet shown cost the start-up nothing.
    void SetPicture(const std::string& name, bool transparent, const QRect& target) {
        if (name != name_ || transparent != transparent_ || target.size() != target_.size())
            scaled_ = QPixmap();
        name_ = name;
        transparent_ = transparent;
        target_ = target;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (name_.empty() || target_.isEmpty())
            return;
        if (scaled_.isNull()) {
            const QPixmap picture = Picture(name_, transparent_);
            if (picture.isNull())
                return;
            // Scaling the masked pixmap itself keeps the left-out colour out of the blend.
            scaled_ =
                picture.scaled(target_.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target_.topLeft(), scaled_);
    }

private:
    std::string name_;
    bool transparent_ = false;
    QRect target_;
    QPixmap scaled_; // the picture at the target's size, made at the first paint
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
