#include "invoice/LecteurFacture.h"

#include "commun/TexteChamp.h"

#include <QSet>

namespace cc {

// Kept word for word as the host product shows it.
QString MessageFactureAncienne() {
    return QStringLiteral("Cette facture provient de votre ancienne version de Vendrax pour DOS.\n\n"
                          "Elle ne peut être relue dans Vendrax pour Windows.\n\n"
                          "Cependant, elle sera prise en compte dans les diverses éditions\n"
                          "et statistiques de chiffre d'affaires.");
}

LecteurFacture::LecteurFacture(Connexion& connexion, Parcours parcours, bool avecRemises)
    : avecRemises_(avecRemises), tables_(connexion, parcours, avecRemises) {}

void LecteurFacture::prevoir(const std::vector<QString>& numeros) {
    if (tables_.parcours() != Parcours::ParLots)
        return;
    // Each number once, as the reader asks for it; the database tells which rows answer which.
    QStringList cles;
    QSet<QString> vues;
    for (const QString& n : numeros) {
        const QString cle = SupprimerBlancs(n);
        if (vues.contains(cle))
            continue;
        vues.insert(cle);
        cles.append(cle);
        if (cles.size() == TailleLot)
            break;
    }
    tables_.prevoir(cles);
}

ResultatLecture LecteurFacture::LireFacture(const QString& numero, EnregistrementFacture& facture) {
    facture.viderLignes();
    const QString cle = SupprimerBlancs(numero);

    const std::optional<EnteteFacture> entete = tables_.entete(cle);
    if (!entete)
        return ResultatLecture::Absente;
    facture.JourFacture = entete->jour;
    facture.DossierFacture = entete->dossier;
    facture.TypePiece = entete->type == u"A" ? QStringLiteral("A") : QStringLiteral("F");

    if (entete->divers == u"7")
        return ResultatLecture::Ancienne;

    ChercherRemise chercher;
    if (!avecRemises_) {
        chercher = [](int) -> std::optional<DonneesRemise> { return std::nullopt; };
    } else if (tables_.parcours() == Parcours::Reference) {
        chercher = [this, &cle](int rangee) { return tables_.remiseDeLaRangee(cle, rangee); };
    } else {
        // The line's row is asked for by its row number (twice the line number); the first row
        // returned for it wins.
        const std::vector<RemiseLigne>& remises = tables_.remises(cle);
        chercher = [&remises](int rangee) -> std::optional<DonneesRemise> {
            for (const RemiseLigne& r : remises)
                if (r.rangee == rangee)
                    return r.donnees;
            return std::nullopt;
        };
    }
    try {
        RemplirLignes(entete->corps, facture, chercher);
    } catch (const Erreur& e) {
        // Name the invoice, so that the user can find the one that stopped the run.
        throw Erreur(e.numero(), e.description() + QStringLiteral(" (facture ") + cle + QStringLiteral(")"),
                     e.source())
            .avecDetails(e.details());
    }
    return ResultatLecture::Lue;
}

} // namespace cc
