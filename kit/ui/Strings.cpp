#include "kit/ui/Strings.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "kit/Bundle.h"
#include "kit/Defaults.h"
#include "kit/SysPath.h"

namespace kit {

namespace {

// Reads one quoted string starting at s[i] == '"'; advances i past it.
bool readQuoted(const std::string& s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    out.clear();
    while (i < s.size() && s[i] != '"') {
        char c = s[i++];
        if (c == '\\' && i < s.size()) {
            char e = s[i++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            default: out += e; break;
            }
        } else {
            out += c;
        }
    }
    if (i >= s.size()) return false;
    ++i;
    return true;
}

void skipSpaceAndComments(const std::string& s, size_t& i) {
    while (i < s.size()) {
        if (isspace(static_cast<unsigned char>(s[i]))) ++i;
        else if (s.compare(i, 2, "//") == 0) { while (i < s.size() && s[i] != '\n') ++i; }
        else if (s.compare(i, 2, "/*") == 0) {
            size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? s.size() : e + 2;
        } else break;
    }
}

std::map<std::string, std::string> parseStrings(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (true) {
        skipSpaceAndComments(text, i);
        std::string k, v;
        if (!readQuoted(text, i, k)) break;
        skipSpaceAndComments(text, i);
        if (i >= text.size() || text[i] != '=') break;
        ++i;
        skipSpaceAndComments(text, i);
        if (!readQuoted(text, i, v)) break;
        skipSpaceAndComments(text, i);
        if (i < text.size() && text[i] == ';') ++i;
        out[k] = v;
    }
    return out;
}

}  // namespace

std::optional<std::string> localizedString(const std::string& key, const std::string& table) {
    static std::mutex mutex;
    static std::map<std::string, std::map<std::string, std::string>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(table);
    if (it == cache.end()) {
        std::vector<std::string> langs = UserDefaults::standard().stringArrayForKey("AppleLanguages");
        langs.push_back("en");
        langs.push_back("Base");
        std::map<std::string, std::string> entries;
        const std::string res = Bundle::main().resourcePath();
        for (const auto& lang : langs) {
            std::ifstream f(pathJoin(pathJoin(res, lang + ".lproj"), table + ".strings"));
            if (!f) continue;
            std::stringstream ss;
            ss << f.rdbuf();
            entries = parseStrings(ss.str());
            break;
        }
        it = cache.emplace(table, std::move(entries)).first;
    }
    auto e = it->second.find(key);
    if (e == it->second.end()) return std::nullopt;
    return e->second;
}

}  // namespace kit
