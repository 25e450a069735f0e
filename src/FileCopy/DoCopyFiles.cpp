#include "FileCopy/DoCopyFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "kit/Dispatch.h"
#include "kit/FileCopy.h"
#include "kit/Format.h"
#include "kit/System.h"

namespace {

// A name taken between our look and our exclusive creation (another writer, or
// a file system that folds case) moves on to the next candidate; this bounds
// that chase on a file system that claims every name is taken.
constexpr int kMaxTakenRetries = 10000;
// Failure lines written to the log per item; a vast unreadable folder would
// otherwise flood it.
constexpr std::size_t kMaxLoggedFailures = 50;

// Reading a folder's listing costs a small part of describing each entry by
// name, so it pays once enough of the folder is checked item by item.
constexpr std::size_t kListingMinItems = 64;
constexpr std::size_t kListingShare = 8;  // at least one entry in this many

// Many small files at the top level of a volume cost the file system's
// per-file work far more than their data, and a few threads share that work
// well. The reports still go out one item after another, as a single walk
// makes them.
constexpr unsigned kMaxCopyThreads = 4;
constexpr std::size_t kSideBySideMinItems = 32;

// The extension is what follows the last dot of the name, unless that dot
// starts the name (".profile" has none).
void splitExtension(const std::string& name, std::string& base, std::string& ext) {
    std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        base = name;
        ext.clear();
        return;
    }
    base = name.substr(0, dot);
    ext = name.substr(dot + 1);
}

}  // namespace

struct DoCopyFiles::Core : std::enable_shared_from_this<DoCopyFiles::Core> {
    std::atomic<bool> isCancel{false};
    std::atomic<DoCopyFilesDelegate*> delegate{nullptr};
    std::atomic<bool> running{false};
    // The name-clash counter of createFileWithPath; each copied item counts
    // with one of its own.
    int32_t iBegin = 0;
    std::atomic<int> failed{0};

    // The source folder and the destination folder of the last item, held open:
    // the items of one folder are copied by their single names, without walking
    // both paths again for each of them. One for each thread that copies.
    struct Folders {
        std::shared_ptr<kit::OpenFolder> from;
        std::shared_ptr<kit::OpenFolder> to;
    };
    Folders folders;  // the single walk's

    // Reports on their way to the main queue. The worker only appends them:
    // one delivery on the main queue hands over everything appended since the
    // last, at most once every few hundredths of a second (a screen can't show
    // more), so the copy never waits for the main thread once per item. Every
    // top-level report arrives, in the order it was made; of the paths of
    // nested items (many, and only shown) only the latest one waiting is kept.
    enum class Kind { Progress, Path, NestedPath, Error, Finished };
    struct Report {
        Kind kind;
        float percent = 0;
        int count = 0;
        std::string path;
    };
    std::mutex reportMutex;
    std::vector<Report> pending;  // appended by the worker
    bool deliveryPosted = false;
    std::chrono::steady_clock::time_point lastDelivery{};
    static constexpr std::chrono::milliseconds kReportInterval{40};
    // Main-queue side: what one delivery took over and has not handed out yet.
    std::vector<Report> inbox;
    std::size_t inboxNext = 0;
    // A delivery hands out reports for this long at most, then lets the main
    // thread do other work before it goes on.
    static constexpr std::chrono::milliseconds kDeliverySlice{20};

    // now: deliver without waiting for the interval (the first and the last
    // report of a run).
    void post(Report r, bool now = false) {
        double later = 0;
        {
            std::lock_guard<std::mutex> lock(reportMutex);
            if (r.kind == Kind::NestedPath && !pending.empty() && pending.back().kind == Kind::NestedPath)
                pending.back().path.swap(r.path);
            else
                pending.push_back(std::move(r));
            if (deliveryPosted && !now) return;
            const auto since = std::chrono::steady_clock::now() - lastDelivery;
            if (!now && since < kReportInterval)
                later = std::chrono::duration<double>(kReportInterval - since).count();
            deliveryPosted = true;
        }
        auto self = shared_from_this();
        auto fn = [self] { self->deliver(Delivery::Posted); };
        if (later > 0) kit::dispatch::after(later, kit::dispatch::mainQueue(), fn);
        else kit::dispatch::async(kit::dispatch::mainQueue(), fn);
    }

