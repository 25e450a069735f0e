#include "kit/FileCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

namespace kit {

std::string FileCopyIssue::describe() const {
    std::string s = path;
    s += ": ";
    s += what;
    if (error != 0) {
        s += ": ";
        s += std::strerror(error);
    }
    return s;
}

namespace {

// One copy_file_range call moves at most this much, so a cancel is seen within
// a chunk's time even in a file of many gigabytes.
constexpr std::size_t kChunk = std::size_t(16) << 20;
// The read/write fallback's buffer.
constexpr std::size_t kBuffer = std::size_t(1) << 20;
// Files up to this size are copied in one write, straight under their real
// name: renaming a part file into place would cost more than the copy itself
// (about a third more for a folder of small files), and what a killed copy
// could leave of such a file is one write's moment.
constexpr off_t kInPlaceMax = off_t(kOneWriteMax);

// A source path built only when a message needs it: the walk itself works with
// directory descriptors and single names.
struct PathRef {
    const PathRef* parent;
    const char* name;
    std::string render() const {
        if (!parent) return name;
        std::string s = parent->render();
        s += '/';
        s += name;
        return s;
    }
};

struct Ctx {
    const std::atomic<bool>* cancel = nullptr;
    FileCopyResult* r = nullptr;
    dev_t rootDev = 0;
    bool haveDest = false;  // the top folder of the copy, once made
    dev_t destDev = 0;
    ino_t destIno = 0;
    // Our identity, asked for only when a set-ID bit makes it matter.
    bool haveIds = false;
    uid_t euid = 0;
    gid_t egid = 0;
    bool rangeCopy = true;  // copy_file_range works between these two file systems
    std::vector<char> buffer;

    bool stopped() {
        if (r->cancelled) return true;
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            r->cancelled = true;
            return true;
        }
        return false;
    }
    void fail(const PathRef& p, int err, const char* what) { r->failures.push_back({p.render(), err, what}); }
    void skip(const PathRef& p, int err, const char* what) { r->skipped.push_back({p.render(), err, what}); }

    // Permission bits to give the copy. The copy belongs to whoever runs it, so
    // set-user-ID and set-group-ID bits are kept only where that owner is the
    // source's: a copied set-user-ID program must not gain our identity.
    mode_t modeFor(const struct stat& st) {
        mode_t m = st.st_mode & 07777;
        if (!(m & (S_ISUID | S_ISGID))) return m;
        if (!haveIds) {
            euid = ::geteuid();
            egid = ::getegid();
            haveIds = true;
        }
        if (st.st_uid != euid) m &= ~mode_t(S_ISUID);
        if (st.st_gid != egid) m &= ~mode_t(S_ISGID);
        return m;
    }
};

void timesOf(const struct stat& st, struct timespec ts[2]) {
    ts[0] = st.st_atim;
    ts[1] = st.st_mtim;
}

void closeQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

enum class Data { Done, Failed, Cancelled };

bool rangeUnsupported(int err) {
    return err == EXDEV || err == ENOSYS || err == EOPNOTSUPP || err == EINVAL || err == EBADF || err == ETXTBSY ||
           err == EPERM;
}

// Copies [off, end) of `in` to the same offsets of `out` with plain reads and
// writes. `end` < 0 copies to the end of the input.
Data copyByReading(Ctx& c, int in, int out, off_t off, off_t end, int& err, const char*& what) {
    if (c.buffer.empty()) c.buffer.resize(kBuffer);
    while (end < 0 || off < end) {
        if (c.stopped()) return Data::Cancelled;
        std::size_t want = kBuffer;
        if (end >= 0 && off_t(want) > end - off) want = std::size_t(end - off);
        ssize_t n = ::pread(in, c.buffer.data(), want, off);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            what = "read";
            return Data::Failed;
        }
        if (n == 0) break;  // the file shrank while we copied it
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = ::pwrite(out, c.buffer.data() + done, std::size_t(n - done), off + done);
            if (w < 0) {
                if (errno == EINTR) continue;
                err = errno;
                what = "write";
                return Data::Failed;
            }
            done += w;
        }
        off += n;
        c.r->bytes += std::uint64_t(n);
    }
    return Data::Done;
}

