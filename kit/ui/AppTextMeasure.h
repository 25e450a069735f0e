#pragma once
// Measuring wrapped text: the height a text takes when laid out in a font at a
// given width, words wrapped, no line-fragment padding (the used rectangle of
// a text layout). 0 for an empty text or a width that holds nothing.
#include <string>

#include "kit/ui/Font.h"

namespace kit {

double heightOfWrappedText(const std::string& text, const Font& font, double width);

}  // namespace kit
