// Gallery pictures of the tables (under the build folder's ui-render/): a
// Disk-Manager-like volume table, a file-choice-like outline with check boxes
// in all three states, and a long list with the overlay scroller's knob.
#include "Comm/CustomTableView.h"
#include "Comm/ImageAndTextCell.h"
#include "Comm/NewOutlineView.h"
#include "Comm/OVNSTableView.h"
#include "Comm/OVProgressView.h"
#include "Comm/RFOverlayScrollView.h"
#include "Comm/RFOverlayScroller.h"
#include "Comm/TextImageButton.h"
#include "Comm/getColor.h"
#include "UiTest.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/OutlineView.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Rect;
using uitest::UiTest;

// A named image, or a plain drawn stand-in when the bundle has none.
std::shared_ptr<kit::Image> imageOr(const std::string& name, kit::Size size, kit::Color color) {
    if (auto img = kit::Image::named(name)) return img;
    auto img = kit::Image::withSize(size);
    img->drawInto([&] {
        color.setFill();
        kit::BezierPath::roundedRect(Rect(1, 1, size.width - 2, size.height - 2), 3, 3).fill();
    });
    return img;
}

std::shared_ptr<kit::TextField> label(const std::string& text, Rect frame, double size, kit::Color color) {
    auto t = kit::TextField::label(text, frame);
    t->setFont(kit::Font::systemFont(size));
    t->setTextColor(color);
    return t;
}

// ---- the Disk Manager's rows ----

struct Volume {
    std::string name, type, icon;
    double usedPercent;
    std::string sizes;
};

// A row card: white, or faintly blue when selected, with the volume's icon,
// name, type, sizes, usage bar and, on the selected row, its buttons.
class VolumeRowView : public kit::TableCellView {
public:
    explicit VolumeRowView(const Rect& f = Rect(0, 0, 712, 56)) : kit::TableCellView(f) {
        icon_ = std::make_shared<kit::ImageView>(Rect(24, 8, 32, 32));
        addSubview(icon_);
        name_ = label("", Rect(68, 6, 220, 18), 14, getColor(38, 52, 76, 1));
        addSubview(name_);
        type_ = label("", Rect(68, 27, 110, 16), 11, getColor(79, 79, 98, 1));
        addSubview(type_);
        size_ = label("", Rect(150, 27, 150, 16), 11, getColor(79, 79, 98, 1));
        addSubview(size_);
        bar_ = std::make_shared<OVProgressView>(Rect(300, 13, 160, 22));
        bar_->bgProgress()->setFrameSize(kit::Size{160, 22});
        addSubview(bar_);
        double x = 476;
        for (const char* title : {"Rename", "Format", "Eject"}) {
            auto b = std::make_shared<TextImageButton>(Rect(x, 12, 72, 24));
            b->setImageFromFileNormalName("btn_tool", "btn_tool_press", "btn_tool_hover", "btn_tool");
            b->setTextWithName(title);
            buttons_.push_back(b);
            addSubview(b);
            x += 78;
        }
    }
    void show(const Volume& v, bool selected) {
        selected_ = selected;
        icon_->setImage(imageOr(selected ? v.icon + "_sel" : v.icon, kit::Size{32, 32}, getColor(0, 113, 255, 1)));
        name_->setStringValue(v.name);
        type_->setStringValue(v.type);
        size_->setStringValue(v.sizes);
        bar_->changeProgressValue(float(v.usedPercent));
        for (auto& b : buttons_) b->setHidden(!selected);
        setNeedsDisplay();
    }
    void drawRect(const Rect&) override {
        (selected_ ? getColor(0, 113, 255, 0.08f) : getColor(255, 255, 255, 1)).setFill();
        kit::BezierPath::roundedRect(Rect(8, 0, 696, 48), 8, 8).fill();
    }

private:
    bool selected_ = false;
    std::shared_ptr<kit::ImageView> icon_;
    std::shared_ptr<kit::TextField> name_, type_, size_;
    std::shared_ptr<OVProgressView> bar_;
    std::vector<std::shared_ptr<TextImageButton>> buttons_;
};

struct VolumeTable : kit::TableViewDataSource, kit::TableViewDelegate {
    std::vector<Volume> volumes;
    long numberOfRowsInTableView(kit::TableView&) override { return long(volumes.size()); }
    std::shared_ptr<kit::View> viewForTableColumn(kit::TableView& t, kit::TableColumn* c, long row) override {
        if (c->identifier() != "Name" || row >= long(volumes.size())) return nullptr;
        auto v = t.makeViewWithIdentifier("Name");
        auto* custom = dynamic_cast<CustomTableView*>(&t);
        if (auto* rv = dynamic_cast<VolumeRowView*>(v.get()))
            rv->show(volumes[size_t(row)], custom && custom->rowNum() == row);
        return v;
    }
    bool shouldSelectRow(kit::TableView& t, long row) override {
        if (auto* custom = dynamic_cast<CustomTableView*>(&t)) custom->setSelectNum(int(row));
        t.reloadData();
        return true;
    }
};

