#include "app/StyleFenetre.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleOption>
#include <algorithm>

namespace cc {

namespace {

// A check box or radio button indicator never smaller than the text beside it. Some styles size it from
// the system's own metrics, which know nothing of a scale factor set for the application alone (Qt's
// Windows style under QT_SCALE_FACTOR): the box then stays at its unscaled size beside scaled text.
int TailleIndicateurMinimale(const QStyleOption* option, const QWidget* widget) {
    const QFontMetrics mesure = option   ? option->fontMetrics
                                : widget ? widget->fontMetrics()
                                         : QFontMetrics(QApplication::font());
    return mesure.height() * 3 / 4;
}

bool EstIndicateur(QStyle::PixelMetric metrique) {
    return metrique == QStyle::PM_IndicatorWidth || metrique == QStyle::PM_IndicatorHeight ||
           metrique == QStyle::PM_ExclusiveIndicatorWidth || metrique == QStyle::PM_ExclusiveIndicatorHeight;
}

class StyleFocusVisible final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    // A selection that stays plain when its view has no focus (a calendar beside the focused one):
    // some styles grey it out until it is hard to see which day is chosen.
    void polish(QPalette& palette) override {
        QProxyStyle::polish(palette);
        for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
    }
    using QProxyStyle::polish;

    int pixelMetric(PixelMetric metrique, const QStyleOption* option, const QWidget* widget) const override {
        const int taille = QProxyStyle::pixelMetric(metrique, option, widget);
        if (!EstIndicateur(metrique))
            return taille;
        return std::max(taille, TailleIndicateurMinimale(option, widget));
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* peintre,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton) {
            dessinerIndicateur(element, option, peintre, widget);
            return;
        }
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

private:
    // The base style draws the indicator at its own size, scaled up to the rectangle it was given.
    void dessinerIndicateur(PrimitiveElement element, const QStyleOption* option, QPainter* peintre,
                            const QWidget* widget) const {
        const bool coche = element == PE_IndicatorCheckBox;
        const int largeur =
            QProxyStyle::pixelMetric(coche ? PM_IndicatorWidth : PM_ExclusiveIndicatorWidth, option, widget);
        const int hauteur = QProxyStyle::pixelMetric(coche ? PM_IndicatorHeight : PM_ExclusiveIndicatorHeight,
                                                     option, widget);
        const QRect& cadre = option->rect;
        if (largeur > 0 && hauteur > 0 && dessineEnPixelsDuSysteme(peintre)) {
            dessinerAgrandi(element, option, peintre, QSize(largeur, hauteur));
            return;
        }
        if (largeur <= 0 || hauteur <= 0 || (cadre.width() <= largeur && cadre.height() <= hauteur)) {
            QProxyStyle::drawPrimitive(element, option, peintre, widget);
            return;
        }
        const qreal echelle =
            std::min(qreal(cadre.width()) / qreal(largeur), qreal(cadre.height()) / qreal(hauteur));
        peintre->save();
        peintre->setRenderHint(QPainter::SmoothPixmapTransform);
        peintre->translate(cadre.x() + (cadre.width() - largeur * echelle) / 2,
                           cadre.y() + (cadre.height() - hauteur * echelle) / 2);
        peintre->scale(echelle, echelle);
        dessinerBase(element, option, QRect(0, 0, largeur, hauteur), peintre, widget);
        peintre->restore();
    }

    // The base style's drawing of the option moved to another rectangle.
    void dessinerBase(PrimitiveElement element, const QStyleOption* option, const QRect& cadre,
                      QPainter* peintre, const QWidget* widget) const {
        QStyleOptionButton bouton;
        QStyleOption simple;
        QStyleOption* copie = &simple;
        if (const auto* b = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            bouton = *b;
            copie = &bouton;
        } else {
            simple = *option;
        }
        copie->rect = cadre;
        QProxyStyle::drawPrimitive(element, copie, peintre, widget);
    }

    // Qt's Windows style draws its theme's parts at their size in the system's pixels, which a scale
    // factor set for the application alone (QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS) does not change: at
    // a factor of 2 the box would be half the size of its place. A factor that comes from the system's
    // own setting (a screen at 200 %) the theme already follows; drawn small and stretched, its tick
    // would break up.
    bool dessineEnPixelsDuSysteme(const QPainter* peintre) const {
        static const bool facteurDuProgramme = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ||
                                               qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS");
        return facteurDuProgramme && peintre->device()->devicePixelRatioF() > 1 &&
               baseStyle()->name().compare(QStringLiteral("windowsvista"), Qt::CaseInsensitive) == 0;
    }

    // The indicator drawn in an image of the base style's size, one pixel to a point, then stretched
    // over its place.
    void dessinerAgrandi(PrimitiveElement element, const QStyleOption* option, QPainter* peintre,
                         QSize taille) const {
        QPixmap image(taille);
        image.setDevicePixelRatio(1);
        image.fill(Qt::transparent);
        {
            QPainter dedans(&image);
            // Without the widget, the base style takes the image's own ratio of pixels to points.
            dessinerBase(element, option, QRect(QPoint(0, 0), taille), &dedans, nullptr);
        }
        peintre->save();
        peintre->setRenderHint(QPainter::SmoothPixmapTransform);
        peintre->drawPixmap(option->rect, image);
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
