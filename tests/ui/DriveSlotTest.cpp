// The drive slot: its set-up, what it reports for clicks, clears and drops,
// the nodes it makes from dropped paths, its backgrounds, its non-interactive
// mode, and drops arriving from the window system.
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "Comm/SelectValueView.h"
#include "UiTest.h"
#include "kit/ui/QtBridge.h"

namespace {

using kit::Rect;
using uitest::UiTest;
namespace fs = std::filesystem;

class Owner : public kit::Object, public SelectValueViewDelegate {
public:
    void selectDiskButton(int slotId, kit::View* sender) override {
        selects.push_back(slotId);
        senders.push_back(sender);
    }
    void closeDiskValue(int slotId) override { closes.push_back(slotId); }
    void viewDragAction(const std::vector<FileNode::Ptr>& nodes) override { drops.push_back(nodes); }
    void selectFileButtonAction(kit::Object*) override { ++selectFiles; }
    std::vector<int> selects, closes;
    std::vector<kit::View*> senders;
    std::vector<std::vector<FileNode::Ptr>> drops;
    int selectFiles = 0;
};

// A folder of files to drop, removed afterwards.
struct Files {
    fs::path dir = fs::temp_directory_path() / ("slot-test-" + std::to_string(::getpid()));
    Files() {
        fs::remove_all(dir);
        fs::create_directories(dir / "Folder" / "inner");
        write("a.txt", 5);
        write("Folder/inner/big", 4000);
        write(".DS_Store", 3);
        write(".ds_store", 7);
        write("x.DS_Store", 2);
        fs::create_symlink(dir / "a.txt", dir / "link");
    }
    ~Files() { fs::remove_all(dir); }
    void write(const std::string& name, size_t bytes) { std::ofstream(dir / name) << std::string(bytes, 'x'); }
    std::string p(const std::string& name) const { return (dir / name).string(); }
};

std::string bg(SelectValueView& s) {
    auto img = s.bgImageView()->image();
    return img ? img->name() : "";
}

struct Scene {
    std::shared_ptr<kit::Window> w = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    std::shared_ptr<SelectValueView> slot = std::make_shared<SelectValueView>();
    Owner owner;
    Scene() {
        slot->setDiskFrom(SlotIdSource);
        slot->setDelegate(&owner);
        kit::View* card = slot->view();
        card->setFrameOrigin({64, 50});
        w->contentView()->addSubview(slot->viewPtr());
        w->makeKeyAndOrderFront();
    }
    kit::Point cardPoint(double x, double y) { return slot->view()->convertPointToView({x, y}, nullptr); }
};

TEST_F(UiTest, SlotSetUpAtLoad) {
    Scene s;
    EXPECT_TRUE(s.slot->isCanSelect());
    EXPECT_FALSE(s.slot->isHaveD());
    EXPECT_EQ(bg(*s.slot), "source");
    EXPECT_EQ(s.slot->closeDisk()->normalImage()->name(), "ic_close");
    EXPECT_EQ(s.slot->closeDisk()->activeImage()->name(), "ic_close_press");
    EXPECT_EQ(s.slot->closeDisk()->hoverImage()->name(), "ic_close_hover");
    EXPECT_EQ(s.slot->closeDisk()->disableImage()->name(), "ic_close");
    EXPECT_TRUE(s.slot->closeDisk()->isEnabled());
    EXPECT_EQ(s.slot->selectDiskBut()->target(), s.slot.get());
    EXPECT_EQ(s.slot->selectDiskBut()->action(), "selectDiskButton:");
    EXPECT_EQ(s.slot->dragVie()->delegate(), s.slot.get());
    EXPECT_EQ(s.slot->dragVie()->registeredDraggedTypes(),
              (std::vector<std::string>{kit::PasteboardTypeTIFF, kit::FilenamesPboardType}));
    // The open icon: made at (200, 39) on first use, then set beside the name.
    s.slot->setOpenIcon();
    EXPECT_EQ(s.slot->openIconView(), nullptr);
    s.slot->nameLabel()->setStringValue("USB");
    s.slot->setOpenIconP();
    ASSERT_NE(s.slot->openIconView(), nullptr);
    EXPECT_EQ(s.slot->openIconView()->frame(), Rect(200, 39, 12, 12));
    EXPECT_EQ(s.slot->openIconView()->superview(), s.slot->view());
    EXPECT_EQ(s.slot->openIconView()->image()->name(), "ic_open");
    s.slot->setOpenIconP();
    const double w = s.slot->nameLabel()->font().sizeOfString("USB").width;
    EXPECT_EQ(s.slot->openIconView()->frame(), Rect((272 - w) / 2 + w + 3, 70, 12, 12));
    ASSERT_NE(s.slot->proSizeView(), nullptr);
    ASSERT_NE(s.slot->nameButton(), nullptr);
    EXPECT_EQ(s.slot->view()->frame().size, (kit::Size{272, 200}));
}

TEST_F(UiTest, SlotReportsClicksAndClearsWithTheDriveButtonAsAnchor) {
    Scene s;
    uitest::clickView(*s.slot->selectDiskBut());
    // A click on the card's background (and on the drop target over it).
    uitest::send(*s.w, kit::EventType::LeftMouseDown, s.cardPoint(20, 180));
    uitest::send(*s.w, kit::EventType::LeftMouseUp, s.cardPoint(20, 180));
    EXPECT_EQ(s.owner.selects, (std::vector<int>{1, 1}));
    EXPECT_EQ(s.owner.senders, (std::vector<kit::View*>{s.slot->selectDiskBut(), s.slot->selectDiskBut()}));
    s.slot->closeDisk()->setHidden(false);
    s.slot->setDiskFrom(SlotIdDestination);
    uitest::clickView(*s.slot->closeDisk());
    EXPECT_EQ(s.owner.closes, (std::vector<int>{2}));
    s.slot->openMenuButtonAction(s.slot->selectDiskBut());
    EXPECT_EQ(s.owner.selects.back(), 2);

    // The owner is not kept: gone, the slot reports to no one.
    s.slot->setDelegate(nullptr);
    uitest::clickView(*s.slot->selectDiskBut());
    EXPECT_EQ(s.owner.selects.size(), 3u);
    {
        Owner brief;
        s.slot->setDelegate(&brief);
    }
    uitest::clickView(*s.slot->selectDiskBut());   // a destroyed owner is never called
    // The card's views don't keep the slot either.
    kit::View* card = s.slot->view();
    std::shared_ptr<kit::View> keep = s.slot->viewPtr();
    std::weak_ptr<SelectValueView> weak = s.slot;
    s.slot.reset();
    EXPECT_TRUE(weak.expired());
    uitest::send(*s.w, kit::EventType::LeftMouseDown, card->convertPointToView({20, 180}, nullptr));
    uitest::send(*s.w, kit::EventType::MouseMoved, card->convertPointToView({20, 180}, nullptr));
}

TEST_F(UiTest, SlotDropConversion) {
    Files f;
    SelectValueView slot;
    const std::vector<std::string> paths = {f.p("a.txt"),      f.p("Folder"),     f.p(".DS_Store"), f.p(".ds_store"),
                                            f.p("x.DS_Store"), f.p("missing"),    f.p("Folder/"),   f.p("link"),
                                            "/.Trashes",       "/v/.Spotlight-V100", "/v/.Volume"};
    std::vector<FileNode::Ptr> nodes = slot.eumeArr(paths);
    std::vector<std::string> names;
    for (auto& n : nodes) names.push_back(n->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "Folder", ".ds_store", "x.DS_Store", "missing", "Folder", "link"}));
    ASSERT_EQ(nodes.size(), 7u);
    EXPECT_FALSE(nodes[0]->isDirectory());
    EXPECT_EQ(nodes[0]->size(), 5u);
    EXPECT_EQ(nodes[0]->path(), f.p("a.txt"));
    // A folder is one node of size 0, its contents not visited.
    EXPECT_TRUE(nodes[1]->isDirectory());
    EXPECT_EQ(nodes[1]->size(), 0u);
    EXPECT_TRUE(nodes[1]->children().empty());
    EXPECT_EQ(nodes[3]->size(), 2u);
    // Nothing there: a file of size 0.
    EXPECT_FALSE(nodes[4]->isDirectory());
    EXPECT_EQ(nodes[4]->size(), 0u);
    // A trailing "/" keeps the folder's name.
    EXPECT_TRUE(nodes[5]->isDirectory());
    EXPECT_EQ(nodes[5]->path(), f.p("Folder"));
    for (auto& n : nodes) {
        EXPECT_EQ(n->father(), nullptr);
        EXPECT_EQ(n->state(), FileNodeSelectStateOn);
    }
    EXPECT_EQ(SelectValueView::getOneFileSizeWithPath(f.p("Folder/inner/big")), 4000u);
    EXPECT_EQ(SelectValueView::getOneFileSizeWithPath(f.p("nothing")), 0u);
    EXPECT_FALSE(SelectValueView::fsrefWithString(f.p("nothing")).has_value());
    EXPECT_TRUE(SelectValueView::fsrefWithString(f.p("a.txt")).has_value());
    EXPECT_TRUE(slot.eumeArr({}).empty());
}

