// The lister: what a top level and an opened folder list, in which order,
// how every listing ends, and that results reach the lists in batches on the
// main thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "DiskList/EumeRoot.h"
#include "DiskListTestSupport.h"
#include "kit/Dispatch.h"

using namespace disklisttest;

namespace {

class Listing : public ::testing::Test {
protected:
    void SetUp() override { kit::ensureMainThreadApp(); }

    // Lists path's top level to its end.
    FileNodeArray listTop(const std::string& path, EumeRoot& lister, ListerRecorder& rec) {
        FileNodeArray arr = makeFileNodeArray();
        lister.setEumeDelegate(&rec);
        lister.eumeAllRootFileNodeWithRootArr(arr, path);
        EXPECT_TRUE(waitFor([&] { return rec.endScans.load() == 1; }));
        return arr;
    }

    // The order the lister promises for a folder's top level: files largest
    // first (of equal sizes the one listed later first), then folders, both
    // from the directory order.
    static std::vector<std::string> expectedOrder(const std::string& path, const std::map<std::string, uint64_t>& sizes,
                                                  const std::vector<std::string>& folders) {
        std::vector<std::pair<std::string, int>> files;
        std::vector<std::string> dirs;
        int i = 0;
        for (const std::string& n : directoryOrder(path)) {
            if (sizes.count(n)) files.emplace_back(n, i);
            else if (std::find(folders.begin(), folders.end(), n) != folders.end()) dirs.push_back(n);
            ++i;
        }
        std::sort(files.begin(), files.end(), [&](const auto& a, const auto& b) {
            if (sizes.at(a.first) != sizes.at(b.first)) return sizes.at(a.first) > sizes.at(b.first);
            return a.second > b.second;
        });
        std::vector<std::string> out;
        for (auto& f : files) out.push_back(f.first);
        out.insert(out.end(), dirs.begin(), dirs.end());
        return out;
    }
};

TEST_F(Listing, TopLevelSkipsHousekeepingNamesAndOrdersFilesBySizeThenFolders) {
    TempDir t;
    t.file("ten-a", 10);
    t.file("thirty", 30);
    t.file("ten-b", 10);
    t.file("empty", 0);
    t.file(".hidden-settings", 3);
    for (const char* skip : {".DS_Store", ".Spotlight-V100", ".Trashes", ".fseventsd"}) t.file(skip, 5);
    t.dir(".Trash");
    t.dir("A");
    t.dir("B");
    t.file("A/.DS_Store", 4);

    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = listTop(t.path(), lister, rec);
    const std::map<std::string, uint64_t> sizes{
        {"ten-a", 10}, {"thirty", 30}, {"ten-b", 10}, {"empty", 0}, {".hidden-settings", 3}};
    EXPECT_EQ(names(*arr), expectedOrder(t.path(), sizes, {"A", "B"}));
    EXPECT_EQ(lister.allFileCount(), 7);
    EXPECT_EQ(lister.eumeFileCount(), 7);
    EXPECT_FLOAT_EQ(lister.getProgress(), 100.0f);

    FileNode::Ptr thirty = find(*arr, "thirty");
    EXPECT_EQ(thirty->size(), 30u);
    EXPECT_EQ(thirty->path(), t.path() + "/thirty");
    EXPECT_FALSE(thirty->isDirectory());
    EXPECT_EQ(thirty->state(), FileNodeSelectStateOn);
    EXPECT_EQ(thirty->father(), nullptr);
    FileNode::Ptr a = find(*arr, "A");
    EXPECT_TRUE(a->isDirectory());
    EXPECT_EQ(a->size(), 0u);
    EXPECT_FALSE(a->isExpand());

    // The skip list holds at the top level only.
    lister.getNodeListWithFaterNode(a);
    ASSERT_TRUE(waitFor([&] { return rec.endNodes.load() == 1; }));
    EXPECT_EQ(names(a->children()), std::vector<std::string>{".DS_Store"});
    EXPECT_EQ(a->children()[0]->size(), 4u);
    EXPECT_EQ(a->children()[0]->father(), a);
    // Opening a folder leaves the top-level counts alone.
    EXPECT_EQ(lister.allFileCount(), 7);
    EXPECT_FLOAT_EQ(lister.getProgress(), 100.0f);
}

TEST_F(Listing, UnderTheFileSystemRootPathsHaveOneSlash) {
    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = listTop("/", lister, rec);
    ASSERT_FALSE(arr->empty());
    for (const auto& n : *arr) EXPECT_EQ(n->path(), "/" + n->name());
}

TEST_F(Listing, EveryRootEndsWithEndScanAndFullProgress) {
    TempDir t;
    t.dir("empty");
    t.file("plain.txt", 123);

    {  // An empty folder: no nodes, but an end.
        EumeRoot lister;
        ListerRecorder rec;
        FileNodeArray arr = listTop(t / "empty", lister, rec);
        EXPECT_TRUE(arr->empty());
        EXPECT_FLOAT_EQ(lister.getProgress(), 100.0f);
        EXPECT_FALSE(lister.isListing());
    }
    {  // A root that isn't there.
        EumeRoot lister;
        ListerRecorder rec;
        FileNodeArray arr = listTop(t / "missing", lister, rec);
        EXPECT_TRUE(arr->empty());
        EXPECT_FLOAT_EQ(lister.getProgress(), 100.0f);
    }
    {  // A root that is a file lists that file.
        EumeRoot lister;
        ListerRecorder rec;
        FileNodeArray arr = listTop(t / "plain.txt", lister, rec);
        ASSERT_EQ(arr->size(), 1u);
        EXPECT_EQ((*arr)[0]->name(), "plain.txt");
        EXPECT_EQ((*arr)[0]->path(), t / "plain.txt");
        EXPECT_EQ((*arr)[0]->size(), 123u);
        EXPECT_FALSE((*arr)[0]->isDirectory());
        EXPECT_FLOAT_EQ(lister.getProgress(), 100.0f);
    }
    EumeRoot idle;
    EXPECT_FLOAT_EQ(idle.getProgress(), 0.0f);
}

TEST_F(Listing, EndScanComesOnceFromABackgroundThreadAfterTheLastNode) {
    TempDir t;
    t.files("", "f", 300);
    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = makeFileNodeArray();
    std::size_t sizeAtEnd = 0;
    struct AtEnd : ListerRecorder {
        FileNodeArray arr;
        std::size_t* seen = nullptr;
        void endScan() override {
            // Everything is in the list by now (read on the main queue, where it lives).
            kit::dispatch::sync(kit::dispatch::mainQueue(), [&] { *seen = arr->size(); });
            ListerRecorder::endScan();
        }
    } atEnd;
    atEnd.arr = arr;
    atEnd.seen = &sizeAtEnd;
    lister.setEumeDelegate(&atEnd);
    lister.eumeAllRootFileNodeWithRootArr(arr, t.path());
    ASSERT_TRUE(waitFor([&] { return atEnd.endScans.load() == 1; }));
    EXPECT_FALSE(atEnd.endScanOnMain.load());
    EXPECT_EQ(sizeAtEnd, 300u);
    kit::runUntil(nullptr, 0.2);
    EXPECT_EQ(atEnd.endScans.load(), 1);
}

TEST_F(Listing, ChildrenTakeTheirFolderStateAndLinksToFoldersAreFolders) {
    TempDir t;
    for (const char* f : {"off", "on", "partly"}) {
        t.file(std::string(f) + "/x.txt", 2);
        t.dir(std::string(f) + "/sub");
    }
    t.file("Documents/report.txt", 17);
    fs::create_directory_symlink("Documents", t / "Docs link");
    fs::create_symlink("nowhere", t / "broken link");

    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = listTop(t.path(), lister, rec);
    FileNode::Ptr link = find(*arr, "Docs link");
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->isDirectory());
    EXPECT_EQ(link->size(), 0u);
    FileNode::Ptr broken = find(*arr, "broken link");
    ASSERT_TRUE(broken);
    EXPECT_FALSE(broken->isDirectory());
    EXPECT_EQ(broken->size(), 0u);

