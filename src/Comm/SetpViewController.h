#pragma once
// The three-step strip at the top of the copy and disk-image screens: one
// image that shows the current step ("step1" to "step3") and three step
// labels, the current one dark and the others light grey. Steps other than
// 1 to 3 change nothing.
#include <cstdint>
#include <memory>
#include <string>

#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

class SetpViewController : public kit::ViewController {
public:
    explicit SetpViewController(const std::string& layoutName = "SetpViewController");

    void awakeFromNib() override {}
    void setSetpIn(int32_t step);

    kit::TextField* label_1() const { return label_1_.get(); }
    kit::TextField* label_2() const { return label_2_.get(); }
    kit::TextField* label_3() const { return label_3_.get(); }
    kit::ImageView* stepImageView() const { return stepImageView_.get(); }
    void setLabel_1(std::shared_ptr<kit::TextField> l) { label_1_ = std::move(l); }
    void setLabel_2(std::shared_ptr<kit::TextField> l) { label_2_ = std::move(l); }
    void setLabel_3(std::shared_ptr<kit::TextField> l) { label_3_ = std::move(l); }
    void setStepImageView(std::shared_ptr<kit::ImageView> v) { stepImageView_ = std::move(v); }

private:
    std::shared_ptr<kit::TextField> label_1_, label_2_, label_3_;
    std::shared_ptr<kit::ImageView> stepImageView_;
};
