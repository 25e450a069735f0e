#pragma once
// Pieces the gallery pictures share: captions under the pictured parts, and a
// window dressed like the main window (its 25-point bar, the tab column with
// its four tabs, "Disk Copy" chosen, and the start button).
#include <memory>
#include <string>

#include "Comm/BGWView.h"
#include "Comm/LeftBgView.h"
#include "Comm/LeftButton.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"

namespace uitest {

inline std::shared_ptr<kit::TextField> caption(const std::string& text, kit::Rect frame, double size = 11) {
    auto t = kit::TextField::label(text, frame);
    t->setFont(kit::Font::systemFont(size));
    t->setTextColor(kit::Color::rgb255(60, 66, 80));
    return t;
}

// The window with its bar (traffic lights 16 from the left, 3 down) and the
// background, the tab column and the tabs in its content; barWidth is how wide
// the bar's image is drawn, withHighlight whether the chosen tab is lit.
inline std::shared_ptr<TCImageWindow> mainLikeWindow(kit::Rect frame, double barWidth, bool withHighlight) {
    using kit::Rect;
    auto w = std::make_shared<TCImageWindow>(frame,
                                             kit::TitledWindowMask | kit::ClosableWindowMask | kit::MiniaturizableWindowMask);
    w->setTitleBarHeight(25);
    w->setTrafficLightButtonsLeftMargin(16);
    w->setTopButtonMoveUp(-3);
    auto top = std::make_shared<kit::ImageView>(Rect(0, 0, barWidth, 25));
    top->setImageNamed("top");
    top->setImageScaling(kit::ImageScaling::AxesIndependently);
    w->titleBarView()->addSubview(top);
    kit::View* content = w->contentView();
    const double h = content->frame().height();
    content->addSubview(std::make_shared<BGWView>(Rect(0, 0, 888, h)));
    content->addSubview(std::make_shared<LeftBgView>(Rect(0, 0, 164, h)));
    if (withHighlight) {
        auto highlight = std::make_shared<kit::ImageView>(Rect(0, 409, 164, 80));
        highlight->setImageNamed("tab_on");
        content->addSubview(highlight);
    }
    const char* icons[] = {"ic_disk_icon", "ic_os_main", "ic_dmg", "ic_tool"};
    const char* names[] = {"Disk Copy", "OS Clone", "Disk Image Create", "Disk Manager"};
    for (int i = 0; i < 4; ++i) {
        auto t = std::make_shared<LeftButton>(Rect(0, 423 - 52 * i, 164, 52));
        t->setBordered(false);
        t->setImageFromFileNormalName(icons[i], icons[i]);
        t->setTextWithName(names[i]);
        t->setButtonAction(i == 0);
        content->addSubview(t);
    }
    return w;
}

// The tab's "Copy Now" button.
inline std::shared_ptr<TextImageButton> startButton(kit::Rect frame) {
    auto start = std::make_shared<TextImageButton>(frame);
    start->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_hover", "btn_main_disable");
    start->setTextWithName("Copy Now");
    return start;
}

}  // namespace uitest
