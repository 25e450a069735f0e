#include "kit/ui/AppTextMeasure.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>

#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"

namespace kit {

double heightOfWrappedText(const std::string& text, const Font& font, double width) {
    if (text.empty() || width <= 0) return 0;
    ensureUiApp();
    QTextLayout layout(QString::fromStdString(text), toQFont(font));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

std::string truncatedText(const std::string& text, const Font& font, double width, LineBreakMode mode) {
    Qt::TextElideMode elide;
    switch (mode) {
    case LineBreakMode::TruncatingHead: elide = Qt::ElideLeft; break;
    case LineBreakMode::TruncatingMiddle: elide = Qt::ElideMiddle; break;
    case LineBreakMode::TruncatingTail: elide = Qt::ElideRight; break;
    default: return text;
    }
    ensureUiApp();
    const QString s = QString::fromStdString(text);
    return QFontMetricsF(toQFont(font)).elidedText(s, elide, std::max(0.0, width)).toStdString();
}

}  // namespace kit
