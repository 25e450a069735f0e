// Copies made from the "Disk Copy" tab on the demo machine, end to end: the
// whole volume, a partial choice, a failing item, a stop, and what the page
// shows on the way.
#include <sys/stat.h>

#include "CopyScreenTestUtil.h"
#include "Comm/getColor.h"
#include "DiskList/GetFilesSize.h"
#include "kit/SysPath.h"
#include "kit/Workspace.h"

using namespace copyscreen;

namespace {

// The nodes of a volume's top level as the file list shows them, with the
// listed children of the given folders.
FileNodeArray listTopLevel(Controller& c, const std::string& mountPoint) {
    FileNodeArray arr = makeFileNodeArray();
    c.eumeAllRootFileNodeWithRootArr(arr, mountPoint, false, false);
    kit::runUntil([&] { return !c.isListing(); }, 20);
    return arr;
}

FileNode::Ptr child(const FileNodeList& list, const std::string& name) {
    for (const auto& n : list)
        if (n->name() == name) return n;
    return nullptr;
}

// A check-box click in the file list: toggle, the open folder follows, the fathers are recomputed.
void toggle(Controller& c, const FileNode::Ptr& n) {
    const int64_t next = n->state() == FileNodeSelectStateOn ? 0 : 1;
    n->setState(next);
    if (n->isExpand()) c.changeSelectWithNode(n, next);
    c.changeFatherNodeSelectStateWithFileNode(n, next);
}

void open(Controller& c, const FileNode::Ptr& n) {
    n->setIsExpand(true);
    if (n->children().empty()) c.getNodeListWithFaterNode(n);
    kit::runUntil([&] { return !c.isListingChildren(); }, 10);
}

// The file-choice window's hand-back: the count on a background thread, then the nodes and bytes.
void handBack(DiskCopyViewController* screen, const FileNodeArray& arr) {
    struct Counter : GetFilesSizeDelegate {
        DiskCopyViewController* screen;
        FileNodeArray arr;
        std::atomic<bool> done{false};
        void allCopyFilesSize(int64_t size) override {
            screen->closeWindowWithSelect(arr, size);
            done = true;
        }
    };
    auto counter = std::make_shared<Counter>();
    counter->screen = screen;
    counter->arr = arr;
    GetFilesSize count;
    count.setDelegate(counter.get());
    count.getAllFilesSizeWithArr(*arr);
    ASSERT_TRUE(kit::runUntil([&] { return counter->done.load(); }, 20));
    kit::runFor(0.1);
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace

TEST_F(CopyScreenTest, WholeUsbVolumeToBackup) {
    // Names the top-level listing skips.
    writeFile(sim.path("/Volumes/USB/.DS_Store"), "finder");
    writeFile(sim.path("/Volumes/USB/.Trashes/old.txt"), "gone");
    chooseUsbToBackup();
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->lComboBox()->strLabel()->stringValue(), "Copy All Files");
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "USB");

    ASSERT_TRUE(startCopy());
    EXPECT_FALSE(main->isTabChangeAllowed());
    EXPECT_TRUE(screen->selectDiskView()->isHidden());
    EXPECT_FALSE(screen->copyProgressView()->isHidden());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    EXPECT_TRUE(main->isTabChangeAllowed());
    EXPECT_EQ(screen->setpVC_2()->stepImageView()->image()->name(), "step3");

    const std::string folder = screen->openUrl();
    EXPECT_EQ(fs::path(folder).parent_path(), fs::path(sim.path("/Volumes/Backup")));
    EXPECT_EQ(fs::path(folder).filename().string().rfind("Pelorin(", 0), 0u) << folder;
    auto want = treeOf(sim.path("/Volumes/USB"));
    for (auto it = want.begin(); it != want.end();)
        it = (it->first.rfind(".DS_Store", 0) == 0 || it->first.rfind(".Trashes", 0) == 0) ? want.erase(it) : ++it;
    EXPECT_EQ(treeOf(folder), want);

