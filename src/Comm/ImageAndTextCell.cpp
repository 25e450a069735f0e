#include "Comm/ImageAndTextCell.h"

#include <cmath>

#include "kit/ui/Graphics.h"
#include "kit/ui/View.h"

void ImageAndTextCell::setImage(std::shared_ptr<kit::Image> img) {
    if (img == image()) return;
    kit::TextFieldCell::setImage(std::move(img));
}

kit::Rect ImageAndTextCell::imageFrameForCellFrame(const kit::Rect& cellFrame) const {
    if (!image()) return kit::Rect();
    kit::Size s = image()->size();
    return kit::Rect(cellFrame.x() + imageLeftOffset(), cellFrame.y() + std::ceil((cellFrame.height() - s.height) / 2),
                     s.width, s.height);
}

kit::Rect ImageAndTextCell::drawnImageRectForFrame(const kit::Rect& frame, bool flipped) const {
    const double s = drawnImageSize();
    // Measured from the top edge in a flipped view; an unflipped one gets the
    // mirror image of that place, so the icon never falls below the cell.
    double fromTop = imageYShift() + std::ceil((frame.height() + s) / 2);
    double y = flipped ? frame.y() + fromTop : frame.y() + frame.height() - fromTop - s;
    return kit::Rect(frame.x() + imageLeftOffset(), y, s, s);
}

kit::Rect ImageAndTextCell::textFrameForFrame(const kit::Rect& frame) const {
    if (!image()) return frame;
    const double col = std::min(imageColumnWidth(), frame.width());
    return kit::Rect(frame.x() + col, frame.y(), frame.width() - col, frame.height());
}

void ImageAndTextCell::drawWithFrame(const kit::Rect& frame, kit::View& view) {
    if (!image()) {
        kit::TextFieldCell::drawWithFrame(frame, view);
        return;
    }
    const kit::Rect rest = textFrameForFrame(frame);
    kit::Rect imageColumn(frame.x(), frame.y(), rest.x() - frame.x(), frame.height());
    if (drawsBackground()) {
        backgroundColor().setFill();
        kit::BezierPath::fillRect(imageColumn);
    }
    kit::GraphicsContext* ctx = kit::GraphicsContext::current();
    const bool flipped = ctx ? ctx->isFlipped() : view.isFlipped();
    image()->drawInRect(drawnImageRectForFrame(imageColumn, flipped), kit::Rect(),
                        kit::CompositingOperation::SourceOver, 1.0);
    kit::TextFieldCell::drawWithFrame(rest, view);
}

kit::Size ImageAndTextCell::cellSize() const {
    kit::Size text = font().sizeOfString(stringValue());
    kit::Size s{text.width + 4 + 3, text.height + 2};
    if (image()) s.width += image()->size().width;
    return s;
}
