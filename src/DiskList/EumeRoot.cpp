#include "DiskList/EumeRoot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/SysPath.h"

namespace {

// Names never offered at a volume's top level: the file system's own
// housekeeping.
constexpr const char* kTopLevelSkipList[] = {".DS_Store",  ".Trashes",        ".Trash",   ".vol",
                                             ".fseventsd", ".Spotlight-V100", ".Volumes", ".Volume"};

bool skippedAtTopLevel(const std::string& name) {
    for (const char* skip : kTopLevelSkipList)
        if (name == skip) return true;
    return false;
}

// A batch goes to the main queue when it is this large or this old, so the
// list fills visibly and each hand-over costs the main thread little.
constexpr std::size_t kBatchEntries = 4096;
constexpr auto kBatchAge = std::chrono::milliseconds(20);

std::string childPath(const std::string& folder, const std::string& name) {
    // Under "/" (or any path ending in a slash) one slash, never two.
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The folder's entry names in directory order; an unreadable folder has none.
std::vector<std::string> readNames(DIR* dir, bool topLevel) {
    std::vector<std::string> names;
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        std::string name(n);
        if (topLevel && skippedAtTopLevel(name)) continue;
        names.push_back(std::move(name));
    }
    return names;
}

// One entry made into a node: folders (links to folders too) carry size 0,
// anything else the size of its data.
FileNode::Ptr makeNode(int dirFd, const std::string& folder, const std::string& name, const FileNode::Ptr& father) {
    struct stat st {};
    const bool known = ::fstatat(dirFd, name.c_str(), &st, 0) == 0;
    const bool isFolder = known && S_ISDIR(st.st_mode);
    FileNode::Ptr node = FileNode::initWithPath(childPath(folder, name), name, isFolder, father);
    if (known && S_ISREG(st.st_mode)) node->setSize(static_cast<uint64_t>(st.st_size));
    return node;
}

// Adds files (in listing order) to a top-level list as one-by-one sorted
// insertion would. When the list is in descending size order (as the lister
// keeps it) that is a merge: the new files sorted largest first, later ones
// first among equals, each going before the list's entries of its size.
void insertFiles(FileNodeList& arr, FileNodeList files) {
    if (files.empty()) return;
    auto larger = [](const FileNode::Ptr& a, const FileNode::Ptr& b) { return a->size() > b->size(); };
    if (!std::is_sorted(arr.begin(), arr.end(), larger)) {
        for (const FileNode::Ptr& f : files) insertBySize(arr, f);
        return;
    }
    std::reverse(files.begin(), files.end());
    std::stable_sort(files.begin(), files.end(), larger);
    FileNodeList merged;
    merged.reserve(arr.size() + files.size());
    auto a = arr.begin();
    auto f = files.begin();
    while (a != arr.end() && f != files.end()) {
        if ((*f)->size() >= (*a)->size()) merged.push_back(std::move(*f++));
        else merged.push_back(std::move(*a++));
    }
    for (; a != arr.end(); ++a) merged.push_back(std::move(*a));
    for (; f != files.end(); ++f) merged.push_back(std::move(*f));
    arr.swap(merged);
}

}  // namespace

// One listing. Stopped on the main thread; every hand-over checks it there.
struct ListJob {
    std::atomic<bool> stopped{false};
    FileNodeArray arr;     // top level: the list filled
    FileNode::Ptr father;  // children: the folder listed
};

struct EumeRoot::Core {
    std::mutex delegateMutex;  // held while endScan is delivered
    EumeRootDelegate* delegate = nullptr;
    std::atomic<int32_t> allFileCount{0};
    std::atomic<int32_t> eumeFileCount{0};
    std::atomic<bool> isStopScan{false};
    std::atomic<bool> isPauseScan{false};
    std::atomic<bool> topEnded{false};
    // Main thread only.
    FileNodeArray rootNodeArr;
    std::shared_ptr<NodeTreeOperator> treeOperator;
    std::shared_ptr<ListJob> topJob;
    std::map<FileNode::Ptr, std::shared_ptr<ListJob>> childJobs;

    static void post(std::function<void()> fn) { kit::dispatch::async(kit::dispatch::mainQueue(), std::move(fn)); }

    // --- top level ---

