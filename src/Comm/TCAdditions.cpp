#include "Comm/TCAdditions.h"

kit::Color YL_CGColorCreate(const kit::Color& c) { return kit::Color(c.red, c.green, c.blue, c.alpha); }
