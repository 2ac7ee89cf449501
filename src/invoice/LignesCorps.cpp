#include "invoice/LignesCorps.h"

#include "commun/TexteChamp.h"
#include "invoice/Nombres.h"

#include <cmath>

namespace cc {

namespace {

// Characters debut..debut+longueur-1 of the slice (counted from 1); shorter or empty where the text
// ends first.
QStringView zone(QStringView tranche, qsizetype debut, qsizetype longueur) {
    const qsizetype depart = debut - 1;
    if (depart >= tranche.size())
        return {};
    return tranche.sliced(depart, std::min(longueur, tranche.size() - depart));
}

bool blanc(QStringView texte) {
    for (QChar c : texte)
        if (c != u' ')
            return false;
    return true;
}

// A number zone, or empty when its magnitude is 0.001 or less.
QString montant(QStringView texte, int decimales) {
    const double valeur = LireNombre(texte);
    return std::fabs(valeur) <= 0.001 ? QString() : FormatDecimales(valeur, decimales);
}

// Whether the two characters are line number j written with two digits ("01" to "99").
bool estNumeroLigne(QStringView deux, int j) {
    return deux.size() == 2 && deux[0] == QChar(u'0' + j / 10) && deux[1] == QChar(u'0' + j % 10);
}

} // namespace

int RemplirLignes(QStringView corps, EnregistrementFacture& facture, const ChercherRemise& chercher) {
    int lues = 0;
    qsizetype tranchesPrises = 0;
    int derniereLue = 0;      // number of the last line read
    int derniereManquee = 0;  // number of the last line missed
    int rangeeManquee = 0;    // its row
    QString devisPrecedent;   // estimate characters of the last line read, blanks kept
    QString dossierPrecedent; // dossier characters of the last line read
    for (int j = 1; j <= LignesMax; ++j) {
        const int rangeeLigne = 2 * j;
        // The slice ends where the text does; past the end it is empty and matches no line number.
        const qsizetype debut = tranchesPrises * LongueurTranche;
        const QStringView tranche =
            debut < corps.size()
                ? corps.sliced(debut, std::min<qsizetype>(LongueurTranche, corps.size() - debut))
                : QStringView();
        if (!estNumeroLigne(zone(tranche, 1, 2), j)) {
            derniereManquee = j;
            rangeeManquee = rangeeLigne;
            continue;
        }
        facture.toucher(rangeeLigne);
        auto& rangee = facture.LignesFacture[rangeeLigne];
        rangee[Zone03] = SupprimerBlancs(zone(tranche, 3, 5));
        rangee[Zone08] = SupprimerBlancs(zone(tranche, 8, 4));
        rangee[Reference] = SupprimerBlancsFin(zone(tranche, 12, 19));
        rangee[Designation] = SupprimerBlancsFin(zone(tranche, 31, 40));
        rangee[Zone71] = FormatEntier(zone(tranche, 71, 8));
        rangee[Zone79] = montant(zone(tranche, 79, 10), 4);
        rangee[MontantLigne] = montant(zone(tranche, 89, 11), 2);
        rangee[Zone100] = zone(tranche, 100, 3).toString();
        rangee[Zone104] = zone(tranche, 104, 8).toString();
        rangee[Zone112] = zone(tranche, 112, 3).toString();
        rangee[Zone103] = zone(tranche, 103, 1).toString();
        const QStringView devis = zone(tranche, 115, 8);
        const QStringView dossier = zone(tranche, 123, 8);
        rangee[NumeroDevis] = blanc(devis) ? DevisAbsent() : devis.toString();
        rangee[NumeroDossier] = dossier.toString();

        // A line naming another dossier than the invoice's own: the invoice bills several dossiers.
        const QStringView dossierLigne = VueSansBlancs(dossier);
        if (!dossierLigne.isEmpty() && dossierLigne != facture.DossierFacture)
            facture.DossierFacture.clear();

        // A single missing line between two lines of the same estimate and dossier belongs to them.
        if (derniereLue == j - 2 && derniereManquee == j - 1 && devis == devisPrecedent &&
            dossier == dossierPrecedent) {
            facture.toucher(rangeeManquee);
            facture.LignesFacture[rangeeManquee][NumeroDevis] = devisPrecedent;
            facture.LignesFacture[rangeeManquee][NumeroDossier] = dossierPrecedent;
        }
        devisPrecedent = devis.toString();
        dossierPrecedent = dossier.toString();
        derniereLue = j;

        rangee[Zone141] = zone(tranche, 141, 1).toString();

        if (const auto remise = chercher(rangeeLigne)) {
            rangee[TauxRemise] = remise->taux;
            rangee[MontantRemise] = remise->montant;
            rangee[CodeRemise] = remise->code;
            rangee[Designation] += remise->designation;
            rangee[Reference] += remise->reference;
        } else {
            rangee[TauxRemise] = QStringLiteral("0");
            rangee[MontantRemise] = QStringLiteral("0");
            rangee[CodeRemise].clear();
        }
        ++tranchesPrises;
        ++lues;
    }
    return lues;
}

} // namespace cc
