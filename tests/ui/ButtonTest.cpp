// The image buttons: which image and label colour each state shows, the
// label's frame and font, and which clicks send the action.
#include "Comm/AllCustemButton.h"
#include "Comm/CancelTextImageButton.h"
#include "Comm/LeftButton.h"
#include "Comm/NewButton.h"
#include "Comm/OVHandButton.h"
#include "Comm/TCImageButton.h"
#include "Comm/TextImageButton.h"
#include "Comm/getColor.h"
#include "UiTest.h"
#include "kit/RunLoop.h"

namespace {

using kit::Color;
using kit::Rect;
using uitest::UiTest;

// A window holding one button whose action counts presses.
template <class B>
struct Harness {
    std::shared_ptr<kit::Window> window = std::make_shared<kit::Window>(Rect(100, 100, 400, 200), kit::TitledWindowMask);
    std::shared_ptr<B> button;
    int presses = 0;

    explicit Harness(Rect frame) {
        button = std::make_shared<B>(frame);
        window->contentView()->addSubview(button);
        window->registerAction("press:", [this](kit::Object*) { ++presses; });
        button->setTarget(window.get());
        button->setAction("press:");
        window->makeKeyAndOrderFront();
    }
    kit::Point centre() { return uitest::centreInWindow(*button); }
    kit::Point outside() { return kit::Point{390, 190}; }
    void hover() { uitest::send(*window, kit::EventType::MouseMoved, centre()); }
    void leave() { uitest::send(*window, kit::EventType::MouseMoved, outside()); }
    void press() { uitest::send(*window, kit::EventType::LeftMouseDown, centre()); }
    void release() { uitest::send(*window, kit::EventType::LeftMouseUp, centre()); }
    // The label colour and the image pixel at the button's left edge, as drawn now.
    std::pair<Color, Color> drawn() {
        kit::Bitmap bmp = kit::renderView(*button);
        Color label = button->textField() ? button->textField()->textColor() : Color::clear();
        return {label, bmp.pixel(4, bmp.height() / 2)};
    }
};

Color rgb(int r, int g, int b) { return getColor(r, g, b, 1); }

TEST_F(UiTest, TextImageButtonStateTableByNormalImageName) {
    struct Row { const char* base; Color normal, pressed, hover; };
    const Row rows[] = {
        {"btn_tool", rgb(79, 79, 98), rgb(59, 89, 233), rgb(65, 98, 255)},
        {"btn_sec", rgb(2, 125, 255), rgb(0, 103, 217), rgb(39, 144, 255)},
        {"btn_main", Color::white(), Color::white(), Color::white()},
        {"btn_pri", Color::white(), Color::white(), Color::white()},
        {"btn_cancel", rgb(211, 211, 215), rgb(211, 211, 215), rgb(211, 211, 215)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.base);
        Harness<TextImageButton> h(Rect(20, 20, 120, 32));
        std::string b = r.base;
        h.button->setImageFromFileNormalName(b, b + "_press", b + "_hover", b + "_disable");
        h.button->setTextWithName("OK");
        EXPECT_COLOR_NEAR(h.drawn().first, r.normal, 1);
        h.hover();
        EXPECT_TRUE(h.button->isFocus());
        EXPECT_COLOR_NEAR(h.drawn().first, r.hover, 1);
        h.press();
        EXPECT_TRUE(h.button->isTrackingFlag());
        EXPECT_COLOR_NEAR(h.drawn().first, r.pressed, 1);
        h.release();
        EXPECT_FALSE(h.button->isTrackingFlag());
        EXPECT_EQ(h.presses, 1);
        h.button->setButtonEnabled(false);
        Color disabled = b == "btn_cancel" ? rgb(148, 148, 160) : rgb(225, 231, 239);
        EXPECT_COLOR_NEAR(h.drawn().first, disabled, 1);
    }
}

TEST_F(UiTest, TextImageButtonDrawsTheImageOfItsState) {
    Harness<TextImageButton> h(Rect(20, 20, 120, 32));
    h.button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    h.button->setTextWithName("Confirm");
    EXPECT_EQ(h.button->dstRect(), Rect(0, 0, 120, 32));
    EXPECT_EQ(h.button->srcRect(), h.button->dstRect());
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0x41, 0x62, 0xff), 3);
    h.hover();
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0x5a, 0x78, 0xff), 3);
    h.press();
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0x3b, 0x59, 0xe9), 3);
    h.release();
    h.leave();
    EXPECT_FALSE(h.button->isFocus());
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0x41, 0x62, 0xff), 3);
    // Unusable: the disabled image, whatever the pointer does; usable again at once.
    h.button->setButtonEnabled(false);
    h.hover();
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0xc9, 0xd3, 0xe6), 3);
    h.leave();
    h.button->setButtonEnabled(true);
    EXPECT_COLOR_NEAR(h.drawn().second, rgb(0x41, 0x62, 0xff), 3);
}

