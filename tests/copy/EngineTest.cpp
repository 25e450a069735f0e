// The copy engine on real trees: which files land where, the name-clash rule,
// the reports a screen sees, failures and stops.
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "Comm/CopyFolder.h"
#include "FileCopy/DoCopyFiles.h"
#include "TreeUtil.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/RunLoop.h"
#include "support/RerunTest.h"

using namespace copytest;
using Nodes = DoCopyFiles::Nodes;
using Events = std::vector<std::string>;

namespace {

struct Recorder : DoCopyFilesDelegate {
    std::vector<std::string> events;
    bool offMain = false;
    std::function<void(const std::string&)> onPath;
    std::function<void()> onError;

    int slowMs = 0;  // how long the screen takes over each report

    void note(const std::string& e) {
        if (!kit::dispatch::isMainThread()) offMain = true;
        events.push_back(e);
        if (slowMs) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
    }
    void topCopyProgress(float p) override { note(kit::format("progress %0.1f", double(p))); }
    void topCopyFilePath(const std::string& path) override {
        note("path " + path.substr(path.rfind('/') + 1));
        if (onPath) onPath(path);
    }
    void copyFileError() override {
        note("error");
        if (onError) onError();
    }
    void topCopyFinished(int failed) override { note(kit::format("finished %d", failed)); }

    // A screen held up in its first path report until the engine's run has
    // ended (or a minute has passed): a worker that waited for the screen
    // once per item could not end meanwhile. `ended` tells which.
    void holdFirstPathUntilTheEnd(const DoCopyFiles& engine, bool& ended) {
        onPath = [&engine, &ended, held = false](const std::string&) mutable {
            if (held) return;
            held = true;
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (engine.isRunning() && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ended = !engine.isRunning();
        };
    }
};

std::vector<std::string> listNames(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string join(const std::string& a, const std::string& b) { return a.empty() ? b : b.empty() ? a : a + "/" + b; }

// Nodes for everything below root, with the sizes and states the file list
// gives them: On for what is checked whole (and all below it), Mixed for a
// folder with something checked inside, Off otherwise.
FileNode::Ptr buildNode(const std::string& root, const std::string& rel, const FileNode::Ptr& father,
                        const std::set<std::string>& checked, bool underChecked) {
    const std::string path = root + "/" + rel;
    struct stat st;
    ::lstat(path.c_str(), &st);
    auto node = FileNode::initWithPath(path, rel.substr(rel.rfind('/') + 1), S_ISDIR(st.st_mode), father);
    if (S_ISREG(st.st_mode)) node->setSize(std::uint64_t(st.st_size));
    const bool on = underChecked || checked.count(rel);
    bool anyBelow = false;
    if (S_ISDIR(st.st_mode)) {
        for (const auto& n : listNames(path)) {
            auto child = buildNode(root, join(rel, n), node, checked, on);
            anyBelow = anyBelow || child->state() != FileNodeSelectStateOff;
            node->children().push_back(child);
        }
    }
    node->setState(on ? FileNodeSelectStateOn : anyBelow ? FileNodeSelectStateMixed : FileNodeSelectStateOff);
    return node;
}

Nodes buildSelection(const std::string& root, const std::set<std::string>& checked) {
    Nodes top;
    for (const auto& n : listNames(root)) top.push_back(buildNode(root, n, nullptr, checked, false));
    return top;
}

// What the destination must hold afterwards, worked out from the rule as a
// user reads it: a partly checked folder at an even depth (top level is 1) is
// made anew under its own name; at an odd depth its checked content goes
// straight into the folder receiving its parent's content; whole items keep
// their name unless it is taken, then "name N.ext" with N from 1.
struct Model {
    Tree tree;
    std::set<std::string> loose;  // folders written into after they were made: their times move

    std::string freeName(const std::string& into, const std::string& own) const {
        std::string base = own, ext;
        std::size_t dot = own.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            base = own.substr(0, dot);
            ext = own.substr(dot + 1);
        }
        std::string name = own;
        for (int i = 1; tree.count(join(into, name)); ++i)
            name = ext.empty() ? base + " " + std::to_string(i) : base + " " + std::to_string(i) + "." + ext;
        return name;
    }

    void place(const FileNode::Ptr& n, int depth, const std::string& into) {
        if (n->state() == FileNodeSelectStateOn) {
            const std::string at = join(into, freeName(into, n->name()));
            for (const auto& [rel, e] : snapshot(n->path())) tree[join(at, rel)] = e;
            loose.insert(into);
        } else if (n->state() == FileNodeSelectStateMixed) {
            std::string target = into;
            if (depth % 2 == 0) {
                target = join(into, n->name());
                if (!tree.count(target)) {
                    Entry folder;
                    folder.type = S_IFDIR;
                    tree[target] = folder;
                }
                loose.insert(into);
                loose.insert(target);
            }
            for (const auto& c : n->children()) place(c, depth + 1, target);
        }
    }

    // Compares with the real destination; folders the run wrote into are
    // compared by kind only.
    std::string check(const std::string& dest) const {
        Tree got = snapshot(dest);
        Tree want = tree;
        for (const auto& rel : loose) {
            auto w = want.find(rel);
            auto g = got.find(rel);
            if (w != want.end() && g != got.end() && w->second.type == S_IFDIR && g->second.type == S_IFDIR)
                w->second = g->second;
        }
        return compareTrees(want, got);
    }
};

class CopyEngine : public ::testing::Test {
protected:
    void SetUp() override { kit::ensureMainThreadApp(); }

