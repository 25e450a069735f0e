#include "Bootable/SetpFViewController.h"

#include "Comm/getColor.h"

SetpFViewController::SetpFViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("label_1", labels_[0]);
    declareOutlet("label_2", labels_[1]);
    declareOutlet("label_3", labels_[2]);
    declareOutlet("label_4", labels_[3]);
    declareOutlet("stepImageView", stepImageView_);
}

void SetpFViewController::setSetpIn(int32_t step) {
    if (step < 1 || step > 4) return;
    const kit::Color current = getColor(38, 52, 76, 1), other = getColor(173, 178, 190, 1);
    for (int i = 0; i < 4; ++i)
        if (labels_[i]) labels_[i]->setTextColor(i + 1 == step ? current : other);
    if (stepImageView_) stepImageView_->setImageNamed("oc_step" + std::to_string(step));
    currentStep_ = step;
}
