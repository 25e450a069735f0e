#pragma once
// Text cells with an icon at the left of their text (the file list's name
// column). LagImageATextCell is the same family with a larger icon and its
// text centred vertically (see its header). The cells draw into flipped
// tables; in an unflipped view the icon lands at the same place.
#include <memory>
#include <string>

#include "kit/ui/Image.h"
#include "kit/ui/TableCells.h"

class ImageAndTextCell : public kit::TextFieldCell {
public:
    // The retained image (Cell::image()); setting the same one changes nothing.
    void setImage(std::shared_ptr<kit::Image> img) override;
    // The image's own size, vertically centred in the cell, at the left offset.
    kit::Rect imageFrameForCellFrame(const kit::Rect& cellFrame) const;
    void drawWithFrame(const kit::Rect& frame, kit::View& controlView) override;
    // The part of a cell frame the text is drawn in: right of the image
    // column when there is an image, else all of it.
    kit::Rect textFrameForFrame(const kit::Rect& frame) const;
    std::string displayedStringForFrame(const kit::Rect& frame) const override {
        return kit::TextFieldCell::displayedStringForFrame(textFrameForFrame(frame));
    }
    // The text's own size plus 3 points, plus the image's width with an image.
    kit::Size cellSize() const;

    // The family's measures.
    virtual double imageColumnWidth() const { return 21; }
    virtual double imageLeftOffset() const { return 3; }
    virtual double imageYShift() const { return -17; }
    virtual double drawnImageSize() const { return 18; }
    // Where the icon is drawn in a cell frame (top-left origin in a flipped view).
    kit::Rect drawnImageRectForFrame(const kit::Rect& frame, bool flipped) const;
};

KIT_REGISTER_CELL(ImageAndTextCell);