TEST_F(UiTest, MissingDisabledImageDrawsNothingButKeepsTheDisabledLabelColour) {
    Harness<TextImageButton> h(Rect(20, 20, 120, 32));
    h.button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "no_such_image");
    h.button->setTextWithName("OK");
    h.button->setEnabled(false);   // the control's own flag counts the same
    auto [label, pixel] = h.drawn();
    EXPECT_COLOR_NEAR(label, rgb(225, 231, 239), 1);
    EXPECT_EQ(pixel.alpha, 0);
}

TEST_F(UiTest, ClicksNeedBothFlagsAndAReleaseInside) {
    Harness<TextImageButton> h(Rect(20, 20, 120, 32));
    h.button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    h.press();
    uitest::send(*h.window, kit::EventType::LeftMouseDragged, h.outside());
    uitest::send(*h.window, kit::EventType::LeftMouseUp, h.outside());
    EXPECT_EQ(h.presses, 0);
    EXPECT_FALSE(h.button->isTrackingFlag());

    h.button->setButtonEnabled(false);
    h.press();
    EXPECT_FALSE(h.button->isTrackingFlag());
    h.release();
    EXPECT_EQ(h.presses, 0);

    h.button->setButtonEnabled(true);
    h.button->setEnabled(false);
    h.press();
    h.release();
    EXPECT_EQ(h.presses, 0);

    h.button->setEnabled(true);
    h.press();
    h.release();
    EXPECT_EQ(h.presses, 1);
}

TEST_F(UiTest, ButtonWithoutImagesDrawsStandardAndHonoursTheUsableFlag) {
    Harness<TextImageButton> h(Rect(20, 20, 120, 32));
    h.button->setTitle("Plain");
    kit::Bitmap bmp = kit::renderView(*h.button);
    EXPECT_GT(bmp.pixel(60, 16).alpha, 0);   // the standard bezel
    h.button->setButtonEnabled(false);
    h.press();
    h.release();
    EXPECT_EQ(h.presses, 0);
}

TEST_F(UiTest, TextImageButtonLabelFrameAndFontFollowTheImageName) {
    struct Row { const char* base; double y, height; kit::Font font; };
    const Row rows[] = {
        {"btn_main", (44 - 17) / 2.0 - 1, 20, kit::Font::boldSystemFont(14)},
        {"btn_tool", (44 - 17) / 2.0, 17, kit::Font::systemFont(12)},
        {"btn_sec", (44 - 17) / 2.0 - 1, 17, kit::Font::systemFont(13)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.base);
        auto b = std::make_shared<TextImageButton>(Rect(0, 0, 180, 44));
        std::string n = r.base;
        b->setImageFromFileNormalName(n, n + "_press", n + "_hover", n + "_disable");
        b->setTextWithName("Copy Now");
        ASSERT_NE(b->textField(), nullptr);
        EXPECT_EQ(b->textField()->frame(), Rect(0, r.y, 180, r.height));
        EXPECT_EQ(b->textField()->font(), r.font);
        EXPECT_EQ(b->textField()->alignment(), kit::TextAlignment::Center);
        b->setTextWithName("Second");
        EXPECT_EQ(b->textField()->stringValue(), "Copy Now");
        EXPECT_EQ(b->subviews().size(), 1u);
    }
}

TEST_F(UiTest, OneHoverAreaThatFollowsTheBounds) {
    Harness<TextImageButton> h(Rect(20, 20, 120, 32));
    for (int i = 0; i < 3; ++i)
        h.button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    EXPECT_EQ(h.button->trackingAreas().size(), 1u);
    h.button->setFrame(Rect(20, 20, 200, 60));
    uitest::send(*h.window, kit::EventType::MouseMoved, {200, 70});   // only inside the grown button
    EXPECT_TRUE(h.button->isFocus());
    h.leave();
    EXPECT_FALSE(h.button->isFocus());
}

