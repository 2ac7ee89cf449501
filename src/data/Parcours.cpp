#include "data/Parcours.h"

namespace cc {

QVariantList ValeursDuLot(const QStringList& cles) {
    QVariantList valeurs;
    valeurs.reserve(TailleLot);
    for (const QString& c : cles)
        valeurs.append(c);
    while (valeurs.size() < TailleLot)
        valeurs.append(QVariant(QMetaType::fromType<QString>()));
    return valeurs;
}

QString SqlLot(const Connexion& connexion, const QString& colonnes, const QString& table,
               const QString& colonneNumero, const Localisation& localisation) {
    const QString ordre = localisation.ordre.isEmpty()
                              ? QString()
                              : QStringLiteral(" ORDER BY ") + table + u'.' + localisation.ordre;
    return QStringLiteral("SELECT v.n AS CC_NUMERO, ") + colonnes + QStringLiteral(" FROM ") +
           ListeDeValeurs(connexion.pieces(), TailleLot) + QStringLiteral(" JOIN ") + table +
           QStringLiteral(" ON ") + colonneNumero + QStringLiteral(" = v.n") + ordre;
}

QVariantList BornesPeriode(const Connexion& connexion, const QDate& debut, const QDate& fin) {
    if (connexion.pieces().joursEnTexte)
        return {debut.toString(QStringLiteral("yyyy-MM-dd")),
                fin.toString(QStringLiteral("yyyy-MM-dd 00:00:00"))};
    return {debut, fin};
}

} // namespace cc
