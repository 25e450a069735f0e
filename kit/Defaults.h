#pragma once
// User defaults. With a system root they are read from the root's
// ".pelorin/defaults.plist" (written by the simulated machine); otherwise from
// the host: "AppleLanguages" from the locale (LANGUAGE/LC_ALL/LANG, "en" last).
#include <mutex>
#include <string>
#include <vector>

#include "kit/Plist.h"

namespace kit {

class UserDefaults {
public:
    static UserDefaults& standard();
    Value objectForKey(const std::string& key);
    std::vector<std::string> stringArrayForKey(const std::string& key);
    bool boolForKey(const std::string& key);               // NO when missing
    void setObject(const std::string& key, Value value);   // this process only
private:
    UserDefaults();
    std::mutex mutex_;
    Value values_;
};

}  // namespace kit