    // Starts the run and pumps the main queue until the worker has let go of
    // the nodes it holds, which it does only when it ends.
    void runToEnd(DoCopyFiles& engine, const Nodes& nodes, const std::string& dest) {
        std::vector<std::weak_ptr<FileNode>> held(nodes.begin(), nodes.end());
        engine.doCopyFilesWithArr(nodes, dest);
        const bool done = kit::runUntil(
            [&] {
                for (const auto& w : held)
                    if (w.use_count() > 1) return false;
                return true;
            },
            60);
        ASSERT_TRUE(done) << "the run did not end";
        kit::runFor(0.05);  // anything still in flight would show now
    }

    // One run of a new engine; hook may arm the recorder's reactions.
    Events record(const Nodes& nodes, const std::string& dest,
                  const std::function<void(Recorder&, DoCopyFiles&)>& hook = {}) {
        Recorder rec;
        DoCopyFiles engine;
        engine.setDelegate(&rec);
        if (hook) hook(rec, engine);
        runToEnd(engine, nodes, dest);
        EXPECT_FALSE(rec.offMain) << "a report arrived off the main thread";
        return rec.events;
    }

    // A run over the checked paths of the volume ends with no failure, and
    // the destination holds what the depth rule makes of them.
    void expectTheDepthRule(const std::string& volume, const std::set<std::string>& checked, const std::string& dest) {
        Nodes sel = buildSelection(volume, checked);
        Model model;
        model.tree = snapshot(dest);
        model.loose.insert("");
        for (const auto& n : sel) model.place(n, 1, "");
        Events events = record(sel, dest);
        EXPECT_EQ(model.check(dest), "");
        EXPECT_EQ(events.back(), "finished 0");
    }
};

void writeBig(const std::string& path, int mib) {
    std::mt19937_64 rng(11);
    const std::string chunk = randomBytes(rng, 1 << 20);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    for (int i = 0; i < mib; ++i) (void)!::write(fd, chunk.data(), chunk.size());
    ::close(fd);
}

void makeFiles(const std::string& dir, std::initializer_list<const char*> names) {
    makeDirs(dir);
    for (const char* n : names) writeFile(dir + "/" + n, n);
}

}  // namespace

TEST_F(CopyEngine, OneCheckedFileDeepDownLandsUnderItsEvenDepthFolder) {
    TempDir t;
    makeDirs(t / "vol/Users/ann/Documents/Notes");
    writeFile(t / "vol/Users/ann/Documents/report.txt", "report");
    writeFile(t / "vol/Users/ann/Documents/other.txt", "other");
    writeFile(t / "vol/Users/ann/Documents/Notes/n1", "n1");
    writeFile(t / "vol/Users/ann/.profile", "profile", 0600);
    makeFiles(t / "vol/Users/bob", {"a.txt"});
    makeDirs(t / "D");
    record(buildSelection(t / "vol", {"Users/ann/Documents/report.txt"}), t / "D");
    EXPECT_EQ(listNames(t / "D"), std::vector<std::string>{"ann"});
    EXPECT_EQ(listNames(t / "D/ann"), std::vector<std::string>{"report.txt"});
    EXPECT_EQ(readFile(t / "D/ann/report.txt"), "report");

    // The whole of ann instead: D/ann with all of it.
    makeDirs(t / "D2");
    record(buildSelection(t / "vol", {"Users/ann"}), t / "D2");
    EXPECT_EQ(listNames(t / "D2"), std::vector<std::string>{"ann"});
    EXPECT_EQ(compareTrees(snapshot(t / "vol/Users/ann"), snapshot(t / "D2/ann")), "");
}

TEST_F(CopyEngine, ClashingNamesGetNumberedAndExistingFilesStayUntouched) {
    TempDir t;
    makeFiles(t / "vol/x/Notes", {"inside"});
    makeFiles(t / "vol/x", {"a.txt", "Makefile"});
    makeFiles(t / "D/Notes", {"old"});
    for (const char* n : {"a.txt", "a 1.txt", "Makefile"}) writeFile(t / "D" + "/" + n, "old");
    const Tree before = snapshot(t / "D");

    record(buildSelection(t / "vol", {"x/Notes", "x/a.txt", "x/Makefile"}), t / "D");
    EXPECT_EQ(readFile(t / "D/a 2.txt"), "a.txt");
    EXPECT_EQ(readFile(t / "D/Notes 1/inside"), "inside");
    EXPECT_EQ(readFile(t / "D/Makefile 1"), "Makefile");
    Tree after = snapshot(t / "D");
    for (const auto& [rel, e] : before)
        if (!rel.empty()) {
            EXPECT_EQ(after[rel], e) << rel << " was touched";
        }

    // The counter starts again for each item: a second a.txt goes on from 1.
    record(buildSelection(t / "vol", {"x/a.txt"}), t / "D");
    EXPECT_EQ(readFile(t / "D/a 3.txt"), "a.txt");
    makeFiles(t / "D", {".profile", "archive.tar.gz"});
    EXPECT_EQ(DoCopyFiles().createFileWithPath(t / "D", ".profile", ".profile"), ".profile 1");
    EXPECT_EQ(DoCopyFiles().createFileWithPath(t / "D", "archive.tar.gz", "archive.tar.gz"), "archive.tar 1.gz");
    EXPECT_EQ(DoCopyFiles().createFileWithPath(t / "no such folder", "a.txt", "a.txt"), "a.txt");
}

TEST_F(CopyEngine, RandomSelectionsMatchTheDepthRule) {
    const char* dirNames[] = {"Notes", "Docs", "x y", "sub"};
    const char* fileNames[] = {"a.txt", "a 1.txt", "Makefile", "report.txt", ".hidden", "b.tar.gz", "it's $(x)"};
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 rng(seed);
        TempDir t;
        // A tree five deep with names that keep meeting each other.
        std::function<void(const std::string&, int)> grow = [&](const std::string& dir, int depth) {
            makeDirs(dir);
            for (int i = int(rng() % 4); i > 0; --i) {
                std::string p = dir + "/" + fileNames[rng() % std::size(fileNames)];
                if (exists(p)) continue;
                writeFile(p, randomBytes(rng, rng() % 3 == 0 ? 0 : rng() % 5000), rng() % 2 ? 0644 : 0600);
                setTimes(p, 1500000000 + std::int64_t(rng() % 100000000), long(rng() % 1000000000));
            }
            for (int i = depth < 5 ? int(rng() % 3) + (depth < 3) : 0; i > 0; --i) {
                std::string p = dir + "/" + dirNames[rng() % std::size(dirNames)];
                if (!exists(p)) grow(p, depth + 1);
            }
            setTimes(dir, 1400000000 + std::int64_t(rng() % 100000000), 0);
        };
        grow(t / "vol", 0);
        std::set<std::string> checked;
        for (const auto& [rel, e] : snapshot(t / "vol")) {
            std::uint64_t roll = rng() % 100;
            if (!rel.empty() && roll < (e.type == S_IFDIR ? 12u : 35u)) checked.insert(rel);
        }
        makeFiles(t / "D/Notes", {"old"});
        makeFiles(t / "D", {"a.txt"});

        expectTheDepthRule(t / "vol", checked, t / "D");
    }
}