TEST_F(UiTest, SlotDropsReachTheOwnerEndToEnd) {
    Files f;
    Scene s;
    const kit::Point at = s.cardPoint(136, 80);   // over the name label, above the drop target
    ASSERT_TRUE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({f.p("Folder"), f.p("a.txt")})));
    ASSERT_EQ(s.owner.drops.size(), 1u);
    ASSERT_EQ(s.owner.drops[0].size(), 2u);
    EXPECT_EQ(s.owner.drops[0][0]->name(), "Folder");
    EXPECT_EQ(s.owner.drops[0][1]->size(), 5u);

    // Only skip-listed names: still reported, with no nodes.
    ASSERT_TRUE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({f.p(".DS_Store")})));
    ASSERT_EQ(s.owner.drops.size(), 2u);
    EXPECT_TRUE(s.owner.drops[1].empty());

    // Paths that are not of this machine are dropped from the list; none left: refused.
    ASSERT_TRUE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({"relative/x", f.p("a.txt")})));
    EXPECT_EQ(s.owner.drops[2].size(), 1u);
    EXPECT_FALSE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({"relative/x", ""})));
    EXPECT_EQ(s.owner.drops.size(), 3u);
    // A source that offers no generic operation is refused at once.
    EXPECT_FALSE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({f.p("a.txt")}), kit::DragOperationCopy));
    // Image data is taken when it reads as an image, and tells the owner nothing.
    EXPECT_FALSE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withTIFF("garbage")));
    EXPECT_EQ(s.owner.drops.size(), 3u);

    // From the window system: a file manager's drag of local files.
    QWindow* qw = kit::widgetOf(*s.w)->windowHandle();
    ASSERT_NE(qw, nullptr);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.p("a.txt"))), QUrl("https://example.com/page"),
                  QUrl::fromLocalFile(QString::fromStdString(f.p("Folder")))});
    const QPointF qp(at.x, s.w->frame().height() - at.y);
    QDropEvent drop(qp, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(s.owner.drops.size(), 4u);
    ASSERT_EQ(s.owner.drops[3].size(), 2u);
    EXPECT_EQ(s.owner.drops[3][0]->name(), "a.txt");
    EXPECT_EQ(s.owner.drops[3][1]->name(), "Folder");
    QMimeData web;
    web.setUrls({QUrl("https://example.com/page")});
    QDropEvent refused(qp, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(s.owner.drops.size(), 4u);

    // A hidden slot, or one whose drop target was taken away, takes no drops.
    s.slot->view()->setHidden(true);
    EXPECT_FALSE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({f.p("a.txt")})));
    s.slot->view()->setHidden(false);
    s.slot->dragVie()->removeFromSuperview();
    EXPECT_FALSE(kit::simulateDrop(*s.w, at, kit::Pasteboard::withFilenames({f.p("a.txt")})));
    EXPECT_EQ(s.owner.drops.size(), 4u);
}

