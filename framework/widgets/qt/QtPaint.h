#pragma once

#include "framework/WidgetSet.h"

class QPainter;

namespace tolvar {

// Draws for a control that paints itself.
class TQtCanvas final : public TCanvas {
public:
    explicit TQtCanvas(QPainter& painter) : painter_(painter) {}

    void FillRect(const TRect& rect, TColor color) override;
    void DrawEtchedLine(const TRect& rect) override;
    // There is no "Tab" theme class to draw with on this platform.
    bool DrawThemedTabBackground(const TRect&) override { return false; }

private:
    QPainter& painter_;
};

} // namespace tolvar