    // Posts the report and waits until it, and everything before it, has been
    // handled: the screen's answer (a stop) is seen before the next item.
    void postAndWait(Report r) {
        {
            std::lock_guard<std::mutex> lock(reportMutex);
            pending.push_back(std::move(r));
        }
        auto self = shared_from_this();
        kit::dispatch::sync(kit::dispatch::mainQueue(), [self] { self->deliver(Delivery::All); });
    }

    // Posted: the delivery post() asked for; Rest: what a delivery left for
    // later; All: everything now (the worker waits for it).
    enum class Delivery { Posted, Rest, All };

    // Main queue. The stop flag is read here, on the thread that sets it, so
    // nothing reaches a screen that has already shown the stop.
    void deliver(Delivery how) {
        {
            std::lock_guard<std::mutex> lock(reportMutex);
            if (how == Delivery::Posted) deliveryPosted = false;
            lastDelivery = std::chrono::steady_clock::now();
            if (inboxNext == inbox.size()) {
                inbox.clear();
                inboxNext = 0;
            }
            if (inbox.empty()) {
                inbox.swap(pending);
            } else {
                std::move(pending.begin(), pending.end(), std::back_inserter(inbox));
                pending.clear();
            }
        }
        const auto until = std::chrono::steady_clock::now() + kDeliverySlice;
        while (inboxNext < inbox.size()) {
            if (how != Delivery::All && std::chrono::steady_clock::now() >= until) {
                // The rest follows the events that waited meanwhile.
                auto self = shared_from_this();
                kit::dispatch::async(kit::dispatch::mainQueue(), [self] { self->deliver(Delivery::Rest); });
                return;
            }
            // Taken out first: a delegate that runs the main loop may start
            // another delivery, which changes the inbox.
            const Report r = std::move(inbox[inboxNext++]);
            if (isCancel.load()) continue;
            DoCopyFilesDelegate* d = delegate.load();
            if (!d) continue;
            switch (r.kind) {
            case Kind::Progress: d->topCopyProgress(r.percent); break;
            case Kind::Path:
            case Kind::NestedPath: d->topCopyFilePath(r.path); break;
            case Kind::Error: d->copyFileError(); break;
            case Kind::Finished: d->topCopyFinished(r.count); break;
            }
        }
    }

    void reportProgress(float percent, bool now = false) { post({Kind::Progress, percent, 0, {}}, now); }

    void run(const Nodes& arr, const std::string& dest) {
        runItems(arr, dest);
        closeFolders();
    }

    void runItems(const Nodes& arr, const std::string& dest) {
        const std::uint64_t n = arr.size();
        if (n == 0) return;
        failed = 0;
        const bool listing = worthListing(arr);
        if (runSideBySide(arr, dest, listing)) return;
        for (std::uint64_t i = 0; i < n; ++i) {
            if (isCancel.load()) return;
            if (i == 0) reportProgress(5.0f, true);
            const std::shared_ptr<FileNode>& node = arr[i];
            if (node) {
                switch (node->state()) {
                case FileNodeSelectStateMixed:
                    // A partly checked top-level item gets no folder of its own.
                    walkA(node->children(), dest);
                    break;
                case FileNodeSelectStateOn:
                    copyNode(node, dest, true, listing);
                    break;
                default:
                    break;
                }
            }
            reportItemDone(i, n);
        }
    }

    // The progress after top-level item i of n; after the last, the end.
    void reportItemDone(std::uint64_t i, std::uint64_t n) {
        std::uint64_t percent = 100 * (i + 1) / n;
        if (percent < 5) percent = 5;
        if (i + 1 < n) {
            reportProgress(float(percent));
        } else {
            // 100 would read as a complete copy; after a failure only the
            // count of failed items goes out.
            if (failed == 0) reportProgress(float(percent));
            post({Kind::Finished, 0, failed.load(), {}}, true);
        }
    }

