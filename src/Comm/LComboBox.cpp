#include "Comm/LComboBox.h"

#include "Comm/CommClasses.h"

LComboBox::LComboBox(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("strLabel", strLabel_);
    declareOutlet("openButton", openButton_);
    declareOutlet("searchButton", searchButton_);
    declareOutlet("iconImageView", iconImageView_);
    registerAction("openMenu", [this](kit::Object*) { openMenu(); });
    registerAction("searchButtonAction:", [this](kit::Object* s) { searchButtonAction(s); });
    registerAction("selectIndex:", [this](kit::Object* s) { selectIndex(s); });
    if (auto* root = dynamic_cast<LComboBoxSubView*>(view())) root->setDelegate(this);
}

void LComboBox::setStrLabelValue(const std::string& text) {
    iconImageView_->setImageNamed("ic_filter");
    strLabel_->setStringValue(text);
    searchButton_->setHidden(true);
    isCanOpen_ = false;
    openButton_->setEnabled(false);
    openButton_->setImageFromFileNormalName("ic_open", "ic_open_press", "ic_open_hover", "ic_open_disable");
    openButton_->setTarget(this);
    openButton_->setAction("openMenu");
}

void LComboBox::setlComboBoxEnde(bool canOpen) {
    isCanOpen_ = canOpen;
    openButton_->setEnabled(canOpen);
}

void LComboBox::doSelect() {
    if (isCanOpen_) openMenu();
}

void LComboBox::openMenu() {
    if (delegate_) delegate_->showSelectAllVC();
}

void LComboBox::searchButtonAction(kit::Object*) {
    if (delegate_) delegate_->doShowSearchView();
}

void LComboBox::changeSelectType(int32_t mode) {
    iconImageView_->setImageNamed("ic_filter");
    if (mode == CopyModeAllFiles) {
        strLabel_->setStringValue("Copy All Files");
        searchButton_->setHidden(true);
        if (delegate_) delegate_->changeSelectCopyType();
    } else {
        strLabel_->setStringValue("Copy Some Files");
        searchButton_->setHidden(false);
    }
}

void LComboBox::selectIndex(kit::Object* sender) {
    if (auto* v = dynamic_cast<kit::View*>(sender)) changeSelectType(int32_t(v->tag()));
}