TEST_F(CopyEngine, ProgressIsReportedPerTopLevelItem) {
    TempDir t;
    makeFiles(t / "vol3", {"a", "c"});
    makeDirs(t / "vol3/b/inner");
    makeDirs(t / "D3");
    EXPECT_EQ(record(buildSelection(t / "vol3", {"a", "b", "c"}), t / "D3"),
              (Events{"progress 5.0", "path a", "progress 33.0", "path b", "progress 66.0", "path c",
                      "progress 100.0", "finished 0"}));

    // An unchecked item is passed over but still counts.
    makeDirs(t / "Dskip");
    EXPECT_EQ(record(buildSelection(t / "vol3", {"a", "c"}), t / "Dskip"),
              (Events{"progress 5.0", "path a", "progress 33.0", "progress 66.0", "path c", "progress 100.0",
                      "finished 0"}));
    EXPECT_EQ(listNames(t / "Dskip"), (std::vector<std::string>{"a", "c"}));

    std::set<std::string> all;
    for (int i = 0; i < 30; ++i) {
        all.insert(kit::format("f%02d", i));
        makeFiles(t / "vol30", {kit::format("f%02d", i).c_str()});
    }
    makeDirs(t / "D30");
    std::vector<std::string> progress;
    for (const auto& e : record(buildSelection(t / "vol30", all), t / "D30"))
        if (e.rfind("progress", 0) == 0) progress.push_back(e.substr(9));
    ASSERT_EQ(progress.size(), 31u);
    EXPECT_EQ(std::vector<std::string>(progress.begin(), progress.begin() + 6),
              (std::vector<std::string>{"5.0", "5.0", "6.0", "10.0", "13.0", "16.0"}));
    EXPECT_EQ(progress.back(), "100.0");
    EXPECT_EQ(listNames(t / "D30").size(), 30u);

    // Nothing to copy, nothing reported.
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    engine.doCopyFilesWithArr({}, t / "D3");
    kit::runFor(0.2);
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(CopyEngine, FailedItemsAreCountedAndNeverReportedAsSuccess) {
    TempDir t;
    makeFiles(t / "vol", {"a", "b", "c"});
    makeDirs(t / "D");
    Nodes sel = buildSelection(t / "vol", {"a", "b", "c"});
    ::unlink((t / "vol/b").c_str());  // gone after it was listed
    EXPECT_EQ(record(sel, t / "D"), (Events{"progress 5.0", "path a", "progress 33.0", "path b", "progress 66.0",
                                            "path c", "finished 1"}));
    EXPECT_EQ(listNames(t / "D"), (std::vector<std::string>{"a", "c"}));
}

TEST_F(CopyEngine, RemovedDestinationReportsCopyFileError) {
    TempDir t;
    makeFiles(t / "vol", {"a", "b", "c", "d"});
    const Nodes sel = buildSelection(t / "vol", {"a", "b", "c", "d"});
    // The screen stops the run when told, and the worker waits for it there:
    // no later item is tried, nothing follows the error.
    const auto stopOnError = [](Recorder& rec, DoCopyFiles& engine) {
        rec.onError = [&engine] { engine.setIsCancel(true); };
    };
    EXPECT_EQ(record(sel, t / "D", stopOnError), (Events{"progress 5.0", "path a", "error"}));

    // Not stopped: every later item reports it, and the end says how many failed.
    EXPECT_EQ(record(sel, t / "D"),
              (Events{"progress 5.0", "path a", "error", "progress 25.0", "path b", "error", "progress 50.0", "path c",
                      "error", "progress 75.0", "path d", "error", "finished 4"}));

    // Removed while the first item is being copied: that item has no folder
    // left to take its name, and reports it.
    makeDirs(t / "D");
    writeBig(t / "vol/a", 512);
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    rec.onError = [&] { engine.setIsCancel(true); };
    Nodes running = buildSelection(t / "vol", {"a", "b", "c", "d"});
    std::weak_ptr<FileNode> held = running[0];
    ASSERT_TRUE(engine.doCopyFilesWithArr(running, t / "D"));
    running.clear();
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D"); }, 30));
    removeTree(t / "D");
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 30));
    kit::runFor(0.05);
    EXPECT_EQ(rec.events, (Events{"progress 5.0", "path a", "error"}));
    EXPECT_FALSE(exists(t / "D"));
}

