#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "kit/SysPath.h"
#include "support/EnvGuard.h"
#include "support/RerunTest.h"

TEST(SysPath, RootIsReadOnEveryCall) {
    EnvGuard root("PELORIN_SYSROOT", nullptr);
    EXPECT_EQ(kit::sysRoot(), "");
    EXPECT_EQ(kit::sysPath("/Volumes"), "/Volumes");
    EXPECT_EQ(kit::sysPath("/"), "/");
    EXPECT_EQ(kit::unSysPath("/Volumes/USB"), "/Volumes/USB");

    root.set("/tmp/rootA/");
    EXPECT_EQ(kit::sysRoot(), "/tmp/rootA");
    EXPECT_EQ(kit::sysPath("/"), "/tmp/rootA");
    EXPECT_EQ(kit::sysPath("/usr/sbin/diskutil"), "/tmp/rootA/usr/sbin/diskutil");
    EXPECT_EQ(kit::machineStatePath(), "/tmp/rootA/.pelorin/machine.plist");
    EXPECT_EQ(kit::unSysPath("/tmp/rootA/Volumes/USB"), "/Volumes/USB");
    EXPECT_EQ(kit::unSysPath("/tmp/rootA"), "/");
    EXPECT_EQ(kit::unSysPath("/tmp/rootA/"), "/");
    // A sibling folder that merely shares the prefix is not inside the root.
    EXPECT_EQ(kit::unSysPath("/tmp/rootAB/x"), "/tmp/rootAB/x");

    root.set("/tmp/rootB");
    EXPECT_EQ(kit::sysPath("/Volumes"), "/tmp/rootB/Volumes");
}

TEST(SysPath, TemporaryDirectoryIsPrivateAndStable) {
    const std::string& dir = kit::temporaryDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_NE(dir, "/tmp/");
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(&dir, &kit::temporaryDirectory());
}

namespace {

std::string withoutTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

// The test program's own remove(): in the run that ends below, a capture's
// shell adds its file to the temporary folder at the worst moment, right
// before the folder itself is removed. Elsewhere it is the C library's.
extern "C" int remove(const char* path) noexcept {
    static const char* const base = std::getenv("PELORIN_TEST_EXIT_BASE");
    static bool written = false;
    if (base && !written && std::string(path).rfind(base, 0) == 0 &&
        withoutTrailingSlashes(path) == withoutTrailingSlashes(kit::temporaryDirectory())) {
        written = true;
        const int fd = ::open((withoutTrailingSlashes(path) + "/late-capture").c_str(), O_WRONLY | O_CREAT, 0600);
        if (fd >= 0) ::close(fd);
    }
    if (::unlink(path) == 0) return 0;
    return errno == EISDIR ? ::rmdir(path) : -1;
}

// A capture's shell still writing in the folder while the program ends must not
// keep the folder: the second run ends while a file lands in it.
TEST(SysPath, TheTemporaryFolderGoesAtExitWhileAProcessStillWritesInIt) {
    if (const char* base = std::getenv("PELORIN_TEST_EXIT_BASE")) {
        const std::string dir = kit::temporaryDirectory();
        if (dir.rfind(base, 0) != 0) ::_exit(2);
        const int fd = ::open((dir + "capture").c_str(), O_WRONLY | O_CREAT, 0600);
        if (fd < 0) ::_exit(3);
        ::close(fd);
        kit::exitProcess(0);
    }
    char base[] = "/tmp/pelorin-exit-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    EXPECT_TRUE(rerunThisTest([&] {
        ::setenv("TMPDIR", base, 1);
        ::setenv("PELORIN_TEST_EXIT_BASE", base, 1);
    }));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::recursive_directory_iterator(base)) left.push_back(e.path().string());
    EXPECT_EQ(left, std::vector<std::string>{});
    std::filesystem::remove_all(base);
}

TEST(SysPath, FoldersOfEndedRunsAloneAreRemovedAtStartUp) {
    char base[] = "/tmp/pelorin-abandoned-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    EnvGuard tmpdir("TMPDIR", base);
    // A run that has ended, and one that still lives.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const pid_t live = ::fork();
    if (live == 0) {
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(live, 0);
    namespace fs = std::filesystem;
    const std::string b = base;
    const std::string endedRun = b + "/Pelorin-" + std::to_string(ended) + "-a1b2c3";
    const std::string liveRun = b + "/Pelorin-" + std::to_string(live) + "-a1b2c3";
    const std::string elsewhere = b + "/elsewhere";
    fs::create_directories(endedRun + "/sub");
    std::ofstream(endedRun + "/sub/capture.plist") << "x";
    fs::create_directories(liveRun);
    std::ofstream(liveRun + "/capture.plist") << "x";
    // Not ours, or not a run's folder: another program's, one without a
    // process in its name, and a link (never followed) to a folder elsewhere.
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere + "/keep") << "x";
    const std::vector<std::string> kept = {b + "/Other-" + std::to_string(ended) + "-a1b2c3",
                                           b + "/Pelorin-a1b2c3", b + "/Pelorin-" + std::to_string(ended) + "-xyz"};
    for (const std::string& k : kept) fs::create_directories(k);
    const std::string link = b + "/Pelorin-" + std::to_string(ended) + "-linked";
    fs::create_directory_symlink(elsewhere, link);

    kit::removeAbandonedTemporaryDirectories();
    ::kill(live, SIGKILL);
    ::waitpid(live, nullptr, 0);

    EXPECT_FALSE(fs::exists(endedRun));
    EXPECT_TRUE(fs::exists(liveRun + "/capture.plist"));
    for (const std::string& k : kept) EXPECT_TRUE(fs::is_directory(k)) << k;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(elsewhere + "/keep"));
    fs::remove_all(base);
}

TEST(SysPath, TimeScaleFallsBackToOneOnNonsense) {
    EnvGuard scale("PELORIN_TIME_SCALE", nullptr);
    EXPECT_EQ(kit::timeScale(), 1.0);
    scale.set("0.01");
    EXPECT_DOUBLE_EQ(kit::scaled(60), 0.6);
    for (const char* bad : {"0", "-2", "abc", "nan", ""}) {
        scale.set(bad);
        EXPECT_EQ(kit::timeScale(), 1.0) << bad;
    }
}

TEST(SysPath, PathComponents) {
    EXPECT_EQ(kit::pathJoin("/Volumes/", "/USB"), "/Volumes/USB");
    EXPECT_EQ(kit::pathJoin("/", "Users"), "/Users");
    EXPECT_EQ(kit::lastPathComponent("/Volumes/USB/"), "USB");
    EXPECT_EQ(kit::deletingLastPathComponent("/Volumes"), "/");
    EXPECT_EQ(kit::deletingLastPathComponent("/"), "/");
    // Three levels above the bundle, the way the launcher is found.
    std::string p = "/Applications/Outer.app/Contents/Helpers/Pelorin.app";
    for (int i = 0; i < 3; ++i) p = kit::deletingLastPathComponent(p);
    EXPECT_EQ(p, "/Applications/Outer.app");
}
