#pragma once
// Fonts. Sizes are the system's point sizes used as pixel sizes, so a 13-point
// label is 13 pixels high on every screen. The system font is the toolkit's
// default sans-serif face.
#include <string>

#include "kit/ui/Geometry.h"

namespace kit {

class Font {
public:
    Font() = default;
    static Font systemFont(double size);
    static Font boldSystemFont(double size);
    // A named font; an unknown family falls back to the system font.
    static Font fontWithName(const std::string& family, double size);
    static double systemFontSize() { return 13.0; }
    static double smallSystemFontSize() { return 11.0; }

    const std::string& familyName() const { return family_; }
    double pointSize() const { return size_; }
    bool isBold() const { return bold_; }

    // Width and height that one line of text takes in this font.
    Size sizeOfString(const std::string& text) const;
    double ascender() const;
    double descender() const;   // positive distance below the baseline
    double lineHeight() const;

    bool operator==(const Font& o) const { return family_ == o.family_ && size_ == o.size_ && bold_ == o.bold_; }
    bool operator!=(const Font& o) const { return !(*this == o); }

private:
    std::string family_;       // "" = the system face
    double size_ = 13.0;
    bool bold_ = false;
};

}  // namespace kit
