#include "kit/ui/ImageView.h"

namespace kit {

ImageView::ImageView(const Rect& frame) : Control(frame) {}

std::shared_ptr<Cell> ImageView::makeCell() { return std::make_shared<ImageCell>(); }

ImageCell* ImageView::imageCell() {
    auto* c = dynamic_cast<ImageCell*>(cell());
    if (!c) {
        setCell(makeCell());
        c = static_cast<ImageCell*>(cell());
    }
    return c;
}

void ImageView::setImage(std::shared_ptr<Image> img) {
    imageCell()->setImage(std::move(img));
    setNeedsDisplay(true);
}

void ImageView::setImageScaling(ImageScaling s) {
    imageCell()->setImageScaling(s);
    setNeedsDisplay(true);
}

void ImageView::drawRect(const Rect&) { imageCell()->drawWithFrame(bounds(), *this); }

}  // namespace kit
