#include "kit/ui/TextField.h"

#include <QLineEdit>

#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewWidget.h"

namespace kit {

TextField::TextField(const Rect& frame) : Control(frame) {}

std::shared_ptr<TextField> TextField::label(const std::string& text, const Rect& frame) {
    auto t = std::make_shared<TextField>(frame);
    t->setStringValue(text);
    return t;
}

std::shared_ptr<Cell> TextField::makeCell() { return std::make_shared<TextFieldCell>(); }

TextFieldCell* TextField::textCell() {
    auto* c = dynamic_cast<TextFieldCell*>(cell());
    if (!c) {
        setCell(makeCell());
        c = static_cast<TextFieldCell*>(cell());
    }
    return c;
}

void TextField::setStringValue(const std::string& s) {
    attributed_.reset();
    textCell()->setStringValue(s);
    if (editor_ && editor_->text().toStdString() != s) editor_->setText(QString::fromStdString(s));
    setNeedsDisplay(true);
}

std::string TextField::text() { return editor_ ? editor_->text().toStdString() : textCell()->stringValue(); }

void TextField::setTextColor(const Color& c) {
    textCell()->setTextColor(c);
    if (editor_) {
        QPalette p = editor_->palette();
        p.setColor(QPalette::Text, toQColor(c));
        editor_->setPalette(p);
    }
    setNeedsDisplay(true);
}
void TextField::setBackgroundColor(const Color& c) { textCell()->setBackgroundColor(c); setNeedsDisplay(true); }
void TextField::setDrawsBackground(bool d) { textCell()->setDrawsBackground(d); setNeedsDisplay(true); }
void TextField::setBordered(bool b) { textCell()->setBordered(b); setNeedsDisplay(true); }
void TextField::setBezeled(bool b) { textCell()->setBezeled(b); setNeedsDisplay(true); }
void TextField::setLineBreakMode(LineBreakMode m) { textCell()->setLineBreakMode(m); setNeedsDisplay(true); }
void TextField::setPlaceholderString(const std::string& s) {
    textCell()->setPlaceholderString(s);
    if (editor_) editor_->setPlaceholderText(QString::fromStdString(s));
    setNeedsDisplay(true);
}

void TextField::setEnabled(bool e) {
    Control::setEnabled(e);
    if (editor_) editor_->setEnabled(e);
}

void TextField::setEditable(bool e) {
    textCell()->setEditable(e);
    if (e && !editor_ && widgetOf(*this)) {
        // Editing is Qt's line editor laid over the field's text area.
        editor_ = new QLineEdit(widgetOf(*this));
        detail::registerNativeInputWidget(editor_);
        editor_->setFrame(false);
        editor_->setText(QString::fromStdString(textCell()->stringValue()));
        editor_->setPlaceholderText(QString::fromStdString(textCell()->placeholderString()));
        editor_->setAttribute(Qt::WA_MacShowFocusRect, false);
        editor_->setStyleSheet("background: transparent;");
        Weak<TextField> self(this);
        QObject::connect(editor_, &QLineEdit::textChanged, editor_, [self](const QString& t) {
            if (TextField* f = self.get()) f->textCell()->setStringValue(t.toStdString());
        });
        // Only the user's edits: setText from code does not emit textEdited.
        // Qt tells of the edit before the change: the value is taken here too,
        // so the delegate reads the new text.
        QObject::connect(editor_, &QLineEdit::textEdited, editor_, [self](const QString& t) {
            TextField* f = self.get();
            if (!f) return;
            f->textCell()->setStringValue(t.toStdString());
            if (TextFieldDelegate* d = f->delegate()) d->controlTextDidChange(*f);
        });
        placeEditor();
        editor_->show();
    } else if (!e && editor_) {
        delete editor_;
        editor_ = nullptr;
    }
    setNeedsDisplay(true);
}

void TextField::placeEditor() {
    if (!editor_) return;
    QFont f = toQFont(font());
    editor_->setFont(f);
    const int inset = isBezeled() || isBordered() ? 2 : 0;
    editor_->setGeometry(inset, inset, std::max(0, int(frame().width()) - 2 * inset),
                         std::max(0, int(frame().height()) - 2 * inset));
}

void TextField::setFrame(const Rect& frame) {
    Control::setFrame(frame);
    placeEditor();
}

bool TextField::becomeFirstResponder() {
    if (editor_) editor_->setFocus();
    return true;
}

void TextField::sizeToFit() {
    Size s = font().sizeOfString(textCell()->stringValue());
    double pad = (isBezeled() || isBordered()) ? 6 : 4;
    setFrameSize(Size{std::ceil(s.width + pad), std::ceil(s.height + 2)});
}

void TextField::drawRect(const Rect&) {
    if (editor_) {
        // The editor draws the text; the cell draws only the frame.
        TextFieldCell* c = textCell();
        std::string keep = c->stringValue(), ph = c->placeholderString();
        c->setStringValue("");
        c->setPlaceholderString("");
        c->drawWithFrame(bounds(), *this);
        c->setStringValue(keep);
        c->setPlaceholderString(ph);
        return;
    }
    if (attributed_) {
        // The cell draws the frame; the text is laid out here.
        TextFieldCell* c = textCell();
        std::string keep = c->stringValue();
        c->setStringValue("");
        c->drawWithFrame(bounds(), *this);
        c->setStringValue(keep);
        const Color color = isEnabled() ? c->textColor() : Color::disabledControlTextColor();
        drawAttributedString(*attributed_, c->titleRectForBounds(bounds()), c->font(), color);
        return;
    }
    textCell()->drawWithFrame(bounds(), *this);
}

void TextField::setAttributedStringValue(const AttributedString& s) {
    textCell()->setStringValue(s.string());
    if (editor_ && editor_->text().toStdString() != s.string()) editor_->setText(QString::fromStdString(s.string()));
    attributed_ = s;
    setNeedsDisplay(true);
}

}  // namespace kit