TEST_F(CopyEngine, StopDuringTheLastItemSendsNoFurtherReport) {
    TempDir t;
    makeFiles(t / "vol", {"a", "b", "c"});
    makeDirs(t / "D");
    EXPECT_EQ(record(buildSelection(t / "vol", {"a", "b", "c"}), t / "D",
                     [&](Recorder& rec, DoCopyFiles& engine) {
                         rec.onPath = [&](const std::string& p) {
                             if (p == t / "vol/c") engine.setIsCancel(true);
                         };
                     }),
              (Events{"progress 5.0", "path a", "progress 33.0", "path b", "progress 66.0", "path c"}));
}

// A volume whose top level holds many small files: the worker does not wait
// for the screen once per item, yet the screen sees every report in order.
TEST_F(CopyEngine, ManyTopLevelItemsAreReportedInOrderWithoutAWaitPerItem) {
    TempDir t;
    constexpr int kItems = 600;
    makeDirs(t / "vol");
    std::set<std::string> all;
    for (int i = 0; i < kItems; ++i) {
        const std::string name = kit::format("f%03d", i);
        writeFile(t / "vol/" + name, name);
        all.insert(name);
    }
    makeDirs(t / "D");
    const Nodes sel = buildSelection(t / "vol", all);
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    bool endedWhileHeld = false;
    rec.holdFirstPathUntilTheEnd(engine, endedWhileHeld);
    Nodes running = sel;
    ASSERT_TRUE(engine.doCopyFilesWithArr(running, t / "D"));
    running.clear();
    ASSERT_TRUE(kit::runUntil([&] { return !rec.events.empty() && rec.events.back().rfind("finished", 0) == 0; }, 90));
    EXPECT_TRUE(endedWhileHeld) << "the copy waited for the screen";
    EXPECT_EQ(listNames(t / "D").size(), std::size_t(kItems));

    Events want{"progress 5.0"};
    for (int i = 0; i < kItems; ++i) {
        want.push_back(kit::format("path f%03d", i));
        want.push_back(kit::format("progress %0.1f", double(std::max(5, 100 * (i + 1) / kItems))));
    }
    want.push_back("finished 0");
    EXPECT_EQ(rec.events, want);

    // A stop given during an item among many: nothing is shown after it, and
    // no item after that one is copied.
    writeBig(t / "vol/g", 512);
    for (int i = 0; i < 50; ++i) writeFile(t / "vol/" + kit::format("h%02d", i), "h");
    for (int i = 0; i < 50; ++i) all.insert(kit::format("h%02d", i));
    all.insert("g");
    const Nodes more = buildSelection(t / "vol", all);
    std::vector<std::string> wantMore{"progress 5.0"};
    for (std::size_t i = 0; i < more.size(); ++i) {
        wantMore.push_back("path " + more[i]->name());
        const std::size_t percent = std::max<std::size_t>(5, 100 * (i + 1) / more.size());
        wantMore.push_back(kit::format("progress %0.1f", double(percent)));
    }
    makeDirs(t / "D2");
    Recorder stopRec;
    DoCopyFiles stopEngine;
    stopEngine.setDelegate(&stopRec);
    Nodes stopRun = more;
    ASSERT_TRUE(stopEngine.doCopyFilesWithArr(stopRun, t / "D2"));
    stopRun.clear();
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D2", 1 << 20); }, 30));
    stopEngine.setIsCancel(true);
    const std::size_t shownAtStop = stopRec.events.size();
    ASSERT_TRUE(kit::runUntil([&] { return !stopEngine.isRunning(); }, 30));
    kit::runFor(0.1);
    EXPECT_EQ(stopRec.events.size(), shownAtStop) << "a report arrived after the stop";
    ASSERT_LE(shownAtStop, wantMore.size());
    EXPECT_EQ(stopRec.events, std::vector<std::string>(wantMore.begin(), wantMore.begin() + shownAtStop));
    const std::vector<std::string> copiedNames = listNames(t / "D2");
    EXPECT_EQ(copiedNames.size(), std::size_t(kItems)) << "only the items before the stopped one are kept";
    EXPECT_EQ(std::count_if(copiedNames.begin(), copiedNames.end(), [](const std::string& n) { return n[0] != 'f'; }),
              0);
}