TEST_F(UiTest, CancelButtonColoursDoNotDependOnImageNames) {
    Harness<CancelTextImageButton> h(Rect(20, 20, 120, 32));
    h.button->setImageFromFileNormalName("btn_tool", "btn_tool_press", "btn_tool_hover", "btn_tool");
    h.button->setTextWithName("Cancel");
    EXPECT_EQ(h.button->textField()->frame(), Rect(0, (32 - 17) / 2.0, 120, 17));
    EXPECT_COLOR_NEAR(h.drawn().first, rgb(2, 125, 255), 1);
    h.hover();
    EXPECT_COLOR_NEAR(h.drawn().first, rgb(39, 144, 255), 1);
    h.press();
    EXPECT_COLOR_NEAR(h.drawn().first, rgb(0, 103, 217), 1);
    h.release();
    h.button->setButtonEnabled(false);
    EXPECT_COLOR_NEAR(h.drawn().first, rgb(225, 231, 239), 1);
    h.button->setTextWithName("Close");   // no second label on top of the first
    EXPECT_EQ(h.button->subviews().size(), 1u);
    EXPECT_EQ(h.button->textField()->stringValue(), "Close");
}

TEST_F(UiTest, IconButtonShowsItsStateImagesAndAWhiteOrGreyLabel) {
    Harness<TCImageButton> h(Rect(20, 20, 16, 16));
    h.button->setImageFromFileNormalName("ic_close", "ic_close_press", "ic_close_hover", "ic_close");
    EXPECT_EQ(h.button->textField(), nullptr);
    kit::Bitmap normal = kit::renderView(*h.button);
    h.hover();
    kit::Bitmap hover = kit::renderView(*h.button);
    EXPECT_GT(uitest::colorDistance(normal.pixel(2, 8), hover.pixel(2, 8)), 30);
    h.button->setTextWithName("x", Rect(0, 0, 16, 16));
    EXPECT_EQ(h.button->dstRect(), Rect(0, 0, 12, 16));
    EXPECT_EQ(h.button->srcRect(), Rect(0, 0, 16, 16));
    EXPECT_COLOR_NEAR(h.drawn().first, Color::white(), 1);
    h.button->setButtonEnabled(false);
    EXPECT_COLOR_NEAR(h.drawn().first, Color::gray(), 1);
}

TEST_F(UiTest, TabShowsItsIconBySelectionAndKeepsItsLabelColour) {
    Harness<LeftButton> h(Rect(0, 100, 164, 52));
    EXPECT_EQ(h.button->title(), " ");
    EXPECT_FALSE(h.button->isAction());
    h.button->setImageFromFileNormalName("btn_sec", "btn_pri");
    h.button->setTextWithName("Disk Copy");
    EXPECT_EQ(h.button->dstRect(), Rect(12, 16, 20, 20));
    EXPECT_EQ(h.button->textField()->frame(), Rect(34, 52 - 35, 130, 16));
    auto iconPixel = [&] { return kit::renderView(*h.button).pixel(22, 26); };
    Color off = iconPixel();
    auto label = h.drawn().first;
    EXPECT_EQ(h.button->textField()->font(), kit::Font::systemFont(12));
    h.button->setButtonAction(true);
    Color on = iconPixel();
    EXPECT_COLOR_NEAR(on, rgb(0x41, 0x62, 0xff), 3);
    EXPECT_GT(uitest::colorDistance(on, off), 30);
    EXPECT_COLOR_NEAR(h.drawn().first, label, 0);
    EXPECT_COLOR_NEAR(label, rgb(121, 129, 146), 1);
    EXPECT_EQ(h.button->textField()->font(), kit::Font::boldSystemFont(12));
    // Hover, press and the usable flag change nothing in the drawing.
    h.hover();
    h.button->setButtonEnabled(false);
    EXPECT_COLOR_NEAR(iconPixel(), on, 0);
}

TEST_F(UiTest, HandButtonSetsThePointerAndKeepsOneArea) {
    Harness<OVHandButton> h(Rect(20, 20, 80, 24));
    auto other = std::make_shared<kit::Window>(Rect(0, 0, 200, 100), kit::TitledWindowMask);
    other->contentView()->addSubview(h.button);
    h.window->contentView()->addSubview(h.button);
    EXPECT_EQ(h.button->trackingAreas().size(), 1u);
    h.hover();
    EXPECT_TRUE(kit::Cursor::current() == kit::Cursor::pointingHand());
    h.leave();
    EXPECT_TRUE(kit::Cursor::current() == kit::Cursor::arrow());
}

