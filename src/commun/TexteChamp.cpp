#include "commun/TexteChamp.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <array>
#include <charconv>
#include <cmath>

namespace cc {

QStringView VueSansBlancs(QStringView texte) {
    qsizetype debut = 0;
    qsizetype fin = texte.size();
    while (debut < fin && texte[debut] == u' ')
        ++debut;
    while (fin > debut && texte[fin - 1] == u' ')
        --fin;
    return texte.mid(debut, fin - debut);
}

QString SupprimerBlancs(QStringView texte) {
    return VueSansBlancs(texte).toString();
}

QString SupprimerBlancsFin(QStringView texte) {
    qsizetype fin = texte.size();
    while (fin > 0 && texte[fin - 1] == u' ')
        --fin;
    return texte.first(fin).toString();
}

QString TexteNombre(double valeur) {
    if (!std::isfinite(valeur))
        return std::isnan(valeur) ? QStringLiteral("NaN")
                                  : (valeur > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf"));
    // Plain fixed notation, never an exponent: the number reading of the checks takes it back whole.
    std::array<char, 400> tampon{};
    const auto [fin, ec] =
        std::to_chars(tampon.data(), tampon.data() + tampon.size(), valeur, std::chars_format::fixed);
    if (ec != std::errc())
        return QString::number(valeur, 'g', 17);
    return QString::fromLatin1(tampon.data(), fin - tampon.data());
}

static QString texteDateHeure(const QDateTime& dt) {
    const QTime t = dt.time();
    if (!t.isValid() || t == QTime(0, 0))
        return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString TexteChamp(const QVariant& valeur) {
    return SupprimerBlancsFin(TexteValeur(valeur));
}

QString TexteValeur(const QVariant& valeur) {
    if (!valeur.isValid() || valeur.isNull())
        return {};
    switch (valeur.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return TexteNombre(valeur.toDouble());
    case QMetaType::QDate:
        return valeur.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime:
        return texteDateHeure(valeur.toDateTime());
    case QMetaType::QTime:
        return valeur.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::Bool:
        return valeur.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromLatin1(valeur.toByteArray());
    default:
        return valeur.toString();
    }
}

} // namespace cc