    // The success text with its coloured phrase, and the folder opened in the file viewer.
    ASSERT_TRUE(screen->openLabel()->attributedStringValue().has_value());
    EXPECT_EQ(screen->openLabel()->attributedStringValue()->colorRanges().size(), 1u);
    click(screen->openButton());
    EXPECT_EQ(linesOf(kit::openedFilesPath()), std::vector<std::string>{folder});

    // "Done": back to an empty first page.
    click(screen->succCancelButton());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
    EXPECT_TRUE(screen->copyProgressView()->isHidden());
    EXPECT_EQ(screen->fromeVolume(), nullptr);
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_EQ(screen->copyArr(), nullptr);
    EXPECT_EQ(screen->usedSize(), -1);
    EXPECT_EQ(screen->freeSize(), -1);
    EXPECT_EQ(screen->selectFilesSize(), -1);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->selectFromVC()->nodeSelectLabel()->stringValue(), "Click here to select a source drive.");
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    EXPECT_TRUE(screen->comboBoxView()->isHidden());
    // The next run's page starts on its own step, not on the last one's end.
    EXPECT_EQ(screen->setpVC_2()->stepImageView()->image()->name(), "step2");
}

TEST_F(CopyScreenTest, CopyNowWaitsForTheWholeListingAndConfirmsOnce) {
    // Enough top-level entries that the listing takes a while.
    for (int i = 0; i < 400; ++i) writeFile(sim.path("/Volumes/USB/many/f" + std::to_string(i)), "x");
    for (int i = 0; i < 400; ++i) fs::create_directory(sim.path("/Volumes/USB/d" + std::to_string(i)));
    chooseUsbToBackup();
    // Two clicks before the main loop can hear of the listing's end.
    uitest::clickView(*screen->cloneButton());
    EXPECT_TRUE(screen->isListingVolume());
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    uitest::clickView(*screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    kit::runFor(0.2);
    EXPECT_EQ(statusWindows().size(), 1u);
    // The list handed to the run is complete: every top-level entry.
    ASSERT_NE(screen->copyArr(), nullptr);
    size_t entries = 0;
    for (auto& e : fs::directory_iterator(sim.path("/Volumes/USB"))) entries += e.path().filename() != ".DS_Store";
    EXPECT_EQ(screen->copyArr()->size(), entries);
    // "Cancel" only closes the confirmation.
    click(confirmation()->cancelButton());
    kit::runFor(0.05);
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_FALSE(screen->isRunning());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
}

TEST_F(CopyScreenTest, PartialChoiceLandsAsTheWalksSay) {
    chooseUsbToBackup();
    Controller c;
    FileNodeArray top = listTopLevel(c, sim.path("/Volumes/USB"));
    // Everything off, then Documents/Old/letter.txt and readme.txt on.
    for (const auto& n : *top) n->setState(0);
    FileNode::Ptr docs = child(*top, "Documents");
    ASSERT_NE(docs, nullptr);
    open(c, docs);
    for (const auto& n : docs->children()) n->setState(0);
    FileNode::Ptr old = child(docs->children(), "Old");
    ASSERT_NE(old, nullptr);
    open(c, old);
    toggle(c, child(old->children(), "letter.txt"));
    toggle(c, child(*top, "readme.txt"));
    EXPECT_EQ(docs->state(), FileNodeSelectStateMixed);

    handBack(screen, top);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "2 files/folders");
    // Old holds only letter.txt, so it is checked whole and measured by the disk-usage tool.
    EXPECT_EQ(old->state(), FileNodeSelectStateOn);
    EXPECT_EQ(screen->selectFilesSize(), int64_t(readFile(sim.path("/Volumes/USB/readme.txt")).size() +
                                                 getFolderSizeUsingCommand(old->path())));
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    // Documents (depth 1) gets no folder, Old (depth 2) does.
    std::map<std::string, std::string> want = {
        {"Old", "dir"},
        {"Old/letter.txt", "file:" + readFile(sim.path("/Volumes/USB/Documents/Old/letter.txt"))},
        {"readme.txt", "file:" + readFile(sim.path("/Volumes/USB/readme.txt"))},
    };
    EXPECT_EQ(treeOf(screen->openUrl()), want);
}

