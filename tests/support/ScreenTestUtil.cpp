#include "support/ScreenTestUtil.h"

#include "Disk/GetVolumes.h"

#include <fstream>
#include <sstream>

namespace screentest {

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> treeOf(const std::string& root) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink()) out[rel] = "link:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory()) out[rel] = "dir";
        else out[rel] = "file:" + readFile(it->path().string());
    }
    return out;
}

std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(folder, ec)) {
        const std::string n = e.path().filename().string();
        if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(e.path().string());
    }
    return out;
}

std::vector<kit::Window*> statusWindows(MainWindowController& main) {
    std::vector<kit::Window*> out;
    for (const auto& w : main.window()->childWindows())
        if (dynamic_cast<StatusAttachedWindow*>(w.get()) && w->isVisible()) out.push_back(w.get());
    return out;
}

bool rescanSharedVolumes() {
    GetVolumes& volumes = GetVolumes::Instance();
    if (!kit::runUntil([&] { return !volumes.isScanningVolumes(); }, 60)) return false;
    volumes.getDiskAndVolumes();
    return kit::runUntil([&] { return !volumes.isScanningVolumes(); }, 60);
}

void orderOutAllWindows() {
    for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
    kit::runFor(0.05);
}

}  // namespace screentest