    static void listTop(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job, const std::string& root) {
        struct stat st {};
        if (::stat(root.c_str(), &st) != 0) {
            endTop(core, job);
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            FileNode::Ptr node = FileNode::initWithPath(root, kit::lastPathComponent(root), false, nullptr);
            if (S_ISREG(st.st_mode)) node->setSize(static_cast<uint64_t>(st.st_size));
            setTotal(core, job, 1);
            handTop(core, job, FileNodeList{node});
            endTop(core, job);
            return;
        }
        DIR* dir = ::opendir(root.c_str());
        const std::vector<std::string> names = readNames(dir, true);
        setTotal(core, job, static_cast<int32_t>(names.size()));
        FileNodeList batch;
        auto since = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (job->stopped.load()) break;
            batch.push_back(makeNode(::dirfd(dir), root, names[i], nullptr));
            if (batch.size() >= kBatchEntries || (i % 256 == 255 && std::chrono::steady_clock::now() - since >= kBatchAge)) {
                handTop(core, job, std::move(batch));
                batch.clear();
                since = std::chrono::steady_clock::now();
            }
        }
        if (dir) ::closedir(dir);
        if (!batch.empty()) handTop(core, job, std::move(batch));
        endTop(core, job);
    }

    static void setTotal(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job, int32_t n) {
        post([core, job, n] {
            if (!job->stopped.load()) core->allFileCount.store(n);
        });
    }

    static void handTop(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job, FileNodeList batch) {
        post([core, job, batch = std::move(batch)]() mutable {
            if (job->stopped.load() || !job->arr) return;
            FileNodeList files;
            std::vector<FileNode::Ptr> folders;
            for (FileNode::Ptr& n : batch) (n->isDirectory() ? folders : files).push_back(std::move(n));
            insertFiles(*job->arr, std::move(files));
            for (FileNode::Ptr& f : folders) job->arr->push_back(std::move(f));
            core->eumeFileCount.fetch_add(static_cast<int32_t>(batch.size()));
        });
    }

    // After the last batch: progress 100 on the main thread, then the end
    // reported from a background thread, as the listing's end always is.
    static void endTop(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job) {
        post([core, job] {
            if (job->stopped.load()) return;
            core->topEnded.store(true);
            if (core->topJob == job) core->topJob.reset();
            kit::dispatch::async(kit::dispatch::globalQueue(), [core, job] {
                std::lock_guard<std::mutex> lock(core->delegateMutex);
                if (!job->stopped.load() && core->delegate) core->delegate->endScan();
            });
        });
    }

    // --- children ---

    static void listChildren(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job,
                             const std::string& path) {
        const FileNode::Ptr& father = job->father;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                DIR* dir = ::opendir(path.c_str());
                const std::vector<std::string> names = readNames(dir, false);
                FileNodeList batch;
                auto since = std::chrono::steady_clock::now();
                for (std::size_t i = 0; i < names.size(); ++i) {
                    if (job->stopped.load()) break;
                    batch.push_back(makeNode(::dirfd(dir), path, names[i], father));
                    if (batch.size() >= kBatchEntries ||
                        (i % 256 == 255 && std::chrono::steady_clock::now() - since >= kBatchAge)) {
                        handChildren(job, std::move(batch));
                        batch.clear();
                        since = std::chrono::steady_clock::now();
                    }
                }
                if (dir) ::closedir(dir);
                if (!batch.empty()) handChildren(job, std::move(batch));
            } else {
                FileNode::Ptr node = FileNode::initWithPath(path, kit::lastPathComponent(path), false, father);
                if (S_ISREG(st.st_mode)) node->setSize(static_cast<uint64_t>(st.st_size));
                handChildren(job, FileNodeList{node});
            }
        }
        post([core, job] {
            if (job->stopped.load()) return;
            auto it = core->childJobs.find(job->father);
            if (it != core->childJobs.end() && it->second == job) core->childJobs.erase(it);
            std::lock_guard<std::mutex> lock(core->delegateMutex);
            if (core->delegate) core->delegate->endEumeNode();
        });
    }

    // Children take their folder's state as it is when they arrive, so a
    // check-box change made during the listing reaches the later ones too.
    static void handChildren(const std::shared_ptr<ListJob>& job, FileNodeList batch) {
        post([job, batch = std::move(batch)] {
            if (job->stopped.load()) return;
            const int64_t state = job->father->state() == FileNodeSelectStateOff ? FileNodeSelectStateOff
                                                                                   : FileNodeSelectStateOn;
            std::vector<FileNode::Ptr>& children = job->father->children();
            children.reserve(children.size() + batch.size());
            for (const FileNode::Ptr& n : batch) {
                n->setState(state);
                children.push_back(n);
            }
        });
    }

    void stopAll() {
        if (topJob) topJob->stopped.store(true);
        topJob.reset();
        for (auto& [node, job] : childJobs) job->stopped.store(true);
        childJobs.clear();
    }
};

EumeRoot::EumeRoot() : core_(std::make_shared<Core>()) {}

EumeRoot::~EumeRoot() {
    core_->stopAll();
    if (core_->treeOperator) {
        core_->treeOperator->stopScan();
        core_->treeOperator->setOpDelegate(nullptr);
    }
    setEumeDelegate(nullptr);
}

void EumeRoot::eumeAllRootFileNodeWithRootArr(const FileNodeArray& arr, const std::string& withRootPath) {
    core_->rootNodeArr = arr;
    if (core_->treeOperator) core_->treeOperator->setOpDelegate(nullptr);
    core_->treeOperator = std::make_shared<NodeTreeOperator>();
    core_->treeOperator->setOpDelegate(this);
    core_->isStopScan.store(false);
    core_->isPauseScan.store(false);
    core_->allFileCount.store(0);
    core_->eumeFileCount.store(0);
    eumeRootListNode(withRootPath);
}

