#include "FileCopy/DoCopyFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
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
    // Worker-side only.
    int32_t iBegin = 0;
    int failed = 0;

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
            std::uint64_t percent = 100 * (i + 1) / n;
            if (percent < 5) percent = 5;
            if (i + 1 < n) {
                reportProgress(float(percent));
            } else {
                // 100 would read as a complete copy; after a failure only the
                // count of failed items goes out.
                if (failed == 0) reportProgress(float(percent));
                post({Kind::Finished, 0, failed, {}}, true);
            }
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

    std::string nextCandidate(const std::string& ownName) {
        ++iBegin;
        std::string base, ext;
        splitExtension(ownName, base, ext);
        if (!ext.empty() && ext != " ") return kit::format("%@ %d.%@", base, int(iBegin), ext);
        return kit::format("%@ %d", base, int(iBegin));
    }

    std::string freeName(const std::string& folder, const std::string& ownName, std::string candidate) {
        for (;;) {
            // Asking for the one name answers what a listing of the folder would,
            // without reading the whole folder for every candidate. On a file
            // system that folds case it also sees "A.TXT" as taking "a.txt".
            struct stat st;
            std::string path = kit::format("%@/%@", folder, candidate);
            if (::lstat(path.c_str(), &st) != 0) return candidate;
            candidate = nextCandidate(ownName);
        }
    }

    static std::uint64_t made(const kit::FileCopyResult& r) { return r.files + r.folders + r.links + r.specials; }

    // The source folder and the destination folder of the last item, held open:
    // the items of one folder are copied by their single names, without walking
    // both paths again for each of them. Worker-side only.
    std::unique_ptr<kit::OpenFolder> fromFolder;
    std::unique_ptr<kit::OpenFolder> toFolder;

    void closeFolders() {
        fromFolder.reset();
        toFolder.reset();
    }

    kit::FileCopyResult copyOne(const std::string& source, const std::string& folder, const std::string& name,
                                bool listing) {
        const std::string::size_type slash = source.rfind('/');
        if (slash == std::string::npos || slash + 1 == source.size())
            return kit::copyItem(source, kit::format("%@/%@", folder, name), &isCancel);
        const std::string parent = slash == 0 ? std::string("/") : source.substr(0, slash);
        const std::string entry = source.substr(slash + 1);
        for (int attempt = 0;; ++attempt) {
            if (attempt || !fromFolder || fromFolder->path() != parent)
                fromFolder = std::make_unique<kit::OpenFolder>(parent);
            if (attempt || !toFolder || toFolder->path() != folder) toFolder = std::make_unique<kit::OpenFolder>(folder);
            // A folder that can't be opened: the copy by path says what is wrong.
            if (fromFolder->fd() < 0 || toFolder->fd() < 0)
                return kit::copyItem(source, kit::format("%@/%@", folder, name), &isCancel);
            if (listing) fromFolder->readListing();
            kit::FileCopyResult r = kit::copyItemAt(fromFolder->fd(), entry, toFolder->fd(), name, source, &isCancel,
                                                    listing && fromFolder->listedAsFile(entry));
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
        const std::string source = node->path();
        post({topLevel ? Kind::Path : Kind::NestedPath, 0, 0, source});
        iBegin = 0;
        if (!safeName(*node)) return;
        const std::string ownName = node->name();
        // The copy creates every name exclusively, so the item's own name is
        // simply tried: a name that is taken fails at once, nothing is
        // overwritten, and only then are the numbered candidates looked at.
        std::string name = ownName;
        kit::FileCopyResult r;
        for (int taken = 0;; ++taken) {
            r = copyOne(source, folder, name, listing);
            if (!r.destinationExists || taken >= kMaxTakenRetries) break;
            name = freeName(folder, ownName, nextCandidate(ownName));
        }
        if (r.cancelled) {
            // Stopped inside the item: what this copy made of it goes, so no
            // part of it stays under its real name. (Its names were all made
            // exclusively by this copy.)
            if (made(r) > 0) {
                std::error_code ec;
                std::filesystem::remove_all(kit::format("%@/%@", folder, name), ec);
            }
            return;
        }
        if (!r.failures.empty() && made(r) == 0) {
            struct stat st;
            if (::stat(folder.c_str(), &st) != 0) {
                ++failed;
                postAndWait({Kind::Error, 0, 0, {}});
                return;
            }
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
        if (missing == 0) return;
        ++failed;
        std::size_t logged = 0;
        for (const auto& f : r.failures) {
            if (logged++ == kMaxLoggedFailures) {
                kit::logf("Copy failed: %@ (%d more errors)", source, int(r.failures.size() - kMaxLoggedFailures));
                break;
            }
            if (f.path == source)
                kit::logf("Copy failed: %@: %@: %@", source, f.what, std::string(std::strerror(f.error)));
            else
                kit::logf("Copy failed: %@: %@", source, f.describe());
        }
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
    return core_->freeName(path, withFileNormalName, withFileName);
}

bool DoCopyFiles::isCancel() const { return core_->isCancel.load(); }
void DoCopyFiles::setIsCancel(bool v) { core_->isCancel.store(v); }
DoCopyFilesDelegate* DoCopyFiles::delegate() const { return core_->delegate.load(); }
void DoCopyFiles::setDelegate(DoCopyFilesDelegate* d) { core_->delegate.store(d); }
