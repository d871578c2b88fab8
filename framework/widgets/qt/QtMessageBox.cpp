#include "framework/MessageBoxes.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <map>

namespace tolvar {

int TQtWidgetSet::ShowMessageBox(const TMessageRequest& request) {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    box.setTextFormat(Qt::PlainText);
    switch (request.icon) {
    case TMsgIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TMsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case TMsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TMsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TMsgIcon::None:
        break;
    }
    // The icon is a picture of the box; a screen reader reads it by what it means.
    for (QLabel* label : box.findChildren<QLabel*>())
        if (!label->pixmap().isNull())
            label->setAccessibleName(QString::fromStdString(IconAccessibleName(request.icon)));
    std::map<QAbstractButton*, int> results;
    for (const TMessageButton& b : request.buttons) {
        QPushButton* button =
            box.addButton(QString::fromStdString(b.caption), QMessageBox::AcceptRole);
        results[button] = b.result;
        if (b.result == request.defaultResult)
            box.setDefaultButton(button);
        if (b.result == request.escapeResult)
            box.setEscapeButton(button);
    }
    if (request.centreOnScreen) {
        box.adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect r = box.frameGeometry();
            r.moveCenter(screen->availableGeometry().center());
            box.move(r.topLeft());
        }
    }
    box.exec();
    auto it = results.find(box.clickedButton());
    return it == results.end() ? request.escapeResult : it->second;
}

} // namespace tolvar
