#include "Comm/SetpViewController.h"

#include "Comm/getColor.h"

SetpViewController::SetpViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("label_1", label_1_);
    declareOutlet("label_2", label_2_);
    declareOutlet("label_3", label_3_);
    declareOutlet("stepImageView", stepImageView_);
}

void SetpViewController::setSetpIn(int32_t step) {
    if (step < 1 || step > 3) return;
    const kit::Color current = getColor(38, 52, 76, 1), other = getColor(173, 178, 190, 1);
    kit::TextField* labels[] = {label_1_.get(), label_2_.get(), label_3_.get()};
    for (int i = 0; i < 3; ++i)
        if (labels[i]) labels[i]->setTextColor(i + 1 == step ? current : other);
    if (stepImageView_) stepImageView_->setImageNamed("step" + std::to_string(step));
}