// Many small top-level items are copied by several threads at once; what the
// screen sees and what lands must still be what one walk in order gives: every
// item whole with its modes and times, a folder or a large file on its own, a
// missing destination told item by item, failures counted.
TEST_F(CopyEngine, ManySmallTopLevelItemsCopiedAtOnceEndAsOneWalkInOrder) {
    TempDir t;
    constexpr int kItems = 48;
    makeDirs(t / "vol");
    std::set<std::string> all;
    for (int i = 0; i < kItems; ++i) {
        const std::string name = kit::format("f%02d", i);
        writeFile(t / "vol/" + name, std::string(std::size_t(i) * 997, char('a' + i % 26)), i % 5 ? 0644 : 0600);
        all.insert(name);
    }
    writeBig(t / "vol/g-large", 2);
    makeFiles(t / "vol/h-folder", {"inside"});
    all.insert("g-large");
    all.insert("h-folder");
    const Nodes sel = buildSelection(t / "vol", all);
    const auto inOrder = [&](const std::function<Events(std::size_t)>& item, const std::string& end) {
        Events want{"progress 5.0"};
        for (std::size_t i = 0; i < sel.size(); ++i) {
            const Events e = item(i);
            want.insert(want.end(), e.begin(), e.end());
        }
        if (!end.empty()) want.push_back(end);
        return want;
    };
    const auto progress = [&](std::size_t i) {
        return kit::format("progress %0.1f", double(std::max<std::size_t>(5, 100 * (i + 1) / sel.size())));
    };

    makeDirs(t / "D");
    EXPECT_EQ(record(sel, t / "D"),
              inOrder([&](std::size_t i) { return Events{"path " + sel[i]->name(), progress(i)}; }, "finished 0"));
    Tree copied = snapshot(t / "D"), source = snapshot(t / "vol");
    copied.erase("");  // the folder copied into, not a copy
    source.erase("");
    EXPECT_EQ(compareTrees(source, copied), "");

    // No destination folder: each item says so in its turn, and a screen that
    // stops on the first hears nothing more and gets nothing made.
    EXPECT_EQ(record(sel, t / "gone"),
              inOrder(
                  [&](std::size_t i) {
                      Events e{"path " + sel[i]->name(), "error"};
                      if (i + 1 < sel.size()) e.push_back(progress(i));  // never 100 after a failure
                      return e;
                  },
                  kit::format("finished %d", int(sel.size()))));
    EXPECT_EQ(record(sel, t / "gone", [](Recorder& rec, DoCopyFiles& engine) {
                  rec.onError = [&engine] { engine.setIsCancel(true); };
              }),
              (Events{"progress 5.0", "path f00", "error"}));
    EXPECT_FALSE(exists(t / "gone"));

    // Items gone since the listing are failures; the end says how many, and
    // never 100.
    ::unlink((t / "vol/f03").c_str());
    ::unlink((t / "vol/f40").c_str());
    makeDirs(t / "D2");
    Events events = record(sel, t / "D2");
    EXPECT_EQ(events.back(), "finished 2");
    EXPECT_EQ(std::count(events.begin(), events.end(), "progress 100.0"), 0);
    EXPECT_EQ(listNames(t / "D2").size(), sel.size() - 2);
}

TEST_F(CopyEngine, StopInsideALargeFileEndsTheCopyAtOnce) {
    TempDir t;
    makeDirs(t / "vol");
    writeBig(t / "vol/big", 768);
    writeFile(t / "vol/small", "s");
    makeDirs(t / "D");
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    Nodes sel = buildSelection(t / "vol", {"big", "small"});
    std::weak_ptr<FileNode> held = sel[0];
    engine.doCopyFilesWithArr(sel, t / "D");
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D"); }, 30)) << "the copy never started";
    // What the stop button does, on the main thread.
    engine.setIsCancel(true);
    rec.events.push_back("stopped");
    const auto stoppedAt = std::chrono::steady_clock::now();
    sel.clear();
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 10));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - stoppedAt).count(), 0.5);
    kit::runFor(0.05);
    EXPECT_EQ(rec.events.back(), "stopped");
    EXPECT_TRUE(listNames(t / "D").empty()) << "a partial file was left";
}

TEST_F(CopyEngine, AnEngineReleasedDuringARunStopsItSafely) {
    TempDir t;
    makeDirs(t / "vol");
    writeBig(t / "vol/big", 768);
    makeDirs(t / "D");
    Recorder rec;
    auto engine = std::make_unique<DoCopyFiles>();
    engine->setDelegate(&rec);
    Nodes sel = buildSelection(t / "vol", {"big"});
    std::weak_ptr<FileNode> held = sel[0];
    engine->doCopyFilesWithArr(sel, t / "D");
    sel.clear();
    EXPECT_FALSE(held.expired()) << "the worker must keep its nodes";
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D"); }, 30));
    const std::size_t seen = rec.events.size();
    engine.reset();
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 10));
    kit::runFor(0.05);
    EXPECT_EQ(rec.events.size(), seen);
    EXPECT_TRUE(listNames(t / "D").empty()) << "a partial file was left";
}

