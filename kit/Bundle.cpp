#include "kit/Bundle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "kit/SysPath.h"

namespace kit {

namespace {

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The bundle that holds the running executable, when it sits in X.app/Contents/MacOS.
std::string bundleOfExecutable() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    const std::string exe(buf, static_cast<size_t>(n));
    const std::string macos = deletingLastPathComponent(exe);
    if (!endsWith(macos, "/Contents/MacOS")) return {};
    const std::string bundle = deletingLastPathComponent(deletingLastPathComponent(macos));
    return endsWith(bundle, ".app") ? bundle : std::string();
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

Bundle& Bundle::main() {
    static Bundle bundle([] {
        if (const char* env = std::getenv("PELORIN_BUNDLE"); env && *env) {
            std::string p(env);
            while (p.size() > 1 && p.back() == '/') p.pop_back();
            return p;
        }
        return bundleOfExecutable();
    }());
    return bundle;
}

Bundle::Bundle(std::string bundlePath) : path_(std::move(bundlePath)) {}

std::string Bundle::resourcePath() const { return path_.empty() ? std::string() : path_ + "/Contents/Resources"; }

Value Bundle::infoDictionary() const {
    if (path_.empty()) return Value::dict();
    auto info = readPlistFile(path_ + "/Contents/Info.plist");
    return info && info->isDict() ? *info : Value::dict();
}

std::string Bundle::bundleIdentifier() const { return infoDictionary().getString("CFBundleIdentifier").value_or(""); }

std::string Bundle::executablePath() const {
    if (path_.empty()) return {};
    std::string name = infoDictionary().getString("CFBundleExecutable").value_or("");
    if (name.empty()) {
        name = lastPathComponent(path_);
        if (endsWith(name, ".app")) name.resize(name.size() - 4);
    }
    return path_ + "/Contents/MacOS/" + name;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type) const {
    if (path_.empty() || name.empty()) return std::nullopt;
    const std::string file = type.empty() ? name : name + "." + type;
    const std::string resources = resourcePath();
    for (const char* sub : {"", "images", "layouts"}) {
        const std::string candidate = *sub ? pathJoin(pathJoin(resources, sub), file) : pathJoin(resources, file);
        if (isFile(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace kit
