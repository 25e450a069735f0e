// The zip route against the real zip tool (and small wrappers around it that
// misbehave on purpose), in a system root that holds only usr/bin/zip.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "DmgTestSupport.h"
#include "kit/SysPath.h"

using namespace dmgtest;

namespace {

struct RunResult {
    int status = -1;
    std::string output;
};

RunResult run(const std::string& line) {
    RunResult r;
    FILE* p = ::popen(line.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string q(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::set<std::string> archiveEntries(const std::string& zip) {
    std::set<std::string> out;
    RunResult r = run("unzip -Z1 " + q(zip));
    size_t start = 0;
    while (start < r.output.size()) {
        size_t end = r.output.find('\n', start);
        if (end == std::string::npos) end = r.output.size();
        if (end > start) out.insert(r.output.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// An archive entry name for an absolute path: zip drops the leading "/".
std::string entry(const std::string& abs) { return abs.substr(1); }

bool processGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

class ZipRoute : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureMainThreadApp();
        fs::create_directories(root / "usr/bin");
        useRealZip();
        engine->setMakeDmgDelegate(&recorder);
    }
    void TearDown() override { engine->setMakeDmgDelegate(nullptr); }

    void useRealZip() {
        fs::remove(root / "usr/bin/zip");
        fs::create_symlink("/usr/bin/zip", root / "usr/bin/zip");
    }
    // Replaces the root's zip by a shell script.
    void useWrapper(const std::string& body) {
        fs::remove(root / "usr/bin/zip");
        writeFile(root / "usr/bin/zip", "#!/bin/sh\n" + body + "\n");
        ::chmod((root / "usr/bin/zip").c_str(), 0755);
    }

    TempDir root;
    TempDir work;
    EnvGuard env{"PELORIN_SYSROOT", root.path()};
    std::shared_ptr<MakeDmg> engine = std::make_shared<MakeDmg>();
    Recorder recorder;
};

TEST_F(ZipRoute, MixedSelectionGivesExactlyTheChosenEntriesAndEndsAtHundredOnlyAtExit) {
    std::string src = work / "src";
    writeFile(src + "/A/a1.txt", "one");
    writeFile(src + "/A/.hidden", "h");
    writeFile(src + "/A/d/d1.txt", "not chosen");
    writeFile(src + "/A/e/f.txt", "chosen deep");
    writeFile(src + "/A/e/g.txt", "not chosen deep");
    writeFile(src + "/B name.txt", "b");
    writeFile(src + "/C/c.txt", "off");
    writeFile(src + "/N/x/y/z.txt", "nested");
    writeFile(src + "/N/.h", "hidden in nested");
    fs::create_directories(src + "/empty");
    fs::create_symlink(src + "/B name.txt", src + "/L");

    auto A = node(src + "/A", 2);
    node(src + "/A/a1.txt", 1, A);
    node(src + "/A/.hidden", 1, A);
    auto d = node(src + "/A/d", 0, A);
    node(src + "/A/d/d1.txt", 1, d);  // under an unchosen folder: ignored
    auto e = node(src + "/A/e", 2, A);
    node(src + "/A/e/f.txt", 1, e);
    node(src + "/A/e/g.txt", 0, e);
    std::vector<FileNode::Ptr> roots{A, node(src + "/B name.txt", 1), node(src + "/C", 0), node(src + "/N", 1),
                                     node(src + "/empty", 1), node(src + "/L", 1)};

    std::string zip = work / "out.zip";
    engine->doZipWithPath(zip, roots);
    // a1, .hidden, f, B, L, and N's x, x/y, x/y/z.txt, .h
    EXPECT_EQ(engine->allSelectFileCout(), 9u);
    EXPECT_EQ(engine->allSelectFileArr().size(), 7u);
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));

    std::set<std::string> expected{entry(src + "/A/a1.txt"), entry(src + "/A/.hidden"), entry(src + "/A/e/f.txt"),
                                   entry(src + "/B name.txt"), entry(src + "/L"), entry(src + "/N/"),
                                   entry(src + "/empty/")};
    for (const auto& rel : treeEntries(src + "/N")) expected.insert(entry(src + "/N/" + rel));
    EXPECT_EQ(archiveEntries(zip), expected);
    EXPECT_EQ(run("unzip -tq " + q(zip)).status, 0);

    auto progress = recorder.progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_FLOAT_EQ(progress.back(), 100);
    for (size_t i = 0; i + 1 < progress.size(); ++i) {
        EXPECT_LT(progress[i], 100) << "a read reported completion before zip exited";
        EXPECT_LE(progress[i], progress[i + 1]);
    }
    EXPECT_FALSE(recorder.failed());
    EXPECT_TRUE(recorder.allOnMain());
}

TEST_F(ZipRoute, CountsAndPercentStaySaneForEmptyAndOverflowingCounts) {
    // Only an empty folder: nothing to count, and the percent must not be a
    // division by zero.
    std::string empty = work / "only-empty";
    fs::create_directories(empty);
    engine->doZipWithPath(work / "empty.zip", {node(empty, 1)});
    EXPECT_EQ(engine->allSelectFileCout(), 0u);
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    for (float p : recorder.progress()) EXPECT_TRUE(std::isfinite(p) && p >= 0 && p <= 100) << p;
    EXPECT_TRUE(recorder.done());

    // Far more output than entries: the reads go past the count, and still
    // nothing claims completion before zip has exited.
    Recorder second;
    engine->setMakeDmgDelegate(&second);
    useWrapper("i=0; while [ $i -lt 40 ]; do echo \"  adding: noise $i (stored 0%)\"; i=$((i+1)); sleep 0.01; done\n"
               "exec /usr/bin/zip \"$@\"");
    writeFile(work / "one.txt", "1");
    engine->doZipWithPath(work / "one.zip", {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return second.ended(); }));
    auto progress = second.progress();
    ASSERT_GE(progress.size(), 2u);
    for (size_t i = 0; i + 1 < progress.size(); ++i) EXPECT_LT(progress[i], 100);
    EXPECT_FLOAT_EQ(progress.back(), 100);
    EXPECT_GT(engine->proValue(), engine->allSelectFileCout());
}

// zip's lines are read in blocks: a block of many lines advances the percent
// by as many entries, and the screen gets the last line of the block.
TEST_F(ZipRoute, EveryLineOfAReadCountsAsAnEntry) {
    std::vector<FileNode::Ptr> roots;
    for (int i = 0; i < 40; ++i) {
        writeFile(work / ("f" + std::to_string(i)), "x");
        roots.push_back(node(work / ("f" + std::to_string(i)), 1));
    }
    // Twenty lines in one write, then a pause before zip itself starts.
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += "  adding: early" + std::to_string(i) + " (stored 0%%)\\n";
    useWrapper("printf '" + lines + "'\nsleep 0.3\nexec /usr/bin/zip \"$@\"");
    engine->doZipWithPath(work / "lines.zip", roots);
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    const auto events = recorder.events();
    ASSERT_FALSE(events.empty());
    EXPECT_FLOAT_EQ(events.front().progress, 50) << "the twenty lines of the first read count as twenty entries";
    EXPECT_EQ(events.front().text, "  adding: early19 (stored 0%)\n");
    EXPECT_EQ(engine->proValue(), 60u);
    EXPECT_FLOAT_EQ(recorder.progress().back(), 100);
}

TEST_F(ZipRoute, OutputFarBeyondThePipeBufferIsDrainedSoZipNeverBlocks) {
    // 400 KiB of output after the single entry is counted: a reader that stopped
    // at the count would leave zip stuck on a full pipe.
    useWrapper("/usr/bin/zip \"$@\" || exit $?\n"
               "yes '  adding: filler line that pads the output well past any pipe buffer (stored 0%)' | head -c 409600\n"
               "exit 0");
    writeFile(work / "one.txt", "1");
    std::string zip = work / "big-output.zip";
    engine->doZipWithPath(zip, {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }, 30)) << "zip's output was not drained";
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(run("unzip -tq " + q(zip)).status, 0);
}

TEST_F(ZipRoute, NonZeroExitIsAFailureAndLeavesNoArchiveOfItsOwn) {
    writeFile(work / "one.txt", "1");

    // 12: nothing to do (the chosen path vanished before zip ran).
    engine->doZipWithPath(work / "twelve.zip", {node(work / "gone.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    EXPECT_TRUE(recorder.failed());
    EXPECT_FALSE(recorder.done());
    EXPECT_FALSE(fs::exists(work / "twelve.zip"));

    // 15: the archive can't be written (its folder does not exist).
    Recorder r15;
    engine->setMakeDmgDelegate(&r15);
    engine->doZipWithPath(work / "missing/fifteen.zip", {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return r15.ended(); }));
    EXPECT_TRUE(r15.failed());
    EXPECT_FALSE(r15.done());

    // zip wrote an archive but ended with an error: the archive is incomplete.
    Recorder r18;
    engine->setMakeDmgDelegate(&r18);
    useWrapper("/usr/bin/zip \"$@\"; exit 18");
    engine->doZipWithPath(work / "eighteen.zip", {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return r18.ended(); }));
    EXPECT_TRUE(r18.failed());
    EXPECT_FALSE(r18.done());
    EXPECT_FALSE(fs::exists(work / "eighteen.zip"));

    // An archive that was there before the job is somebody else's: kept.
    Recorder rPre;
    engine->setMakeDmgDelegate(&rPre);
    writeFile(work / "theirs.zip", "not ours");
    useWrapper("exit 15");
    engine->doZipWithPath(work / "theirs.zip", {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return rPre.ended(); }));
    EXPECT_TRUE(rPre.failed());
    EXPECT_EQ(readFile(work / "theirs.zip"), "not ours");
}

TEST_F(ZipRoute, StopTerminatesAndReapsZipAndRemovesThePartialArchive) {
    writeFile(work / "one.txt", "1");
    std::string pidFile = work / "zip.pid";
    // Starts an archive, says so, then takes its time.
    useWrapper("echo $$ > " + q(pidFile) + "\nprintf 'PK partial' > \"$3\"\necho '  adding: one.txt (stored 0%)'\n"
               "exec sleep 30");
    std::string zip = work / "stopped.zip";
    engine->doZipWithPath(zip, {node(work / "one.txt", 1)});
    ASSERT_TRUE(waitFor([&] { return !recorder.progress().empty(); }));
    pid_t pid = std::stoi(readFile(pidFile));
    ASSERT_TRUE(fs::exists(zip));

    engine->setIsCancelCopy(true);
    engine->stopMakeDmg();
    EXPECT_TRUE(waitFor([&] { return processGone(pid); }, 10)) << "zip still running or not reaped";
    kit::runUntil([] { return false; }, 0.3);
    EXPECT_FALSE(fs::exists(zip));
    EXPECT_FALSE(recorder.done()) << "a stopped run reported completion";
    EXPECT_FALSE(recorder.failed()) << "a stopped run reported failure";
}

TEST_F(ZipRoute, StopOfTheRealToolLeavesNothingInTheDestination) {
    // Enough incompressible data that the stop lands while zip is working.
    std::string big = work / "src/big.bin";
    fs::create_directories(work / "src");
    ASSERT_EQ(run("head -c 200000000 /dev/urandom > " + q(big)).status, 0);
    std::string pidFile = work / "zip.pid";
    useWrapper("echo $$ > " + q(pidFile) + "\nexec /usr/bin/zip \"$@\"");
    fs::create_directories(work / "dest");
    std::string zip = work / "dest/real.zip";
    engine->doZipWithPath(zip, {node(work / "src", 1)});
    ASSERT_TRUE(waitFor([&] { return fs::exists(pidFile) && fs::file_size(pidFile) > 0; }));
    pid_t pid = std::stoi(readFile(pidFile));
    kit::runUntil([] { return false; }, 0.3);
    ASSERT_FALSE(recorder.ended()) << "zip finished before the stop; make the data larger";

    engine->setIsCancelCopy(true);
    engine->stopMakeDmg();
    EXPECT_TRUE(waitFor([&] { return processGone(pid); }, 10));
    kit::runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(fs::is_empty(work / "dest")) << "a partial archive or zip's temporary file was left";
    EXPECT_FALSE(recorder.ended());
}

// ---- what zip is given ----

// Standard error, captured into a string for the length of one scope.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        file_ = std::tmpfile();
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture() { text(); }
    std::string text() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
            std::rewind(file_);
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text_.append(buf, n);
            std::fclose(file_);
        }
        return text_;
    }

