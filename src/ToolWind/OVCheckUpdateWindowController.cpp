#include "ToolWind/OVCheckUpdateWindowController.h"

#include <cctype>
#include <climits>

#include "Comm/PopWBgView.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "Comm/WindowChrome.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "OVLinkUrl.h"
#include "kit/Bundle.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/Net.h"
#include "kit/app/Launch.h"
#include "kit/ui/AppTextMeasure.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/Graphics.h"

namespace {

const char* kProductPageURL = "https://www.pelorin.org/";

// The feature list's frame: a 5-point red border drawn over the scroll view.
class RedBorderView : public kit::View {
public:
    using kit::View::View;
    void drawRect(const kit::Rect&) override {
        kit::Color(1, 0, 0, 1).set();
        kit::BezierPath path = kit::BezierPath::rect(kit::insetRect(bounds(), 2.5, 2.5));
        path.setLineWidth(5.0);
        path.stroke();
    }
    kit::View* hitTest(kit::Point) override { return nullptr; }
};

std::optional<kit::Value> localPrivateData() {
    auto path = kit::Bundle::main().pathForResource("PrivateData", "plist");
    if (!path) return std::nullopt;
    return kit::readPlistFile(*path);
}

}  // namespace

OVCheckUpdateWindowController::OVCheckUpdateWindowController(const std::string& layoutName)
    : kit::WindowController(layoutName) {
    declareOutlet("window", window_);
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("checkProgressView", checkProgressView_);
    declareOutlet("progressBar", progressBar_);
    declareOutlet("noNetworkView", noNetworkView_);
    declareOutlet("noUpdateView", noUpdateView_);
    declareOutlet("haveUpdateView", haveUpdateView_);
    declareOutlet("versionLabel", versionLabel_);
    declareOutlet("changeValueScrollView", changeValueScrollView_);
    declareOutlet("showVersionScrollView", showVersionScrollView_);
    declareOutlet("installButton", installButton_);
    declareOutlet("titleLable", titleLable_);
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
    registerAction("closeWindowAction:", [this](kit::Object* s) { closeWindowAction(s); });
    registerAction("updateClickHereAction:", [this](kit::Object* s) { updateClickHereAction(s); });
}

OVCheckUpdateWindowController::~OVCheckUpdateWindowController() = default;

void OVCheckUpdateWindowController::fadeTo(double alpha) {
    kit::Window* w = window_.get();
    if (!w) return;
    kit::Weak<kit::Object> self(this);
    kit::AnimationContext::runAnimationGroup(
        [&](kit::AnimationContext&) { w->animator().setAlphaValue(alpha); },
        [self, this] {
            if (self) animationDidStop(true);
        },
        this);
}

void OVCheckUpdateWindowController::awakeFromNib() {
    shuttingDown_ = false;
    if (window_ && !window_->isVisible()) {
        window_->setAlphaValue(0);
        fadeTo(1);
    }
    if (window_) {
        window_->setBackgroundColor(kit::Color::clear());
        window_->setMovableByWindowBackground(true);
    }
}

void OVCheckUpdateWindowController::windowDidLoad() {
    aWindow_ = dynamic_cast<TCImageWindow*>(window_.get());
    if (aWindow_) titleBarView_ = dressPopUpTitleBar(*aWindow_, 542);
    if (window_) {
        window_->center();
        window_->setMovableByWindowBackground(true);
    }
    if (changeValueScrollView_) {
        auto border = std::make_shared<RedBorderView>(changeValueScrollView_->bounds());
        border->setAutoresizingMask(kit::ViewWidthSizable | kit::ViewHeightSizable);
        changeValueScrollView_->addSubview(border);
        changeValueScrollView_->scrollToTop();
    }
    if (installButton_) {
        installButton_->setEnabled(true);
        installButton_->setImageFromFileNormalName("btn_l_pril", "btn_l_pril_press", "btn_l_pril_hover",
                                                   "btn_l_pril_disable");
        installButton_->setTextWithName("Install Now");
    }
    if (progressBar_) progressBar_->startAnimation(this);
    if (window_) routeCloseButton(*window_, this);
    // The worker only computes; what it found reaches this controller on the
    // main queue, and not at all once the controller is gone.
    getVersionChange(this, lifetime());
    (void)delegate_;
}

void OVCheckUpdateWindowController::getVersionChange(OVCheckUpdateWindowController* target,
                                                     std::weak_ptr<void> alive) {
    kit::dispatch::async(kit::dispatch::globalQueue(), [target, alive] {
        if (!OVPublicUtilities::isCanBeUseNetWork()) {
            kit::dispatch::async(kit::dispatch::mainQueue(), [target, alive] {
                if (!alive.expired()) target->showNoNetwork();
            });
            return;
        }
        std::optional<kit::Value> remote = fetchVersionList();
        kit::dispatch::async(kit::dispatch::mainQueue(), [target, alive, remote] {
            if (!alive.expired()) target->whatIsNewVersionDiff(remote);
        });
    });
}

std::optional<kit::Value> OVCheckUpdateWindowController::fetchVersionList() {
    auto url = OVLinkUrl::GetUrl("IniURL");
    if (!url) return std::nullopt;
    auto body = kit::fetchUrlSync(*url, kFetchTimeout);
    if (!body) return std::nullopt;
    auto parsed = kit::parsePlist(*body);
    if (!parsed || !parsed->isDict()) return std::nullopt;
    return parsed;
}