    const std::map<std::string, int64_t> states{
        {"off", FileNodeSelectStateOff}, {"on", FileNodeSelectStateOn}, {"partly", FileNodeSelectStateMixed}};
    for (const auto& [name, state] : states) find(*arr, name)->setState(state);
    for (const auto& [name, state] : states) lister.getNodeListWithFaterNode(find(*arr, name));
    lister.getNodeListWithFaterNode(link);
    ASSERT_TRUE(waitFor([&] { return rec.endNodes.load() == 4; }));
    for (const auto& [name, state] : states) {
        FileNode::Ptr folder = find(*arr, name);
        ASSERT_EQ(folder->children().size(), 2u) << name;
        for (const auto& child : folder->children())
            EXPECT_EQ(child->state(), state == FileNodeSelectStateOff ? FileNodeSelectStateOff : FileNodeSelectStateOn)
                << name << "/" << child->name();
        EXPECT_TRUE(find(folder->children(), "sub")->isDirectory());
        EXPECT_EQ(find(folder->children(), "x.txt")->size(), 2u);
    }
    ASSERT_EQ(link->children().size(), 1u);
    EXPECT_EQ(link->children()[0]->path(), t / "Docs link/report.txt");
}

TEST_F(Listing, OpeningAFileNodeListsTheFileItselfAndAMissingFolderNothing) {
    TempDir t;
    t.file("note.txt", 9);
    EumeRoot lister;
    ListerRecorder rec;
    lister.setEumeDelegate(&rec);
    FileNode::Ptr file = FileNode::initWithPath(t / "note.txt", "note.txt", true, nullptr);
    file->setState(FileNodeSelectStateOff);
    lister.getNodeListWithFaterNode(file);
    FileNode::Ptr gone = FileNode::initWithPath(t / "gone", "gone", true, nullptr);
    lister.getNodeListWithFaterNode(gone);
    ASSERT_TRUE(waitFor([&] { return rec.endNodes.load() == 2; }));
    ASSERT_EQ(file->children().size(), 1u);
    EXPECT_EQ(file->children()[0]->path(), t / "note.txt");
    EXPECT_EQ(file->children()[0]->size(), 9u);
    EXPECT_EQ(file->children()[0]->state(), FileNodeSelectStateOff);
    EXPECT_TRUE(gone->children().empty());
    EXPECT_FALSE(lister.isListingChildren());
}

