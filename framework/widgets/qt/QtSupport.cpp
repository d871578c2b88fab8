#include "framework/widgets/qt/QtPeer.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QPalette>
#include <algorithm>

namespace tolvar {

void InstallFontSubstitutes() {
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

QColor QtColor(TColor color) {
    if (!IsSystemColor(color))
        return QColor(RedOf(color), GreenOf(color), BlueOf(color));
    const QPalette p = QApplication::palette();
    switch (color) {
    case clBtnFace:
        return p.color(QPalette::Button);
    case clWindow:
        return p.color(QPalette::Base);
    case clBtnHighlight:
        return p.color(QPalette::Light);
    case clBtnShadow:
        return p.color(QPalette::Dark);
    case clGrayText:
        return p.color(QPalette::Disabled, QPalette::WindowText);
    default:
        return p.color(QPalette::Active, QPalette::WindowText);
    }
}

QFont QtFont(const TFont& font) {
    QFont f = QApplication::font();
    f.setFamily(QtText(font.name));
    f.setPixelSize(std::max(1, font.PixelHeight()));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    return f;
}

namespace {
QString PicturePath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    return QStringLiteral(":/pictures/") + QtText(name);
}
} // namespace

bool LoadPicture(const std::string& name, QPixmap& picture) {
    const QString path = PicturePath(name);
    return !path.isEmpty() && QFile::exists(path) && picture.load(path);
}

QSize PictureFileSize(const std::string& name) {
    const QString path = PicturePath(name);
    if (path.isEmpty() || !QFile::exists(path))
        return {};
    // The header alone: the pixels are decoded when the picture is first drawn.
    QImageReader reader(path);
    return reader.canRead() ? reader.size() : QSize();
}

bool HighContrast() {
    const QPalette palette = QApplication::palette();
    const auto plain = [](const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); };
    return ContrastRatio(plain(palette.color(QPalette::Window)),
                         plain(palette.color(QPalette::WindowText))) >= 20.0;
}

QString QtText(const std::string& text) {
    return QString::fromStdString(text);
}

QRect QtRect(const TRect& r) {
    return {r.left, r.top, r.width, r.height};
}

TKey KeyOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return TKey::Return;
    case Qt::Key_Escape:
        return TKey::Escape;
    case Qt::Key_Backspace:
        return TKey::Backspace;
    case Qt::Key_Space:
        return TKey::Space;
    default:
        return TKey::Other;
    }
}

} // namespace tolvar