TEST_F(UiTest, GalleryDiskManagerTable) {
    auto w = std::make_shared<kit::Window>(Rect(20, 20, 740, 260), kit::BorderlessWindowMask);
    w->setBackgroundColor(getColor(244, 246, 250, 1));
    auto sv = std::make_shared<RFOverlayScrollView>(Rect(10, 10, 720, 240));
    sv->setHasVerticalScroller(true);
    sv->setVerticalScroller(std::make_shared<RFOverlayScroller>());
    sv->setDrawsBackground(true);
    sv->setBackgroundColor(getColor(244, 246, 250, 1));
    auto table = std::make_shared<CustomTableView>(Rect(0, 0, 720, 240));
    auto col = std::make_shared<kit::TableColumn>("Name");
    col->setTitle("Volumes");
    col->setWidth(712);
    table->addTableColumn(col);
    table->_setupHeaderCell();
    table->setRowHeight(56);
    table->setIntercellSpacing(kit::Size{0, 0});
    table->setBackgroundColor(getColor(244, 246, 250, 1));
    table->registerViewFactoryForIdentifier([] { return std::make_shared<VolumeRowView>(); }, "Name");
    VolumeTable model;
    model.volumes = {{"Macintosh HD - Data", "APFS", "ic_os", 62.5, "312.50 GB/500.07 GB"},
                     {"Backup", "HFS+", "ic_disk", 24, "240.00 GB/1.00 TB"},
                     {"USB Stick", "ExFAT", "ic_usb", 81, "25.92 GB/32.01 GB"}};
    table->setDataSource(&model);
    table->setDelegate(&model);
    sv->setDocumentView(table);
    sv->awakeFromNib();
    w->contentView()->addSubview(sv);
    w->orderFront();
    table->reloadData();
    // The user picks the second volume.
    uitest::send(*w, kit::EventType::LeftMouseDown, table->convertPointToView(kit::Point{40, 56 + 28}, nullptr));
    ASSERT_EQ(table->rowNum(), 1);
    EXPECT_EQ(table->viewCountForTesting(), 3u);
    kit::Bitmap bm = kit::renderWindow(*w);
    EXPECT_TRUE(bm.savePNG(uitest::renderDir() + "/table-diskmanager.png"));
}

// ---- the file-choice outline ----

struct File {
    std::string name;
    bool folder = false;
    bool system = false;
    int state = 1;   // 0 off, 1 on, 2 some
    uint64_t size = 0;
    std::string path;
    std::vector<std::shared_ptr<File>> children;
};

std::shared_ptr<File> file(const std::string& name, int state, uint64_t size, const std::string& path) {
    auto f = std::make_shared<File>();
    f->name = name;
    f->state = state;
    f->size = size;
    f->path = path;
    return f;
}

std::shared_ptr<File> folder(const std::string& name, int state, const std::string& path,
                             std::vector<std::shared_ptr<File>> children = {}) {
    auto f = file(name, state, 0, path);
    f->folder = true;
    f->children = std::move(children);
    return f;
}

struct FileTree : kit::OutlineViewDataSource, kit::OutlineViewDelegate {
    std::vector<std::shared_ptr<File>> roots;
    static File& of(const kit::OutlineItem& i) { return *std::static_pointer_cast<File>(i); }
    long numberOfChildrenOfItem(kit::OutlineView&, const kit::OutlineItem& item) override {
        return long(item ? of(item).children.size() : roots.size());
    }
    kit::OutlineItem child(kit::OutlineView&, long i, const kit::OutlineItem& item) override {
        auto& list = item ? of(item).children : roots;
        return i < long(list.size()) ? list[size_t(i)] : nullptr;
    }
    bool isItemExpandable(kit::OutlineView&, const kit::OutlineItem& item) override { return of(item).folder; }
    kit::Value objectValueForTableColumn(kit::OutlineView&, kit::TableColumn* c, const kit::OutlineItem& item) override {
        File& f = of(item);
        if (c->identifier() == "Name") return kit::Value(f.name);
        if (c->identifier() == "Size") {
            if (f.folder) return kit::Value("-");
            char buf[32];
            std::snprintf(buf, sizeof buf, f.size >= 1000000 ? "%0.2f MB" : "%0.2f KB",
                          f.size >= 1000000 ? f.size / 1e6 : f.size / 1e3);
            return kit::Value(std::string(buf));
        }
        if (c->identifier() == "Path") return kit::Value(f.path);
        return kit::Value();
    }
    void willDisplayCell(kit::OutlineView&, kit::Cell& cell, kit::TableColumn* c, const kit::OutlineItem& item) override {
        File& f = of(item);
        if (c->identifier() == "CheckBox") {
            static const char* names[] = {"checkbox_unsel", "checkbox_sel", "checkbox_halfsel"};
            // A system file has no check box at all.
            static_cast<kit::ButtonCell&>(cell).setTransparent(f.system);
            cell.setEditable(!f.system);
            cell.setImage(f.system ? nullptr : kit::Image::named(names[f.state]));
            cell.setState(f.state == 1 ? kit::CellState::On : f.state == 2 ? kit::CellState::Mixed : kit::CellState::Off);
            cell.setEnabled(!f.system);
        } else if (c->identifier() == "Name") {
            cell.setImage(imageOr(f.folder ? "ic_folder" : "ic_file", kit::Size{18, 18},
                                  f.folder ? getColor(111, 168, 255, 1) : getColor(200, 205, 215, 1)));
            static_cast<kit::TextFieldCell&>(cell).setTextColor(getColor(79, 79, 98, 1));
        } else {
            static_cast<kit::TextFieldCell&>(cell).setTextColor(getColor(79, 79, 98, 1));
        }
    }
};