TEST_F(UiTest, SlotBackgroundsFollowItsState) {
    Scene s;
    const kit::Point inside = s.cardPoint(20, 20), outside = s.cardPoint(-30, 20);
    uitest::send(*s.w, kit::EventType::MouseMoved, inside);
    EXPECT_EQ(bg(*s.slot), "source_hover");
    uitest::send(*s.w, kit::EventType::MouseMoved, outside);
    EXPECT_EQ(bg(*s.slot), "source");
    s.slot->changeBgImageViewWithError(true);
    EXPECT_EQ(bg(*s.slot), "source_sel_error");
    s.slot->changeBgImageViewWithError(false);
    EXPECT_EQ(bg(*s.slot), "source");
    s.slot->setIsHaveD(true);
    s.slot->changeBgImageViewWithError(false);
    EXPECT_EQ(bg(*s.slot), "source_sel");
    uitest::send(*s.w, kit::EventType::MouseMoved, inside);
    uitest::send(*s.w, kit::EventType::MouseMoved, outside);
    EXPECT_EQ(bg(*s.slot), "source_sel");
    s.slot->changeBgImageViewWithError(true);
    uitest::send(*s.w, kit::EventType::MouseMoved, inside);
    EXPECT_EQ(bg(*s.slot), "source_sel_error");
}

