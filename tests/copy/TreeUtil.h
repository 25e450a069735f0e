#pragma once
// Real temporary trees for the copy tests: making files, describing a tree and
// comparing two of them.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace copytest {

// A fresh folder under $TMPDIR (else the build folder), removed with everything
// in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
};

void removeTree(const std::string& path);
void makeDirs(const std::string& path, mode_t mode = 0755);
void writeFile(const std::string& path, const std::string& bytes, mode_t mode = 0644);
std::string readFile(const std::string& path);
std::string randomBytes(std::mt19937_64& rng, std::size_t n);
void setTimes(const std::string& path, std::int64_t sec, long nsec);
bool exists(const std::string& path);  // without following a final link
// A file is being copied into dir: a hidden entry of it (the copy's part file,
// which gets its real name once complete) holds at least `bytes` bytes.
bool partFileInto(const std::string& dir, long long bytes = 1);

// One entry of a tree as the copy must keep it.
struct Entry {
    mode_t type = 0;       // S_IFREG, S_IFDIR, S_IFLNK, S_IFIFO ...
    mode_t mode = 0;       // permission bits
    std::int64_t mtimeSec = 0;
    long mtimeNsec = 0;
    std::string content;   // a file's bytes, a link's target
    bool operator==(const Entry&) const = default;
};
using Tree = std::map<std::string, Entry>;  // relative path -> entry; "" is the root

// Describes the tree at root (not following links); times of links are left out.
Tree snapshot(const std::string& root);
// "" when equal, else a line naming the first difference.
std::string compareTrees(const Tree& want, const Tree& got);

}  // namespace copytest
