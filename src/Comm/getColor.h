#pragma once
// The colour helper of the interface and the two localized-string helpers.
#include <optional>
#include <string>

#include "kit/ui/Color.h"

// Red, green and blue on the 0–255 scale, alpha 0–1.
kit::Color getColor(float red, float green, float blue, float alpha);

// The main bundle's string for the key from the default table; an empty
// string when the key is missing. A nil key gives "" here and " " from
// GetLocalizedString.
std::string getLocalizedString(const std::optional<std::string>& key);
std::string GetLocalizedString(const std::optional<std::string>& key);
