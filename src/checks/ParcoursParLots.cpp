#include "checks/ParcoursParLots.h"

#include <algorithm>
#include <climits>

namespace cc {

namespace {

int entier(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

// Ends the walk after record i when the user has asked for it; what was saved stays saved.
void arreterSiDemande(const Progression& progression, const QString& facture, std::size_t i, std::size_t n,
                      GroupeEcritures& groupe) {
    if (!progression.arretDemande())
        return;
    groupe.terminer();
    throw ArretControle{facture, qint64(i + 1), qint64(n)};
}

} // namespace

std::vector<QString> NumerosDuLot(const ListeTextes& liste, std::size_t i) {
    std::vector<QString> numeros;
    for (std::size_t j = i; j < liste.taille() && numeros.size() < std::size_t(TailleLot); ++j)
        if (!liste.estNul(j))
            numeros.push_back(liste.texte(j));
    return numeros;
}

void ParcourirParLots(const ContexteControle& contexte, Compteurs& compteurs, LecteurFacture& lecteur,
                      GroupeEcritures& groupe, const ListeTextes& numeros,
                      const std::function<void(std::size_t i)>& traiter) {
    if (numeros.vide())
        return;
    contexte.progression.definirMaximum(entier(numeros.taille()));
    std::size_t finLot = 0;
    for (std::size_t i = 0; i < numeros.taille(); ++i) {
        contexte.progression.definirValeur(entier(i + 1));
        ++compteurs.parcourus;
        // The invoices are never written: their lot holds to its end.
        if (i >= finLot) {
            finLot = i + TailleLot;
            lecteur.prevoir(NumerosDuLot(numeros, i));
        }
        traiter(i);
        contexte.progression.traiterEvenements();
        arreterSiDemande(contexte.progression, numeros.texte(i), i, numeros.taille(), groupe);
    }
}

ResultatLecture LireFactureParcourue(LecteurFacture& lecteur, Interlocuteur& interlocuteur,
                                     GroupeEcritures& groupe, const QString& numero, const QString& dossier,
                                     EnregistrementFacture& facture) {
    const ResultatLecture r = lecteur.LireFacture(numero, facture);
    if (r == ResultatLecture::Ancienne) {
        interlocuteur.message(MessageFactureAncienne(), TitreLectureFacture(), Icone::Critique);
        groupe.constat({.facture = numero,
                        .dossier = dossier,
                        .constat = constat::FactureAncienne(),
                        .action = action::Aucune()});
    }
    return r;
}

} // namespace cc
