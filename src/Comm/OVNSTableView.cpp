#include "Comm/OVNSTableView.h"

#include "Comm/CustomHeaderCell.h"
#include "Comm/getColor.h"
#include "kit/Defaults.h"
#include "kit/Notification.h"

OVNSTableView::OVNSTableView(const kit::Rect& frame) : kit::TableView(frame) {
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void OVNSTableView::awakeFromNib() {
    kit::TableView::awakeFromNib();
    _setupHeaderCell();
    if (headerView()) headerView()->setFrameSize(kHeaderSize);
}

void OVNSTableView::_setupHeaderCell() {
    for (auto& column : tableColumns()) column->setHeaderCell(CustomHeaderCell::initWithCell(*column->headerCell()));
}

void OVNSTableView::keyDown(kit::Event& e) {
    if (e.keyCode == kit::KeyCodeSpace) {
        kit::NotificationCenter::defaultCenter().post(SpacePreviewFileNotification);
        return;
    }
    kit::TableView::keyDown(e);
}

void OVNSTableView::pressureChangeWithEvent(kit::Event& e) {
    if (e.type != kit::EventType::Pressure || e.stage != 2 || isClicking_) return;
    isClicking_ = true;
    kit::NotificationCenter::defaultCenter().post(SpacePreviewFileNotification);
    kit::Event up = e;
    up.type = kit::EventType::LeftMouseUp;
    up.window = nullptr;   // the window may be gone by then
    performAfterDelay(kClickResetDelay, [this, up]() mutable { mouseUp(up); });
}

void OVNSTableView::mouseUp(kit::Event&) { isClicking_ = false; }

double OVNSTableView::getLableHight() {
    std::vector<std::string> languages = kit::UserDefaults::standard().stringArrayForKey("AppleLanguages");
    if (languages.empty()) return 25;
    const std::string& first = languages.front();
    return (first == "de" || first == "fr" || first == "es" || first == "it" || first == "pt-BR") ? 40 : 25;
}

void OVNSTableView::changeNoValue(bool hasValues) {
    if (hasValues) {
        if (noValueView_) noValueView_->removeFromSuperview();
        noValueView_.reset();
        nodeView_.reset();
        return;
    }
    if (noValueView_) return;
    const kit::Rect f = frame();
    const unsigned sizable = kit::ViewWidthSizable | kit::ViewHeightSizable;
    noValueView_ = std::make_shared<kit::View>(f);
    noValueView_->setAutoresizingMask(sizable);
    auto background = std::make_shared<kit::ImageView>(f);
    background->setImageNamed("bg_150");
    background->setImageScaling(kit::ImageScaling::ProportionallyDown);
    background->setAutoresizingMask(sizable);
    noValueView_->addSubview(background);

    nodeView_ = std::make_shared<kit::View>(kit::Rect(f.width() / 2 - 200, f.height() / 2, 400, 50));
    auto arrow = std::make_shared<kit::ImageView>(kit::Rect(0, 0, 82, 39));
    arrow->setImageNamed("arrow");
    arrow->setImageScaling(kit::ImageScaling::ProportionallyDown);
    nodeView_->addSubview(arrow);
    auto label = std::make_shared<kit::TextField>(kit::Rect(82, 0, 420, getLableHight()));
    label->setBezeled(false);
    label->setEditable(false);
    label->setTextColor(kit::Color::gray());
    label->setFont(kit::Font::systemFont(14));
    label->setStringValue(getLocalizedString(std::string()));
    nodeView_->addSubview(label);
    noValueView_->addSubview(nodeView_);
    addSubview(noValueView_);
}

void OVNSTableView::changeFrame() {
    if (!nodeView_) return;
    const kit::Rect f = frame();
    nodeView_->setFrame(kit::Rect(f.width() / 2 - 200, f.height() / 2, 400, 50));
}
