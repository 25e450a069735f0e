#pragma once
// Cells: the drawing and hit-testing half of controls, also used on their own
// (rows of lists and tables draw cells into a view they do not own).
#include <memory>
#include <string>

#include "kit/ui/Color.h"
#include "kit/ui/Event.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Responder.h"

namespace kit {

class Image;
class View;

enum CellHitResult : unsigned { CellHitNone = 0, CellHitContentArea = 1, CellHitEditableTextArea = 2, CellHitTrackableArea = 4 };
enum class ImageScaling { ProportionallyDown, AxesIndependently, None, ProportionallyUpOrDown };
enum class CellState { Off = 0, On = 1, Mixed = -1 };

class Cell : public Object {
public:
    Cell() = default;
    ~Cell() override = default;

    // Draws the whole cell (frame and interior) into `controlView`, which is
    // being drawn (the current graphics context is the view's).
    virtual void drawWithFrame(const Rect& frame, View& controlView) { drawInteriorWithFrame(frame, controlView); }
    virtual void drawInteriorWithFrame(const Rect& frame, View& controlView) {}
    // Where an event falls: the content area when it is inside the frame.
    virtual unsigned hitTestForEvent(const Event& e, const Rect& cellFrame, View& controlView);

    const std::string& stringValue() const { return string_; }
    virtual void setStringValue(const std::string& s) { string_ = s; }
    const std::shared_ptr<Image>& image() const { return image_; }
    virtual void setImage(std::shared_ptr<Image> img) { image_ = std::move(img); }
    const Font& font() const { return font_; }
    void setFont(const Font& f) { font_ = f; }
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment a) { alignment_ = a; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }
    CellState state() const { return state_; }
    void setState(CellState s) { state_ = s; }
    long tag() const { return tag_; }
    void setTag(long t) { tag_ = t; }
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    View* controlView() const { return controlView_.get(); }
    void setControlView(View* v);

private:
    std::string string_;
    std::shared_ptr<Image> image_;
    Font font_ = Font::systemFont(13);
    TextAlignment alignment_ = TextAlignment::Natural;
    bool enabled_ = true, highlighted_ = false, editable_ = false;
    CellState state_ = CellState::Off;
    long tag_ = 0;
    Weak<View> controlView_;
};

// Text: a label or the text of an editable field.
class TextFieldCell : public Cell {
public:
    void drawWithFrame(const Rect& frame, View& controlView) override;
    void drawInteriorWithFrame(const Rect& frame, View& controlView) override;
    // The rectangle the text is drawn in for a cell frame.
    virtual Rect titleRectForBounds(const Rect& frame) const;
    // The text as drawn in a cell frame: the string value, cut to the width
    // of its rectangle when the line-break mode truncates.
    virtual std::string displayedStringForFrame(const Rect& frame) const;

    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& c) { backgroundColor_ = c; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d) { drawsBackground_ = d; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool b) { bordered_ = b; }
    bool isBezeled() const { return bezeled_; }
    void setBezeled(bool b) { bezeled_ = b; }
    LineBreakMode lineBreakMode() const { return lineBreak_; }
    void setLineBreakMode(LineBreakMode m) { lineBreak_ = m; }
    const std::string& placeholderString() const { return placeholder_; }
    void setPlaceholderString(const std::string& s) { placeholder_ = s; }

private:
    Color textColor_ = Color::controlTextColor();
    Color backgroundColor_ = Color::textBackgroundColor();
    bool drawsBackground_ = false, bordered_ = false, bezeled_ = false;
    LineBreakMode lineBreak_ = LineBreakMode::Clipping;
    std::string placeholder_;
};

// Where an image of size `s` lands in `frame`: scaled as asked and centred.
Rect imageRectInFrame(Size s, const Rect& frame, ImageScaling scaling);

// An image, scaled into the cell's frame and centred.
class ImageCell : public Cell {
public:
    void drawInteriorWithFrame(const Rect& frame, View& controlView) override;
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling s) { scaling_ = s; }
    // Where the image lands in a frame.
    Rect imageRectForFrame(const Rect& frame) const;
private:
    ImageScaling scaling_ = ImageScaling::ProportionallyDown;
};

enum class BezelStyle { Rounded = 1, RegularSquare = 2, SmallSquare = 10, TexturedRounded = 11, Recessed = 13, Inline = 15 };
enum class ButtonType { MomentaryLight = 0, PushOnPushOff = 1, Toggle = 2, Switch = 3, Radio = 4, MomentaryChange = 5, OnOff = 6, MomentaryPushIn = 7 };
enum class ImagePosition { NoImage = 0, ImageOnly = 1, ImageLeft = 2, ImageRight = 3, ImageBelow = 4, ImageAbove = 5, ImageOverlaps = 6 };
// What a pressed button changes (the platform's cell masks).
enum CellMask : unsigned { NoCellMask = 0, ContentsCellMask = 1, PushInCellMask = 2, ChangeGrayCellMask = 4, ChangeBackgroundCellMask = 8 };

class ButtonCell : public Cell {
public:
    void drawWithFrame(const Rect& frame, View& controlView) override;
    virtual void drawBezelWithFrame(const Rect& frame, View& controlView);
    virtual void drawImage(const Image& image, const Rect& frame, View& controlView);
    // Draws the title; returns the rectangle the text took.
    virtual Rect drawTitle(const std::string& title, const TextAttributes& attrs, const Rect& frame, View& controlView);
    TextAttributes titleAttributes() const;

    const std::string& title() const { return stringValue(); }
    void setTitle(const std::string& t) { setStringValue(t); }
    const std::shared_ptr<Image>& alternateImage() const { return alternateImage_; }
    void setAlternateImage(std::shared_ptr<Image> i) { alternateImage_ = std::move(i); }
    BezelStyle bezelStyle() const { return bezel_; }
    void setBezelStyle(BezelStyle b) { bezel_ = b; }
    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType t);
    bool isBordered() const { return bordered_; }
    void setBordered(bool b) { bordered_ = b; }
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool t) { transparent_ = t; }
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition p) { imagePosition_ = p; }
    unsigned highlightsBy() const { return highlightsBy_; }
    void setHighlightsBy(unsigned m) { highlightsBy_ = m; }
    bool imageDimsWhenDisabled() const { return imageDims_; }
    void setImageDimsWhenDisabled(bool d) { imageDims_ = d; }
    const Color& titleColor() const { return titleColor_; }
    void setTitleColor(const Color& c) { titleColor_ = c; }
    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling s) { imageScaling_ = s; }

private:
    std::shared_ptr<Image> alternateImage_;
    BezelStyle bezel_ = BezelStyle::Rounded;
    ButtonType type_ = ButtonType::MomentaryPushIn;
    bool bordered_ = true, transparent_ = false, imageDims_ = true;
    ImagePosition imagePosition_ = ImagePosition::ImageOverlaps;
    unsigned highlightsBy_ = PushInCellMask | ChangeGrayCellMask;
    Color titleColor_ = Color::controlTextColor();
    ImageScaling imageScaling_ = ImageScaling::ProportionallyDown;
};

}  // namespace kit
