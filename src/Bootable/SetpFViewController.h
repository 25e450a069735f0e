#pragma once
// The four-step strip of the "OS Clone" screen: one image showing the current
// step ("oc_step1" to "oc_step4") and four step labels, the current one dark
// and the others light grey. Steps other than 1 to 4 change nothing.
#include <cstdint>
#include <memory>
#include <string>

#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

class SetpFViewController : public kit::ViewController {
public:
    explicit SetpFViewController(const std::string& layoutName = "SetpFViewController");

    void awakeFromNib() override {}
    void setSetpIn(int32_t step);
    // The step shown last (1 at load).
    int32_t currentStep() const { return currentStep_; }

    kit::TextField* label_1() const { return labels_[0].get(); }
    kit::TextField* label_2() const { return labels_[1].get(); }
    kit::TextField* label_3() const { return labels_[2].get(); }
    kit::TextField* label_4() const { return labels_[3].get(); }
    kit::ImageView* stepImageView() const { return stepImageView_.get(); }

private:
    std::shared_ptr<kit::TextField> labels_[4];
    std::shared_ptr<kit::ImageView> stepImageView_;
    int32_t currentStep_ = 1;
};
