#include "TreeUtil.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace copytest {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : PELORIN_BUILD_DIR) + "/copytest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    path_ = buf.data();
}

TempDir::~TempDir() { removeTree(path_); }

void removeTree(const std::string& path) {
    // Read-only folders of a test must still go, also when not run as root.
    std::error_code ec;
    ::chmod(path.c_str(), 0700);
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    fs::remove_all(path, ec);
}

void makeDirs(const std::string& path, mode_t mode) {
    std::error_code ec;
    fs::create_directories(path, ec);
    ::chmod(path.c_str(), mode);
}

void writeFile(const std::string& path, const std::string& bytes, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) throw std::runtime_error("write " + path);
        done += std::size_t(n);
    }
    ::fchmod(fd, mode);
    ::close(fd);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string randomBytes(std::mt19937_64& rng, std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i += 8) {
        std::uint64_t v = rng();
        std::memcpy(&s[i], &v, std::min<std::size_t>(8, n - i));
    }
    return s;
}

void setTimes(const std::string& path, std::int64_t sec, long nsec) {
    struct timespec ts[2] = {{sec, nsec}, {sec, nsec}};
    ::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

static void walk(const std::string& root, const std::string& rel, Tree& out) {
    std::string path = rel.empty() ? root : root + "/" + rel;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    Entry e;
    e.type = st.st_mode & S_IFMT;
    e.mode = st.st_mode & 07777;
    if (!S_ISLNK(st.st_mode)) {
        e.mtimeSec = st.st_mtim.tv_sec;
        e.mtimeNsec = st.st_mtim.tv_nsec;
    }
    if (S_ISREG(st.st_mode)) {
        e.content = readFile(path);
    } else if (S_ISLNK(st.st_mode)) {
        std::vector<char> buf(4096);
        ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n > 0) e.content.assign(buf.data(), std::size_t(n));
        e.mode = 0;  // a link's own bits mean nothing here
    }
    out[rel] = e;
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* de = ::readdir(d)) {
                std::string n = de->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
        }
        for (const auto& n : names) walk(root, rel.empty() ? n : rel + "/" + n, out);
    }
}

Tree snapshot(const std::string& root) {
    Tree t;
    walk(root, "", t);
    return t;
}

static std::string describe(const Entry& e) {
    std::ostringstream s;
    s << "type " << std::oct << e.type << " mode " << e.mode << std::dec << " mtime " << e.mtimeSec << "."
      << e.mtimeNsec << " " << e.content.size() << " bytes";
    return s.str();
}

std::string compareTrees(const Tree& want, const Tree& got) {
    for (const auto& [rel, e] : want) {
        auto it = got.find(rel);
        if (it == got.end()) return "missing: '" + rel + "'";
        if (!(it->second == e)) return "differs: '" + rel + "': want " + describe(e) + ", got " + describe(it->second);
    }
    for (const auto& [rel, e] : got)
        if (!want.count(rel)) return "extra: '" + rel + "'";
    return "";
}

bool partFileInto(const std::string& dir, long long bytes) {
    bool found = false;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            struct stat st;
            const std::string n = e->d_name;
            if (n[0] == '.' && n != "." && n != ".." && ::lstat((dir + "/" + n).c_str(), &st) == 0 &&
                S_ISREG(st.st_mode) && st.st_size >= bytes)
                found = true;
        }
        ::closedir(d);
    }
    return found;
}

}  // namespace copytest
