#include "ToolWind/TCPreferenceWindowController.h"

#include "Comm/PopWBgView.h"
#include "Comm/TCImageWindow.h"
#include "Comm/WindowChrome.h"
#include "kit/app/Launch.h"
#include "kit/ui/Application.h"
#include "kit/ui/Graphics.h"

namespace {
const char* kProductPageURL = "https://www.pelorin.org/";
}

kit::Rect TCLinkButtonCell::drawTitle(const std::string& title, const kit::TextAttributes& attrs,
                                      const kit::Rect& frame, kit::View& controlView) {
    // Set like the window's labels (left-aligned, a label's inset), so the
    // link lines up with the text above it.
    const kit::Rect room = kit::TextFieldCell().titleRectForBounds(frame);
    kit::TextAttributes left = attrs;
    left.alignment = kit::TextAlignment::Left;
    kit::Rect drawn = kit::ButtonCell::drawTitle(title, left, room, controlView);
    drawn.origin.x = room.x();
    if (underlined_ && !title.empty()) {
        // As long as the text, one point under the baseline.
        double baseline = frame.y() + (frame.height() - attrs.font.lineHeight()) / 2 + attrs.font.descender();
        bool flipped = controlView.isFlipped();
        double y = flipped ? frame.maxY() - baseline + frame.y() + 1 : baseline - 1;
        attrs.color.set();
        kit::BezierPath line;
        line.moveTo(kit::Point{drawn.x(), y});
        line.lineTo(kit::Point{drawn.maxX(), y});
        line.setLineWidth(1.0);
        line.stroke();
    }
    return drawn;
}

TCPreferenceWindowController::TCPreferenceWindowController(const std::string& layoutName)
    : kit::WindowController(layoutName) {
    declareOutlet("window", window_);
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("name", name_);
    declareOutlet("verson", verson_);
    declareOutlet("Introduction", Introduction_);
    declareOutlet("copyright", copyright_);
    declareOutlet("emilLine", emilLine_);
    declareOutlet("webLine", webLine_);
    declareOutlet("linkButton", linkButton_);
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
    registerAction("linkButtonAction", [this](kit::Object* s) { linkButtonAction(s); });
}

TCPreferenceWindowController::~TCPreferenceWindowController() = default;

void TCPreferenceWindowController::awakeFromNib() {
    if (!window_) return;
    window_->setBackgroundColor(kit::Color::clear());
    window_->setMovableByWindowBackground(true);
}

void TCPreferenceWindowController::windowDidLoad() {
    if (window_) routeCloseButton(*window_, this);
    aWindow_ = dynamic_cast<TCImageWindow*>(window_.get());
    if (aWindow_) titleBarView_ = dressPopUpTitleBar(*aWindow_, 650);
    if (window_) {
        window_->center();
        window_->setMovableByWindowBackground(true);
    }
    setAboutLink();
    if (linkButton_) {
        linkButton_->setTarget(this);
        linkButton_->setAction("linkButtonAction");
    }
}

void TCPreferenceWindowController::setAboutLink() {
    if (!linkButton_) return;
    std::string title = linkButton_->title();
    auto cell = std::make_shared<TCLinkButtonCell>();
    if (kit::ButtonCell* old = linkButton_->buttonCell()) {
        cell->setBordered(old->isBordered());
        cell->setBezelStyle(old->bezelStyle());
    }
    linkButton_->setCell(cell);
    linkButton_->setTitle(title);
    linkButton_->setFont(kit::Font::fontWithName("Helvetica Light", 14));
    cell->setTitleColor(kit::Color::rgb255(65, 98, 255, 1));
    cell->setUnderlined(true);
}

void TCPreferenceWindowController::linkButtonAction(kit::Object*) { kit::openURL(kProductPageURL); }

void TCPreferenceWindowController::closeWindow(kit::Object*) {
    if (window_) window_->close();
    kit::Application::shared().stopModal();
}