TEST_F(UiTest, GalleryFileChoiceOutline) {
    auto w = std::make_shared<kit::Window>(Rect(20, 20, 740, 300), kit::BorderlessWindowMask);
    w->setBackgroundColor(getColor(255, 255, 255, 1));
    auto sv = std::make_shared<RFOverlayScrollView>(Rect(10, 10, 720, 280));
    sv->setHasVerticalScroller(true);
    sv->setVerticalScroller(std::make_shared<RFOverlayScroller>());
    auto ov = std::make_shared<NewOutlineView>(Rect(0, 0, 720, 280));
    struct Col { const char* id; const char* title; double width; };
    for (Col c : {Col{"CheckBox", "", 30}, Col{"Name", "Name", 250}, Col{"Size", "Size", 90}, Col{"Path", "Path", 330}}) {
        auto col = std::make_shared<kit::TableColumn>(c.id);
        col->setTitle(c.title);
        col->setWidth(c.width);
        if (std::string(c.id) == "CheckBox") col->setDataCell(std::make_shared<kit::CheckBoxCell>());
        if (std::string(c.id) == "Name") col->setDataCell(std::make_shared<ImageAndTextCell>());
        ov->addTableColumn(col);
    }
    ov->setOutlineTableColumn(ov->tableColumns()[1].get());
    ov->_setupHeaderCell();
    ov->setRowHeight(24);
    ov->setIntercellSpacing(kit::Size{0, 2});
    FileTree tree;
    auto projects = folder("Projects", 2, "/Volumes/Data/Projects",
                           {file("plan.numbers", 1, 245000, "/Volumes/Data/Projects/plan.numbers"),
                            folder("Photos", 0, "/Volumes/Data/Projects/Photos"),
                            file("notes.txt", 0, 1200, "/Volumes/Data/Projects/notes.txt")});
    auto system = file(".VolumeIcon.icns", 0, 52000, "/Volumes/Data/.VolumeIcon.icns");
    system->system = true;
    tree.roots = {projects, folder("Documents", 1, "/Volumes/Data/Documents"),
                  folder("Music", 0, "/Volumes/Data/Music"),
                  file("Budget 2024.xlsx", 1, 3400000, "/Volumes/Data/Budget 2024.xlsx"), system};
    ov->setDataSource(&tree);
    ov->setDelegate(&tree);
    sv->setDocumentView(ov);
    sv->awakeFromNib();
    w->contentView()->addSubview(sv);
    w->orderFront();
    ov->reloadData();
    ov->expandItem(projects);
    ov->setRowNum(2);
    ASSERT_EQ(ov->numberOfRows(), 8);
    kit::Bitmap bm = kit::renderWindow(*w);
    EXPECT_TRUE(bm.savePNG(uitest::renderDir() + "/outline-filechoice.png"));
}

// ---- a long list with the overlay knob ----

struct Names : kit::TableViewDataSource {
    long numberOfRowsInTableView(kit::TableView&) override { return 40; }
    kit::Value objectValueForTableColumn(kit::TableView&, kit::TableColumn*, long row) override {
        return kit::Value("Item " + std::to_string(row + 1) + " of the list");
    }
};

TEST_F(UiTest, GalleryListWithOverlayScroller) {
    auto w = std::make_shared<kit::Window>(Rect(20, 20, 320, 260), kit::BorderlessWindowMask);
    w->setBackgroundColor(getColor(255, 255, 255, 1));
    auto sv = std::make_shared<RFOverlayScrollView>(Rect(10, 10, 300, 240));
    sv->setHasVerticalScroller(true);
    auto scroller = std::make_shared<RFOverlayScroller>();
    sv->setVerticalScroller(scroller);
    auto table = std::make_shared<OVNSTableView>(Rect(0, 0, 300, 240));
    auto col = std::make_shared<kit::TableColumn>("Name");
    col->setTitle("Files");
    table->addTableColumn(col);
    table->_setupHeaderCell();
    table->setUsesAlternatingRowBackgroundColors(true);
    Names names;
    table->setDataSource(&names);
    sv->setDocumentView(table);
    sv->awakeFromNib();
    w->contentView()->addSubview(sv);
    w->orderFront();
    table->reloadData();
    sv->scrollPoint(kit::Point{0, 230});
    scroller->setAlphaValue(1.0);   // as when the pointer is over it
    EXPECT_EQ(scroller->frame(), Rect(300 - 15, 20, 15, 240 - 20));
    kit::Bitmap bm = kit::renderWindow(*w);
    EXPECT_TRUE(bm.savePNG(uitest::renderDir() + "/list-overlay-scroller.png"));
}

}  // namespace
