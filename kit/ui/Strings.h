#pragma once
// The bundle's string tables: Resources/<language>.lproj/<table>.strings, in
// the platform's text form ("key" = "value"; with C escapes and comments).
// The language is the first of the user's "AppleLanguages" that has the
// table, then "en", then "Base".
#include <optional>
#include <string>

namespace kit {

std::optional<std::string> localizedString(const std::string& key, const std::string& table = "Localizable");

}  // namespace kit
