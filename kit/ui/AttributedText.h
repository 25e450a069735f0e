#pragma once
// Text with a look of its own for labels: alignment, extra space between
// lines, a font, a colour for the whole and colours for parts of it (the
// platform's attributed strings, as far as the screens use them).
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Graphics.h"

namespace kit {

class AttributedString {
public:
    AttributedString() = default;
    explicit AttributedString(std::string text) : text_(std::move(text)) {}

    const std::string& string() const { return text_; }

    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment a) { alignment_ = a; }
    // Points added between two lines.
    double lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(double s) { lineSpacing_ = s; }
    // The whole text's font and colour; unset, the label's own are used.
    const std::optional<Font>& font() const { return font_; }
    void setFont(const Font& f) { font_ = f; }
    const std::optional<Color>& color() const { return color_; }
    void setColor(const Color& c) { color_ = c; }

    // A colour for the bytes [start, start + length) of the text.
    struct ColorRange {
        std::size_t start = 0, length = 0;
        Color color;
    };
    void addColor(const Color& c, std::size_t start, std::size_t length);
    // Colours the first occurrence of phrase; false (and no change) when the
    // text does not hold it.
    bool addColorToPhrase(const Color& c, const std::string& phrase);
    const std::vector<ColorRange>& colorRanges() const { return ranges_; }
    // The colour drawn at a byte of the text (the whole's colour, else dflt).
    Color colorAt(std::size_t byte, const Color& dflt) const;

private:
    std::string text_;
    TextAlignment alignment_ = TextAlignment::Left;
    double lineSpacing_ = 0;
    std::optional<Font> font_;
    std::optional<Color> color_;
    std::vector<ColorRange> ranges_;
};

// Draws the text wrapped at word boundaries (and at line feeds) into r from its top, in the
// current graphics context. Font and colour default to the given ones.
void drawAttributedString(const AttributedString& s, const Rect& r, const Font& font, const Color& color);
// The height the wrapped text takes at this width.
double attributedStringHeight(const AttributedString& s, double width, const Font& font);

}  // namespace kit
