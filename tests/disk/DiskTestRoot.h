#pragma once
// A throw-away system root for the disk tests: a folder with a machine-state
// file holding just the facts kit reads (version, console user), PELORIN_SYSROOT
// pointing at it while the object lives.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "kit/Plist.h"
#include "support/EnvGuard.h"

namespace disktest {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ScopedRoot {
public:
    explicit ScopedRoot(const std::string& version = "13.4.1", const std::string& user = "tester") {
        std::string tmpl = (std::filesystem::temp_directory_path() / "pelorin-disk-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
        std::filesystem::create_directories(path_ + "/.pelorin");
        std::filesystem::create_directories(path_ + "/tmp");
        std::filesystem::create_directories(path_ + "/Volumes");
        std::filesystem::create_directories(path_ + "/Users/" + user + "/Desktop");
        setVersion(version, user);
        sysroot_.emplace("PELORIN_SYSROOT", path_.c_str());
    }
    ~ScopedRoot() {
        sysroot_.reset();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScopedRoot(const ScopedRoot&) = delete;
    ScopedRoot& operator=(const ScopedRoot&) = delete;

    // An empty version leaves the key out (the version can't be read).
    void setVersion(const std::string& version, const std::string& user = "tester") {
        kit::Value state = kit::Value::dict();
        if (!version.empty()) state.set("SystemVersion", version);
        state.set("ConsoleUser", user);
        kit::writePlistFile(path_ + "/.pelorin/machine.plist", state);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::optional<EnvGuard> sysroot_;
};

}  // namespace disktest
