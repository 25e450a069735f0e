// The three-step strip of the copy and disk-image screens.
#include "Comm/SetpViewController.h"
#include "UiTest.h"

namespace {

using uitest::UiTest;

const kit::Color kCurrent = kit::Color::rgb255(38, 52, 76), kOther = kit::Color::rgb255(173, 178, 190);

struct Shown {
    kit::Color c1, c2, c3;
    std::string image;
};

Shown shown(SetpViewController& s) {
    auto img = s.stepImageView()->image();
    return {s.label_1()->textColor(), s.label_2()->textColor(), s.label_3()->textColor(), img ? img->name() : ""};
}

TEST_F(UiTest, EachStepDarkensItsLabelAndShowsItsImage) {
    SetpViewController steps;
    ASSERT_NE(steps.view(), nullptr);
    struct Case { int step; kit::Color c1, c2, c3; const char* image; };
    for (const Case& c : {Case{1, kCurrent, kOther, kOther, "step1"}, Case{2, kOther, kCurrent, kOther, "step2"},
                          Case{3, kOther, kOther, kCurrent, "step3"}, Case{2, kOther, kCurrent, kOther, "step2"}}) {
        SCOPED_TRACE(c.step);
        steps.setSetpIn(c.step);
        Shown s = shown(steps);
        EXPECT_EQ(s.c1, c.c1);
        EXPECT_EQ(s.c2, c.c2);
        EXPECT_EQ(s.c3, c.c3);
        EXPECT_EQ(s.image, c.image);
        ASSERT_NE(steps.stepImageView()->image(), nullptr) << "the image is in the bundle";
    }
}

TEST_F(UiTest, StepsOutsideOneToThreeChangeNothing) {
    SetpViewController steps;
    steps.view();
    steps.setSetpIn(3);
    steps.label_2()->setStringValue("Create Disk Image");   // the image screen's retitle
    for (int step : {0, 4, -1}) {
        SCOPED_TRACE(step);
        steps.setSetpIn(step);
        Shown s = shown(steps);
        EXPECT_EQ(s.c1, kOther);
        EXPECT_EQ(s.c2, kOther);
        EXPECT_EQ(s.c3, kCurrent);
        EXPECT_EQ(s.image, "step3");
    }
    EXPECT_EQ(steps.label_2()->stringValue(), "Create Disk Image");
}

}  // namespace