// ---- stops, refusals and unsafe nodes ----

TEST_F(CopyEngine, StopInsideAFolderLeavesNoPartOfItUnderItsName) {
    TempDir t;
    makeDirs(t / "vol/Folder/sub");
    for (int i = 0; i < 3; ++i) writeBig(t / "vol/Folder" + kit::format("/big%d", i), 96);
    makeFiles(t / "vol/Folder/sub", {"x", "y"});
    makeFiles(t / "vol", {"after"});
    makeDirs(t / "D");
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    Nodes sel = buildSelection(t / "vol", {"Folder", "after"});
    std::weak_ptr<FileNode> held = sel[0];
    ASSERT_TRUE(engine.doCopyFilesWithArr(sel, t / "D"));
    sel.clear();
    // The stop lands as soon as the folder has been made and is being filled.
    ASSERT_TRUE(kit::runUntil([&] { return exists(t / "D/Folder"); }, 30));
    engine.setIsCancel(true);
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 30));
    kit::runFor(0.05);
    EXPECT_FALSE(exists(t / "D/Folder")) << "a half-copied folder kept its real name";
    EXPECT_TRUE(listNames(t / "D").empty());
    // The folder's path may still have been on its way when the stop came;
    // nothing after it arrives.
    if (rec.events.size() < 2) EXPECT_EQ(rec.events, (Events{"progress 5.0"}));
    else EXPECT_EQ(rec.events, (Events{"progress 5.0", "path Folder"}));
}

TEST_F(CopyEngine, StopInsideAPartlyCheckedFolderRemovesTheFolderItMadeForIt) {
    TempDir t;
    makeDirs(t / "vol/top/inner");
    writeBig(t / "vol/top/inner/big", 256);
    makeFiles(t / "vol/top/inner", {"small"});
    makeDirs(t / "D");
    DoCopyFiles engine;
    Recorder rec;
    engine.setDelegate(&rec);
    // inner is at depth 2: the run makes D/inner for it.
    Nodes sel = buildSelection(t / "vol", {"top/inner/big"});
    std::weak_ptr<FileNode> held = sel[0];
    ASSERT_TRUE(engine.doCopyFilesWithArr(sel, t / "D"));
    sel.clear();
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D/inner"); }, 30));
    engine.setIsCancel(true);
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 30));
    EXPECT_TRUE(listNames(t / "D").empty()) << "the stopped run left a folder of its own";
}

TEST_F(CopyEngine, ASecondStartWhileARunIsUnderWayIsRefused) {
    TempDir t;
    makeDirs(t / "vol");
    writeBig(t / "vol/big", 128);
    makeFiles(t / "vol", {"small"});
    makeDirs(t / "D");
    makeDirs(t / "D2");
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    Nodes sel = buildSelection(t / "vol", {"big", "small"});
    ASSERT_TRUE(engine.doCopyFilesWithArr(sel, t / "D"));
    EXPECT_TRUE(engine.isRunning());
    EXPECT_FALSE(engine.doCopyFilesWithArr(sel, t / "D2"));
    ASSERT_TRUE(kit::runUntil([&] { return !engine.isRunning(); }, 60));
    kit::runFor(0.05);
    EXPECT_EQ(rec.events, (Events{"progress 5.0", "path big", "progress 50.0", "path small", "progress 100.0",
                                  "finished 0"}));
    EXPECT_TRUE(listNames(t / "D2").empty());
    // Once the run has ended the engine takes the next one.
    rec.events.clear();
    EXPECT_TRUE(engine.doCopyFilesWithArr(buildSelection(t / "vol", {"small"}), t / "D2"));
    ASSERT_TRUE(kit::runUntil([&] { return !engine.isRunning(); }, 60));
    kit::runFor(0.05);
    EXPECT_EQ(listNames(t / "D2"), std::vector<std::string>{"small"});
}

TEST_F(CopyEngine, NodeNamesThatLeadOutOfTheirFolderAreRefusedAsFailures) {
    TempDir t;
    makeFiles(t / "vol/dir", {"a", "b"});
    makeDirs(t / "box/D");
    // Nodes as a caller could hand them: the paths are real, the names are not.
    auto odd = [&](const std::string& path, const std::string& name, bool dir, int64_t state) {
        auto n = FileNode::initWithPath(path, name, dir, nullptr);
        n->setState(state);
        return n;
    };
    auto mixed = odd(t / "vol/dir", "..", true, FileNodeSelectStateMixed);
    auto inner = odd(t / "vol/dir/a", "a", false, FileNodeSelectStateOn);
    auto wrapper = odd(t / "vol", "vol", true, FileNodeSelectStateMixed);
    wrapper->children() = {mixed};
    mixed->children() = {inner};
    Nodes sel{odd(t / "vol/dir/a", "..", false, FileNodeSelectStateOn),
              odd(t / "vol/dir/b", ".", false, FileNodeSelectStateOn),
              odd(t / "vol/dir/b", "../escaped", false, FileNodeSelectStateOn),
              odd(t / "vol/dir/b", "", false, FileNodeSelectStateOn), wrapper,
              odd(t / "vol/dir/b", "b", false, FileNodeSelectStateOn)};
    wrapper.reset();  // the selection alone holds the nodes: the run's end shows in their counts
    Events events = record(sel, t / "box/D");
    EXPECT_EQ(events.back(), "finished 5");
    EXPECT_EQ(listNames(t / "box"), std::vector<std::string>{"D"}) << "something was written beside the destination";
    EXPECT_EQ(listNames(t / "box/D"), std::vector<std::string>{"b"});
}