void OVCheckUpdateWindowController::showNoNetwork() {
    if (checkProgressView_) checkProgressView_->setHidden(true);
    if (noNetworkView_) noNetworkView_->setHidden(false);
    if (noUpdateView_) noUpdateView_->setHidden(true);
    if (haveUpdateView_) haveUpdateView_->setHidden(true);
}

long long OVCheckUpdateWindowController::integerValue(const kit::Value* v) {
    if (!v) return 0;
    if (auto i = v->asInt(); i && v->isInteger()) return *i;
    auto s = v->asString();
    if (!s) return 0;
    size_t p = 0;
    while (p < s->size() && std::isspace(static_cast<unsigned char>((*s)[p]))) ++p;
    bool negative = false;
    if (p < s->size() && ((*s)[p] == '-' || (*s)[p] == '+')) negative = (*s)[p++] == '-';
    long long value = 0;
    for (; p < s->size() && std::isdigit(static_cast<unsigned char>((*s)[p])); ++p) {
        if (value > (LLONG_MAX - 9) / 10) break;
        value = value * 10 + ((*s)[p] - '0');
    }
    return negative ? -value : value;
}

double OVCheckUpdateWindowController::heightForStringDrawing(const std::string& text, const kit::Font& font,
                                                              double width) {
    return kit::heightOfWrappedText(text, font, width);
}

void OVCheckUpdateWindowController::whatIsNewVersionDiff(std::optional<kit::Value> remote) {
    for (kit::View* v : {checkProgressView_.get(), noNetworkView_.get(), noUpdateView_.get(), haveUpdateView_.get()})
        if (v) v->setHidden(true);

    kit::Value remoteDict = remote ? *remote : kit::Value::dict();
    std::optional<kit::Value> local = localPrivateData();
    long long localVersion = local ? integerValue(local->get("VersionCheck")) : 0;
    long long remoteVersion = integerValue(remoteDict.get("VersionCheck"));
    if (localVersion >= remoteVersion) {
        if (noUpdateView_) noUpdateView_->setHidden(false);
        return;
    }
    if (haveUpdateView_) haveUpdateView_->setHidden(false);
    std::string version = remoteDict.getString("Version").value_or("");
    if (versionLabel_) versionLabel_->setStringValue(kit::format("New features of version %@:", version));

    remoteDict.erase("VersionCheck");
    remoteDict.erase("Version");

    auto textOf = [](const kit::Value& v) { return v.asString().value_or(""); };
    double listHeight = 0;
    if (const kit::Value::Dict* entries = remoteDict.asDict()) {
        for (auto& [key, value] : *entries)
            listHeight += std::max(30.0, heightForStringDrawing(textOf(value), kit::Font::systemFont(10), 200));
    }
    listHeight = std::max(121.0, listHeight);
    if (!showVersionScrollView_) return;
    showVersionScrollView_->setFrame(kit::Rect(0, 0, 414, listHeight));

    for (size_t j = 1; j <= remoteDict.size(); ++j) {
        const kit::Value* entry = remoteDict.get(kit::format("%d", static_cast<int>(j)));
        // Lines are numbered from 1; a gap in the numbering shows nothing for it.
        if (!entry) continue;
        std::string value = textOf(*entry);
        auto line = std::make_shared<kit::TextField>();
        line->setStringValue(kit::format("%d:%@", static_cast<int>(j), value));
        line->setLineBreakMode(kit::LineBreakMode::WordWrapping);
        line->setBackgroundColor(kit::Color::controlColor());
        line->setTextColor(getColor(79, 79, 98, 1));
        line->setFont(kit::Font::systemFont(12));
        line->setBezeled(false);
        line->setEditable(false);
        line->setToolTip(value);
        double h = std::max(20.0, heightForStringDrawing(value, kit::Font::systemFont(12), 400));
        line->setFrame(kit::Rect(0, listHeight - static_cast<double>(j) * h, 414, h));
        showVersionScrollView_->addSubview(line);
    }
    // The list grew from its bottom edge: bring its first line into view.
    if (changeValueScrollView_) changeValueScrollView_->scrollToTop();
}

void OVCheckUpdateWindowController::closeWindow(kit::Object*) {
    kit::Application::shared().stopModal();
    if (window_) window_->close();
}

void OVCheckUpdateWindowController::closeWindowAction(kit::Object* sender) { closeWindow(sender); }

bool OVCheckUpdateWindowController::windowShouldClose() {
    fadeTo(0);
    return false;
}

void OVCheckUpdateWindowController::animationDidStop(bool) {
    if (!window_ || window_->alphaValue() != 0) return;
    kit::Application::shared().stopModal();
    window_->close();
    if (shuttingDown_) kit::Application::shared().terminate(this);
}

bool OVCheckUpdateWindowController::applicationShouldTerminate() {
    if (shuttingDown_) return true;
    fadeTo(0);
    shuttingDown_ = true;
    return false;
}

void OVCheckUpdateWindowController::updateClickHereAction(kit::Object*) { kit::openURL(kProductPageURL); }