TEST_F(CopyScreenTest, NothingCheckedIsNothingChosen) {
    chooseUsbToBackup();
    Controller c;
    FileNodeArray top = listTopLevel(c, sim.path("/Volumes/USB"));
    for (const auto& n : *top) n->setState(0);
    handBack(screen, top);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "0 files/folders");
    click(screen->cloneButton());
    kit::runFor(0.2);
    EXPECT_EQ(messages(), std::vector<std::string>{"No file/disk has been selected\u2026"});
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_FALSE(screen->isRunning());
    // No dated folder appeared anywhere on the destination.
    for (auto& e : fs::directory_iterator(sim.path("/Volumes/Backup")))
        EXPECT_NE(e.path().filename().string().rfind("Pelorin(", 0), 0u);
}

TEST_F(CopyScreenTest, EveryTopLevelItemChosenIsTheWholeVolume) {
    choose(1, volume("USB"));
    auto small = volume("Photos");
    choose(2, small);
    Controller c;
    FileNodeArray top = listTopLevel(c, sim.path("/Volumes/USB"));
    handBack(screen, top);  // all on: the count's 0 stands for the whole volume
    EXPECT_EQ(screen->selectFilesSize(), -1);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "USB");
    EXPECT_EQ(screen->usedSize(), volume("USB")->volumeTotalSizeNum() - volume("USB")->volumeFreeSizeNum());
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    // The same whole volume on a destination with less room than its used size is refused.
    small->setVolumeFreeSizeNum(screen->usedSize() - 1);
    choose(2, small);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
}

TEST_F(CopyScreenTest, CopyAllFilesDropsAnEarlierChoice) {
    chooseUsbToBackup();
    Controller c;
    FileNodeArray top = listTopLevel(c, sim.path("/Volumes/USB"));
    toggle(c, child(*top, "Music"));
    handBack(screen, top);
    ASSERT_NE(screen->copyArr(), nullptr);
    screen->selectFormatbyType(CopyModeSomeFiles);
    EXPECT_EQ(screen->lComboBox()->strLabel()->stringValue(), "Copy Some Files");
    screen->selectFormatbyType(CopyModeAllFiles);
    EXPECT_EQ(screen->lComboBox()->strLabel()->stringValue(), "Copy All Files");
    EXPECT_EQ(screen->copyArr(), nullptr);
    EXPECT_EQ(screen->selectFilesSize(), -1);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "USB");
}

TEST_F(CopyScreenTest, AFailingItemEndsOnTheFailureView) {
    chooseUsbToBackup();
    Controller c;
    FileNodeArray top = listTopLevel(c, sim.path("/Volumes/USB"));
    handBack(screen, top);
    // An item that vanished after it was chosen can't be copied.
    fs::remove(sim.path("/Volumes/USB/readme.txt"));
    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(screen->errorLable()->stringValue(), "Some files copy failed!");
    EXPECT_TRUE(main->isTabChangeAllowed());
    // The end view stays whatever the engine might still say.
    screen->topCopyProgress(100);
    EXPECT_TRUE(failureShown());
    click(screen->failCancelButton());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
    EXPECT_EQ(screen->fromeVolume(), nullptr);
}

TEST_F(CopyScreenTest, AStopDuringALargeFileShowsTheStopViewOnly) {
    // The largest file comes first in the listing: the stop lands while it copies.
    {
        std::ofstream big(sim.path("/Volumes/USB/big.bin"), std::ios::binary);
        std::string chunk(1 << 20, 'b');
        for (int i = 0; i < 300; ++i) big << chunk;
    }
    chooseUsbToBackup();
    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(kit::runUntil([&] { return screen->pathLabel()->stringValue() == "Copying data..."; }, 30));
    click(screen->cancelButton());
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(screen->errorLable()->stringValue(), "You have stopped the copying process.");
    EXPECT_TRUE(main->isTabChangeAllowed());
    // Whatever the engine still does, the stop view stays and nothing more is copied.
    kit::runFor(3.0);
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(screen->errorLable()->stringValue(), "You have stopped the copying process.");
    const auto copied = treeOf(screen->openUrl());
    EXPECT_EQ(copied.count("big.bin"), 0u) << "a partial file was left behind";
    EXPECT_LE(copied.size(), 1u);
}