TEST_F(CopyEngine, ThePathsOfItemsInsideAPartlyCheckedFolderCostTheRunNoWait) {
    TempDir t;
    makeDirs(t / "vol/many");
    std::set<std::string> checked;
    for (int i = 0; i < 400; ++i) {
        std::string name = kit::format("f%03d", i);
        writeFile(t / "vol/many/" + name, name);
        checked.insert("many/" + name);
    }
    writeFile(t / "vol/many/left out", "not checked");
    makeDirs(t / "D");
    bool endedWhileHeld = false;
    Events events = record(buildSelection(t / "vol", checked), t / "D", [&](Recorder& rec, DoCopyFiles& engine) {
        rec.holdFirstPathUntilTheEnd(engine, endedWhileHeld);
    });
    EXPECT_TRUE(endedWhileHeld) << "the worker waited for the screen on every file";
    EXPECT_EQ(listNames(t / "D").size(), 400u);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front(), "progress 5.0");
    EXPECT_EQ(events[events.size() - 2], "progress 100.0");
    EXPECT_EQ(events.back(), "finished 0");
    // Only paths between the two, the last file's among them.
    for (size_t i = 1; i + 2 < events.size(); ++i) EXPECT_EQ(events[i].rfind("path f", 0), 0u) << events[i];
    EXPECT_EQ(events[events.size() - 3], "path f399");
}

