// The kit's item copy on real trees.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "TreeUtil.h"
#include "kit/FileCopy.h"

using namespace copytest;

namespace {

// Names a shell or a format string would mangle, and bytes that are not UTF-8.
const char* const kOddNames[] = {
    "with space", "it's \"quoted\"", "$(touch pwned)", "line\nbreak", "%1 %s %@", "-leading-dash",
    "bad\xff\xfe" "bytes", ".hidden", "`tick`",
};

// Runs fn in a forked child and returns its exit code (or 128 + signal). Used
// where the process itself must change: its identity or its file-size limit.
int inChild(const std::function<int()>& fn) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(fn());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(ItemCopy, TreeIsReproducedWithContentModesTimesAndLinks) {
    TempDir t;
    std::mt19937_64 rng(42);
    const std::string src = t / "src";
    makeDirs(src + "/one/two/three/four/five");
    writeFile(src + "/empty", "");
    writeFile(src + "/one byte", "x", 0600);
    writeFile(src + "/random", randomBytes(rng, 300000), 0640);
    // Past one kernel copy chunk and many fallback buffers.
    writeFile(src + "/one/big", randomBytes(rng, (17u << 20) + 123), 0444);
    writeFile(src + "/one/two/three/four/five/deep.txt", randomBytes(rng, 777), 0755);
    for (const char* n : kOddNames) writeFile(src + "/one/" + n, n, 0644);
    makeDirs(src + "/one/two/" + kOddNames[1]);
    makeDirs(src + "/empty folder");
    makeDirs(src + "/.hidden folder");
    writeFile(src + "/.hidden folder/.inside", "secret", 0600);
    ASSERT_EQ(::symlink("random", (src + "/file link").c_str()), 0);
    ASSERT_EQ(::symlink("one/two", (src + "/folder link").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere/at all", (src + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink(".", (src + "/one/loop").c_str()), 0);
    ASSERT_EQ(::symlink("ping", (src + "/pong").c_str()), 0);
    ASSERT_EQ(::symlink("pong", (src + "/ping").c_str()), 0);
    // Sparse: data at the start, in the middle, and a hole at the end.
    {
        int fd = ::open((src + "/sparse").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, 24 << 20), 6);
        ASSERT_EQ(::ftruncate(fd, 40 << 20), 0);
        ::close(fd);
    }
    // A folder that is read-only still gets its content, then its own modes.
    makeDirs(src + "/locked");
    writeFile(src + "/locked/inside", "in");
    ::chmod((src + "/locked").c_str(), 0555);
    ::chmod((src + "/one/two").c_str(), 0711);
    // Distinct times down to the nanosecond, folders last since filling them moves theirs.
    std::int64_t sec = 1000000000;
    for (auto& [rel, e] : snapshot(src))
        if (e.type == S_IFREG) setTimes(rel.empty() ? src : src + "/" + rel, sec++, 123456789);
    for (auto& [rel, e] : snapshot(src))
        if (e.type == S_IFDIR) setTimes(rel.empty() ? src : src + "/" + rel, sec++, 987654321);

    const Tree before = snapshot(src);
    kit::FileCopyResult r = kit::copyItem(src, t / "dst");
    for (const auto& f : r.failures) ADD_FAILURE() << f.describe();
    EXPECT_TRUE(r.ok());
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(compareTrees(before, snapshot(t / "dst")), "");
    EXPECT_EQ(compareTrees(before, snapshot(src)), "") << "the source was changed";
    EXPECT_EQ(r.links, 6u);
    EXPECT_EQ(r.files, 7u + std::size(kOddNames) + 1);

    struct stat a, b;
    ASSERT_EQ(::stat((src + "/sparse").c_str(), &a), 0);
    ASSERT_EQ(::stat((t / "dst/sparse").c_str(), &b), 0);
    EXPECT_LE(b.st_blocks, a.st_blocks + 64) << "holes were filled in";

    // Copying a single file or a single link works the same way.
    EXPECT_TRUE(kit::copyItem(src + "/random", t / "lone").ok());
    EXPECT_EQ(readFile(t / "lone"), readFile(src + "/random"));
    EXPECT_TRUE(kit::copyItem(src + "/dangling", t / "lone link").ok());
    EXPECT_EQ(snapshot(t / "lone link")[""], before.at("dangling"));
}

TEST(ItemCopy, FifoIsRecreatedWithoutBeingRead) {
    TempDir t;
    makeDirs(t / "src/sub");
    ASSERT_EQ(::mkfifo((t / "src/pipe").c_str(), 0640), 0);
    ASSERT_EQ(::mkfifo((t / "src/sub/pipe2").c_str(), 0600), 0);
    writeFile(t / "src/after", "after");
    auto job = std::async(std::launch::async, [&] { return kit::copyItem(t / "src", t / "dst"); });
    if (job.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Release a reader stuck on the FIFOs so the test can end.
        for (const char* p : {"src/pipe", "src/sub/pipe2"}) ::close(::open((t / p).c_str(), O_WRONLY | O_NONBLOCK));
        job.wait();
        FAIL() << "the copy blocked on a FIFO";
    }
    kit::FileCopyResult r = job.get();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.specials, 2u);
    EXPECT_EQ(compareTrees(snapshot(t / "src"), snapshot(t / "dst")), "");
}

TEST(ItemCopy, NeverOverwritesAnythingAtTheDestination) {
    TempDir t;
    writeFile(t / "file", "new");
    makeDirs(t / "folder");
    writeFile(t / "folder/x", "new");

    writeFile(t / "taken", "old");
    kit::FileCopyResult r = kit::copyItem(t / "file", t / "taken");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.destinationExists);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].error, EEXIST);
    EXPECT_EQ(readFile(t / "taken"), "old");

    makeDirs(t / "taken folder");
    writeFile(t / "taken folder/x", "old");
    r = kit::copyItem(t / "folder", t / "taken folder");
    EXPECT_TRUE(r.destinationExists);
    EXPECT_EQ(readFile(t / "taken folder/x"), "old");

    // A link in the way is not followed to write somewhere else.
    ASSERT_EQ(::symlink((t / "target").c_str(), (t / "trap").c_str()), 0);
    r = kit::copyItem(t / "file", t / "trap");
    EXPECT_TRUE(r.destinationExists);
    EXPECT_FALSE(exists(t / "target"));

    // A large file, written under a part name first: a taken name is seen
    // before any data is copied, and a name taken while it is copied is not
    // replaced when the part is put in place.
    std::mt19937_64 rng(9);
    writeFile(t / "large", randomBytes(rng, 1 << 20));
    r = kit::copyItem(t / "large", t / "taken");
    EXPECT_TRUE(r.destinationExists);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_EQ(readFile(t / "taken"), "old");
    makeDirs(t / "race");
    {
        int fd = ::open((t / "huge").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const std::string chunk = randomBytes(rng, 1 << 20);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(::write(fd, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        ::close(fd);
    }
    std::atomic<bool> copied{false};
    std::thread intruder([&] {
        while (!partFileInto(t / "race") && !copied) {
        }
        writeFile(t / "race/huge", "theirs");
    });
    r = kit::copyItem(t / "huge", t / "race/huge");
    copied = true;
    intruder.join();
    // Whether the intruder came during the copy or after it, its file is what stays.
    EXPECT_TRUE(readFile(t / "race/huge") == "theirs") << "the file put there during the copy was replaced";
    if (!r.ok()) EXPECT_TRUE(r.destinationExists);
    EXPECT_FALSE(partFileInto(t / "race", 0)) << "the part file was left";

    // A failure inside a folder is not mistaken for a taken destination.
    r = kit::copyItem(t / "missing", t / "elsewhere");
    EXPECT_FALSE(r.destinationExists);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].error, ENOENT);
    EXPECT_EQ(r.failures[0].path, t / "missing");
    EXPECT_FALSE(exists(t / "elsewhere"));
}

