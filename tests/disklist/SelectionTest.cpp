// The tree controller: three-state propagation down and up, the select-all
// box of the file list it feeds, how a listing's end is routed, reveal, and
// the offered select-all, trash and delete walk.
#include <gtest/gtest.h>

#include "Comm/NewOutlineView.h"
#include "DiskList/Controller.h"
#include "DiskList/DiskListWC.h"
#include "DiskListTestSupport.h"
#include "kit/Workspace.h"
#include "support/SimRoot.h"

using namespace disklisttest;

namespace {

constexpr int64_t Off = FileNodeSelectStateOff, On = FileNodeSelectStateOn, Partly = FileNodeSelectStateMixed;

class Selection : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureMainThreadApp();
        controller.setADelegate(&owner);
    }
    // What a check-box click in the file list does.
    void click(const FileNode::Ptr& n) {
        const int64_t next = n->state() == On ? Off : On;
        n->setState(next);
        if (n->isExpand()) controller.changeSelectWithNode(n, next);
        controller.changeFatherNodeSelectStateWithFileNode(n, next);
    }
    Controller controller;
    OwnerRecorder owner;
};

TEST_F(Selection, AFolderStateFollowsItsChildren) {
    struct Case {
        int64_t a, b, folder;
    } cases[] = {{On, Off, Partly}, {On, On, On}, {Off, Off, Off}, {Off, Partly, Partly}};
    for (const Case& c : cases) {
        FileNode::Ptr folder = node("F", true, On);
        FileNode::Ptr a = adopt(folder, node("A", false, c.a));
        adopt(folder, node("B", false, c.b));
        controller.changeFatherNodeSelectStateWithFileNode(a, c.a);
        EXPECT_EQ(folder->state(), c.folder) << c.a << "," << c.b;
    }
}

TEST_F(Selection, TheLastChildSelectedSelectsBothAncestorsAndEachLevelRedraws) {
    FileNode::Ptr top = node("top", true, Partly);
    FileNode::Ptr mid = adopt(top, node("mid", true, Partly));
    FileNode::Ptr x = adopt(mid, node("x", false, On));
    FileNode::Ptr y = adopt(mid, node("y", false, Off));
    (void)x;
    click(y);
    EXPECT_EQ(y->state(), On);
    EXPECT_EQ(mid->state(), On);
    EXPECT_EQ(top->state(), On);
    // Three levels: told three times.
    EXPECT_EQ(owner.reloads.load(), 3);
    EXPECT_EQ(owner.selectAllChecks.load(), 3);

    click(y);
    EXPECT_EQ(mid->state(), Partly);
    EXPECT_EQ(top->state(), Partly);
}

TEST_F(Selection, ClickingAPartlySelectedOpenFolderSelectsWhatIsReachableThroughOpenFolders) {
    FileNode::Ptr top = node("top", true, Partly);
    top->setIsExpand(true);
    FileNode::Ptr openSub = adopt(top, node("open", true, Off));
    openSub->setIsExpand(true);
    FileNode::Ptr closedSub = adopt(top, node("closed", true, Off));
    FileNode::Ptr a = adopt(openSub, node("a", false, Off));
    FileNode::Ptr deepOpen = adopt(openSub, node("deep", true, Off));
    FileNode::Ptr deepChild = adopt(deepOpen, node("d", false, Off));
    FileNode::Ptr b = adopt(closedSub, node("b", false, Off));
    FileNode::Ptr closedDeep = adopt(closedSub, node("cdeep", true, Off));
    FileNode::Ptr unreached = adopt(closedDeep, node("u", false, Off));
    adopt(top, node("file", false, Partly));

    click(top);
    EXPECT_EQ(top->state(), On);
    for (const auto& n : {openSub, closedSub, a, deepOpen, deepChild, b, closedDeep}) EXPECT_EQ(n->state(), On) << n->name();
    // Past a closed folder's children the change waits for it to be opened.
    EXPECT_EQ(unreached->state(), Off);
}

TEST_F(Selection, AClosedFolderChangesOnlyItselfAndItsAncestorsUntilOpened) {
    FileNode::Ptr top = node("top", true, On);
    top->setIsExpand(true);
    FileNode::Ptr folder = adopt(top, node("folder", true, On));
    FileNode::Ptr sibling = adopt(top, node("sibling", false, On));
    FileNode::Ptr child = adopt(folder, node("child", false, On));
    click(folder);
    EXPECT_EQ(folder->state(), Off);
    EXPECT_EQ(top->state(), Partly);
    EXPECT_EQ(sibling->state(), On);
    EXPECT_EQ(child->state(), On);
    // Opened again: the children are brought in line with it.
    folder->setIsExpand(true);
    controller.changeSelectWithNode(folder, folder->state());
    EXPECT_EQ(child->state(), Off);
}