private:
    int saved_ = -1;
    FILE* file_ = nullptr;
    std::string text_;
};

TEST_F(ZipRoute, ATakenArchiveNameIsNeverWrittenIntoTheArchiveTakesAFreshName) {
    writeFile(work / "one.txt", "1");
    writeFile(work / "two.txt", "2");
    std::string zip = work / "Pelorin(job).zip";
    // An archive of the same name is there already, holding something else.
    ASSERT_EQ(run("cd " + q(work.path()) + " && zip -q " + q(zip) + " two.txt").status, 0);
    const std::string before = readFile(zip);
    writeFile(work / "Pelorin(job) 1.zip", "taken as well");

    EXPECT_TRUE(engine->doZipWithPath(zip, {node(work / "one.txt", 1)}));
    EXPECT_EQ(engine->archivePath(), work / "Pelorin(job) 2.zip");
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(readFile(zip), before) << "the existing archive was written into";
    EXPECT_EQ(readFile(work / "Pelorin(job) 1.zip"), "taken as well");
    EXPECT_EQ(archiveEntries(work / "Pelorin(job) 2.zip"), (std::set<std::string>{entry(work / "one.txt")}));
}

TEST_F(ZipRoute, LinksAreStoredAsLinksAndSpecialFilesAreLogged) {
    std::string src = work / "src";
    writeFile(src + "/real/file.txt", "inside");
    fs::create_symlink("/", src + "/to-root");
    fs::create_symlink("..", src + "/real/loop");
    fs::create_symlink(work / "outside", src + "/to-outside");
    writeFile(work / "outside/secret.txt", "outside the selection");
    ASSERT_EQ(::mkfifo((src + "/pipe").c_str(), 0644), 0);

    StderrCapture log;
    ASSERT_TRUE(engine->doZipWithPath(work / "links.zip", {node(src, 1)}));
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }, 30));
    const std::string logged = log.text();
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(archiveEntries(work / "links.zip"),
              (std::set<std::string>{entry(src) + "/", entry(src + "/real/"), entry(src + "/real/file.txt"),
                                     entry(src + "/real/loop"), entry(src + "/to-root"), entry(src + "/to-outside")}));
    // Stored as links: their targets are the entries' contents.
    EXPECT_EQ(run("unzip -p " + q(work / "links.zip") + " " + q(entry(src + "/to-root"))).output, "/");
    EXPECT_NE(logged.find("zip leaves out the special file " + src + "/pipe"), std::string::npos) << logged;
}

