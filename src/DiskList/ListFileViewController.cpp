#include "DiskList/ListFileViewController.h"

#include <algorithm>

#include "Comm/ImageAndTextCell.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/Dispatch.h"
#include "kit/System.h"
#include "kit/ui/Image.h"
#include "kit/ui/TableCells.h"
#include "kit/ui/TableView.h"
#include "kit/ui/Window.h"

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const kit::Color& listTextColor() {
    static const kit::Color c = getColor(79, 79, 98, 1);
    return c;
}

}  // namespace

ListFileViewController::ListFileViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("outlineView", outlineView_);
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("doneButton", doneButton_);
    declareOutlet("refeshButton", refeshButton_);
    declareOutlet("donotCopyTrashButton", donotCopyTrashButton_);
    declareOutlet("waitView", waitView_);
    declareOutlet("loadProView", loadProView_);
    declareOutlet("listView", listView_);
    declareOutlet("aLoadView", aLoadView_);
    registerAction("refreshButtonAction:", [this](kit::Object* s) { refreshButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("setAllSelectOrNoSelect:", [this](kit::Object* s) { setAllSelectOrNoSelect(s); });
}

ListFileViewController::~ListFileViewController() {
    if (sortTimer_) sortTimer_->invalidate();
    if (counter_) counter_->setDelegate(nullptr);
    if (controller_) controller_->setADelegate(nullptr);
    if (outlineView_) {
        outlineView_->setDataSource(nullptr);
        outlineView_->setDelegate(nullptr);
    }
}

void ListFileViewController::awakeFromNib() {
    if (cancelButton_) {
        cancelButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        cancelButton_->setButtonEnabled(true);
    }
    if (doneButton_) {
        doneButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        doneButton_->setButtonEnabled(true);
        doneButton_->setTextWithName("Done");
    }
    if (refeshButton_) {
        refeshButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        refeshButton_->setButtonEnabled(true);
        refeshButton_->setTextWithName("Refresh");
    }
    controller_ = std::make_unique<Controller>();
    controller_->setADelegate(this);
    if (outlineView_) {
        outlineView_->setDataSource(this);
        outlineView_->setDelegate(this);
        if (kit::TableColumn* box = outlineView_->tableColumnWithIdentifier("CheckBox")) selectButton_ = box->dataCell();
        // A text longer than its column shows an ellipsis within the column.
        // Names and paths are cut in the middle: the end of a path (and a
        // name's number or extension) is what tells rows apart.
        for (const char* id : {"Name", "Size", "Path"})
            if (kit::TableColumn* column = outlineView_->tableColumnWithIdentifier(id))
                if (auto* text = dynamic_cast<kit::TextFieldCell*>(column->dataCell()))
                    text->setLineBreakMode(std::string(id) == "Size" ? kit::LineBreakMode::TruncatingTail
                                                                     : kit::LineBreakMode::TruncatingMiddle);
        if (kit::TableColumn* reveal = outlineView_->tableColumnWithIdentifier("OpenFinder")) {
            // An icon that reveals the row's item in the file manager.
            auto cell = std::make_shared<kit::ButtonCell>();
            cell->setBordered(false);
            cell->setImage(kit::Image::named("ic_search"));
            cell->setImagePosition(kit::ImagePosition::ImageOnly);
            reveal->setDataCell(cell);
        }
        outlineView_->setHeaderView(headerView());
    }
}

std::shared_ptr<kit::View> ListFileViewController::headerView() {
    selectAllButSt_ = 0;
    auto header = std::make_shared<kit::TableHeaderView>(kit::Rect(0, 0, 800, 30));
    auto box = std::make_shared<kit::Button>(kit::Rect(20, 8, 14, 14));
    box->setButtonType(kit::ButtonType::Switch);
    box->setTitle("");
    box->setImage(kit::Image::named("checkbox_unsel"));
    box->setImagePosition(kit::ImagePosition::ImageOnly);
    box->setBezelStyle(kit::BezelStyle::Rounded);
    box->setBordered(false);
    box->setTarget(this);
    box->setAction("setAllSelectOrNoSelect:");
    header->addSubview(box);
    selectAllButton_ = box;
    return header;
}

// ---- filling the list ----

void ListFileViewController::getRootNodeListWithPath(const std::string& path) {
    if (refeshButton_) refeshButton_->setButtonEnabled(false);
    if (doneButton_) doneButton_->setButtonEnabled(false);
    searchPath_ = Controller::listPathForPath(path);
    showDetailPage();
    if (rootNodeArr_) rootNodeArr_->clear();
    else rootNodeArr_ = makeFileNodeArray();
    if (outlineView_) outlineView_->reloadData();
    controller_->eumeAllRootFileNodeWithRootArr(rootNodeArr_, searchPath_, false, false);
    selectAllButSt_ = 1;
    // "Done" waits for the listing's end: a list still growing is no choice.
    setSelectAllImage("checkbox_sel");
}

void ListFileViewController::showDetailPage() {
    isScan_ = true;
    if (sortTimer_) sortTimer_->invalidate();
    kit::Weak<ListFileViewController> self(this);
    sortTimer_ = kit::Timer::scheduled(1.0, true, lifetime(), [self](kit::Timer&) {
        if (self) self->reloadTreeList();
    });
}

void ListFileViewController::setArrForListWithArr(const FileNodeArray& arr, const std::string& withSearchPath) {
    searchPath_ = Controller::listPathForPath(withSearchPath);
    rootNodeArr_ = arr ? arr : makeFileNodeArray();
    // Kept to be put back if the window closes without a choice. The folders
    // show closed, so their open flags start off.
    savedTop_ = *rootNodeArr_;
    saved_.clear();
    std::vector<FileNode::Ptr> pending(rootNodeArr_->begin(), rootNodeArr_->end());
    while (!pending.empty()) {
        FileNode::Ptr n = pending.back();
        pending.pop_back();
        if (!n) continue;
        saved_.push_back(Saved{n, n->state(), n->isExpand(), n->children()});
        n->setIsExpand(false);
        pending.insert(pending.end(), n->children().begin(), n->children().end());
    }
    if (outlineView_) outlineView_->reloadData();
    changeSelectAllButtonState();
}

void ListFileViewController::refreshButtonAction(kit::Object*) {
    if (isScan_ || counting_) return;
    getRootNodeListWithPath(searchPath_);
}

// ---- the hand-back ----

void ListFileViewController::doneButtonAction(kit::Object*) {
    if (counting_ || isScan_) return;
    counting_ = true;
    doShowLoadView();
    if (detagate_) detagate_->getSelectFilesSize(true);
    if (controller_->isListingChildren()) countPending_ = true;
    else startCount();
}

void ListFileViewController::startCount() {
    countPending_ = false;
    counter_ = std::make_unique<GetFilesSize>();
    counter_->setDelegate(this);
    counter_->getAllFilesSizeWithArr(rootNodeArr_ ? *rootNodeArr_ : FileNodeList());
}

void ListFileViewController::doShowLoadView() {
    if (waitView_) waitView_->setHidden(false);
    if (loadProView_) loadProView_->startAnimation();
    if (refeshButton_) refeshButton_->setButtonEnabled(false);
    if (doneButton_) doneButton_->setButtonEnabled(false);
}

void ListFileViewController::doHiddenLoadView() {
    if (waitView_) waitView_->setHidden(true);
    if (loadProView_) loadProView_->stopAnimation();
    if (refeshButton_) refeshButton_->setButtonEnabled(true);
    if (doneButton_) doneButton_->setButtonEnabled(true);
}

void ListFileViewController::allCopyFilesSize(int64_t size) {
    // The window and the screen live on the main thread: the choice goes
    // there, to a list that still exists.
    kit::Weak<ListFileViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, size] {
        ListFileViewController* me = self.get();
        if (!me || !me->counting_) return;
        me->doHiddenLoadView();
        me->counting_ = false;
        me->handedBack_ = true;
        if (me->detagate_) me->detagate_->closeWindowWithSelect(me->rootNodeArr_, size);
    });
}

