#pragma once
// Image views: one image (by name from the bundle or given), scaled into the
// view and centred.
#include "kit/ui/Control.h"
#include "kit/ui/Image.h"

namespace kit {

class ImageView : public Control {
public:
    explicit ImageView(const Rect& frame = Rect());

    ImageCell* imageCell();
    std::shared_ptr<Image> image() { return imageCell()->image(); }
    void setImage(std::shared_ptr<Image> img);
    // Image::named(name); an unknown name clears the image.
    void setImageNamed(const std::string& name) { setImage(Image::named(name)); }
    ImageScaling imageScaling() { return imageCell()->imageScaling(); }
    void setImageScaling(ImageScaling s);

    void drawRect(const Rect& dirty) override;

protected:
    std::shared_ptr<Cell> makeCell() override;
};

}  // namespace kit