TEST_F(ZipRoute, TensOfThousandsOfSingleFilesGoToZipOnItsStandardInput) {
    // 20,000 names of about 150 bytes: 3 MB, more than a command line takes.
    std::string src = work / ("many-" + std::string(100, 'n'));
    fs::create_directories(src);
    std::vector<FileNode::Ptr> roots;
    const int count = 20000;
    for (int i = 0; i < count; ++i) {
        std::string path = src + "/file-" + std::to_string(i) + "-" + std::string(20, 'x');
        std::ofstream(path) << i;
        roots.push_back(node(path, 1));
    }
    std::string zip = work / "many.zip";
    ASSERT_TRUE(engine->doZipWithPath(zip, roots));
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }, 120));
    EXPECT_TRUE(recorder.done()) << "zip could not be started with the whole list";
    auto entries = archiveEntries(zip);
    EXPECT_EQ(entries.size(), size_t(count));
    EXPECT_TRUE(entries.count(entry(src + "/file-19999-" + std::string(20, 'x'))));
}

// What zip is run with, as zip itself sees it: a wrapper writes down its
// arguments (and, when told to read names, its input) and hands on to zip.
TEST_F(ZipRoute, ZipSeesTheChosenPathsInOrderOrReadsALongListFromItsInput) {
    const std::string args = work / "args", input = work / "input";
    useWrapper("printf '%s\\n' \"$@\" > " + q(args) + "\n" +
               "if [ \"$4\" = \"-@\" ]; then tee " + q(input) + " | /usr/bin/zip \"$@\"; exit $?; fi\n" +
               "exec /usr/bin/zip \"$@\"");
    std::string src = work / "src";
    writeFile(src + "/A/a.txt", "a");
    writeFile(src + "/B name.txt", "b");
    writeFile(src + "/M/in.txt", "in");
    writeFile(src + "/M/out.txt", "out");
    writeFile(src + "/off.txt", "off");
    auto M = node(src + "/M", 2);
    node(src + "/M/out.txt", 0, M);
    node(src + "/M/in.txt", 1, M);
    std::string zip = work / "short.zip";
    ASSERT_TRUE(engine->doZipWithPath(zip, {node(src + "/B name.txt", 1), node(src + "/off.txt", 0), M,
                                            node(src + "/A", 1)}));
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }, 30));
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(readFile(args), "-r\n-y\n" + zip + "\n" + src + "/B name.txt\n" + src + "/M/in.txt\n" + src + "/A\n");
    EXPECT_FALSE(fs::exists(input));

    // Names beyond a command line's share go to zip's input, one a line.
    Recorder longRecorder;
    engine->setMakeDmgDelegate(&longRecorder);
    std::vector<FileNode::Ptr> roots;
    std::string names;
    for (int i = 0; i < 600; ++i) {
        const std::string path = src + "/file-" + std::to_string(i) + "-" + std::string(120, 'x');
        std::ofstream(path) << i;
        roots.push_back(node(path, 1));
        names += path + "\n";
    }
    zip = work / "long.zip";
    ASSERT_TRUE(engine->doZipWithPath(zip, roots));
    ASSERT_TRUE(waitFor([&] { return longRecorder.ended(); }, 60));
    EXPECT_TRUE(longRecorder.done());
    EXPECT_EQ(readFile(args), "-r\n-y\n" + zip + "\n-@\n");
    EXPECT_EQ(readFile(input), names);
    EXPECT_EQ(archiveEntries(zip).size(), 600u);
}

}  // namespace
