#pragma once
// Colours: device RGB components in 0..1 and an alpha. Built from the 0–255
// values that the system's code writes with rgb255().
#include <cmath>

namespace kit {

struct Color {
    double red = 0, green = 0, blue = 0, alpha = 0;

    Color() = default;
    Color(double r, double g, double b, double a) : red(r), green(g), blue(b), alpha(a) {}

    // Device RGB from 0–255 components (divided in double precision).
    static Color rgb255(double r, double g, double b, double a = 1.0) {
        return Color(r / 255.0, g / 255.0, b / 255.0, a);
    }
    static Color white(double w = 1.0, double a = 1.0) { return Color(w, w, w, a); }
    static Color black() { return Color(0, 0, 0, 1); }
    static Color clear() { return Color(0, 0, 0, 0); }
    static Color lightGray() { return white(2.0 / 3.0); }
    static Color gray() { return white(0.5); }
    // The platform's named interface colours, in their light appearance.
    static Color controlColor() { return white(0.93); }
    static Color disabledControlTextColor() { return Color(0, 0, 0, 0.25); }
    static Color controlTextColor() { return Color(0, 0, 0, 0.85); }
    static Color windowBackgroundColor() { return white(0.925); }
    static Color textBackgroundColor() { return white(1.0); }

    Color withAlpha(double a) const { return Color(red, green, blue, a); }

    // Sets the current graphics context's fill, stroke or both colours (the
    // platform's -setFill, -setStroke and -set).
    void setFill() const;
    void setStroke() const;
    void set() const;

    // Compared at 0–255 precision, which is what a screen can tell apart.
    bool operator==(const Color& o) const {
        auto q = [](double v) { return std::lround(v * 255.0); };
        return q(red) == q(o.red) && q(green) == q(o.green) && q(blue) == q(o.blue) && q(alpha) == q(o.alpha);
    }
    bool operator!=(const Color& o) const { return !(*this == o); }
};

}  // namespace kit