// The select-all box reads the top level once a change has reached it: a
// check-box click two levels down leaves the top-level folder partly checked,
// and the box shows it mixed; a click on the box then selects everything,
// the next one clears everything.
TEST_F(Selection, APartlyCheckedTopLevelItemMakesTheSelectAllBoxMixed) {
    TempDir t;
    t.file("a.txt", 1);
    t.file("docs/r.txt", 1);
    t.file("docs/old/x.txt", 1);
    t.file("docs/old/y.txt", 1);
    DiskListWC wc;
    ASSERT_TRUE(wc.window());
    ListFileViewController& list = *wc.listFileVC();
    NewOutlineView& ov = *list.outlineView();
    list.getRootNodeListWithPath(t.path());
    ASSERT_TRUE(waitFor([&] { return !list.isScan(); }));
    FileNode::Ptr docs = find(*list.rootNodeArr(), "docs");
    ov.expandItem(docs);
    ASSERT_TRUE(waitFor([&] { return docs->children().size() == 2; }));
    FileNode::Ptr old = find(docs->children(), "old");
    ASSERT_TRUE(waitFor([&] { return ov.rowForItem(old) >= 0; }));
    ov.expandItem(old);
    ASSERT_TRUE(waitFor([&] { return old->children().size() == 2; }));
    EXPECT_EQ(list.selectAllButSt(), 1);
    const auto box = [&] { return list.selectAllButton()->buttonCell()->image()->name(); };

    // A click on x's check box, as the outline hands it to the list.
    FileNode::Ptr x = find(old->children(), "x.txt");
    list.setObjectValue(ov, kit::Value(int64_t(0)), ov.tableColumnWithIdentifier("CheckBox"), x);
    EXPECT_EQ(x->state(), Off);
    EXPECT_EQ(old->state(), Partly);
    EXPECT_EQ(docs->state(), Partly);
    EXPECT_EQ(find(*list.rootNodeArr(), "a.txt")->state(), On);
    EXPECT_EQ(list.selectAllButSt(), 2);
    EXPECT_EQ(box(), "checkbox_halfsel");

    list.setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(list.selectAllButSt(), 1);
    EXPECT_EQ(box(), "checkbox_sel");
    for (const FileNode::Ptr& n : {docs, old, x}) EXPECT_EQ(n->state(), On) << n->name();

    list.setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(list.selectAllButSt(), 0);
    EXPECT_EQ(box(), "checkbox_unsel");
    for (const FileNode::Ptr& n : {docs, old, x}) EXPECT_EQ(n->state(), Off) << n->name();
}

TEST_F(Selection, TheEndOfAListingIsRoutedByTheTwoFlags) {
    TempDir t;
    t.file("a", 1);
    struct Route {
        bool all, copy;
        int copyEnds, imageEnds;
    } routes[] = {{false, false, 0, 0}, {true, true, 1, 0}, {true, false, 0, 1}, {false, true, 0, 0}};
    for (const Route& r : routes) {
        Controller c;
        OwnerRecorder rec;
        c.setADelegate(&rec);
        FileNodeArray arr = makeFileNodeArray();
        c.eumeAllRootFileNodeWithRootArr(arr, t.path(), r.all, r.copy);
        EXPECT_EQ(c.aRootArr(), arr);
        EXPECT_EQ(c.isCopyAllFiles(), r.all);
        ASSERT_TRUE(waitFor([&] { return c.getProgress() >= 100; }));
        // The end comes from a background thread a moment later.
        if (r.copyEnds + r.imageEnds > 0) waitFor([&] { return rec.copyEnds + rec.imageEnds > 0; });
        kit::runUntil(nullptr, 0.2);
        EXPECT_EQ(arr->size(), 1u);
        EXPECT_EQ(rec.copyEnds.load(), r.copyEnds) << r.all << r.copy;
        EXPECT_EQ(rec.imageEnds.load(), r.imageEnds) << r.all << r.copy;
    }
}

