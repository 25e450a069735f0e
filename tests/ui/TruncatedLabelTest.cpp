// Labels too narrow for their text: what a truncating label shows (and draws),
// and that a label whose text fits is left alone.
#include <QString>
#include <cmath>
#include <string>

#include "Comm/ImageAndTextCell.h"
#include "UiTest.h"
#include "kit/ui/Image.h"
#include "kit/ui/AppTextMeasure.h"
#include "kit/ui/Cell.h"
#include "kit/ui/Render.h"
#include "kit/ui/TextField.h"

namespace {

using kit::LineBreakMode;
using kit::Rect;
using uitest::UiTest;

const std::string kEllipsis = "…";
const std::string kName = "Backup of the family photo library and project archives 2026";

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::shared_ptr<kit::TextField> label(const std::string& text, double width, LineBreakMode mode,
                                      kit::TextAlignment alignment = kit::TextAlignment::Left) {
    auto l = kit::TextField::label(text, Rect(0, 0, width, 20));
    l->setFont(kit::Font::boldSystemFont(14));
    l->setAlignment(alignment);
    l->setLineBreakMode(mode);
    return l;
}

TEST_F(UiTest, ATruncatingLabelTooNarrowForItsTextShowsAnEllipsis) {
    const kit::Font font = kit::Font::boldSystemFont(14);
    ASSERT_GT(font.sizeOfString(kName).width, 240);

    // Cut at the end: the start of the name, then the ellipsis.
    auto tail = label(kName, 240, LineBreakMode::TruncatingTail);
    const std::string t = tail->displayedString();
    EXPECT_TRUE(endsWith(t, kEllipsis)) << t;
    EXPECT_TRUE(startsWith(t, "Backup of the")) << t;
    EXPECT_LE(font.sizeOfString(t).width, 240);

    // Cut in the middle: both ends of the name around the ellipsis, so two
    // names that differ only at their end still look different.
    auto middle = label(kName, 240, LineBreakMode::TruncatingMiddle);
    const std::string m = middle->displayedString();
    EXPECT_TRUE(startsWith(m, "Backup of")) << m;
    EXPECT_TRUE(endsWith(m, "2026")) << m;
    EXPECT_NE(m.find(kEllipsis), std::string::npos) << m;
    EXPECT_LE(font.sizeOfString(m).width, 240);
    auto other = label("Backup of the family photo library and project archives 2025", 240,
                       LineBreakMode::TruncatingMiddle);
    EXPECT_NE(other->displayedString(), m);

    // The value itself stays whole.
    EXPECT_EQ(middle->stringValue(), kName);

    // Text of several bytes a character is cut between characters.
    const std::string accented = "Sauvegarde des photos de famille, été 2026 — archives complètes";
    auto wide = label(accented, 200, LineBreakMode::TruncatingMiddle);
    const QString shown = QString::fromStdString(wide->displayedString());
    EXPECT_EQ(shown.toStdString(), wide->displayedString());   // valid UTF-8 both ways
    EXPECT_TRUE(shown.startsWith("Sauvegarde")) << wide->displayedString();
    EXPECT_TRUE(shown.endsWith("complètes")) << wide->displayedString();
}

TEST_F(UiTest, ALabelWhoseTextFitsOrThatDoesNotTruncateShowsItWhole) {
    for (LineBreakMode mode : {LineBreakMode::TruncatingTail, LineBreakMode::TruncatingMiddle,
                               LineBreakMode::TruncatingHead, LineBreakMode::Clipping}) {
        EXPECT_EQ(label("Backup", 240, mode)->displayedString(), "Backup");
        EXPECT_EQ(label("", 240, mode)->displayedString(), "");
    }
    EXPECT_EQ(label(kName, 240, LineBreakMode::Clipping)->displayedString(), kName);
    EXPECT_EQ(label(kName, 240, LineBreakMode::WordWrapping)->displayedString(), kName);
    // A label widened to its text shows all of it again.
    auto l = label(kName, 240, LineBreakMode::TruncatingMiddle);
    l->setFrameSize(kit::Size{800, 20});
    EXPECT_EQ(l->displayedString(), kName);
}

TEST_F(UiTest, ATruncatingLabelDrawsTheTextItShows) {
    // Centred, as on the drive cards: a label without truncation would draw
    // the middle of the name, cut at both sides.
    for (LineBreakMode mode : {LineBreakMode::TruncatingTail, LineBreakMode::TruncatingMiddle}) {
        auto cut = label(kName, 240, mode, kit::TextAlignment::Center);
        auto plain = label(cut->displayedString(), 240, LineBreakMode::Clipping, kit::TextAlignment::Center);
        ASSERT_NE(cut->displayedString(), kName);
        EXPECT_EQ(kit::renderView(*cut).data(), kit::renderView(*plain).data()) << int(mode);
    }
}

TEST_F(UiTest, ATruncatingTextCellCutsItsTextToItsFrame) {
    // Rows of tables draw one cell into frames of the column's width.
    kit::TextFieldCell cell;
    cell.setFont(kit::Font::systemFont(13));
    cell.setLineBreakMode(LineBreakMode::TruncatingMiddle);
    const std::string path = "/Volumes/" + kName + "/Documents/Minutes of the yearly meeting.txt";
    cell.setStringValue(path);
    const std::string shown = cell.displayedStringForFrame(Rect(0, 0, 260, 20));
    EXPECT_TRUE(startsWith(shown, "/Volumes/")) << shown;
    EXPECT_TRUE(endsWith(shown, "meeting.txt")) << shown;
    EXPECT_NE(shown.find(kEllipsis), std::string::npos) << shown;
    EXPECT_EQ(cell.displayedStringForFrame(Rect(0, 0, 2000, 20)), path);
    EXPECT_EQ(kit::truncatedText(path, cell.font(), 2000, LineBreakMode::TruncatingTail), path);
}

TEST_F(UiTest, AnIconCellCutsItsTextToThePartRightOfItsIcon) {
    ImageAndTextCell cell;
    cell.setFont(kit::Font::systemFont(13));
    cell.setLineBreakMode(LineBreakMode::TruncatingMiddle);
    cell.setStringValue("Minutes of the yearly meeting.txt");
    // Wide enough for the text alone, not for the text beside the icon.
    const double width = std::ceil(cell.font().sizeOfString(cell.stringValue()).width) + 4 + 10;
    const Rect frame(0, 0, width, 20);
    EXPECT_EQ(cell.displayedStringForFrame(frame), cell.stringValue());
    cell.setImage(kit::Image::withSize(kit::Size{16, 16}));
    const std::string shown = cell.displayedStringForFrame(frame);
    EXPECT_TRUE(startsWith(shown, "Minutes")) << shown;
    EXPECT_TRUE(endsWith(shown, ".txt")) << shown;
    EXPECT_NE(shown.find(kEllipsis), std::string::npos) << shown;
}

}  // namespace
