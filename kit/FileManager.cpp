#include "kit/FileManager.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace fs = std::filesystem;

namespace kit {

namespace {

// Symbolic links resolved as far as the path exists, the rest normalised, no
// trailing slash: two spellings of one place compare equal.
std::string normalised(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    if (ec) p = fs::path(path).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool atOrInside(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

bool isPrivacyProtected(const std::string& path) {
    if (sysRoot().empty() || path.empty()) return false;
    auto state = machineState();
    if (!state || state->getBool("FullDiskAccess").value_or(true)) return false;
    const auto* list = state->getArray("ProtectedPaths");
    if (!list) return false;
    const std::string p = normalised(path);
    for (const auto& entry : *list) {
        auto rel = entry.asString();
        if (!rel || rel->empty()) continue;
        if (atOrInside(p, normalised(sysPath(*rel)))) return true;
    }
    return false;
}

bool fileExists(const std::string& path, bool* isDirectory) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        if (isDirectory) *isDirectory = false;
        return false;
    }
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<std::vector<std::string>> contentsOfDirectory(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::vector<std::string>> {
        if (error) *error = path + ": " + why;
        return std::nullopt;
    };
    if (isPrivacyProtected(path)) return fail(std::strerror(EPERM));
    std::error_code ec;
    fs::directory_iterator it(path, ec);
    if (ec) return fail(ec.message());
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return fail(ec.message());
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isReadableFile(const std::string& path) {
    if (path.empty() || isPrivacyProtected(path)) return false;
    return ::access(path.c_str(), R_OK) == 0;
}

std::optional<std::string> homeDirectoryFromUserDatabase() {
    if (!sysRoot().empty()) {
        const std::string home = homeFolderForUser(consoleUser());
        if (home.empty()) return std::nullopt;
        return home;
    }
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return std::string(found->pw_dir);
    return std::nullopt;
}

std::string homeDirectory() {
    if (!sysRoot().empty()) return homeFolderForUser(consoleUser());
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    return homeDirectoryFromUserDatabase().value_or("/");
}

}  // namespace kit
