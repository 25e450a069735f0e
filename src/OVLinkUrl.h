#pragma once
// Web addresses of the product, looked up by link key ("OnlineHelp", "Support",
// "SupportTeam", "IniURL") in the bundle's "PrivateData" by the user's language.
#include <optional>
#include <string>

#include "kit/Plist.h"

class OVLinkUrl {
public:
    // The address for the key in the table of the user's first preferred
    // language ("AppleLanguages", taken as stored), falling back to the "en"
    // table when that language has no table, no entry or an empty one; nullopt
    // when neither gives one. "PrivateData" is read afresh on every call.
    static std::optional<std::string> GetUrl(const std::string& key);

    // The lookup itself, on a given "PrivateData" dictionary and language.
    static std::optional<std::string> urlInPrivateData(const kit::Value& privateData,
                                                       const std::optional<std::string>& language,
                                                       const std::string& key);
};
