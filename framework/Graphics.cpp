#include "framework/Graphics.h"

#include <cmath>

namespace tolvar {

namespace {

double Channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(TColor c) {
    return 0.2126 * Channel(RedOf(c)) + 0.7152 * Channel(GreenOf(c)) + 0.0722 * Channel(BlueOf(c));
}

int Mix(int from, int to, int step, int steps) {
    return from + (to - from) * step / steps;
}

} // namespace

double ContrastRatio(TColor a, TColor b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

TColor ReadableSecondary(TColor secondary, TColor text, TColor background) {
    constexpr int kSteps = 64;
    for (int step = 0; step < kSteps; ++step) {
        const TColor mixed = Rgb(Mix(RedOf(secondary), RedOf(text), step, kSteps),
                                 Mix(GreenOf(secondary), GreenOf(text), step, kSteps),
                                 Mix(BlueOf(secondary), BlueOf(text), step, kSteps));
        if (ContrastRatio(mixed, background) >= kReadableContrast)
            return mixed;
    }
    return text;
}

} // namespace tolvar