TEST_F(Listing, ABigTopLevelArrivesInBatchesAlwaysInOrder) {
    TempDir t;
    std::map<std::string, uint64_t> sizes;
    std::vector<std::string> folders;
    for (int i = 0; i < 9000; ++i) {
        const std::string name = "f" + std::to_string(i);
        if (i % 1000 == 7) {
            t.dir(name);
            folders.push_back(name);
        } else {
            sizes[name] = (i * 7919) % 97;
            t.file(name, sizes[name]);
        }
    }
    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = makeFileNodeArray();
    lister.setEumeDelegate(&rec);
    lister.eumeAllRootFileNodeWithRootArr(arr, t.path());
    bool ordered = true;
    kit::runUntil([&] {
        // Files largest first, then folders.
        bool inFolders = false;
        for (std::size_t i = 0; i < arr->size(); ++i) {
            const auto& n = (*arr)[i];
            if (n->isDirectory()) inFolders = true;
            else if (inFolders || (i > 0 && n->size() > (*arr)[i - 1]->size())) ordered = false;
        }
        EXPECT_EQ(static_cast<std::size_t>(lister.eumeFileCount()), arr->size());
        return rec.endScans.load() == 1;
    }, 30);
    ASSERT_EQ(rec.endScans.load(), 1);
    EXPECT_TRUE(ordered);  // at every look, however many batches had arrived
    EXPECT_EQ(names(*arr), expectedOrder(t.path(), sizes, folders));
}

TEST_F(Listing, AStoppedListingChangesNothingMoreAndReportsNoEnd) {
    TempDir t;
    t.files("", "f", 6000);
    t.dir("sub");
    t.files("sub", "g", 6000);
    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = makeFileNodeArray();
    lister.setEumeDelegate(&rec);
    lister.eumeAllRootFileNodeWithRootArr(arr, t.path());
    FileNode::Ptr sub = FileNode::initWithPath(t / "sub", "sub", true, nullptr);
    lister.getNodeListWithFaterNode(sub);
    lister.getNodeListWithFaterNode(sub);  // already being listed: once only
    EXPECT_TRUE(lister.isListing());
    EXPECT_TRUE(lister.isListingChildren());
    lister.stopScan();
    EXPECT_TRUE(lister.isStopScan());
    EXPECT_FALSE(lister.isListing());
    EXPECT_FALSE(lister.isListingChildren());
    const std::size_t top = arr->size(), children = sub->children().size();
    kit::runUntil(nullptr, 1.0);
    EXPECT_EQ(arr->size(), top);
    EXPECT_EQ(sub->children().size(), children);
    EXPECT_EQ(rec.endScans.load(), 0);
    EXPECT_EQ(rec.endNodes.load(), 0);
    EXPECT_LT(lister.getProgress(), 100.0f);
}