TEST_F(UiTest, SlotNonInteractiveReportsOnlyTheSelectFileAction) {
    Files f;
    Scene s;
    s.slot->setIsHaveD(true);
    s.slot->bgImageView()->setImageNamed("source_sel");
    s.slot->setIsCanSelect(false);
    s.slot->closeDisk()->setHidden(false);
    uitest::clickView(*s.slot->selectDiskBut());
    uitest::clickView(*s.slot->closeDisk());
    uitest::send(*s.w, kit::EventType::LeftMouseDown, s.cardPoint(20, 180));
    s.slot->changeBgImageViewWithError(true);
    s.slot->setIsHaveD(false);
    uitest::send(*s.w, kit::EventType::MouseMoved, s.cardPoint(20, 20));
    // The drop itself is taken by the target, but the slot passes nothing on.
    kit::simulateDrop(*s.w, s.cardPoint(136, 80), kit::Pasteboard::withFilenames({f.p("a.txt")}));
    EXPECT_TRUE(s.owner.selects.empty());
    EXPECT_TRUE(s.owner.closes.empty());
    EXPECT_TRUE(s.owner.drops.empty());
    EXPECT_EQ(bg(*s.slot), "source_sel");
    s.slot->selectFileButtonAction(nullptr);
    EXPECT_EQ(s.owner.selectFiles, 1);
}

class HoverCount : public kit::Object, public SelectBgViewDelegate {
public:
    void mouseInSelectBgView(bool inside) override { reports.push_back(inside); }
    void mouseDownAction() override { ++downs; }
    std::vector<bool> reports;
    int downs = 0;
};

TEST_F(UiTest, SlotHoverAreaIsOnePerViewAndFollowsItsBounds) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto card = std::make_shared<SelectBgView>(Rect(50, 50, 100, 100));
    HoverCount count;
    card->setDelegate(&count);
    w->contentView()->addSubview(card);
    w->orderFront();
    for (int i = 0; i < 5; ++i) card->display();
    EXPECT_EQ(card->trackingAreas().size(), 1u);
    uitest::send(*w, kit::EventType::MouseMoved, {60, 60});
    uitest::send(*w, kit::EventType::MouseMoved, {70, 70});
    EXPECT_EQ(count.reports, (std::vector<bool>{true}));
    uitest::send(*w, kit::EventType::MouseMoved, {10, 10});
    EXPECT_EQ(count.reports, (std::vector<bool>{true, false}));
    // Grown, the card's new part counts as inside.
    card->setFrameSize({250, 200});
    uitest::send(*w, kit::EventType::MouseMoved, {280, 230});
    EXPECT_EQ(count.reports, (std::vector<bool>{true, false, true}));
    uitest::send(*w, kit::EventType::LeftMouseDown, {280, 230});
    EXPECT_EQ(count.downs, 1);
}

}  // namespace
