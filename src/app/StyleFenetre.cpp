#include "app/StyleFenetre.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

namespace cc {

namespace {

class StyleFocusVisible final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* peintre,
                       const QWidget* widget) const override {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, peintre, widget);
            return;
        }
        peintre->save();
        peintre->setRenderHint(QPainter::Antialiasing, false);
        QPen trait(option->palette.color(QPalette::Active, QPalette::Highlight), 2);
        trait.setJoinStyle(Qt::MiterJoin);
        peintre->setPen(trait);
        peintre->setBrush(Qt::NoBrush);
        peintre->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        peintre->restore();
    }
};

} // namespace

void InstallerStyleFenetre() {
    if (dynamic_cast<StyleFocusVisible*>(QApplication::style()))
        return;
    QApplication::setStyle(new StyleFocusVisible(QApplication::style()->name()));
}

} // namespace cc
