#include "framework/widgets/qt/QtPaint.h"

#include "framework/widgets/qt/QtPeer.h"

#include <QPainter>

namespace tolvar {

void TQtCanvas::FillRect(const TRect& rect, TColor color) {
    painter_.fillRect(QtRect(rect), QtColor(color));
}

void TQtCanvas::DrawEtchedLine(const TRect& rect) {
    painter_.fillRect(QRect(rect.left, rect.top, rect.width, 1), QtColor(clBtnShadow));
    painter_.fillRect(QRect(rect.left, rect.top + 1, rect.width, 1), QtColor(clBtnHighlight));
}

} // namespace tolvar