void ListFileViewController::cancelButtonAction(kit::Object*) {
    if (counting_) return;
    if (kit::View* v = view())
        if (kit::Window* w = v->window()) w->performClose(this);
}

void ListFileViewController::windowWillClose() {
    stopListing();
    if (controller_) controller_->stopScan();
    if (handedBack_ || !savedTop_) return;
    // No choice made: the screen's nodes go back to how it handed them in,
    // so they agree with the size and texts it shows.
    if (rootNodeArr_) *rootNodeArr_ = *savedTop_;
    for (const Saved& s : saved_) {
        s.node->setState(s.state);
        s.node->setIsExpand(s.isExpand);
        s.node->setChildren(s.children);
    }
    savedTop_.reset();
    saved_.clear();
}

void ListFileViewController::stopListing() {
    isScan_ = false;
    if (sortTimer_) sortTimer_->invalidate();
    sortTimer_.reset();
}

// ---- redraws and the select-all box ----

void ListFileViewController::reloadTreeList() {
    if (outlineView_) outlineView_->reloadData();
    if (isScan_ && controller_->getProgress() >= 100) {
        stopListing();
        if (refeshButton_) refeshButton_->setButtonEnabled(true);
        if (doneButton_) doneButton_->setButtonEnabled(true);
    }
    if (countPending_ && !controller_->isListingChildren()) startCount();
}