// Copies [off, end) of `in` to the same offsets of `out`, in the kernel when it can.
Data copyRange(Ctx& c, int in, int out, off_t off, off_t end, int& err, const char*& what) {
    while (off < end) {
        if (!c.rangeCopy) return copyByReading(c, in, out, off, end, err, what);
        if (c.stopped()) return Data::Cancelled;
        std::size_t want = kChunk;
        if (off_t(want) > end - off) want = std::size_t(end - off);
        loff_t inOff = off, outOff = off;
        ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, want, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (rangeUnsupported(errno)) {
                c.rangeCopy = false;
                continue;
            }
            err = errno;
            what = "write";
            return Data::Failed;
        }
        if (n == 0) break;  // the file shrank while we copied it
        off += n;
        c.r->bytes += std::uint64_t(n);
    }
    return Data::Done;
}

Data copyData(Ctx& c, int in, int out, const struct stat& st, int& err, const char*& what) {
    const off_t size = st.st_size;
    if (size == 0) return Data::Done;
    // Fewer allocated blocks than the size needs: copy the data regions only and
    // leave the holes as holes.
    if (off_t(st.st_blocks) * 512 < size) {
        off_t off = 0;
        for (;;) {
            off_t data = ::lseek(in, off, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO) break;  // only a hole is left
                // No hole support here: copy the rest as it is.
                Data d = copyRange(c, in, out, off, size, err, what);
                if (d != Data::Done) return d;
                off = size;
                break;
            }
            if (data >= size) break;
            off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0 || hole > size) hole = size;
            Data d = copyRange(c, in, out, data, hole, err, what);
            if (d != Data::Done) return d;
            off = hole;
            if (off >= size) break;
        }
        // A trailing hole has no data to write; the size makes it.
        if (::ftruncate(out, size) != 0) {
            err = errno;
            what = "write";
            return Data::Failed;
        }
        return Data::Done;
    }
    return copyRange(c, in, out, 0, size, err, what);
}

void copyEntry(Ctx& c, int srcDir, const char* sname, int dstDir, const char* dname, const struct stat& st,
               const PathRef& path, int openedFd);