TEST_F(Listing, AFolderBeingListedIsListedOnce) {
    TempDir t;
    t.dir("sub");
    t.files("sub", "g", 3000);
    EumeRoot lister;
    ListerRecorder rec;
    lister.setEumeDelegate(&rec);
    FileNode::Ptr sub = FileNode::initWithPath(t / "sub", "sub", true, nullptr);
    lister.getNodeListWithFaterNode(sub);
    lister.getNodeListWithFaterNode(sub);
    ASSERT_TRUE(waitFor([&] { return rec.endNodes.load() >= 1; }));
    kit::runUntil(nullptr, 0.3);
    EXPECT_EQ(rec.endNodes.load(), 1);
    EXPECT_EQ(sub->children().size(), 3000u);
}

TEST_F(Listing, AListerGoneMidListingLeavesTheListAlone) {
    TempDir t;
    t.files("", "f", 6000);
    FileNodeArray arr = makeFileNodeArray();
    ListerRecorder rec;
    {
        EumeRoot lister;
        lister.setEumeDelegate(&rec);
        lister.eumeAllRootFileNodeWithRootArr(arr, t.path());
    }
    const std::size_t n = arr->size();
    kit::runUntil(nullptr, 1.0);
    EXPECT_EQ(arr->size(), n);
    EXPECT_EQ(rec.endScans.load(), 0);
}

TEST_F(Listing, SortedInsertionGoesBeforeTheFirstEntryNoLarger) {
    EumeRoot lister;
    FileNodeArray arr = makeFileNodeArray();
    lister.eumeAllRootFileNodeWithRootArr(arr, "/nonexistent-for-this-test");
    waitFor([&] { return lister.getProgress() >= 100; });
    lister.insertFileInRootArrWithFile(node("a", false, 1, 10));
    lister.insertFileInRootArrWithFile(node("b", false, 1, 30));
    lister.insertFileInRootArrWithFile(node("c", false, 1, 10));
    lister.insertFileInRootArrWithFile(node("d", false, 1, 5));
    EXPECT_EQ(names(*arr), (std::vector<std::string>{"b", "c", "a", "d"}));
    lister.doRootArrSort();
    EXPECT_EQ(names(*arr), (std::vector<std::string>{"b", "c", "a", "d"}));
}

TEST_F(Listing, TheSizingVariantGivesFoldersTheirContentsSize) {
    TempDir t;
    t.file("small", 5);
    t.file("big/one", 100);
    t.file("big/deeper/two", 50);
    t.file("mid/three", 20);
    t.file(".DS_Store", 1);
    EumeRoot lister;
    ListerRecorder rec;
    FileNodeArray arr = makeFileNodeArray();
    lister.setEumeDelegate(&rec);
    lister.eumeAllRootFileNodeWithRootArr(arr, "/nonexistent-for-this-test");
    ASSERT_TRUE(waitFor([&] { return rec.endScans.load() == 1; }));
    lister.getRootNodeListWithPath(t.path());
    ASSERT_TRUE(waitFor([&] { return rec.endScans.load() == 2; }));
    EXPECT_EQ(names(*arr), (std::vector<std::string>{"big", "mid", "small"}));
    FileNode::Ptr big = find(*arr, "big");
    EXPECT_EQ(big->size(), 150u);
    EXPECT_EQ(names(big->children()), (std::vector<std::string>{"one", "deeper"}));
    EXPECT_EQ(find(big->children(), "deeper")->size(), 50u);
}

TEST_F(Listing, TheSizeReaderReadsFileDataSizes) {
    TempDir t;
    t.file("f", 4321);
    t.dir("d");
    fs::create_symlink("f", t / "l");
    EXPECT_EQ(NodeTreeOperator::getOneFileSizeWithPath(t / "f"), 4321u);
    EXPECT_EQ(NodeTreeOperator::getOneFileSizeWithPath(t / "l"), 4321u);
    EXPECT_EQ(NodeTreeOperator::getOneFileSizeWithPath(t / "d"), 0u);
    EXPECT_EQ(NodeTreeOperator::getOneFileSizeWithPath(t / "missing"), 0u);
    EXPECT_TRUE(NodeTreeOperator::fsrefWithString(t / "f"));
    EXPECT_FALSE(NodeTreeOperator::fsrefWithString(t / "missing"));
    NodeTreeOperator op;
    EXPECT_FALSE(op.isStopScan());
    op.stopScan();
    EXPECT_TRUE(op.isStopScan());
}

}  // namespace
