#include "DiskList/GetFilesSize.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "Disk/OVPublicUtilities.h"
#include "kit/Dispatch.h"
#include "kit/Process.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

// Folders measured at once: each measure is a tool run that mostly waits for
// the disk, so a few side by side finish sooner than one after another.
constexpr std::size_t kParallelMeasures = 4;

}  // namespace

struct GetFilesSize::Core {
    std::atomic<GetFilesSizeDelegate*> delegate{nullptr};
    std::atomic<int64_t> allFileSize{0};

    // What the nodes hold by their states: a whole file its stored size, a
    // whole folder a measure (gathered here, run below), a partly selected
    // item its children.
    void gather(const FileNodeList& nodes, std::vector<std::string>& folders) {
        for (const FileNode::Ptr& node : nodes) {
            if (!node) continue;
            switch (node->state()) {
            case FileNodeSelectStateOn:
                if (node->isDirectory()) folders.push_back(node->path());
                else allFileSize.fetch_add(static_cast<int64_t>(node->size()));
                break;
            case FileNodeSelectStateMixed:
                gather(node->children(), folders);
                break;
            default:
                break;
            }
        }
    }

    void measure(const std::vector<std::string>& folders) {
        struct Shared {
            std::vector<std::string> folders;
            std::atomic<std::size_t> next{0};
            std::atomic<int64_t> total{0};
            std::mutex mutex;
            std::condition_variable cv;
            std::size_t running = 0;
            void work() {
                for (std::size_t i; (i = next.fetch_add(1)) < folders.size();)
                    total.fetch_add(static_cast<int64_t>(getFolderSizeUsingCommand(folders[i])));
            }
        };
        auto shared = std::make_shared<Shared>();
        shared->folders = folders;
        const std::size_t helpers = std::min(kParallelMeasures, folders.size()) - (folders.empty() ? 0 : 1);
        shared->running = helpers;
        for (std::size_t h = 0; h < helpers; ++h) {
            kit::dispatch::async(kit::dispatch::globalQueue(), [shared] {
                shared->work();
                std::lock_guard<std::mutex> lock(shared->mutex);
                --shared->running;
                shared->cv.notify_all();
            });
        }
        shared->work();
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->cv.wait(lock, [&] { return shared->running == 0; });
        allFileSize.fetch_add(shared->total.load());
    }

    void count(const FileNodeList& top) {
        bool all = true;
        for (const FileNode::Ptr& node : top)
            if (!node || node->state() != FileNodeSelectStateOn) all = false;
        if (!all) {
            std::vector<std::string> folders;
            gather(top, folders);
            measure(folders);
            const int64_t total = allFileSize.load();
            kit::logf("---%llu | %@", static_cast<unsigned long long>(total), OVPublicUtilities::longlongDiskSize(total));
        }
        if (GetFilesSizeDelegate* d = delegate.load()) d->allCopyFilesSize(all ? 0 : allFileSize.load());
    }
};

GetFilesSize::GetFilesSize() : core_(std::make_shared<Core>()) {}

void GetFilesSize::getAllFilesSizeWithArr(const FileNodeList& arr) {
    core_->allFileSize.store(0);
    std::shared_ptr<Core> core = core_;
    kit::dispatch::async(kit::dispatch::globalQueue(), [core, arr] { core->count(arr); });
}

GetFilesSizeDelegate* GetFilesSize::delegate() const { return core_->delegate.load(); }
void GetFilesSize::setDelegate(GetFilesSizeDelegate* d) { core_->delegate.store(d); }
int64_t GetFilesSize::allFileSize() const { return core_->allFileSize.load(); }

std::optional<NodeTreeOperator::FileRef> GetFilesSize::fsrefWithString(const std::string& path) {
    return NodeTreeOperator::fsrefWithString(path);
}

uint64_t GetFilesSize::getOneFileSizeWithPath(const std::string& path) {
    return NodeTreeOperator::getOneFileSizeWithPath(path);
}

uint64_t GetFilesSize::getFileSizeWithPat(const std::string& path, uint64_t& withTotailSize) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return withTotailSize;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string child = kit::pathJoin(path, name);
        struct stat st {};
        if (::lstat(child.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) getFileSizeWithPat(child, withTotailSize);
        else if (S_ISREG(st.st_mode)) withTotailSize += static_cast<uint64_t>(st.st_size);
    }
    return withTotailSize;
}

void GetFilesSize::sortFatherSizeWithRootFileNode(const FileNode::Ptr& node, uint64_t withTotailSize) {
    if (node) node->setSize(withTotailSize);
}

std::optional<uint64_t> duSizeTextValue(const std::string& sizeText) {
    std::size_t i = 0;
    while (i < sizeText.size() && std::isspace(static_cast<unsigned char>(sizeText[i]))) ++i;
    bool negative = false;
    if (i < sizeText.size() && (sizeText[i] == '+' || sizeText[i] == '-')) negative = sizeText[i++] == '-';
    double value = 0;
    bool digits = false;
    for (; i < sizeText.size() && std::isdigit(static_cast<unsigned char>(sizeText[i])); ++i, digits = true)
        value = value * 10 + (sizeText[i] - '0');
    // The tool writes its decimal mark in the user's language: a point or a comma.
    if (i < sizeText.size() && (sizeText[i] == '.' || sizeText[i] == ',')) {
        double scale = 0.1;
        for (++i; i < sizeText.size() && std::isdigit(static_cast<unsigned char>(sizeText[i])); ++i, scale /= 10) {
            value += (sizeText[i] - '0') * scale;
            digits = true;
        }
    }
    if (!digits) return std::nullopt;
    if (negative) value = -value;
    std::string unit = sizeText;
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back()))) unit.pop_back();
    const char last = unit.empty() ? 0 : unit.back();
    if (last == 'K') value *= 1000.0;
    else if (last == 'M') value *= 1000.0 * 1000.0;
    else if (last == 'G') value *= 1000.0 * 1000.0 * 1000.0;
    else if (last == 'T') value *= 1000.0 * 1000.0 * 1000.0 * 1000.0;
    if (!(value > 0)) return 0;
    if (value >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<uint64_t>(value);
}

uint64_t getFolderSizeUsingCommand(const std::string& path, bool* measured) {
    if (measured) *measured = false;
    std::shared_ptr<kit::Process> du = kit::Process::create();
    du->setLaunchPath(kit::sysPath("/usr/bin/du"));
    // The path is one argument of the tool, never part of a shell line.
    du->setArguments({"-sh", path});
    du->setPipeStandardOutput(true);
    std::string error;
    if (!du->launch(&error)) {
        kit::logf("---du could not measure %@: %@", path, error);
        return 0;
    }
    const std::string out = du->readAllOutput();
    du->waitUntilExit();
    const std::string sizeText = out.substr(0, out.find('\t'));
    const std::optional<uint64_t> value = duSizeTextValue(sizeText);
    if (!value) {
        kit::logf("---du could not measure %@", path);
        return 0;
    }
    if (measured) *measured = true;
    return *value;
}
