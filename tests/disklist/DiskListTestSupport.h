#pragma once
// Shared pieces of the file-browser tests: throw-away folders, recording
// delegates, a root with a scripted disk-usage tool.
#include <dirent.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "DiskList/ControllerDelegate.h"
#include "DiskList/EumeRootDelegate.h"
#include "DiskList/FileNodeArray.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "support/EnvGuard.h"

namespace disklisttest {

namespace fs = std::filesystem;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "pelorin-list-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // A file of `bytes` bytes (folders on the way are made).
    std::string file(const std::string& rel, std::size_t bytes = 0) const {
        const std::string p = *this / rel;
        const std::string parent = fs::path(p).parent_path().string();
        if (::access(parent.c_str(), F_OK) != 0) fs::create_directories(parent);
        const std::string data(bytes, 'x');
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || (!data.empty() && ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())))
            ADD_FAILURE() << "cannot write " << p;
        if (fd >= 0) ::close(fd);
        return p;
    }
    // Many files at once, named prefix0, prefix1…, each `bytes` long, in an
    // existing folder (rel "" is the folder itself).
    void files(const std::string& rel, const std::string& prefix, int count, std::size_t bytes = 1) const {
        const std::string folder = rel.empty() ? path_ : *this / rel;
        const std::string data(bytes, 'x');
        for (int i = 0; i < count; ++i) {
            const std::string p = folder + "/" + prefix + std::to_string(i);
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                if (!data.empty() && ::write(fd, data.data(), data.size()) < 0) ADD_FAILURE() << p;
                ::close(fd);
            }
        }
    }
    std::string dir(const std::string& rel) const {
        const std::string p = *this / rel;
        fs::create_directories(p);
        return p;
    }

private:
    std::string path_;
};

// The entry names of a folder in the order the file system lists them.
inline std::vector<std::string> directoryOrder(const std::string& path) {
    std::vector<std::string> names;
    DIR* d = ::opendir(path.c_str());
    while (dirent* e = d ? ::readdir(d) : nullptr) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    if (d) ::closedir(d);
    return names;
}

inline std::vector<std::string> names(const FileNodeList& list) {
    std::vector<std::string> out;
    for (const auto& n : list) out.push_back(n->name());
    return out;
}

inline FileNode::Ptr find(const FileNodeList& list, const std::string& name) {
    for (const auto& n : list)
        if (n->name() == name) return n;
    return nullptr;
}

inline bool waitFor(const std::function<bool()>& cond, double seconds = 10) { return kit::runUntil(cond, seconds); }

// Counts what a lister reports; endScan arrives on a background thread.
struct ListerRecorder : EumeRootDelegate {
    std::atomic<int> endScans{0};
    std::atomic<int> endNodes{0};
    std::atomic<bool> endScanOnMain{false};
    void endScan() override {
        endScanOnMain.store(kit::dispatch::isMainThread());
        endScans.fetch_add(1);
    }
    void endEumeNode() override { endNodes.fetch_add(1); }
};

struct OwnerRecorder : ControllerDelegate {
    std::atomic<int> reloads{0};
    std::atomic<int> selectAllChecks{0};
    std::atomic<int> copyEnds{0};
    std::atomic<int> imageEnds{0};
    std::vector<std::pair<int64_t, std::string>> progress;  // main thread
    void reloadTreeList() override { reloads.fetch_add(1); }
    void changeSelectAllButtonState() override { selectAllChecks.fetch_add(1); }
    void copyFileScanFiles() override { copyEnds.fetch_add(1); }
    void endScanFiles() override { imageEnds.fetch_add(1); }
    void changeProgressWithPoint(int64_t point, const std::string& withPath) override {
        progress.emplace_back(point, withPath);
    }
};

// A node tree built by hand: folder(name, {children}), file(name, size).
inline FileNode::Ptr node(const std::string& name, bool folder, int64_t state = FileNodeSelectStateOn,
                          uint64_t size = 0) {
    FileNode::Ptr n = FileNode::initWithPath("/t/" + name, name, folder, nullptr);
    n->setState(state);
    n->setSize(size);
    return n;
}
inline FileNode::Ptr adopt(const FileNode::Ptr& father, const FileNode::Ptr& child) {
    child->setFather(father);
    child->setPath(father->path() + "/" + child->name());
    father->children().push_back(child);
    return child;
}

// A system root whose "/usr/bin/du" is a script: for a folder named N it
// prints the text in du-out/N (nothing when that file is missing) and records
// each call's arguments in du-calls.
class ScriptedDuRoot {
public:
    ScriptedDuRoot() {
        fs::create_directories(dir_.path() + "/usr/bin");
        fs::create_directories(dir_.path() + "/du-out");
        fs::create_directories(dir_.path() + "/.pelorin");
        const std::string script = dir_.path() + "/usr/bin/du";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "root=\"$(dirname \"$(dirname \"$(dirname \"$0\")\")\")\"\n"
                                 "printf '%s\\n' \"$*\" >> \"$root/du-calls\"\n"
                                 "name=\"$(basename \"$2\")\"\n"
                                 "if [ -f \"$root/du-out/$name\" ]; then printf '%s\\t%s\\n' \"$(cat \"$root/du-out/$name\")\" \"$2\"; fi\n";
        fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        env_.emplace("PELORIN_SYSROOT", dir_.path().c_str());
    }
    // What du prints as the size of a folder with that name.
    void setOutput(const std::string& folderName, const std::string& sizeText) const {
        std::ofstream(dir_.path() + "/du-out/" + folderName) << sizeText;
    }
    std::vector<std::string> calls() const { return readLines(dir_.path() + "/du-calls"); }
    const TempDir& dir() const { return dir_; }
    std::string path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::optional<EnvGuard> env_;
};

}  // namespace disklisttest
