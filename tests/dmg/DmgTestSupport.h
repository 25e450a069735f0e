#pragma once
// Shared pieces of the image and zip engine tests: a delegate that records every
// report, temporary trees and FileNode selections over them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Disk/FileNode.h"
#include "ZipDmg/MakeDmg.h"
#include "support/EnvGuard.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"

namespace dmgtest {

namespace fs = std::filesystem;

struct Event {
    enum Kind { Progress, Fail, Begin, Kept } kind;
    std::string text;
    float progress = 0;
    bool onMain = false;
};

class Recorder : public MakeDmgDelegate {
public:
    void copyFileToDmgWithFileName(const std::string& fileName, float progress) override {
        add({Event::Progress, fileName, progress, kit::dispatch::isMainThread()});
    }
    void makeDmgFailWithError(const std::optional<std::string>& error) override {
        add({Event::Fail, error.value_or(""), 0, kit::dispatch::isMainThread()});
    }
    void stoppedImageKept(const std::string& text) override {
        add({Event::Kept, text, 0, kit::dispatch::isMainThread()});
    }
    void beginToCopyDmg() override {
        add({Event::Begin, "", 0, kit::dispatch::isMainThread()});
        if (onBegin) onBegin();
    }

    std::vector<Event> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<float> progress() const {
        std::vector<float> out;
        for (const auto& e : events())
            if (e.kind == Event::Progress) out.push_back(e.progress);
        return out;
    }
    bool failed() const { return count(Event::Fail) > 0; }
    bool done() const {
        for (const auto& e : events())
            if (e.kind == Event::Progress && e.progress >= 100) return true;
        return false;
    }
    bool ended() const { return failed() || done(); }
    int count(Event::Kind kind) const {
        int n = 0;
        for (const auto& e : events()) n += e.kind == kind;
        return n;
    }
    // The text of the last event of a kind ("" when there is none).
    std::string lastText(Event::Kind kind) const {
        std::string text;
        for (const auto& e : events())
            if (e.kind == kind) text = e.text;
        return text;
    }
    bool allOnMain() const {
        for (const auto& e : events())
            if (!e.onMain) return false;
        return true;
    }

    std::function<void()> onBegin;

private:
    void add(Event e) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(e));
    }
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

// A fresh folder removed at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "pelorin-dmgtest-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) ADD_FAILURE() << "mkdtemp";
        path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline FileNode::Ptr node(const std::string& path, int64_t state, const FileNode::Ptr& father = nullptr) {
    auto n = FileNode::initWithPath(path, fs::path(path).filename().string(), fs::is_directory(fs::symlink_status(path)),
                                    father);
    n->setState(state);
    if (father) father->children().push_back(n);
    return n;
}

// Every entry below `dir` relative to `base`, folders with a trailing "/";
// links are listed as what they are and never entered.
inline std::set<std::string> treeEntries(const std::string& dir, const std::string& prefix = "") {
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = prefix + fs::relative(it->path(), dir).string();
        out.insert(it->is_directory() && !it->is_symlink() ? rel + "/" : rel);
    }
    return out;
}

inline bool waitFor(const std::function<bool()>& cond, double seconds = 20) {
    return kit::runUntil(cond, seconds);
}

}  // namespace dmgtest
