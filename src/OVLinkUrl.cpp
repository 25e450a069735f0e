#include "OVLinkUrl.h"

#include <vector>

#include "kit/Bundle.h"
#include "kit/Defaults.h"

std::optional<std::string> OVLinkUrl::urlInPrivateData(const kit::Value& privateData,
                                                       const std::optional<std::string>& language,
                                                       const std::string& key) {
    std::optional<std::string> fallback;
    if (const kit::Value* en = privateData.get("en")) fallback = en->getString(key);
    if (!language) return fallback;
    const kit::Value* table = privateData.get(*language);
    if (!table) return fallback;
    std::optional<std::string> url = table->getString(key);
    if (url && !url->empty()) return url;
    return fallback;
}

std::optional<std::string> OVLinkUrl::GetUrl(const std::string& key) {
    std::vector<std::string> languages = kit::UserDefaults::standard().stringArrayForKey("AppleLanguages");
    std::optional<std::string> language;
    if (!languages.empty()) language = languages.front();
    kit::Value privateData;
    if (auto path = kit::Bundle::main().pathForResource("PrivateData", "plist")) {
        if (auto v = kit::readPlistFile(*path)) privateData = *v;
    }
    return urlInPrivateData(privateData, language, key);
}
