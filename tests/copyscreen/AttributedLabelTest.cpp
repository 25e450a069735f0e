// Labels with attributed text: a coloured phrase lands where the phrase is,
// extra line spacing moves the lines apart, and plain text takes over again.
#include <gtest/gtest.h>

#include "kit/ui/Application.h"
#include "kit/ui/AttributedText.h"
#include "kit/ui/Render.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Color;
using kit::Rect;

class AttributedLabel : public ::testing::Test {
protected:
    void SetUp() override { kit::ensureUiApp(); }
};

// Rows (from the top) that hold a pixel close to the colour, and whether any does.
struct Found {
    int firstRow = -1, lastRow = -1;
    int firstCol = 1 << 30, lastCol = -1;
};
Found findColor(const kit::Bitmap& b, const Color& want) {
    Found f;
    for (int r = 0; r < b.height(); ++r)
        for (int c = 0; c < b.width(); ++c) {
            Color p = b.pixel(c, r);
            if (p.alpha < 0.5) continue;
            if (std::abs(p.red - want.red) < 0.16 && std::abs(p.green - want.green) < 0.16 &&
                std::abs(p.blue - want.blue) < 0.16) {
                if (f.firstRow < 0) f.firstRow = r;
                f.lastRow = r;
                f.firstCol = std::min(f.firstCol, c);
                f.lastCol = std::max(f.lastCol, c);
            }
        }
    return f;
}

TEST_F(AttributedLabel, ThePhraseTakesItsColourAndTheRestKeepsTheLabels) {
    const Color blue = Color::rgb255(2, 125, 255), black = Color::rgb255(0, 0, 0);
    auto label = kit::TextField::label("", Rect(0, 0, 300, 40));
    label->setFont(kit::Font::systemFont(14));
    label->setTextColor(black);
    kit::AttributedString s("Start here. Then open the copy.");
    EXPECT_FALSE(s.addColorToPhrase(blue, "not in the text"));
    EXPECT_TRUE(s.colorRanges().empty());
    ASSERT_TRUE(s.addColorToPhrase(blue, "open the copy."));
    label->setAttributedStringValue(s);
    EXPECT_EQ(label->stringValue(), "Start here. Then open the copy.");

    kit::Bitmap bmp = kit::renderView(*label);
    Found b = findColor(bmp, blue), k = findColor(bmp, black);
    ASSERT_GE(b.lastCol, 0) << "no blue text";
    ASSERT_GE(k.lastCol, 0) << "no black text";
    // Left-aligned on one line: the black start comes before the blue phrase.
    EXPECT_LT(k.firstCol, b.firstCol);
    EXPECT_GT(b.lastCol, k.lastCol - 5);

    // Plain text again: no blue left.
    label->setStringValue("Start here. Then open the copy.");
    EXPECT_FALSE(label->attributedStringValue().has_value());
    EXPECT_LT(findColor(kit::renderView(*label), blue).lastCol, 0);
}

TEST_F(AttributedLabel, LineSpacingAndCentring) {
    const std::string text = "one two three four five six seven eight nine ten eleven twelve";
    kit::AttributedString tight(text), spaced(text);
    spaced.setLineSpacing(3.0);
    const kit::Font f = kit::Font::systemFont(13);
    const double h0 = kit::attributedStringHeight(tight, 120, f);
    const double h1 = kit::attributedStringHeight(spaced, 120, f);
    const double oneLine = kit::attributedStringHeight(tight, 2000, f);
    // A line feed breaks the line even where the width would hold both.
    EXPECT_NEAR(kit::attributedStringHeight(kit::AttributedString("one\ntwo"), 2000, f), 2 * oneLine, 0.01);
    const int lines = int(std::lround(h0 / oneLine));
    ASSERT_GE(lines, 3);
    EXPECT_NEAR(h1 - h0, 3.0 * (lines - 1), 0.01);

    // Centred: the ink sits as far from the left edge as from the right.
    auto label = kit::TextField::label("", Rect(0, 0, 400, 20));
    label->setTextColor(Color::rgb255(0, 0, 0));
    kit::AttributedString c("centred");
    c.setAlignment(kit::TextAlignment::Center);
    label->setAttributedStringValue(c);
    Found k = findColor(kit::renderView(*label), Color::rgb255(0, 0, 0));
    ASSERT_GE(k.lastCol, 0);
    EXPECT_NEAR(k.firstCol, 400 - 1 - k.lastCol, 6);
}

TEST_F(AttributedLabel, RangesStayInsideTheTextAndLaterOnesWin) {
    kit::AttributedString s("abc");
    s.addColor(Color::rgb255(255, 0, 0), 1, 100);
    s.addColor(Color::rgb255(0, 255, 0), 5, 1);  // past the end: ignored
    ASSERT_EQ(s.colorRanges().size(), 1u);
    EXPECT_EQ(s.colorRanges()[0].length, 2u);
    s.addColor(Color::rgb255(0, 0, 255), 2, 1);
    EXPECT_EQ(s.colorAt(0, Color::white()).red, 1.0);
    EXPECT_EQ(s.colorAt(1, Color::white()).red, 1.0);
    EXPECT_EQ(s.colorAt(2, Color::white()).blue, 1.0);
}

}  // namespace
