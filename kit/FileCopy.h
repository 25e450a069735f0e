#pragma once
// The file manager's "copy item at path to path": copies one file, link or whole
// folder tree to a destination path that must not exist yet.
//
// - Nothing is ever overwritten: every file, folder and link of the copy is
//   created exclusively; an existing destination fails with EEXIST.
// - Symbolic links are copied as links and never followed.
// - Permission bits and access/modification times are kept (set-user-ID and
//   set-group-ID are dropped when the copy cannot keep the owner that made them
//   meaningful); empty folders are recreated.
// - FIFOs are recreated, never opened; sockets and devices are recreated when
//   the system allows it, else skipped and counted. No special file is read.
// - The walk stays on the source's file system (a mount point inside the tree is
//   recreated as an empty folder) and never enters the destination itself when
//   that lies inside the source.
// - Paths are bytes: any name the file system holds is copied as it is.
// - A regular file over 64 KiB is written under a hidden name of its own
//   (".pelorin-….part") in its destination folder and renamed to its real name
//   only once complete, with its modes and times: a copy cut short, even by a
//   killed process, leaves no part of it under a real name. Smaller files are
//   written in one go under their real name.
// - Every per-item failure is reported; the copy goes on with the next item. A
//   file cut short, by an error or by a cancel, is removed; so is a file whose
//   size changed while it was copied ("changed while copied").
// - The cancel flag is read between items and between chunks of a large file.
//
// Uses only POSIX and the C++ library; safe to call from any thread.
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace kit {

// Regular files up to this size are written in one go under their real name;
// larger ones under a part name first (see above).
constexpr std::int64_t kOneWriteMax = std::int64_t(64) << 10;

struct FileCopyIssue {
    std::string path;   // the source path of the item concerned
    int error = 0;      // errno value
    std::string what;   // the step that failed or the reason for a skip ("open", "write", "other file system" ...)
    std::string describe() const;  // "path: what: strerror(error)"
};

struct FileCopyResult {
    std::uint64_t files = 0;     // regular files copied whole
    std::uint64_t folders = 0;   // folders created
    std::uint64_t links = 0;     // symbolic links created
    std::uint64_t specials = 0;  // FIFOs, sockets and devices recreated
    std::uint64_t bytes = 0;     // data bytes written (holes not counted)
    std::vector<FileCopyIssue> skipped;   // left out on purpose (see above); not failures
    std::vector<FileCopyIssue> failures;  // items that could not be copied
    bool cancelled = false;               // the cancel flag stopped the copy
    bool destinationExists = false;       // nothing copied: `to` was already taken (also listed in failures)

    // The whole item was copied: no failure and no cancel.
    bool ok() const { return failures.empty() && !cancelled; }
};

// Copies the item at `from` to the new path `to` (whose parent folder must
// exist). `cancel` may be null.
FileCopyResult copyItem(const std::string& from, const std::string& to,
                        const std::atomic<bool>* cancel = nullptr);

// The same for the entry `fromName` of the open folder `fromFolder`, copied to
// the new entry `toName` of the open folder `toFolder` (single names, so no path
// is walked again for each of many items of one folder); `fromPath` names the
// source in the result. `listedAsFile`: the folder's listing calls the entry a
// regular file, so it is opened first and described once open (a listing gone
// stale is noticed and the entry described by name).
FileCopyResult copyItemAt(int fromFolder, const std::string& fromName, int toFolder, const std::string& toName,
                          const std::string& fromPath, const std::atomic<bool>* cancel = nullptr,
                          bool listedAsFile = false);

// A folder held open for copyItemAt. fd() is -1 when it could not be opened.
class OpenFolder {
public:
    explicit OpenFolder(const std::string& path);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Reads the folder's listing once, for listedAsFile: worth it when many of
    // its entries are to be copied one by one.
    void readListing();
    bool listedAsFile(const std::string& name) const;

private:
    int fd_;
    std::string path_;
    bool listed_ = false;
    std::unordered_set<std::string> files_;
};

}  // namespace kit