TEST_F(Selection, OpeningAFolderListsItAndRedrawsWhenDone) {
    TempDir t;
    t.file("docs/a.txt", 3);
    t.file("docs/b.txt", 4);
    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, t.path(), false, false);
    ASSERT_TRUE(waitFor([&] { return controller.getProgress() >= 100; }));
    FileNode::Ptr docs = find(*arr, "docs");
    docs->setState(Off);
    const int before = owner.reloads.load();
    controller.getNodeListWithFaterNode(docs);
    EXPECT_TRUE(controller.isListingChildren());
    ASSERT_TRUE(waitFor([&] { return owner.reloads.load() > before; }));
    EXPECT_FALSE(controller.isListingChildren());
    EXPECT_EQ(docs->children().size(), 2u);
    for (const auto& c : docs->children()) EXPECT_EQ(c->state(), Off);

    // A controller that never listed a top level makes a lister for this.
    Controller fresh;
    OwnerRecorder rec;
    fresh.setADelegate(&rec);
    FileNode::Ptr again = FileNode::initWithPath(t / "docs", "docs", true, nullptr);
    fresh.getNodeListWithFaterNode(again);
    ASSERT_TRUE(waitFor([&] { return rec.reloads.load() == 1; }));
    EXPECT_EQ(again->children().size(), 2u);
}

TEST_F(Selection, AVolumeGivenByItsDeviceNodeIsListedAtItsMountPoint) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    std::string device, mountPoint;
    for (const auto& disk : root.machine().disks)
        for (const auto& v : disk.volumes)
            if (v.name == "USB") {
                device = "/dev/" + v.identifier;
                mountPoint = v.mountPoint;
            }
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(Controller::listPathForPath(device), mountPoint);
    EXPECT_EQ(Controller::listPathForPath(mountPoint), mountPoint);
    EXPECT_EQ(Controller::listPathForPath("/dev/disk99s9"), "/dev/disk99s9");

    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, device, false, false);
    ASSERT_TRUE(waitFor([&] { return controller.getProgress() >= 100; }));
    ASSERT_TRUE(find(*arr, "readme.txt"));
    EXPECT_EQ(find(*arr, "readme.txt")->path(), mountPoint + "/readme.txt");
    EXPECT_TRUE(find(*arr, "Docs link")->isDirectory());
}

TEST_F(Selection, AFolderUnderDevIsListedAsAFolder) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm here";
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    std::optional<TempDir> t;
    {
        EnvGuard tmp("TMPDIR", "/dev/shm");
        t.emplace();
    }
    t->file("a.txt", 3);
    t->file("sub/b", 1);
    const std::size_t asked = root.journalFor("diskutil").size();
    EXPECT_EQ(Controller::listPathForPath(t->path()), t->path());
    EXPECT_EQ(root.journalFor("diskutil").size(), asked) << "the disk tool was asked about a folder";
    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, t->path(), false, false);
    ASSERT_TRUE(waitFor([&] { return controller.getProgress() >= 100; }));
    ASSERT_TRUE(find(*arr, "a.txt"));
    EXPECT_EQ(find(*arr, "a.txt")->size(), 3);
    EXPECT_TRUE(find(*arr, "sub")->isDirectory());
    // A character device is a device node: the disk tool is asked, and one it
    // does not know is left as it is.
    EXPECT_EQ(Controller::listPathForPath("/dev/null"), "/dev/null");
    EXPECT_EQ(root.journalFor("diskutil").size(), asked + 1);
}

TEST_F(Selection, RevealAndOpenGoToTheFileManager) {
    TempDir root;
    EnvGuard env("PELORIN_SYSROOT", root.path().c_str());
    controller.openFileWithFileNode(node("shown", false));
    controller.openFileWithFileNode(FileNode::initWithPath("", "", false, nullptr));  // no path: nothing
    controller.openFileWithFileNode(nullptr);
    controller.pereviewFileWithFileNode(node("opened", true));
    EXPECT_EQ(readLines(kit::revealedItemsPath()), std::vector<std::string>{"/t/shown"});
    EXPECT_EQ(readLines(kit::openedFilesPath()), std::vector<std::string>{"/t/opened"});
}

