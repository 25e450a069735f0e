#include "kit/Defaults.h"

#include <cstdlib>

#include "kit/SysPath.h"

namespace kit {

namespace {

// "de_DE.UTF-8" -> "de-DE"; "C" and "POSIX" name no language.
std::string languageCode(std::string locale) {
    const size_t cut = locale.find_first_of(".@");
    if (cut != std::string::npos) locale.resize(cut);
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    for (char& c : locale)
        if (c == '_') c = '-';
    return locale;
}

Value hostLanguages() {
    std::vector<std::string> langs;
    auto add = [&](const std::string& code) {
        if (code.empty()) return;
        for (const auto& l : langs)
            if (l == code) return;
        langs.push_back(code);
    };
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string s(list);
        size_t start = 0;
        while (start <= s.size()) {
            const size_t colon = s.find(':', start);
            add(languageCode(s.substr(start, colon == std::string::npos ? std::string::npos : colon - start)));
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    for (const char* var : {"LC_ALL", "LANG"}) {
        if (const char* v = std::getenv(var); v && *v) {
            add(languageCode(v));
            break;
        }
    }
    add("en");
    Value arr = Value::array();
    for (const auto& l : langs) arr.push(l);
    return arr;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults* defaults = new UserDefaults;
    return *defaults;
}

UserDefaults::UserDefaults() : values_(Value::dict()) {}

Value UserDefaults::objectForKey(const std::string& key) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const Value* v = values_.get(key)) return *v;
    }
    if (!sysRoot().empty()) {
        // Read fresh: the simulated machine may change it between runs.
        auto file = readPlistFile(sysPath("/.pelorin/defaults.plist"));
        if (file && file->isDict()) {
            if (const Value* v = file->get(key)) return *v;
        }
        return Value();
    }
    if (key == "AppleLanguages") return hostLanguages();
    return Value();
}

std::vector<std::string> UserDefaults::stringArrayForKey(const std::string& key) {
    std::vector<std::string> out;
    const Value v = objectForKey(key);
    const Value::Array* arr = v.asArray();
    if (!arr) return out;
    for (const Value& item : *arr) {
        if (!item.isString()) return {};  // not an array of strings
        out.push_back(*item.asString());
    }
    return out;
}

bool UserDefaults::boolForKey(const std::string& key) {
    const Value v = objectForKey(key);
    if (auto b = v.asBool()) return *b;
    if (auto r = v.asReal()) return *r != 0;
    if (auto s = v.asString(); s && v.isString()) return *s == "YES" || *s == "yes" || *s == "true" || std::atoi(s->c_str()) != 0;
    return false;
}

void UserDefaults::setObject(const std::string& key, Value value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (value.isNull()) values_.erase(key);
    else values_.set(key, std::move(value));
}

}  // namespace kit
