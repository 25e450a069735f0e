#pragma once
// Colour conversions for drawing code that wants a generic-RGB colour built
// from a colour's calibrated components.
#include "kit/ui/Color.h"

// A new colour from the receiver's red, green, blue and alpha.
kit::Color YL_CGColorCreate(const kit::Color& color);