void ListFileViewController::changeSelectAllButtonState() {
    bool all = rootNodeArr_ && !rootNodeArr_->empty(), some = false;
    if (rootNodeArr_) {
        for (const FileNode::Ptr& n : *rootNodeArr_) {
            if (n->state() != FileNodeSelectStateOn) all = false;
            if (n->state() == FileNodeSelectStateOn || n->state() == FileNodeSelectStateMixed) some = true;
        }
    }
    if (all) {
        setSelectAllImage("checkbox_sel");
        selectAllButSt_ = 1;
    } else if (some) {
        setSelectAllImage("checkbox_halfsel");
        selectAllButSt_ = 2;
    } else {
        setSelectAllImage("checkbox_unsel");
        selectAllButSt_ = 0;
    }
}

void ListFileViewController::setSelectAllImage(const char* name) {
    if (selectAllButton_) selectAllButton_->setImage(kit::Image::named(name));
}

void ListFileViewController::setAllSelectOrNoSelect(kit::Object*) {
    if (isScan_ || counting_) return;
    if (selectAllButSt_ == 1) {
        setSelectAllImage("checkbox_unsel");
        changeSelectAllFiles(false);
        selectAllButSt_ = 0;
    } else {
        setSelectAllImage("checkbox_sel");
        changeSelectAllFiles(true);
        selectAllButSt_ = 1;
    }
}

void ListFileViewController::changeSelectAllFiles(bool select) {
    if (rootNodeArr_) {
        for (const FileNode::Ptr& n : *rootNodeArr_) {
            n->setState(select ? FileNodeSelectStateOn : FileNodeSelectStateOff);
            changeNodeState(n);
        }
    }
    if (outlineView_) outlineView_->reloadData();
}

void ListFileViewController::changeNodeState(const FileNode::Ptr& node) {
    if (!node || !node->isExpand()) return;
    for (const FileNode::Ptr& child : node->children()) {
        child->setState(node->state());
        changeNodeState(child);
    }
}

// ---- the outline ----

long ListFileViewController::numberOfChildrenOfItem(kit::OutlineView&, const kit::OutlineItem& item) {
    if (!item) return rootNodeArr_ ? static_cast<long>(rootNodeArr_->size()) : 0;
    return static_cast<long>(nodeOf(item)->children().size());
}

kit::OutlineItem ListFileViewController::child(kit::OutlineView&, long index, const kit::OutlineItem& item) {
    const FileNodeList* list = item ? &nodeOf(item)->children() : rootNodeArr_.get();
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list->size()) return nullptr;
    const FileNode::Ptr& n = (*list)[static_cast<std::size_t>(index)];
    if (!n) kit::systemLog("-------Error children");
    return n;
}

bool ListFileViewController::isItemExpandable(kit::OutlineView&, const kit::OutlineItem& item) {
    if (!item) return false;
    FileNode::Ptr n = nodeOf(item);
    return n->isDirectory() && !endsWith(n->name(), ".app") && !endsWith(n->name(), ".framework");
}

