#include "DiskList/EumeRoot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
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

// A batch of top-level nodes made ready off the main thread: its files in the
// order they will stand (largest first, of equal sizes the later one first),
// each with its size and its place in the listing, and its folders in
// directory order.
struct TopBatch {
    FileNodeList files;
    std::vector<uint64_t> sizes;
    std::vector<uint32_t> listed;
    FileNodeList folders;
    std::size_t count = 0;
};

TopBatch prepareTopBatch(FileNodeList batch) {
    TopBatch out;
    out.count = batch.size();
    std::vector<uint32_t> order;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (batch[i]->isDirectory()) out.folders.push_back(std::move(batch[i]));
        else order.push_back(static_cast<uint32_t>(i));
    }
    std::vector<uint64_t> sizeOf(batch.size());
    for (uint32_t i : order) sizeOf[i] = batch[i]->size();
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return sizeOf[a] != sizeOf[b] ? sizeOf[a] > sizeOf[b] : a > b;
    });
    for (uint32_t i : order) {
        out.files.push_back(std::move(batch[i]));
        out.sizes.push_back(sizeOf[i]);
        out.listed.push_back(i);
    }
    return out;
}

// Adds a batch's files to a top-level list as one-by-one sorted insertion in
// listing order would. While the list is in descending size order (the lister
// keeps it so) that is a merge in which a new file goes before the list's
// entries of its own size; `sizes` mirrors the list's sizes so the main
// thread never has to visit the nodes themselves.
void insertFiles(FileNodeList& arr, std::vector<uint64_t>& sizes, TopBatch& batch) {
    if (batch.files.empty()) return;
    if (sizes.size() != arr.size()) {
        sizes.clear();
        for (const FileNode::Ptr& n : arr) sizes.push_back(n->size());
    }
    if (!std::is_sorted(sizes.begin(), sizes.end(), std::greater<uint64_t>())) {
        // Someone else ordered the list: insert one by one, in listing order.
        std::vector<std::size_t> byListing(batch.files.size());
        for (std::size_t i = 0; i < byListing.size(); ++i) byListing[i] = i;
        std::sort(byListing.begin(), byListing.end(),
                  [&](std::size_t a, std::size_t b) { return batch.listed[a] < batch.listed[b]; });
        for (std::size_t i : byListing) insertBySize(arr, batch.files[i]);
        sizes.clear();
        for (const FileNode::Ptr& n : arr) sizes.push_back(n->size());
        return;
    }
    FileNodeList merged;
    std::vector<uint64_t> mergedSizes;
    merged.reserve(arr.size() + batch.files.size());
    mergedSizes.reserve(merged.capacity());
    std::size_t a = 0, f = 0;
    while (a < arr.size() || f < batch.files.size()) {
        if (f < batch.files.size() && (a == arr.size() || batch.sizes[f] >= sizes[a])) {
            merged.push_back(std::move(batch.files[f]));
            mergedSizes.push_back(batch.sizes[f++]);
        } else {
            merged.push_back(std::move(arr[a]));
            mergedSizes.push_back(sizes[a++]);
        }
    }
    arr.swap(merged);
    sizes.swap(mergedSizes);
}

// Reading a file's size is one call per entry; for a folder of a hundred
// thousand entries those calls are most of the listing, so a few threads share
// them, block by block, while the lister hands the blocks on in order.
constexpr std::size_t kBlockEntries = 1024;

struct NodeMaker {
    int dirFd = -1;
    std::string folder;
    std::vector<std::string> names;
    FileNode::Ptr father;
    const std::atomic<bool>* stopped = nullptr;  // lives in the job, which outlives every helper

    std::vector<FileNodeList> blocks;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<char> done;  // guarded by mutex
    int helpers = 0;         // guarded by mutex

    std::size_t blockCount() const { return (names.size() + kBlockEntries - 1) / kBlockEntries; }

    // Makes the nodes of the next unclaimed block; false when none is left.
    bool work() {
        const std::size_t b = next.fetch_add(1);
        if (b >= blocks.size()) return false;
        FileNodeList out;
        const std::size_t to = std::min(names.size(), (b + 1) * kBlockEntries);
        out.reserve(to - b * kBlockEntries);
        for (std::size_t i = b * kBlockEntries; i < to && !stopped->load(); ++i)
            out.push_back(makeNode(dirFd, folder, names[i], father));
        std::lock_guard<std::mutex> lock(mutex);
        blocks[b] = std::move(out);
        done[b] = 1;
        cv.notify_all();
        return true;
    }
};