TEST_F(Selection, SelectAllSetsTheTopLevelAndOpenFolders) {
    TempDir t;
    t.file("a", 1);
    t.file("d/x", 1);
    t.file("e/y", 1);
    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, t.path(), false, false);
    ASSERT_TRUE(waitFor([&] { return controller.getProgress() >= 100; }));
    FileNode::Ptr d = find(*arr, "d"), e = find(*arr, "e");
    controller.getNodeListWithFaterNode(d);
    controller.getNodeListWithFaterNode(e);
    ASSERT_TRUE(waitFor([&] { return !controller.isListingChildren(); }));
    d->setIsExpand(true);
    controller.selectAllFileNode(Off);
    for (const auto& n : *arr) EXPECT_EQ(n->state(), Off);
    EXPECT_EQ(d->children()[0]->state(), Off);
    EXPECT_EQ(e->children()[0]->state(), On);  // closed: left for later
    EXPECT_GE(owner.selectAllChecks.load(), 1);
}

TEST_F(Selection, TrashTakesAPathAndSaysWhenItFails) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok());
    const std::string usb = root.path("/Volumes/USB");
    ASSERT_TRUE(controller.moveFileToTrash(usb + "/readme.txt"));
    // A second item of the same name keeps both.
    std::ofstream(usb + "/readme.txt") << "again";
    ASSERT_TRUE(controller.moveFileToTrash(usb + "/readme.txt"));
    const std::string trash = root.path("/Users/alex/.Trash");
    EXPECT_TRUE(fs::exists(trash + "/readme.txt"));
    EXPECT_EQ(readFile(trash + "/readme.txt 2"), "again");
    EXPECT_FALSE(fs::exists(usb + "/readme.txt"));
    EXPECT_EQ(readLines(kit::trashedItemsPath()), (std::vector<std::string>{usb + "/readme.txt", usb + "/readme.txt"}));
    // Names with spaces, quotes and a "%" are paths, never address texts.
    std::ofstream(usb + "/it's 100% a file") << "q";
    EXPECT_TRUE(controller.moveFileToTrash(usb + "/it's 100% a file"));
    EXPECT_TRUE(fs::exists(trash + "/it's 100% a file"));

    testing::internal::CaptureStderr();
    EXPECT_FALSE(controller.moveFileToTrash(usb + "/not there"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--delete file error ---::"), std::string::npos);
}

TEST_F(Selection, TheDeleteWalkRemovesSelectedItemsAndChangesListsOnTheMainQueue) {
    TempDir t;
    t.file("keep.txt", 1);
    t.file("gone.txt", 1);
    t.file("mixed/gone-too.txt", 1);
    t.file("mixed/stays.txt", 1);
    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, t.path(), false, false);
    ASSERT_TRUE(waitFor([&] { return controller.getProgress() >= 100; }));
    FileNode::Ptr mixed = find(*arr, "mixed");
    controller.getNodeListWithFaterNode(mixed);
    ASSERT_TRUE(waitFor([&] { return !controller.isListingChildren(); }));
    find(*arr, "keep.txt")->setState(Off);
    find(mixed->children(), "stays.txt")->setState(Off);
    mixed->setState(Partly);

    EXPECT_EQ(names(controller.removeSelectFilesWithDic(*arr)).size(), 2u);
    controller.deleteFilesWithDic(*arr);
    ASSERT_TRUE(waitFor([&] { return owner.progress.size() == 2; }));
    EXPECT_FALSE(fs::exists(t / "gone.txt"));
    EXPECT_FALSE(fs::exists(t / "mixed/gone-too.txt"));
    EXPECT_TRUE(fs::exists(t / "keep.txt"));
    EXPECT_TRUE(fs::exists(t / "mixed/stays.txt"));
    EXPECT_EQ(owner.progress.back().first, 100);
    EXPECT_FALSE(find(*arr, "gone.txt"));
    EXPECT_EQ(names(mixed->children()), std::vector<std::string>{"stays.txt"});
    EXPECT_EQ(mixed->state(), Off);  // the father goes to 0 after a removal

    // A stop ends the walk before its next item: nothing more removed, every
    // top-level node deselected, and 100 reported.
    t.file("more.txt", 1);
    FileNode::Ptr more = FileNode::initWithPath(t / "more.txt", "more.txt", false, nullptr);
    owner.progress.clear();
    controller.stopRemove();
    EXPECT_TRUE(controller.isStopRemove());
    controller.deleteFilesWithDic(*arr, FileNodeList{more});
    ASSERT_TRUE(waitFor([&] { return owner.progress.size() == 1; }));
    EXPECT_EQ(owner.progress[0], (std::pair<int64_t, std::string>{100, ""}));
    EXPECT_TRUE(fs::exists(t / "more.txt"));
    for (const auto& n : *arr) EXPECT_EQ(n->state(), Off);
}

}  // namespace