// A file larger than kInPlaceMax is written under a hidden name of its own in
// the destination folder and given its real name only once it is complete,
// its modes and times set: whatever cuts a copy short, a killed process
// included, no part of it stands under its real name. `part` gets the hidden
// name, in dname's folder when dname is a path. Returns the open file, or -1.
int createPartFile(int dstDir, const char* dname, std::string& part) {
    static std::atomic<unsigned> counter{0};
    const char* slash = std::strrchr(dname, '/');
    const std::size_t folder = slash ? std::size_t(slash - dname + 1) : 0;
    for (int tries = 0; tries < 100; ++tries) {
        char name[48];
        std::snprintf(name, sizeof name, ".pelorin-%ld-%u.part", long(::getpid()), counter.fetch_add(1));
        part.assign(dname, folder);
        part += name;
        int fd = ::openat(dstDir, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Gives the finished part file its real name, never replacing an entry of
// that name; 0 or the errno.
int placePartFile(int dstDir, const char* part, const char* dname) {
    if (::renameat2(dstDir, part, dstDir, dname, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // No exclusive rename on this file system: a hard link is exclusive too.
    if (::linkat(dstDir, part, dstDir, dname, 0) == 0) {
        ::unlinkat(dstDir, part, 0);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    // Nor hard links: look, then rename (only a racing writer could slip in).
    struct stat st;
    if (::fstatat(dstDir, dname, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(dstDir, part, dstDir, dname) == 0 ? 0 : errno;
}

// A small file without holes is read whole, asking for one byte more than its
// size: the read's count then shows a file that shrank or grew since it was
// described, at the very moment its data was taken, without describing it again.
Data copySmall(Ctx& c, int in, int out, const struct stat& st, int& err, const char*& what) {
    thread_local std::vector<char> buffer(std::size_t(kInPlaceMax) + 1);
    if (c.stopped()) return Data::Cancelled;
    const std::size_t size = std::size_t(st.st_size);
    std::size_t got = 0;
    while (got <= size) {
        ssize_t n = ::pread(in, buffer.data() + got, size + 1 - got, off_t(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            what = "read";
            return Data::Failed;
        }
        if (n == 0) break;
        got += std::size_t(n);
        if (got == size) break;  // a read stops short only at the end
    }
    if (got != size) {
        err = EAGAIN;
        what = "changed while copied";
        return Data::Failed;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t w = ::pwrite(out, buffer.data() + done, size - done, off_t(done));
        if (w < 0) {
            if (errno == EINTR) continue;
            err = errno;
            what = "write";
            return Data::Failed;
        }
        done += std::size_t(w);
    }
    c.r->bytes += size;
    return Data::Done;
}

// Copies the regular file `in` (open, described by st) to the new name dname in dstDir.
void copyFile(Ctx& c, int in, int dstDir, const char* dname, const struct stat& st, const PathRef& path) {
    const bool inPlace = st.st_size <= kInPlaceMax;
    const bool small = inPlace && off_t(st.st_blocks) * 512 >= st.st_size;
    std::string part;
    int out = inPlace ? ::openat(dstDir, dname, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)
                      : createPartFile(dstDir, dname, part);
    if (out < 0) {
        c.fail(path, errno, "create");
        return;
    }
    int err = 0;
    const char* what = "";
    Data d = small ? copySmall(c, in, out, st, err, what) : copyData(c, in, out, st, err, what);
    if (d == Data::Done && !small) {
        // A file written to while we copied it gives a copy of no moment in its
        // life: its size now tells (a file cut short, or one that grew past
        // what we read).
        struct stat now;
        if (::fstat(in, &now) == 0 && now.st_size != st.st_size) {
            err = EAGAIN;
            what = "changed while copied";
            d = Data::Failed;
        }
    }
    if (d == Data::Done) {
        struct timespec ts[2];
        timesOf(st, ts);
        if (::fchmod(out, c.modeFor(st)) != 0) {
            err = errno;
            what = "keep permissions";
            d = Data::Failed;
        } else if (::futimens(out, ts) != 0) {
            err = errno;
            what = "keep times";
            d = Data::Failed;
        }
    }
    if (::close(out) != 0 && d == Data::Done) {
        err = errno;
        what = "write";
        d = Data::Failed;
    }
    if (d == Data::Done) {
        err = inPlace ? 0 : placePartFile(dstDir, part.c_str(), dname);
        if (err == 0) {
            ++c.r->files;
            return;
        }
        what = "create";
        d = Data::Failed;
    }
    // No half file stays behind, whatever cut it short.
    ::unlinkat(dstDir, inPlace ? dname : part.c_str(), 0);
    if (d == Data::Failed) c.fail(path, err, what);
}

void copyLink(Ctx& c, int srcDir, const char* sname, int dstDir, const char* dname, const struct stat& st,
              const PathRef& path) {
    std::size_t cap = st.st_size > 0 ? std::size_t(st.st_size) + 1 : 256;
    std::string target;
    for (;;) {
        target.resize(cap);
        ssize_t n = ::readlinkat(srcDir, sname, target.data(), cap);
        if (n < 0) {
            c.fail(path, errno, "read link");
            return;
        }
        if (std::size_t(n) < cap) {
            target.resize(std::size_t(n));
            break;
        }
        cap *= 2;
    }
    if (::symlinkat(target.c_str(), dstDir, dname) != 0) {
        c.fail(path, errno, "create link");
        return;
    }
    struct timespec ts[2];
    timesOf(st, ts);
    ::utimensat(dstDir, dname, ts, AT_SYMLINK_NOFOLLOW);  // some file systems keep no link times
    ++c.r->links;
}

void copySpecial(Ctx& c, int dstDir, const char* dname, const struct stat& st, const PathRef& path) {
    // Made, never opened: a FIFO would block a reader, a device could act on the read.
    mode_t mode = c.modeFor(st);
    if (::mknodat(dstDir, dname, (st.st_mode & S_IFMT) | (mode & 0777), st.st_rdev) != 0) {
        if (errno == EEXIST)
            c.fail(path, errno, "create");
        else
            c.skip(path, errno, "special file");
        return;
    }
    ::fchmodat(dstDir, dname, mode, 0);
    struct timespec ts[2];
    timesOf(st, ts);
    ::utimensat(dstDir, dname, ts, AT_SYMLINK_NOFOLLOW);
    ++c.r->specials;
}

// Opens a folder of the source without following a link put in its place.
// Opens an entry that its folder's listing calls a regular file and describes
// the open file: one call less than describing the name and then opening it.
// O_NONBLOCK keeps a FIFO swapped in meanwhile from blocking the open. Returns
// the descriptor; -1 with err 0 when the entry is not a regular file after all
// (describe it by name instead), -1 with err set when it can't be opened.
int openListedFile(int dir, const char* name, struct stat& st, int& err) {
    err = 0;
    int fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ELOOP && errno != ENXIO) err = errno;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int openFolder(int dir, const char* name) {
    return ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void copyFolder(Ctx& c, int srcDir, const char* sname, int dstDir, const char* dname, const struct stat& st,
                const PathRef& path) {
    const bool foreign = st.st_dev != c.rootDev;
    int in = -1;
    if (!foreign) {
        in = openFolder(srcDir, sname);
        if (in < 0) {
            c.fail(path, errno, "open folder");
            return;
        }
    }
    // Owner-writable while we fill it; its own modes come last.
    if (::mkdirat(dstDir, dname, 0700) != 0) {
        c.fail(path, errno, "create folder");
        closeQuietly(in);
        return;
    }
    int out = openFolder(dstDir, dname);
    if (out < 0) {
        c.fail(path, errno, "create folder");
        closeQuietly(in);
        return;
    }
    ++c.r->folders;
    if (!c.haveDest) {
        struct stat ds;
        if (::fstat(out, &ds) == 0) {
            c.haveDest = true;
            c.destDev = ds.st_dev;
            c.destIno = ds.st_ino;
        }
    }
    if (foreign) {
        // A mount point: the folder is made, another file system's content is not ours to copy.
        c.skip(path, 0, "other file system");
    } else {
        DIR* d = ::fdopendir(in);
        if (!d) {
            c.fail(path, errno, "open folder");
            closeQuietly(in);
        } else {
            for (;;) {
                if (c.stopped()) break;
                errno = 0;
                struct dirent* e = ::readdir(d);
                if (!e) {
                    if (errno != 0) c.fail(path, errno, "read folder");
                    break;
                }
                const char* n = e->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
                PathRef child{&path, n};
                struct stat cst;
                int fd = -1;
                if (e->d_type == DT_REG) {
                    int err = 0;
                    fd = openListedFile(in, n, cst, err);
                    if (err != 0) {
                        c.fail(child, err, "open");
                        continue;
                    }
                }
                if (fd < 0 && ::fstatat(in, n, &cst, AT_SYMLINK_NOFOLLOW) != 0) {
                    c.fail(child, errno, "read attributes");
                    continue;
                }
                if (S_ISDIR(cst.st_mode) && c.haveDest && cst.st_dev == c.destDev && cst.st_ino == c.destIno) {
                    // The copy's own folder, inside what it copies: entering it would never end.
                    c.skip(child, 0, "destination inside source");
                    continue;
                }
                copyEntry(c, in, n, out, n, cst, child, fd);
            }
            ::closedir(d);
        }
    }
    struct timespec ts[2];
    timesOf(st, ts);
    if (::fchmod(out, c.modeFor(st)) != 0)
        c.fail(path, errno, "keep permissions");
    else if (::futimens(out, ts) != 0)
        c.fail(path, errno, "keep times");
    ::close(out);
}

// openedFd: the source already opened for reading (regular files), or -1.
void copyEntry(Ctx& c, int srcDir, const char* sname, int dstDir, const char* dname, const struct stat& st,
               const PathRef& path, int openedFd) {
    switch (st.st_mode & S_IFMT) {
    case S_IFREG: {
        int in = openedFd;
        if (in < 0) {
            in = ::openat(srcDir, sname, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (in < 0) {
                c.fail(path, errno, "open");
                return;
            }
            struct stat now;
            if (::fstat(in, &now) != 0 || !S_ISREG(now.st_mode)) {
                // Replaced by something else since it was described: not a file to read.
                c.fail(path, EAGAIN, "changed while copied");
                ::close(in);
                return;
            }
            copyFile(c, in, dstDir, dname, now, path);
        } else {
            copyFile(c, in, dstDir, dname, st, path);
        }
        ::close(in);
        return;
    }
    case S_IFDIR:
        copyFolder(c, srcDir, sname, dstDir, dname, st, path);
        return;
    case S_IFLNK:
        copyLink(c, srcDir, sname, dstDir, dname, st, path);
        return;
    default:
        copySpecial(c, dstDir, dname, st, path);
        return;
    }
}

}  // namespace

FileCopyResult copyItemAt(int fromFolder, const std::string& fromName, int toFolder, const std::string& toName,
                          const std::string& fromPath, const std::atomic<bool>* cancel, bool listedAsFile) {
    FileCopyResult r;
    Ctx c;
    c.cancel = cancel;
    c.r = &r;
    PathRef top{nullptr, fromPath.c_str()};
    if (c.stopped()) return r;
    struct stat st;
    int fd = -1;
    if (listedAsFile) {
        int err = 0;
        fd = openListedFile(fromFolder, fromName.c_str(), st, err);
        if (err != 0) {
            c.fail(top, err, "open");
            return r;
        }
    }
    if (fd < 0 && ::fstatat(fromFolder, fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        c.fail(top, errno, "read attributes");
        return r;
    }
    c.rootDev = st.st_dev;
    // A large file is written under another name first (copyFile), so a name
    // taken already is looked for before any data is copied.
    struct stat taken;
    if (S_ISREG(st.st_mode) && st.st_size > kInPlaceMax &&
        ::fstatat(toFolder, toName.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        closeQuietly(fd);
        c.fail(top, EEXIST, "create");
        r.destinationExists = true;
        return r;
    }
    copyEntry(c, fromFolder, fromName.c_str(), toFolder, toName.c_str(), st, top, fd);
    // Every creation is exclusive, so a taken name shows as EEXIST on the item
    // itself, before anything was made.
    if (r.files + r.folders + r.links + r.specials == 0 && r.failures.size() == 1 && r.failures[0].error == EEXIST &&
        r.failures[0].path == fromPath)
        r.destinationExists = true;
    return r;
}

FileCopyResult copyItem(const std::string& from, const std::string& to, const std::atomic<bool>* cancel) {
    return copyItemAt(AT_FDCWD, from, AT_FDCWD, to, from, cancel);
}

OpenFolder::OpenFolder(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), path_(path) {}

OpenFolder::~OpenFolder() {
    if (fd_ >= 0) ::close(fd_);
}

void OpenFolder::readListing() {
    if (listed_ || fd_ < 0) return;
    listed_ = true;
    // A descriptor of its own: the listing must not move fd_'s position.
    int dup = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dup < 0) return;
    DIR* d = ::fdopendir(dup);
    if (!d) {
        ::close(dup);
        return;
    }
    while (struct dirent* e = ::readdir(d))
        if (e->d_type == DT_REG) files_.insert(e->d_name);
    ::closedir(d);
}

bool OpenFolder::listedAsFile(const std::string& name) const { return files_.count(name) != 0; }

}  // namespace kit
