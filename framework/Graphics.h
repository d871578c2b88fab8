#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tolvar {

struct TSize {
    int width = 0;
    int height = 0;
    bool operator==(const TSize&) const = default;
};

// A rectangle by its left-top corner and size; right and bottom are exclusive.
struct TRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    static TRect FromEdges(int l, int t, int r, int b) { return {l, t, r - l, b - t}; }
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Contains(int x, int y) const {
        return x >= left && x < Right() && y >= top && y < Bottom();
    }
    bool operator==(const TRect&) const = default;
};

// Where a window goes in a work area: where it is unless part of it lies outside, else moved
// the least that brings it inside; along a side on which it is larger than the area, at the
// area's start.
inline TRect FitInto(const TRect& window, const TRect& area) {
    auto place = [](int at, int size, int start, int length) {
        if (size >= length || at < start)
            return start;
        return at + size > start + length ? start + length - size : at;
    };
    return {place(window.left, window.width, area.left, area.width),
            place(window.top, window.height, area.top, area.height), window.width, window.height};
}

// FitInto for a widget set that scales its units to device pixels by `scale` around `origin`
// (the screen's corner, the same in both), rounding as Qt does. The fit is made in device
// pixels: made in units and scaled afterwards, the rounding can leave the window a pixel past
// the area's edge. The area came from device pixels by the same rounding, so its device edges
// are taken at the inside of what they may have been. Returns the window's place in units.
inline TRect FitIntoScaled(const TRect& window, const TRect& area, int originX, int originY,
                           double scale) {
    auto round = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
    auto along = [&](int at, int size, int start, int length, int origin) {
        const int deviceAt = round((at - origin) * scale);
        const int deviceSize = round(size * scale);
        const int first = static_cast<int>(std::ceil((start - origin + 0.5) * scale)) - 1;
        const int end = static_cast<int>(std::ceil((start - origin - 0.5) * scale)) +
                        static_cast<int>(std::ceil((length - 0.5) * scale));
        const int last = deviceSize >= end - first ? first : end - deviceSize;
        if (deviceAt >= first && deviceAt <= last)
            return at;
        // The unit whose device position is the nearest inside [first, last]; larger than the
        // area, the first at or after its start.
        const int target = deviceAt < first ? first : last;
        const int guess = static_cast<int>(std::floor(target / scale));
        int best = at;
        int bestDistance = -1;
        for (int u = guess - 2; u <= guess + 2; ++u) {
            const int d = round(u * scale);
            const int distance = d >= first && d <= last ? std::abs(d - target) : -1;
            if (distance >= 0 && (bestDistance < 0 || distance < bestDistance)) {
                best = u + origin;
                bestDistance = distance;
            }
        }
        if (bestDistance < 0)
            for (int u = guess - 2;; ++u)
                if (round(u * scale) >= first)
                    return u + origin;
        return best;
    };
    return {along(window.left, window.width, area.left, area.width, originX),
            along(window.top, window.height, area.top, area.height, originY), window.width,
            window.height};
}

// 0x00BBGGRR for an explicit colour; a system colour is 0x80000000 + its index, resolved by the
// widget set to what the platform uses.
using TColor = std::uint32_t;

inline constexpr TColor kSystemColor = 0x80000000u;
inline constexpr TColor clWindowText = kSystemColor + 8;
inline constexpr TColor clWindow = kSystemColor + 5;
inline constexpr TColor clBtnFace = kSystemColor + 15;
inline constexpr TColor clBtnShadow = kSystemColor + 16;
inline constexpr TColor clGrayText = kSystemColor + 17;
inline constexpr TColor clBtnText = kSystemColor + 18;
inline constexpr TColor clBtnHighlight = kSystemColor + 20;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clFuchsia = 0xFF00FF;

inline constexpr TColor Rgb(int r, int g, int b) {
    return static_cast<TColor>(r & 0xFF) | static_cast<TColor>(g & 0xFF) << 8 |
           static_cast<TColor>(b & 0xFF) << 16;
}
inline constexpr bool IsSystemColor(TColor c) {
    return (c & kSystemColor) != 0;
}
inline constexpr int RedOf(TColor c) {
    return static_cast<int>(c & 0xFF);
}
inline constexpr int GreenOf(TColor c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
inline constexpr int BlueOf(TColor c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The contrast ratio of two plain colours as WCAG defines it: 1 (none) to 21.
double ContrastRatio(TColor a, TColor b);
// Small text needs this much contrast with its background.
inline constexpr double kReadableContrast = 4.5;
// The secondary colour, or where it reads at less than the readable contrast on the
// background, the nearest mix of it with the text colour that does (plain colours).
TColor ReadableSecondary(TColor secondary, TColor text, TColor background);

// The colour text is drawn in: as stored, but in the platform's high-contrast mode a stored
// plain colour (red, blue, ...) gives way to the system's text colour.
inline constexpr TColor TextColorFor(TColor stored, bool highContrast) {
    return highContrast && !IsSystemColor(stored) ? clBtnText : stored;
}

struct TFont {
    std::string name = "MS Sans Serif";
    // Pixels at 96 dpi: negative is the character height, positive the cell height.
    int height = -11;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    TColor color = clWindowText;
    // The character height in pixels at 96 dpi, as drawn.
    int PixelHeight() const { return height < 0 ? -height : height; }
    bool operator==(const TFont&) const = default;
};

enum class TAlignment { Left, Center, Right };
enum class TTextEffect { None, Raised };

// How a label lays its text out.
struct TTextStyle {
    TAlignment alignment = TAlignment::Left;
    bool wordWrap = false;
    TTextEffect effect = TTextEffect::None;
    // Inner border in pixels.
    int margin = 0;
    bool operator==(const TTextStyle&) const = default;
};

} // namespace tolvar