void EumeRoot::eumeRootListNode(const std::string& path) {
    if (core_->topJob) core_->topJob->stopped.store(true);
    auto job = std::make_shared<ListJob>();
    job->arr = core_->rootNodeArr;
    core_->topJob = job;
    core_->topEnded.store(false);
    core_->allFileCount.store(0);
    core_->eumeFileCount.store(0);
    std::shared_ptr<Core> core = core_;
    kit::dispatch::async(kit::dispatch::globalQueue(), [core, job, path] { Core::listTop(core, job, path); });
}

void EumeRoot::getNodeListWithFaterNode(const FileNode::Ptr& node) {
    if (!node || core_->childJobs.count(node)) return;
    auto job = std::make_shared<ListJob>();
    job->father = node;
    core_->childJobs[node] = job;
    std::shared_ptr<Core> core = core_;
    const std::string path = node->path();
    kit::dispatch::async(kit::dispatch::globalQueue(), [core, job, path] { Core::listChildren(core, job, path); });
}

void EumeRoot::insertFileInRootArrWithFile(const FileNode::Ptr& file) {
    if (!file || !core_->rootNodeArr) return;
    if (core_->rootNodeArr->empty()) core_->rootNodeArr->push_back(file);
    else insertBySize(*core_->rootNodeArr, file);
}

float EumeRoot::getProgress() const {
    if (core_->topEnded.load()) return 100.0f;
    const int32_t all = core_->allFileCount.load();
    if (all <= 0) return 0.0f;
    return static_cast<float>(core_->eumeFileCount.load() * 100.0 / all);
}

EumeRootDelegate* EumeRoot::eumeDelegate() const {
    std::lock_guard<std::mutex> lock(core_->delegateMutex);
    return core_->delegate;
}

void EumeRoot::setEumeDelegate(EumeRootDelegate* d) {
    std::lock_guard<std::mutex> lock(core_->delegateMutex);
    core_->delegate = d;
}

void EumeRoot::stopScan() {
    core_->isStopScan.store(true);
    core_->stopAll();
    if (core_->treeOperator) core_->treeOperator->stopScan();
}

void EumeRoot::pauseScan() { core_->isPauseScan.store(!core_->isPauseScan.load()); }

void EumeRoot::doRootArrSort() {
    std::shared_ptr<Core> core = core_;
    kit::dispatch::sync(kit::dispatch::mainQueue(), [core] {
        if (!core->rootNodeArr) return;
        std::stable_sort(core->rootNodeArr->begin(), core->rootNodeArr->end(),
                         [](const FileNode::Ptr& a, const FileNode::Ptr& b) { return a->size() > b->size(); });
    });
}

void EumeRoot::getRootNodeListWithPath(const std::string& path) {
    if (!core_->rootNodeArr) core_->rootNodeArr = makeFileNodeArray();
    if (!core_->treeOperator) {
        core_->treeOperator = std::make_shared<NodeTreeOperator>();
        core_->treeOperator->setOpDelegate(this);
    }
    if (core_->topJob) core_->topJob->stopped.store(true);
    auto job = std::make_shared<ListJob>();
    job->arr = core_->rootNodeArr;
    core_->topJob = job;
    core_->topEnded.store(false);
    core_->allFileCount.store(0);
    core_->eumeFileCount.store(0);
    std::shared_ptr<Core> core = core_;
    std::shared_ptr<NodeTreeOperator> reader = core_->treeOperator;
    kit::dispatch::async(kit::dispatch::globalQueue(), [core, job, reader, path] {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            Core::listTop(core, job, path);  // nothing to size: the plain listing's ends
            return;
        }
        DIR* dir = ::opendir(path.c_str());
        const std::vector<std::string> names = readNames(dir, true);
        Core::setTotal(core, job, static_cast<int32_t>(names.size()));
        for (const std::string& name : names) {
            if (job->stopped.load() || core->isStopScan.load()) break;
            FileNode::Ptr node = makeNode(::dirfd(dir), path, name, nullptr);
            if (node->isDirectory()) {
                Core::handTop(core, job, FileNodeList{node});
                uint64_t total = 0;
                reader->getFileSizeWithPat(node->path(), node, total);
                reader->sortFatherSizeWithRootFileNode(node, total);
            } else {
                Core::handTop(core, job, FileNodeList{node});
            }
        }
        if (dir) ::closedir(dir);
        Core::endTop(core, job);
    });
}

const FileNodeArray& EumeRoot::rootNodeArr() const { return core_->rootNodeArr; }
std::shared_ptr<NodeTreeOperator> EumeRoot::treeOperator() const { return core_->treeOperator; }
int32_t EumeRoot::allFileCount() const { return core_->allFileCount.load(); }
int32_t EumeRoot::eumeFileCount() const { return core_->eumeFileCount.load(); }
bool EumeRoot::isStopScan() const { return core_->isStopScan.load(); }
bool EumeRoot::isPauseScan() const { return core_->isPauseScan.load(); }
bool EumeRoot::isListing() const { return core_->topJob != nullptr; }
bool EumeRoot::isListingChildren() const { return !core_->childJobs.empty(); }