TEST_F(UiTest, AllCustemButtonDrawsItsTitleWhite) {
    auto brightest = [](kit::Button& b) {
        kit::Bitmap bmp = kit::renderView(b);
        double best = 0;
        for (int y = 0; y < bmp.height(); ++y)
            for (int x = 0; x < bmp.width(); ++x) {
                Color c = bmp.pixel(x, y);
                if (c.alpha > 0.9) best = std::max(best, c.red + c.green + c.blue);
            }
        return best;
    };
    auto custom = std::make_shared<AllCustemButton>(Rect(0, 0, 120, 30));
    auto plain = std::make_shared<kit::Button>(Rect(0, 0, 120, 30));
    for (kit::Button* b : {static_cast<kit::Button*>(custom.get()), plain.get()}) {
        b->setBordered(false);
        b->setFont(kit::Font::boldSystemFont(22));
        b->setTitle("MMMMMM");
    }
    EXPECT_NE(dynamic_cast<AllCustemButtonCell*>(custom->cell()), nullptr);
    EXPECT_GT(brightest(*custom), 2.8);
    EXPECT_LT(brightest(*plain), 1.0);
}

struct CountingNewButtonDelegate : NewButtonDelegate {
    int clicks = 0;
    void clickButtonAction(NewButton&) override { ++clicks; }
};

TEST_F(UiTest, NewButtonGeometryAndOneReportPerPress) {
    NewButton cell;
    Rect frame(10, 20, 300, 40);
    EXPECT_EQ(cell.titleRectForBounds(frame), Rect());
    EXPECT_EQ(cell.imageRectForBounds(frame), Rect());
    cell.setLabel(std::make_shared<kit::TextFieldCell>());
    EXPECT_EQ(cell.titleRectForBounds(frame), Rect(20, 20 + 9, 800, 22));
    cell.setIconImageCell(std::make_shared<kit::ImageCell>());
    EXPECT_EQ(cell.titleRectForBounds(frame), Rect(45, 29, 800, 22));
    EXPECT_EQ(cell.imageRectForBounds(frame), Rect(27, 31, 18, 18));

    auto view = std::make_shared<kit::View>(Rect(0, 0, 400, 100));
    CountingNewButtonDelegate d;
    cell.setDelegate(&d);
    kit::Event e;
    e.locationInWindow = {15, 30};   // inside the 15 x 30 hot area at (10, 20)
    cell.changeVlaue(nullptr);
    EXPECT_EQ(cell.hitTestForEvent(e, frame, *view), unsigned(kit::CellHitContentArea | kit::CellHitTrackableArea));
    EXPECT_EQ(cell.hitTestForEvent(e, frame, *view), unsigned(kit::CellHitNone));   // blocked
    EXPECT_EQ(d.clicks, 1);
    EXPECT_TRUE(NewButton::clicksBlocked());
    EXPECT_TRUE(kit::runUntil([] { return !NewButton::clicksBlocked(); }, 5));
    e.locationInWindow = {40, 30};   // outside the hot area
    EXPECT_EQ(cell.hitTestForEvent(e, frame, *view), unsigned(kit::CellHitNone));
    EXPECT_EQ(d.clicks, 1);

    auto copy = cell.copy();
    EXPECT_EQ(copy->label(), cell.label());
    EXPECT_EQ(copy->iconImageCell(), cell.iconImageCell());
}

TEST_F(UiTest, ColourHelperAndLocalizedStrings) {
    Color c = getColor(2, 125, 255, 0.5f);
    EXPECT_DOUBLE_EQ(c.red, 2 / 255.0);
    EXPECT_DOUBLE_EQ(c.green, 125 / 255.0);
    EXPECT_DOUBLE_EQ(c.blue, 1.0);
    EXPECT_DOUBLE_EQ(c.alpha, 0.5);
    EXPECT_EQ(getLocalizedString(std::nullopt), "");
    EXPECT_EQ(GetLocalizedString(std::nullopt), " ");
    EXPECT_EQ(getLocalizedString(std::string("no such key here")), "");
}

}  // namespace
