#include "Comm/ScreenSelection.h"

#include <sys/stat.h>

#include <filesystem>
#include <limits>
#include <system_error>

#include "Disk/VolumeObj.h"
#include "kit/SysPath.h"

namespace fs = std::filesystem;

namespace screen {

namespace {

// Bytes under a path as a copy would take them: a folder's files summed, a
// link as a link. Unreadable parts count as nothing.
int64_t bytesOnDisk(const std::string& path, bool* found) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        *found = false;
        return 0;
    }
    *found = true;
    if (!S_ISDIR(st.st_mode)) return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? int64_t(st.st_size) : 0;
    int64_t total = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
    while (!ec && it != end) {
        struct stat est {};
        if (::lstat(it->path().c_str(), &est) == 0 && (S_ISREG(est.st_mode) || S_ISLNK(est.st_mode)))
            total += int64_t(est.st_size);
        it.increment(ec);
        if (ec) {
            // An entry that vanished or can't be read: go on with the next one.
            ec.clear();
        }
    }
    return total;
}

// A path without "." and ".." parts and without a trailing slash.
std::string plainPath(const std::string& p) {
    std::string s = fs::path(p).lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

int64_t countNodes(const Nodes& nodes) {
    int64_t total = 0;
    for (const auto& n : nodes) {
        if (!n) continue;
        if (n->state() == FileNodeSelectStateOn) {
            bool found = false;
            int64_t b = bytesOnDisk(n->path(), &found);
            total += found ? b : int64_t(n->size());
        } else if (n->state() == FileNodeSelectStateMixed) {
            total += countNodes(n->children());
        }
    }
    return total;
}

}  // namespace

int64_t usedBytes(const VolumeObj& volume) {
    const int64_t used = volume.volumeTotalSizeNum() - volume.volumeFreeSizeNum();
    return used < 0 ? 0 : used;
}

Choice summarizeChoice(const Nodes& topLevel) {
    Choice c;
    int on = 0;
    for (const auto& n : topLevel) {
        if (!n) continue;
        if (n->state() == FileNodeSelectStateOn) ++on;
        if (n->state() == FileNodeSelectStateMixed) c.anyPartly = true;
        if (n->state() == FileNodeSelectStateOn || n->state() == FileNodeSelectStateMixed) ++c.chosen;
    }
    c.wholeTopLevel = !topLevel.empty() && on == int(topLevel.size());
    return c;
}

bool hasChosenItem(const Nodes& topLevel) {
    for (const auto& n : topLevel) {
        if (!n) continue;
        if (n->state() == FileNodeSelectStateOn) return true;
        if (n->state() == FileNodeSelectStateMixed && hasChosenItem(n->children())) return true;
    }
    return false;
}

HandBack sizeOfHandBack(const Nodes& topLevel, int64_t countedBytes, bool isDrop) {
    HandBack h;
    if (!hasChosenItem(topLevel)) {
        h.kind = HandBack::Nothing;
        h.selectFilesSize = 0;
    } else if (summarizeChoice(topLevel).wholeTopLevel) {
        h.kind = isDrop ? HandBack::WholeDrop : HandBack::WholeVolume;
        h.selectFilesSize = isDrop ? kCounting : kWholeVolume;
    } else {
        h.kind = HandBack::Files;
        h.selectFilesSize = countedBytes < 0 ? 0 : countedBytes;
    }
    return h;
}

int64_t countChosenBytes(const Nodes& topLevel) { return countNodes(topLevel); }

std::optional<int64_t> bytesNeeded(int64_t selectFilesSize, int64_t usedSize, bool isDrop) {
    if (selectFilesSize == kCounting) return std::nullopt;
    if (isDrop) return selectFilesSize < 0 ? std::nullopt : std::optional<int64_t>(selectFilesSize);
    if (usedSize < 0) return std::nullopt;
    return selectFilesSize == kWholeVolume ? usedSize : selectFilesSize;
}

Space checkSpace(int64_t selectFilesSize, int64_t usedSize, int64_t freeSize, bool isDrop, int64_t margin) {
    if (freeSize < 0) return Space::Unknown;
    if (selectFilesSize == kCounting) return Space::Counting;
    const std::optional<int64_t> need = bytesNeeded(selectFilesSize, usedSize, isDrop);
    if (!need) return Space::Unknown;
    // need + margin, saturating: a huge selection must not wrap round and fit.
    const int64_t m = margin < 0 ? 0 : margin;
    const int64_t total = *need > std::numeric_limits<int64_t>::max() - m ? std::numeric_limits<int64_t>::max()
                                                                          : *need + m;
    return total > freeSize ? Space::TooLarge : Space::Fits;
}

bool sameVolume(const VolumeObj* a, const VolumeObj* b) {
    if (!a || !b) return false;
    if (a == b) return true;
    const std::string na = a->volRootDir(), nb = b->volRootDir();
    return !na.empty() && na == nb;
}

std::string slotImageForVolume(const VolumeObj& volume) {
    if (volume.bCanEject()) return "ic_usb_main";
    const std::string mp = volume.volumeMountPoint();
    if (!mp.empty() && plainPath(mp) == plainPath(kit::sysPath("/")))
        return "ic_os_main_b";
    return "ic_disk_main";
}

}  // namespace screen