    // ---- top-level items side by side ----

    // A folder or a file written under a part name goes alone, once every item
    // before it is done: large files are written one after another (a drive
    // that places data as it is written keeps each in one piece), and a stop
    // during one leaves nothing after it copied.
    static bool goesAlone(const FileNode& node) {
        return node.isDirectory() || node.size() > std::uint64_t(kit::kOneWriteMax);
    }

    // How many threads copy the top-level items: more than one only for many
    // items, none of them partly checked (their content goes into the same
    // folder as the other items) and no two of one name, so every item gets
    // the name a single walk would give it.
    static unsigned threadsFor(const Nodes& arr) {
        const unsigned cores = std::thread::hardware_concurrency();
        if (cores < 2 || arr.size() < kSideBySideMinItems) return 1;
        std::unordered_set<std::string> names;
        names.reserve(arr.size());
        for (const auto& node : arr) {
            if (!node || node->state() == FileNodeSelectStateOff) continue;
            if (node->state() != FileNodeSelectStateOn || !names.insert(node->name()).second) return 1;
        }
        return names.size() < kSideBySideMinItems ? 1 : std::min(cores, kMaxCopyThreads);
    }

    // The items' progress as they are taken and done, under `mutex`.
    struct SideBySide {
        explicit SideBySide(std::size_t n) : done(n, Done::Not) {}
        enum class Done : char { Not, Yes, NoFolder };
        std::mutex mutex;
        std::condition_variable itemDone;  // the reporter waits for done[reported]
        std::condition_variable turn;      // copiers wait for an item that goes alone
        std::size_t next = 0;              // the next item to take
        std::size_t reported = 0;          // the items before it are done and reported
        std::vector<Done> done;
        bool aloneRunning = false;
        bool reporterWaits = false;
        int copiersWaiting = 0;
        int copiersLeft = 0;
    };