TEST(ItemCopy, DestinationInsideTheSourceIsNotEntered) {
    TempDir t;
    makeDirs(t / "src/a/b");
    writeFile(t / "src/a/b/f", "data");
    writeFile(t / "src/top", "top");
    const Tree before = snapshot(t / "src");
    kit::FileCopyResult r = kit::copyItem(t / "src", t / "src/a/copy");
    EXPECT_TRUE(r.ok());
    ASSERT_EQ(r.skipped.size(), 1u);
    EXPECT_EQ(r.skipped[0].path, t / "src/a/copy");
    Tree copy = snapshot(t / "src/a/copy");
    // The copy shows the source as it was, its own folder aside.
    Tree want = before;
    want.erase("");
    want.erase("a");
    copy.erase("");
    copy.erase("a");
    EXPECT_EQ(compareTrees(want, copy), "");
}

TEST(ItemCopy, SetIdBitsStayOnlyWithTheirOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file another owner";
    TempDir t;
    makeDirs(t / "src");
    writeFile(t / "src/mine", "x", 04755);
    ::chmod((t / "src/mine").c_str(), 06755);
    writeFile(t / "src/theirs", "x");
    ASSERT_EQ(::chown((t / "src/theirs").c_str(), 65534, 65534), 0);
    ::chmod((t / "src/theirs").c_str(), 06755);
    ASSERT_TRUE(kit::copyItem(t / "src", t / "dst").ok());
    struct stat st;
    ASSERT_EQ(::stat((t / "dst/mine").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 06755u);
    ASSERT_EQ(::stat((t / "dst/theirs").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << "a copy owned by us must not run as us";
}

TEST(ItemCopy, CancelInsideALargeFileStopsAtOnceAndLeavesNoPartialFile) {
    TempDir t;
    makeDirs(t / "src");
    std::mt19937_64 rng(7);
    const std::string chunk = randomBytes(rng, 1 << 20);
    {
        int fd = ::open((t / "src/big").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        for (int i = 0; i < 768; ++i) ASSERT_EQ(::write(fd, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        ::close(fd);
    }
    writeFile(t / "src/later", "never reached");
    std::atomic<bool> cancel{false};
    std::atomic<bool> started{false};
    std::chrono::steady_clock::time_point cancelledAt;
    std::thread watcher([&] {
        // Stop as soon as the copy has written anything of the big file.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (partFileInto(t / "dst")) {
                started = true;
                break;
            }
        }
        cancelledAt = std::chrono::steady_clock::now();
        cancel = true;
    });
    makeDirs(t / "dst");
    kit::FileCopyResult r = kit::copyItem(t / "src/big", t / "dst/big", &cancel);
    const auto endedAt = std::chrono::steady_clock::now();
    watcher.join();
    ASSERT_TRUE(started) << "the copy ended before it could be stopped";
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_FALSE(r.ok());
    EXPECT_LT(r.bytes, 768ull << 20);
    EXPECT_LT(std::chrono::duration<double>(endedAt - cancelledAt).count(), 0.5);
    EXPECT_FALSE(exists(t / "dst/big")) << "a partial file was left";
    EXPECT_FALSE(partFileInto(t / "dst", 0)) << "the part file was left";

    // A cancel already set copies nothing, in a folder too.
    r = kit::copyItem(t / "src", t / "dst2", &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(exists(t / "dst2"));
}

TEST(ItemCopy, FullDiskRemovesTheCutFileAndGoesOn) {
    TempDir t;
    std::mt19937_64 rng(3);
    makeDirs(t / "src/sub");
    writeFile(t / "src/a", randomBytes(rng, 1000));
    writeFile(t / "src/sub/huge", randomBytes(rng, 3 << 20));
    writeFile(t / "src/z", randomBytes(rng, 1000));
    // The file-size limit stands in for a full disk: writes past it fail with EFBIG.
    int code = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {1 << 20, 1 << 20};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        kit::FileCopyResult r = kit::copyItem(t / "src", t / "dst");
        if (r.failures.size() != 1) return 11;
        if (r.failures[0].error != EFBIG) return 12;
        if (r.failures[0].path != t / "src/sub/huge") return 13;
        if (r.files != 2) return 14;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(exists(t / "dst/sub/huge")) << "the cut file was left behind";
    EXPECT_TRUE(exists(t / "dst/sub"));
    EXPECT_EQ(readFile(t / "dst/a"), readFile(t / "src/a"));
    EXPECT_EQ(readFile(t / "dst/z"), readFile(t / "src/z"));
}

// A process killed in the middle of a file (here by the file-size limit's
// signal) gets no chance to clean up: what it wrote must not stand under the
// file's real name, nor under a name a user would take for a copy.
TEST(ItemCopy, AKilledCopyLeavesNoPartOfAFileUnderItsRealName) {
    TempDir t;
    std::mt19937_64 rng(5);
    makeDirs(t / "src");
    writeFile(t / "src/first", randomBytes(rng, 1000), 0640);
    writeFile(t / "src/big", randomBytes(rng, 3 << 20), 0644);
    makeDirs(t / "dst");
    const int code = inChild([&] {
        struct rlimit lim = {1 << 20, 1 << 20};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        kit::copyItem(t / "src/first", t / "dst/first");
        kit::copyItem(t / "src/big", t / "dst/big");
        return 0;
    });
    ASSERT_EQ(code, 128 + SIGXFSZ) << "the copy was not killed inside the file";
    EXPECT_FALSE(exists(t / "dst/big")) << "a partial file stands under its real name";
    EXPECT_TRUE(partFileInto(t / "dst", 1)) << "the killed copy wrote nowhere";
    EXPECT_EQ(readFile(t / "dst/first"), readFile(t / "src/first"));
    struct stat st;
    ASSERT_EQ(::stat((t / "dst/first").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ItemCopy, UnreadableItemsAreReportedAndTheRestCopied) {
    TempDir t;
    makeDirs(t / "src/closed");
    writeFile(t / "src/closed/inner", "x");
    writeFile(t / "src/secret", "x", 0000);
    writeFile(t / "src/open", "open");
    ::chmod((t / "src/closed").c_str(), 0000);
    ::chmod(t.path().c_str(), 0777);
    // Root reads everything, so the copy runs as nobody.
    int code = inChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
        kit::FileCopyResult r = kit::copyItem(t / "src", t / "dst");
        if (r.failures.size() != 2) return 11;
        for (const auto& f : r.failures)
            if (f.error != EACCES) return 12;
        if (r.files != 1) return 13;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(t / "dst/open"), "open");
    EXPECT_FALSE(exists(t / "dst/secret"));
}

TEST(ItemCopy, OtherFileSystemsAreNotEntered) {
    TempDir t;
    makeDirs(t / "src/mnt");
    writeFile(t / "src/f", "f");
    if (::mount("tmpfs", (t / "src/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
    writeFile(t / "src/mnt/foreign", "not ours");
    kit::FileCopyResult r = kit::copyItem(t / "src", t / "dst");
    ::umount((t / "src/mnt").c_str());
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(exists(t / "dst/mnt"));
    EXPECT_FALSE(exists(t / "dst/mnt/foreign"));
    EXPECT_EQ(r.skipped.size(), 1u);
}

// The copy runs in a traced child that is held at its first read of the file's
// data; the file grows right then, every time.
static void expectGrowthWhileCopiedRefused(std::size_t size) {
    SCOPED_TRACE(size);
    TempDir t;
    std::mt19937_64 rng(7);
    const std::string src = t / "growing";
    writeFile(src, randomBytes(rng, size));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::raise(SIGSTOP);
        const kit::FileCopyResult r = kit::copyItem(src, t / "copy");
        const bool seen = r.failures.size() == 1 && r.failures[0].what == "changed while copied" && r.files == 0 &&
                          !r.ok() && !exists(t / "copy");
        ::_exit(seen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSTOPPED(status));
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    // Whether a system call entry reads from the source file.
    auto readsSource = [&](const __ptrace_syscall_info& info) {
        const auto nr = info.entry.nr;
        if (nr != SYS_copy_file_range && nr != SYS_pread64 && nr != SYS_read && nr != SYS_sendfile) return false;
        const int fd = int(nr == SYS_sendfile ? info.entry.args[1] : info.entry.args[0]);
        char target[4096];
        const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        return n > 0 && std::string(target, std::size_t(n)) == src;
    };
    bool grown = false;
    int pass = 0;  // a signal the child got, handed on
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(std::intptr_t(pass)));
        pass = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) break;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            pass = WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info) > 0 &&
            info.op == PTRACE_SYSCALL_INFO_ENTRY && readsSource(info)) {
            int fd = ::open(src.c_str(), O_WRONLY | O_APPEND);
            grown = ::write(fd, "grown", 5) == 5;
            ::close(fd);
            ::ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
            ::waitpid(pid, &status, 0);
            break;
        }
    }
    ASSERT_TRUE(grown) << "the copy never read the file";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the copy of a moving file was not refused, or was kept (status " << status << ")";

    // The same file at rest copies fine.
    kit::FileCopyResult r = kit::copyItem(src, t / "copy");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(readFile(t / "copy"), readFile(src));
}

// Large files are copied in chunks, small ones in a single read.
TEST(ItemCopy, AFileThatChangesSizeWhileCopiedIsAFailureAndLeavesNoCopy) {
    expectGrowthWhileCopiedRefused(std::size_t(1) << 20);
    expectGrowthWhileCopiedRefused(std::size_t(16) << 10);
}

// A listing read before the copy may be stale: whatever the entry is by then
// is copied as what it is, never read as a file when it is not one.
TEST(ItemCopy, AnEntryListedAsAFileIsCopiedAsWhatItIsNow) {
    TempDir t;
    makeDirs(t / "src/folder");
    writeFile(t / "src/folder/inner", "inner");
    writeFile(t / "src/file", "file");
    ASSERT_EQ(::symlink("file", (t / "src/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((t / "src/fifo").c_str(), 0640), 0);
    makeDirs(t / "dst");
    kit::OpenFolder from(t / "src"), to(t / "dst");
    ASSERT_GE(from.fd(), 0);
    ASSERT_GE(to.fd(), 0);
    from.readListing();
    EXPECT_TRUE(from.listedAsFile("file"));
    EXPECT_FALSE(from.listedAsFile("folder"));
    EXPECT_FALSE(from.listedAsFile("link"));
    for (const char* name : {"file", "folder", "link", "fifo"}) {
        SCOPED_TRACE(name);
        kit::FileCopyResult r = kit::copyItemAt(from.fd(), name, to.fd(), name, t / "src" + "/" + name, nullptr, true);
        EXPECT_TRUE(r.ok());
    }
    // The two folders themselves differ in times: only their content counts.
    Tree want = snapshot(t / "src"), got = snapshot(t / "dst");
    want.erase("");
    got.erase("");
    EXPECT_EQ(compareTrees(want, got), "");

    // Gone since it was listed: a failure that names the open.
    kit::FileCopyResult gone = kit::copyItemAt(from.fd(), "missing", to.fd(), "missing", t / "src/missing", nullptr, true);
    ASSERT_EQ(gone.failures.size(), 1u);
    EXPECT_EQ(gone.failures[0].error, ENOENT);
    EXPECT_FALSE(exists(t / "dst/missing"));
}
