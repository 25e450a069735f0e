#pragma once
// Measuring text: the height a text takes when laid out in a font at a given
// width, words wrapped, no line-fragment padding (the used rectangle of a text
// layout); and the text as it fits one line of a given width.
#include <string>

#include "kit/ui/Font.h"
#include "kit/ui/Graphics.h"

namespace kit {

// 0 for an empty text or a width that holds nothing.
double heightOfWrappedText(const std::string& text, const Font& font, double width);

// The text shown on one line `width` points wide: unchanged when it fits or
// when the mode does not truncate; otherwise cut at its head, in its middle or
// at its tail, an ellipsis ("…") standing for what was left out.
std::string truncatedText(const std::string& text, const Font& font, double width, LineBreakMode mode);

}  // namespace kit