kit::Value ListFileViewController::objectValueForTableColumn(kit::OutlineView&, kit::TableColumn* column,
                                                             const kit::OutlineItem& item) {
    if (!item || !column) return kit::Value();
    FileNode::Ptr n = nodeOf(item);
    const std::string& id = column->identifier();
    if (id == "Name") return kit::Value(n->displayName());
    if (id == "Size") return kit::Value(n->isDirectory() ? std::string("-") : OVPublicUtilities::convertVolSpace(n->size()));
    if (id == "Path") return kit::Value(n->path());
    return kit::Value();
}

void ListFileViewController::willDisplayCell(kit::OutlineView&, kit::Cell& cell, kit::TableColumn* column,
                                             const kit::OutlineItem& item) {
    if (!item || !column) return;
    FileNode::Ptr n = nodeOf(item);
    const std::string& id = column->identifier();
    if (id == "CheckBox") {
        auto* box = dynamic_cast<kit::ButtonCell*>(&cell);
        if (!box) return;
        if (n->isSystemFile()) {
            // The system's own files can't be chosen: no check box at all.
            box->setEditable(false);
            box->setImage(nullptr);
            box->setTransparent(true);
        } else {
            box->setEditable(true);
            box->setTransparent(false);
            const char* name = n->state() == FileNodeSelectStateOn      ? "checkbox_sel"
                               : n->state() == FileNodeSelectStateOff   ? "checkbox_unsel"
                                                                        : "checkbox_halfsel";
            box->setImage(kit::Image::named(name));
        }
    } else if (id == "Name") {
        cell.setImage(kit::Image::named(n->icon()));
        if (auto* text = dynamic_cast<kit::TextFieldCell*>(&cell)) text->setTextColor(listTextColor());
    } else if (id == "Size" || id == "Path") {
        if (auto* text = dynamic_cast<kit::TextFieldCell*>(&cell)) text->setTextColor(listTextColor());
    }
}

void ListFileViewController::setObjectValue(kit::OutlineView&, const kit::Value&, kit::TableColumn* column,
                                            const kit::OutlineItem& item) {
    if (!item || !column) return;
    FileNode::Ptr n = nodeOf(item);
    const std::string& id = column->identifier();
    if (id == "CheckBox") {
        if (isScan_ || counting_) return;
        const int64_t next = n->state() == FileNodeSelectStateOn ? FileNodeSelectStateOff : FileNodeSelectStateOn;
        n->setState(next);
        if (n->isExpand()) controller_->changeSelectWithNode(n, next);
        controller_->changeFatherNodeSelectStateWithFileNode(n, next);
    } else if (id == "OpenFinder") {
        controller_->openFileWithFileNode(n);
    }
}

bool ListFileViewController::shouldSelectItem(kit::OutlineView& ov, const kit::OutlineItem& item) {
    selectedRow_ = ov.rowForItem(item);
    if (outlineView_) {
        outlineView_->setRowNum(selectedRow_);
        outlineView_->setNeedsDisplay(true);
    }
    return true;
}

void ListFileViewController::itemDidExpand(kit::OutlineView&, const kit::OutlineItem& item) {
    selectedRow_ = -1;
    if (outlineView_) outlineView_->setRowNum(-1);
    if (!item) return;
    FileNode::Ptr n = nodeOf(item);
    n->setIsExpand(true);
    if (n->children().empty()) controller_->getNodeListWithFaterNode(n);
    else if (n->state() != FileNodeSelectStateMixed) controller_->changeSelectWithNode(n, n->state());
}

void ListFileViewController::itemDidCollapse(kit::OutlineView&, const kit::OutlineItem& item) {
    selectedRow_ = -1;
    if (outlineView_) outlineView_->setRowNum(-1);
    if (item) nodeOf(item)->setIsExpand(false);
}

kit::Color ListFileViewController::getFileColor(const FileNode::Ptr& node) {
    const uint64_t size = node ? node->size() : 0;
    if (size >= 1000000000000ULL) return kit::Color::rgb255(255, 0, 0);
    if (size >= 1000000000ULL) return kit::Color::rgb255(255, 128, 0);
    if (size >= 1000000ULL) return kit::Color(85 / 255.0, 215 / 255.0, 135 / 255.0, 1);
    return kit::Color::white();
}
