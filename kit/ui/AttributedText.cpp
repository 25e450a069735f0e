#include "kit/ui/AttributedText.h"

#include <QPainter>
#include <QTextLayout>

#include "kit/ui/QtBridge.h"

namespace kit {

void AttributedString::addColor(const Color& c, std::size_t start, std::size_t length) {
    if (start >= text_.size() || length == 0) return;
    length = std::min(length, text_.size() - start);
    ranges_.push_back({start, length, c});
}

bool AttributedString::addColorToPhrase(const Color& c, const std::string& phrase) {
    if (phrase.empty()) return false;
    const std::size_t at = text_.find(phrase);
    if (at == std::string::npos) return false;
    addColor(c, at, phrase.size());
    return true;
}

Color AttributedString::colorAt(std::size_t byte, const Color& dflt) const {
    Color c = color_ ? *color_ : dflt;
    for (const ColorRange& r : ranges_)
        if (byte >= r.start && byte < r.start + r.length) c = r.color;  // later ranges win
    return c;
}

namespace {

// The position in UTF-16 units of a byte offset of the UTF-8 text.
int utf16Offset(const std::string& text, std::size_t byte) {
    return int(QString::fromUtf8(text.data(), qsizetype(std::min(byte, text.size()))).size());
}

struct Laid {
    QTextLayout layout;
    double height = 0;
};

// Lays the text out in lines of the given width, each line placed below the
// one before with the extra spacing.
void layOut(const AttributedString& s, double width, const QFont& f, Laid& out, const QColor* base) {
    // A line feed starts a new line (the layout's own line separator; one
    // UTF-16 unit for one, so the colour ranges stay in place).
    QString text = QString::fromStdString(s.string());
    text.replace(QChar('\n'), QChar::LineSeparator);
    out.layout.setText(text);
    out.layout.setFont(f);
    QTextOption opt;
    opt.setWrapMode(QTextOption::WordWrap);
    switch (s.alignment()) {
    case TextAlignment::Right: opt.setAlignment(Qt::AlignRight); break;
    case TextAlignment::Center: opt.setAlignment(Qt::AlignHCenter); break;
    case TextAlignment::Justified: opt.setAlignment(Qt::AlignJustify); break;
    default: opt.setAlignment(Qt::AlignLeft); break;
    }
    out.layout.setTextOption(opt);
    if (base) {
        QList<QTextLayout::FormatRange> formats;
        for (const auto& r : s.colorRanges()) {
            QTextLayout::FormatRange fr;
            fr.start = utf16Offset(s.string(), r.start);
            fr.length = utf16Offset(s.string(), r.start + r.length) - fr.start;
            fr.format.setForeground(toQColor(r.color));
            formats.push_back(fr);
        }
        out.layout.setFormats(formats);
    }
    out.layout.beginLayout();
    double y = 0;
    bool first = true;
    for (;;) {
        QTextLine line = out.layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        if (!first) y += s.lineSpacing();
        first = false;
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    out.layout.endLayout();
    out.height = y;
}

}  // namespace

void drawAttributedString(const AttributedString& s, const Rect& r, const Font& font, const Color& color) {
    auto* ctx = GraphicsContext::current();
    if (!ctx || s.string().empty()) return;
    QPainter& p = *ctx->painter();
    p.save();
    // A local y-down frame whose top-left is the rectangle's top-left.
    if (ctx->isFlipped()) p.translate(r.x(), r.y());
    else {
        p.translate(r.x(), r.maxY());
        p.scale(1, -1);
    }
    const QColor base = toQColor(s.color() ? *s.color() : color);
    Laid laid;
    layOut(s, r.width(), toQFont(s.font() ? *s.font() : font), laid, &base);
    p.setPen(base);
    p.setClipRect(QRectF(0, 0, r.width(), r.height()));
    laid.layout.draw(&p, QPointF(0, 0));
    p.restore();
}

double attributedStringHeight(const AttributedString& s, double width, const Font& font) {
    if (s.string().empty()) return 0;
    Laid laid;
    layOut(s, width, toQFont(s.font() ? *s.font() : font), laid, nullptr);
    return laid.height;
}

}  // namespace kit
