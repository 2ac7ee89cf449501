#include "commun/LigneStatistiques.h"

namespace cc {

namespace {

constexpr QStringView Mot = u"statistiques";

// Every word of the rest of a line as clé=valeur; nothing when one is not, or when there is none.
std::optional<QHash<QString, qint64>> lirePaires(QStringView reste) {
    QHash<QString, qint64> valeurs;
    for (QStringView paire : reste.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype egal = paire.indexOf(u'=');
        bool ok = false;
        const qint64 valeur = egal > 0 ? paire.mid(egal + 1).toLongLong(&ok) : 0;
        if (!ok)
            return std::nullopt;
        valeurs.insert(paire.left(egal).toString(), valeur);
    }
    if (valeurs.isEmpty())
        return std::nullopt;
    return valeurs;
}

} // namespace

QString LigneStatistiques(const ValeursStatistiques& valeurs) {
    QString ligne = Mot.toString();
    for (const auto& [nom, valeur] : valeurs)
        ligne.append(u' ').append(nom).append(u'=').append(QString::number(valeur));
    return ligne;
}

std::optional<QHash<QString, qint64>> LireLigneStatistiques(QStringView texte) {
    for (QStringView ligne : texte.split(u'\n')) {
        // The word opens the line or follows the program's "name: ".
        const qsizetype debut = ligne.indexOf(Mot);
        if (debut < 0 || (debut > 0 && !ligne.left(debut).endsWith(u": ")))
            continue;
        if (auto valeurs = lirePaires(ligne.mid(debut + Mot.size()).trimmed()))
            return valeurs;
    }
    return std::nullopt;
}

} // namespace cc