// Enough checked entries in one folder that its listing is read once for
// them: every kind of entry still lands as what it is.
TEST_F(CopyEngine, AFolderCheckedEntryByEntryIsCopiedWholeWhateverItsEntriesAre) {
    TempDir t;
    makeDirs(t / "vol/many");
    std::set<std::string> checked;
    for (int i = 0; i < 150; ++i) {
        std::string name = kit::format("f%03d", i);
        writeFile(t / "vol/many/" + name, name, i % 3 ? 0644 : 0600);
        checked.insert("many/" + name);
    }
    makeFiles(t / "vol/many/sub", {"inner"});
    ASSERT_EQ(::symlink("f001", (t / "vol/many/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((t / "vol/many/fifo").c_str(), 0600), 0);
    for (const char* n : {"sub", "link", "fifo"}) checked.insert(std::string("many/") + n);
    writeFile(t / "vol/many/left out", "not checked");
    makeDirs(t / "D");

    expectTheDepthRule(t / "vol", checked, t / "D");
}

// A device node the copy can't make is missing from the copy: counted as a
// failure. Run in a child without the right to make device nodes.
TEST_F(CopyEngine, ADeviceNodeThatCannotBeMadeIsAFailure) {
    if (const char* dest = std::getenv("PELORIN_TEST_NOMKNOD_DEST")) {
        Nodes sel;
        sel.push_back(FileNode::initWithPath("/dev/null", "null", false, nullptr));
        Events events = record(sel, dest);
        EXPECT_EQ(events, (Events{"progress 5.0", "path null", "finished 1"}));
        EXPECT_TRUE(listNames(dest).empty());
        return;
    }
    TempDir t;
    makeDirs(t / "D");
    const std::string dest = t / "D";
    EXPECT_TRUE(rerunThisTest([&] {
        // Without the capability in the bounding set, the program run next can't
        // make device nodes even as root (and a user never can).
        ::prctl(PR_CAPBSET_DROP, CAP_MKNOD, 0, 0, 0);
        ::setenv("PELORIN_TEST_NOMKNOD_DEST", dest.c_str(), 1);
    }));
}

TEST_F(CopyEngine, ADestinationFolderMadeAnewDuringTheRunReceivesTheItemsAfterIt) {
    TempDir t;
    makeDirs(t / "vol");
    writeBig(t / "vol/a", 512);
    makeFiles(t / "vol", {"b", "c"});
    makeDirs(t / "D");
    Recorder rec;
    DoCopyFiles engine;
    engine.setDelegate(&rec);
    Nodes sel = buildSelection(t / "vol", {"a", "b", "c"});
    std::weak_ptr<FileNode> held = sel[0];
    ASSERT_TRUE(engine.doCopyFilesWithArr(sel, t / "D"));
    sel.clear();
    // The folder the run writes into is replaced while the first item is being
    // copied: that item and the later ones go into the folder now at that
    // path, none is lost.
    ASSERT_TRUE(kit::runUntil([&] { return partFileInto(t / "D"); }, 30));
    removeTree(t / "D");
    makeDirs(t / "D");
    ASSERT_TRUE(kit::runUntil([&] { return held.expired(); }, 30));
    kit::runFor(0.05);
    EXPECT_EQ(rec.events, (Events{"progress 5.0", "path a", "progress 33.0", "path b", "progress 66.0", "path c",
                                  "progress 100.0", "finished 0"}));
    EXPECT_EQ(listNames(t / "D"), (std::vector<std::string>{"a", "b", "c"}));
}

// A volume dropped onto the source slot and copied onto itself: the run's dated
// folder lies inside what is copied. The copy does not enter itself (the dated
// folder shows in it empty), and that is no failure: the run ends at 100.
TEST_F(CopyEngine, AVolumeCopiedIntoAFolderInsideItselfLeavesTheFolderOutAndSucceeds) {
    TempDir t;
    makeFiles(t / "vol", {"a.txt"});
    makeFiles(t / "vol/docs", {"b.txt"});
    const std::string folder = screen::makeCopyFolder(t / "vol", "2026-12-09 08:00:00");
    ASSERT_EQ(folder, t / "vol/Pelorin(2026-12-09 08:00:00)");
    Nodes sel{FileNode::initWithPath(t / "vol", "vol", true, nullptr)};
    sel[0]->setState(FileNodeSelectStateOn);
    EXPECT_EQ(record(sel, folder), (Events{"progress 5.0", "path vol", "progress 100.0", "finished 0"}));
    EXPECT_EQ(listNames(folder), std::vector<std::string>{"vol"});
    EXPECT_EQ(listNames(folder + "/vol"), (std::vector<std::string>{"Pelorin(2026-12-09 08:00:00)", "a.txt", "docs"}));
    EXPECT_TRUE(listNames(folder + "/vol/Pelorin(2026-12-09 08:00:00)").empty());
    EXPECT_EQ(readFile(folder + "/vol/docs/b.txt"), "b.txt");
}

// ---- reports on their way to a screen ----

// A slow screen (30 ms per report, longer than a delivery's share of the main
// thread) that stops the run on the error: the worker still waits for its
// answer, so nothing after the failing item is tried. The item fails for want
// of its folder (a dangling link holds that folder's name); the later items
// could go in.
TEST_F(CopyEngine, ASlowScreenStopsTheRunOnTheErrorBeforeTheNextItem) {
    TempDir t;
    makeFiles(t / "vol/a/inner", {"x"});
    makeFiles(t / "vol", {"b", "c"});
    makeDirs(t / "D");
    ASSERT_EQ(::symlink("nowhere", (t / "D/inner").c_str()), 0);
    Events events = record(buildSelection(t / "vol", {"a/inner/x", "b", "c"}), t / "D",
                           [&](Recorder& rec, DoCopyFiles& engine) {
                               rec.slowMs = 30;
                               rec.onError = [&] { engine.setIsCancel(true); };
                           });
    EXPECT_EQ(events, (Events{"progress 5.0", "path x", "error"}));
    EXPECT_EQ(listNames(t / "D"), std::vector<std::string>{"inner"}) << "an item after the failing one was copied";
}

// 10,000 tiny files checked one by one inside partly checked folders, between
// folders checked whole: the reports reach the screen in deliveries spaced by
// the delivery interval, however fast the files go; the latest nested path
// replaces an earlier one still waiting, but never a top-level path or a
// progress report, so each whole folder's path shows once, in its order.
TEST_F(CopyEngine, ReportsComeInSpacedDeliveriesThatKeepEveryTopLevelReport) {
    TempDir t;
    std::set<std::string> checked;
    for (const char* part : {"p1", "p2", "p3", "p4"}) {
        makeDirs(t / "vol/" + part);
        for (int i = 0; i < 2500; ++i) {
            const std::string name = kit::format("%@/f%04d", part, i);
            writeFile(t / "vol/" + name, "x");
            checked.insert(name);
        }
    }
    for (const char* whole : {"w1", "w2", "w3", "w4", "w5"}) {
        makeFiles(t / "vol/" + whole, {"inside"});
        checked.insert(whole);
    }
    makeDirs(t / "D");
    // Top level in name order: p1 p2 p3 p4 w1 ... w5; interleave them so a
    // whole folder's reports fall between runs of nested paths.
    Nodes mixed;
    {
        const Nodes sel = buildSelection(t / "vol", checked);
        mixed = {sel[0], sel[4], sel[1], sel[5], sel[2], sel[6], sel[3], sel[7], sel[8]};
    }
    const auto start = std::chrono::steady_clock::now();
    Events events = record(mixed, t / "D");
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    Events topLevel;
    std::size_t nestedShown = 0;
    for (const auto& e : events) {
        if (e.rfind("path f", 0) == 0) ++nestedShown;
        else topLevel.push_back(e);
    }
    Events want{"progress 5.0"};
    for (std::size_t i = 0; i < mixed.size(); ++i) {
        if (mixed[i]->state() == FileNodeSelectStateOn) want.push_back("path " + mixed[i]->name());
        want.push_back(kit::format("progress %0.1f", double(std::max<std::size_t>(5, 100 * (i + 1) / mixed.size()))));
    }
    want.push_back("finished 0");
    EXPECT_EQ(topLevel, want);
    // Each delivery shows at most one nested path between two top-level
    // reports; deliveries come at most once per 40 ms (two more for the run's
    // first and last, which go at once).
    EXPECT_LE(double(nestedShown), elapsed / 0.040 + 2 + double(want.size())) << "over " << elapsed << " s";
    EXPECT_EQ(listNames(t / "D").size(), 10000u + 5u);
}
