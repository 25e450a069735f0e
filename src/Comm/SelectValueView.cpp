#include "Comm/SelectValueView.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "kit/ui/View.h"

SelectValueView::SelectValueView() : ViewController("SelectValueView") {
    declareOutlet("proSizeView", proSizeView_);
    declareOutlet("nameLabel", nameLabel_);
    declareOutlet("sizeLabel", sizeLabel_);
    declareOutlet("nodeSelectLabel", nodeSelectLabel_);
    declareOutlet("selectDiskBut", selectDiskBut_);
    declareOutlet("closeDisk", closeDisk_);
    declareOutlet("dragVie", dragVie_);
    declareOutlet("bgImageView", bgImageView_);
    declareOutlet("nameButton", nameButton_);
    registerAction("selectDiskButton:", [this](kit::Object* s) { selectDiskButton(s); });
    registerAction("openMenuButtonAction:", [this](kit::Object* s) { openMenuButtonAction(s); });
    registerAction("closeDiskValue:", [this](kit::Object* s) { closeDiskValue(s); });
    registerAction("selectFileButtonAction:", [this](kit::Object* s) { selectFileButtonAction(s); });
}

void SelectValueView::awakeFromNib() {
    isCanSelect_ = true;
    isHaveD_ = false;
    mouseInSelectBgView(false);
    root_ = std::dynamic_pointer_cast<SelectBgView>(viewPtr());
    if (root_) root_->setDelegate(this);
    dragVie_->setDelegate(this);
    closeDisk_->setEnabled(true);
    closeDisk_->setImageFromFileNormalName("ic_close", "ic_close_press", "ic_close_hover", "ic_close");
    selectDiskBut_->setTarget(this);
    selectDiskBut_->setAction("selectDiskButton:");
}

void SelectValueView::showBackground(const char* name) {
    if (bgImageView_) bgImageView_->setImageNamed(name);
}

void SelectValueView::selectDiskButton(kit::Object* sender) {
    if (!isCanSelect_) return;
    if (SelectValueViewDelegate* d = delegate_.get()) d->selectDiskButton(diskFrom_, dynamic_cast<kit::View*>(sender));
}

void SelectValueView::mouseDownAction() {
    if (!isCanSelect_) return;
    if (SelectValueViewDelegate* d = delegate_.get()) d->selectDiskButton(diskFrom_, selectDiskBut_.get());
}

void SelectValueView::closeDiskValue(kit::Object*) {
    if (!isCanSelect_) return;
    if (SelectValueViewDelegate* d = delegate_.get()) d->closeDiskValue(diskFrom_);
}

void SelectValueView::viewDragAction(const std::vector<std::string>& paths) {
    if (!isCanSelect_) return;
    std::vector<FileNode::Ptr> nodes = eumeArr(paths);
    if (SelectValueViewDelegate* d = delegate_.get()) d->viewDragAction(nodes);
}

void SelectValueView::selectFileButtonAction(kit::Object* sender) {
    if (SelectValueViewDelegate* d = delegate_.get()) d->selectFileButtonAction(sender);
}

void SelectValueView::mouseInSelectBgView(bool inside) {
    if (!isCanSelect_ || isHaveD_) return;
    showBackground(inside ? "source_hover" : "source");
}

void SelectValueView::changeBgImageViewWithError(bool error) {
    if (!isCanSelect_) return;
    if (error) showBackground("source_sel_error");
    else showBackground(isHaveD_ ? "source_sel" : "source");
}

void SelectValueView::setOpenIconP() {
    const double w = nameLabel_->font().sizeOfString(nameLabel_->stringValue()).width;
    if (imageView_) {
        imageView_->setFrameOrigin(kit::Point{(272 - w) / 2 + w + 3, 70});
        return;
    }
    imageView_ = std::make_shared<kit::ImageView>(kit::Rect(200, 39, 12, 12));
    imageView_->setImageNamed("ic_open");
    if (kit::View* card = view()) card->addSubview(imageView_);
}

std::vector<FileNode::Ptr> SelectValueView::eumeArr(const std::vector<std::string>& paths) const {
    static const std::array<const char*, 8> skipped = {".DS_Store", ".Trashes", ".Trash", ".vol",
                                                       ".fseventsd", ".Spotlight-V100", ".Volumes", ".Volume"};
    std::vector<FileNode::Ptr> nodes;
    for (std::string path : paths) {
        // A folder given as "/a/b/" is the folder "b", not a nameless item.
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const size_t slash = path.rfind('/');
        const std::string name = (slash == std::string::npos || path == "/") ? path : path.substr(slash + 1);
        if (std::any_of(skipped.begin(), skipped.end(), [&](const char* s) { return name == s; })) continue;
        std::error_code ec;
        const bool isDirectory = std::filesystem::is_directory(path, ec);
        FileNode::Ptr node = FileNode::initWithPath(path, name, isDirectory, nullptr);
        node->setSize(isDirectory ? 0 : getOneFileSizeWithPath(path));
        nodes.push_back(node);
    }
    return nodes;
}

uint64_t SelectValueView::getOneFileSizeWithPath(const std::string& path) {
    auto ref = fsrefWithString(path);
    if (!ref) return 0;
    std::error_code ec;
    // A link is not followed: only a regular file has a length here.
    const auto status = std::filesystem::symlink_status(*ref, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return 0;
    const uintmax_t size = std::filesystem::file_size(*ref, ec);
    return ec ? 0 : uint64_t(size);
}

std::optional<std::filesystem::path> SelectValueView::fsrefWithString(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::error_code ec;
    std::filesystem::path p(path);
    if (!std::filesystem::exists(std::filesystem::symlink_status(p, ec)) || ec) return std::nullopt;
    return p;
}
