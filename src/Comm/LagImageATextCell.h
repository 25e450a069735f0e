#pragma once
// The image-and-text cell with a 20-point icon and its text centred
// vertically in the cell.
#include "Comm/ImageAndTextCell.h"

class LagImageATextCell : public ImageAndTextCell {
public:
    double imageColumnWidth() const override { return 23; }
    double imageLeftOffset() const override { return 0; }
    double imageYShift() const override { return -21; }
    double drawnImageSize() const override { return 20; }

    // The text cell's title rectangle with its y moved so the text is centred.
    kit::Rect titleRectForBounds(const kit::Rect& bounds) const override;
    void drawInteriorWithFrame(const kit::Rect& frame, kit::View& controlView) override;
};

KIT_REGISTER_CELL(LagImageATextCell);