    // Copies the top-level items with several threads when threadsFor allows;
    // false when it does not (nothing was done). This thread reports: each
    // item's path once the item before it is done, then that item's progress,
    // so the screen sees the order of a single walk.
    bool runSideBySide(const Nodes& arr, const std::string& dest, bool listing) {
        const unsigned threads = threadsFor(arr);
        if (threads < 2) return false;
        const std::size_t n = arr.size();
        SideBySide s(n);
        // The folders every copier starts from, and the source folder's listing,
        // read once for all of them.
        Folders start;
        for (const auto& node : arr) {
            if (!node || node->state() != FileNodeSelectStateOn) continue;
            const std::string& path = node->path();
            const std::string::size_type slash = path.rfind('/');
            if (slash == std::string::npos || slash == 0) break;
            start.from = std::make_shared<kit::OpenFolder>(path.substr(0, slash));
            if (listing) start.from->readListing();
            start.to = std::make_shared<kit::OpenFolder>(dest);
            break;
        }
        std::vector<std::thread> copiers;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.copiersLeft = int(threads);
        }
        for (unsigned t = 0; t < threads; ++t) {
            try {
                copiers.emplace_back(
                    [this, &s, &arr, &dest, listing, start] { copyAlongside(s, arr, dest, listing, start); });
            } catch (const std::system_error&) {
                std::lock_guard<std::mutex> lock(s.mutex);
                --s.copiersLeft;
            }
        }
        if (copiers.empty()) return false;
        reportProgress(5.0f, true);
        reportInOrder(s, arr);
        for (auto& c : copiers) c.join();
        return true;
    }

    // A copier: takes the next item, copies it, marks it done, until none is
    // left or the run is stopped.
    void copyAlongside(SideBySide& s, const Nodes& arr, const std::string& dest, bool listing, Folders folders) {
        std::unique_lock<std::mutex> lock(s.mutex);
        while (!isCancel.load() && s.next < arr.size()) {
            const std::size_t i = s.next;
            const std::shared_ptr<FileNode>& node = arr[i];
            const bool on = node && node->state() == FileNodeSelectStateOn;
            const bool alone = on && goesAlone(*node);
            if (s.aloneRunning || (alone && s.reported < i)) {
                ++s.copiersWaiting;
                s.turn.wait(lock);
                --s.copiersWaiting;
                continue;
            }
            ++s.next;
            s.aloneRunning = alone;
            lock.unlock();
            const bool hadFolder = !on || copyItem(node, dest, listing, folders);
            lock.lock();
            s.done[i] = hadFolder ? SideBySide::Done::Yes : SideBySide::Done::NoFolder;
            if (alone) {
                s.aloneRunning = false;
                if (s.copiersWaiting) s.turn.notify_all();
            }
            if (i == s.reported && s.reporterWaits) s.itemDone.notify_one();
        }
        if (--s.copiersLeft == 0 && s.reporterWaits) s.itemDone.notify_one();
    }

    // The reporter: goes through the items in order as they are done. Once the
    // run is stopped it reports nothing more, but still waits for the copiers.
    void reportInOrder(SideBySide& s, const Nodes& arr) {
        const std::size_t n = arr.size();
        const auto on = [&](std::size_t i) { return arr[i] && arr[i]->state() == FileNodeSelectStateOn; };
        if (on(0)) post({Kind::Path, 0, 0, arr[0]->path()});
        std::unique_lock<std::mutex> lock(s.mutex);
        while (s.reported < n) {
            const std::size_t i = s.reported;
            if (s.done[i] == SideBySide::Done::Not) {
                if (s.copiersLeft == 0) break;  // stopped before this item was taken
                s.reporterWaits = true;
                s.itemDone.wait(lock);
                s.reporterWaits = false;
                continue;
            }
            const bool noFolder = s.done[i] == SideBySide::Done::NoFolder;
            lock.unlock();
            if (!isCancel.load()) {
                if (noFolder) {
                    ++failed;
                    postAndWait({Kind::Error, 0, 0, {}});
                }
                reportItemDone(i, n);
                if (i + 1 < n && on(i + 1) && !isCancel.load()) post({Kind::Path, 0, 0, arr[i + 1]->path()});
            }
            lock.lock();
            s.reported = i + 1;
            if (s.copiersWaiting) s.turn.notify_all();
        }
    }

    // Node names come from the caller: one that would lead out of the folder it
    // is joined to ("..", ".", a name with "/") or that names nothing is refused.
    bool safeName(const FileNode& node) {
        const std::string& name = node.name();
        if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
            name.find('\0') == std::string::npos)
            return true;
        ++failed;
        kit::logf("Copy refused: %@: the name \"%@\" is not a name within a folder", node.path(), name);
        return false;
    }

    // Whether the checked files among `nodes` (the entries of one folder) are
    // many enough to read the folder's listing for them.
    static bool worthListing(const Nodes& nodes) {
        std::size_t files = 0;
        for (const auto& c : nodes)
            if (c && c->state() == FileNodeSelectStateOn && !c->isDirectory()) ++files;
        return files >= kListingMinItems && files * kListingShare >= nodes.size();
    }

    // Makes a folder for each partly checked folder and fills it through walkB.
    void walkA(const Nodes& nodes, const std::string& folder) {
        const bool listing = worthListing(nodes);
        for (const auto& c : nodes) {
            if (isCancel.load()) return;
            if (!c) continue;
            switch (c->state()) {
            case FileNodeSelectStateMixed: {
                if (isCancel.load()) return;
                if (!safeName(*c)) break;
                std::string sub = kit::format("%@/%@", folder, c->name());
                // Merging into a folder that is already there is fine; a folder
                // that cannot be made shows up as failed item copies below.
                bool made = ::mkdir(sub.c_str(), 0777) == 0;
                if (!made && errno != EEXIST) {
                    std::error_code ec;
                    made = std::filesystem::create_directories(sub, ec);
                }
                walkB(c->children(), sub);
                // A folder this run made and a stop left empty is not kept.
                if (made && isCancel.load()) ::rmdir(sub.c_str());
                break;
            }
            case FileNodeSelectStateOn:
                if (isCancel.load()) return;
                copyNode(c, folder, false, listing);
                break;
            default:
                break;
            }
        }
    }

    // Puts the content of partly checked folders straight into `folder`.
    void walkB(const Nodes& nodes, const std::string& folder) {
        const bool listing = worthListing(nodes);
        for (const auto& c : nodes) {
            if (isCancel.load()) return;
            if (!c) continue;
            switch (c->state()) {
            case FileNodeSelectStateMixed:
                walkA(c->children(), folder);
                break;
            case FileNodeSelectStateOn:
                copyNode(c, folder, false, listing);
                break;
            default:
                break;
            }
        }
    }

    static std::string nextCandidate(const std::string& ownName, int32_t& counter) {
        ++counter;
        std::string base, ext;
        splitExtension(ownName, base, ext);
        if (!ext.empty() && ext != " ") return kit::format("%@ %d.%@", base, int(counter), ext);
        return kit::format("%@ %d", base, int(counter));
    }

    static std::string freeName(const std::string& folder, const std::string& ownName, std::string candidate,
                                int32_t& counter) {
        for (;;) {
            // Asking for the one name answers what a listing of the folder would,
            // without reading the whole folder for every candidate. On a file
            // system that folds case it also sees "A.TXT" as taking "a.txt".
            struct stat st;
            std::string path = kit::format("%@/%@", folder, candidate);
            if (::lstat(path.c_str(), &st) != 0) return candidate;
            candidate = nextCandidate(ownName, counter);
        }
    }

    static std::uint64_t made(const kit::FileCopyResult& r) { return r.files + r.folders + r.links + r.specials; }

    void closeFolders() { folders = {}; }

    kit::FileCopyResult copyOne(const std::string& source, const std::string& folder, const std::string& name,
                                bool listing, Folders& f) {
        const std::string::size_type slash = source.rfind('/');
        if (slash == std::string::npos || slash + 1 == source.size())
            return kit::copyItem(source, kit::format("%@/%@", folder, name), &isCancel);
        const std::string parent = slash == 0 ? std::string("/") : source.substr(0, slash);
        const std::string entry = source.substr(slash + 1);
        for (int attempt = 0;; ++attempt) {
            if (attempt || !f.from || f.from->path() != parent) f.from = std::make_shared<kit::OpenFolder>(parent);
            if (attempt || !f.to || f.to->path() != folder) f.to = std::make_shared<kit::OpenFolder>(folder);
            // A folder that can't be opened: the copy by path says what is wrong.
            if (f.from->fd() < 0 || f.to->fd() < 0)
                return kit::copyItem(source, kit::format("%@/%@", folder, name), &isCancel);
            if (listing) f.from->readListing();
            kit::FileCopyResult r = kit::copyItemAt(f.from->fd(), entry, f.to->fd(), name, source, &isCancel,
                                                    listing && f.from->listedAsFile(entry));
            // Nothing there: one of the folders may have been replaced since it
            // was opened. The paths are opened afresh once.
            if (attempt == 0 && made(r) == 0 && r.failures.size() == 1 && r.failures[0].error == ENOENT) continue;
            return r;
        }
    }

    // listing: the source folder's listing is worth reading (worthListing).
    void copyNode(const std::shared_ptr<FileNode>& node, const std::string& folder, bool topLevel,
                  bool listing = false) {
        if (isCancel.load()) return;
        post({topLevel ? Kind::Path : Kind::NestedPath, 0, 0, node->path()});
        if (!copyItem(node, folder, listing, folders)) {
            ++failed;
            postAndWait({Kind::Error, 0, 0, {}});
        }
    }

    // Copies the item into `folder`, failures counted and logged. false when
    // it failed for want of that folder: the caller tells the screen.
    bool copyItem(const std::shared_ptr<FileNode>& node, const std::string& folder, bool listing, Folders& f) {
        const std::string source = node->path();
        int32_t counter = 0;
        if (!safeName(*node)) return true;
        const std::string ownName = node->name();
        // The copy creates every name exclusively, so the item's own name is
        // simply tried: a name that is taken fails at once, nothing is
        // overwritten, and only then are the numbered candidates looked at.
        std::string name = ownName;
        kit::FileCopyResult r;
        for (int taken = 0;; ++taken) {
            r = copyOne(source, folder, name, listing, f);
            if (!r.destinationExists || taken >= kMaxTakenRetries) break;
            name = freeName(folder, ownName, nextCandidate(ownName, counter), counter);
        }
        if (r.cancelled) {
            // Stopped inside the item: what this copy made of it goes, so no
            // part of it stays under its real name. (Its names were all made
            // exclusively by this copy.)
            if (made(r) > 0) {
                std::error_code ec;
                std::filesystem::remove_all(kit::format("%@/%@", folder, name), ec);
            }
            return true;
        }
        if (!r.failures.empty() && made(r) == 0) {
            struct stat st;
            if (::stat(folder.c_str(), &st) != 0) return false;
        }
        // Left out on purpose: another file system's content and the copy's
        // own folder. Anything else left out (a device node that could not be
        // made) is missing from the copy.
        std::size_t missing = r.failures.size();
        for (const auto& sk : r.skipped)
            if (sk.what != "other file system" && sk.what != "destination inside source") {
                ++missing;
                kit::logf("Copy failed: %@: %@", source, sk.describe());
            }
        if (missing == 0) return true;
        ++failed;
        std::size_t logged = 0;
        for (const auto& issue : r.failures) {
            if (logged++ == kMaxLoggedFailures) {
                kit::logf("Copy failed: %@ (%d more errors)", source, int(r.failures.size() - kMaxLoggedFailures));
                break;
            }
            if (issue.path == source)
                kit::logf("Copy failed: %@: %@: %@", source, issue.what, std::string(std::strerror(issue.error)));
            else
                kit::logf("Copy failed: %@: %@", source, issue.describe());
        }
        return true;
    }
};

