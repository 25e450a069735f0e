#pragma once
// Text fields: a label (not editable, no border, no background: the usual
// case in this system) or an editable field with a bezel.
#include <optional>

#include "kit/ui/AttributedText.h"
#include "kit/ui/Control.h"
#include "kit/ui/DelegateRef.h"

class QLineEdit;

namespace kit {

class TextField;

// Hears about the user's edits of an editable field (typing, pasting,
// deleting); setStringValue and the other changes made by code are not told.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual void controlTextDidChange(TextField& field) {}
};

class TextField : public Control {
public:
    explicit TextField(const Rect& frame = Rect());
    // A label as the platform's labelWithString: makes it.
    static std::shared_ptr<TextField> label(const std::string& text, const Rect& frame = Rect());

    TextFieldCell* textCell();
    void setStringValue(const std::string& s) override;
    std::string text();
    const Color& textColor() { return textCell()->textColor(); }
    void setTextColor(const Color& c);
    const Color& backgroundColor() { return textCell()->backgroundColor(); }
    void setBackgroundColor(const Color& c);
    bool drawsBackground() { return textCell()->drawsBackground(); }
    void setDrawsBackground(bool d);
    bool isBordered() { return textCell()->isBordered(); }
    void setBordered(bool b);
    bool isBezeled() { return textCell()->isBezeled(); }
    void setBezeled(bool b);
    bool isEditable() { return textCell()->isEditable(); }
    void setEditable(bool e);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool s) { selectable_ = s; }
    LineBreakMode lineBreakMode() { return textCell()->lineBreakMode(); }
    // A single-line label with a truncating mode (tail, middle or head) shows
    // a text too long for it with an ellipsis when drawn (see truncatedText).
    void setLineBreakMode(LineBreakMode m);
    // The text as the field shows it at its current size and font.
    std::string displayedString() { return textCell()->displayedStringForFrame(bounds()); }
    void setPlaceholderString(const std::string& s);
    void setEnabled(bool e) override;
    // Fits the frame's size to the text (one line).
    void sizeToFit();
    // Text with its own look (wrapped, aligned, spaced, partly coloured); a
    // later setStringValue goes back to plain text. The string value is the
    // attributed text's string.
    void setAttributedStringValue(const AttributedString& s);
    const std::optional<AttributedString>& attributedStringValue() const { return attributed_; }
    // Not kept (see DelegateRef).
    TextFieldDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(TextFieldDelegate* d) { delegate_ = d; }

    bool acceptsFirstResponder() override { return isEditable() && isEnabled(); }
    bool becomeFirstResponder() override;
    void drawRect(const Rect& dirty) override;
    void setFrame(const Rect& frame) override;

protected:
    std::shared_ptr<Cell> makeCell() override;

private:
    void placeEditor();
    QLineEdit* editor_ = nullptr;
    bool selectable_ = false;
    std::optional<AttributedString> attributed_;
    DelegateRef<TextFieldDelegate> delegate_;
};

}  // namespace kit