// Makes a node for every name of the folder open at dirFd and hands them on in
// directory order: in batches of kBatchEntries, or sooner once kBatchAge has
// passed. Returns when every helper has finished.
void makeNodesInOrder(int dirFd, const std::string& folder, std::vector<std::string> names,
                      const FileNode::Ptr& father, const std::atomic<bool>& stopped,
                      const std::function<void(FileNodeList)>& hand) {
    auto maker = std::make_shared<NodeMaker>();
    maker->dirFd = dirFd;
    maker->folder = folder;
    maker->names = std::move(names);
    maker->father = father;
    maker->stopped = &stopped;
    const std::size_t count = maker->blockCount();
    maker->blocks.resize(count);
    maker->done.assign(count, 0);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers = std::min<std::size_t>({3, cores - 1, count > 0 ? count - 1 : 0});
    maker->helpers = static_cast<int>(helpers);
    for (std::size_t h = 0; h < helpers; ++h) {
        kit::dispatch::async(kit::dispatch::globalQueue(), [maker] {
            while (maker->work()) {
            }
            std::lock_guard<std::mutex> lock(maker->mutex);
            --maker->helpers;
            maker->cv.notify_all();
        });
    }
    FileNodeList batch;
    auto since = std::chrono::steady_clock::now();
    for (std::size_t handed = 0; handed < count && !stopped.load();) {
        {
            std::unique_lock<std::mutex> lock(maker->mutex);
            if (!maker->done[handed]) {
                lock.unlock();
                // Lend a hand; once nothing is left to claim, wait for the block.
                if (!maker->work()) {
                    lock.lock();
                    maker->cv.wait(lock, [&] { return maker->done[handed] != 0; });
                }
                continue;
            }
        }
        FileNodeList block = std::move(maker->blocks[handed++]);
        if (batch.empty()) batch = std::move(block);
        else batch.insert(batch.end(), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
        if (batch.size() >= kBatchEntries || std::chrono::steady_clock::now() - since >= kBatchAge) {
            hand(std::move(batch));
            batch.clear();
            since = std::chrono::steady_clock::now();
        }
    }
    if (!batch.empty() && !stopped.load()) hand(std::move(batch));
    std::unique_lock<std::mutex> lock(maker->mutex);
    maker->cv.wait(lock, [&] { return maker->helpers == 0; });
}

}  // namespace

// One listing. Stopped on the main thread; every hand-over checks it there.
struct ListJob {
    std::atomic<bool> stopped{false};
    FileNodeArray arr;     // top level: the list filled
    std::vector<uint64_t> sizes;  // top level: its entries' sizes, in its order (main thread)
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
        std::vector<std::string> names = readNames(dir, true);
        setTotal(core, job, static_cast<int32_t>(names.size()));
        if (dir) {
            makeNodesInOrder(::dirfd(dir), root, std::move(names), nullptr, job->stopped,
                             [&](FileNodeList batch) { handTop(core, job, std::move(batch)); });
            ::closedir(dir);
        }
        endTop(core, job);
    }

    static void setTotal(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job, int32_t n) {
        post([core, job, n] {
            if (!job->stopped.load()) core->allFileCount.store(n);
        });
    }

    static void handTop(const std::shared_ptr<Core>& core, const std::shared_ptr<ListJob>& job, FileNodeList batch) {
        TopBatch ready = prepareTopBatch(std::move(batch));
        post([core, job, ready = std::move(ready)]() mutable {
            if (job->stopped.load() || !job->arr) return;
            FileNodeList& arr = *job->arr;
            insertFiles(arr, job->sizes, ready);
            for (FileNode::Ptr& f : ready.folders) {
                arr.push_back(std::move(f));
                job->sizes.push_back(0);
            }
            core->eumeFileCount.fetch_add(static_cast<int32_t>(ready.count));
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
                if (dir) {
                    makeNodesInOrder(::dirfd(dir), path, readNames(dir, false), father, job->stopped,
                                     [&](FileNodeList batch) { handChildren(job, std::move(batch)); });
                    ::closedir(dir);
                }
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

    // The list was changed or its sizes were: the running listing reads them
    // afresh before its next batch.
    void forgetSizes() {
        if (topJob) topJob->sizes.clear();
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
    core_->forgetSizes();
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
        core->forgetSizes();
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