DoCopyFiles::DoCopyFiles() : core_(std::make_shared<Core>()) {}

DoCopyFiles::~DoCopyFiles() {
    core_->delegate.store(nullptr);
    core_->isCancel.store(true);
}

bool DoCopyFiles::doCopyFilesWithArr(const Nodes& arr, const std::string& withCopyPath) {
    // One run at a time: two workers would share the counters and the stop flag.
    if (core_->running.exchange(true)) {
        kit::logf("Copy refused: a run into %@ is still under way", withCopyPath);
        return false;
    }
    core_->isCancel.store(false);
    std::shared_ptr<Core> core = core_;
    kit::dispatch::async(kit::dispatch::globalQueue(), [core, arr, withCopyPath] {
        core->run(arr, withCopyPath);
        core->running.store(false);
    });
    return true;
}

bool DoCopyFiles::isRunning() const { return core_->running.load(); }

void DoCopyFiles::doCopyFilesWithChiNode(const Nodes& arr, const std::string& withCopyPath) {
    core_->walkA(arr, withCopyPath);
    core_->closeFolders();
}

void DoCopyFiles::doCopyFilesChiWithArr(const Nodes& arr, const std::string& withCopyPath) {
    core_->walkB(arr, withCopyPath);
    core_->closeFolders();
}

void DoCopyFiles::toCopyFileWithNode(const std::shared_ptr<FileNode>& node, const std::string& withCopyPath) {
    if (node) core_->copyNode(node, withCopyPath, true);
    core_->closeFolders();
}

std::string DoCopyFiles::createFileWithPath(const std::string& path, const std::string& withFileNormalName,
                                            const std::string& withFileName) {
    return Core::freeName(path, withFileNormalName, withFileName, core_->iBegin);
}

bool DoCopyFiles::isCancel() const { return core_->isCancel.load(); }
void DoCopyFiles::setIsCancel(bool v) { core_->isCancel.store(v); }
DoCopyFilesDelegate* DoCopyFiles::delegate() const { return core_->delegate.load(); }
void DoCopyFiles::setDelegate(DoCopyFilesDelegate* d) { core_->delegate.store(d); }
