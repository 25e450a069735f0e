#include "Comm/getColor.h"

#include "kit/ui/Strings.h"

kit::Color getColor(float red, float green, float blue, float alpha) {
    return kit::Color(double(red) / 255.0, double(green) / 255.0, double(blue) / 255.0, alpha);
}

std::string getLocalizedString(const std::optional<std::string>& key) {
    if (!key) return "";
    return kit::localizedString(*key).value_or("");
}

std::string GetLocalizedString(const std::optional<std::string>& key) {
    if (!key) return " ";
    return kit::localizedString(*key).value_or("");
}
