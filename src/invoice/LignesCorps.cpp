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
    qsizetype i = 0; // slices taken so far
    int p = 0;       // last line read
    int m = 0;       // last line missed
    int r = 0;       // its row
    QString e;       // estimate characters of the last line read, blanks kept
    QString d;       // dossier characters of the last line read
    for (int j = 1; j <= LignesMax; ++j) {
        const int k = 2 * j;
        // The slice ends where the text does; past the end it is empty and matches no line number.
        const qsizetype debut = i * LongueurTranche;
        const QStringView tranche =
            debut < corps.size()
                ? corps.sliced(debut, std::min<qsizetype>(LongueurTranche, corps.size() - debut))
                : QStringView();
        if (!estNumeroLigne(zone(tranche, 1, 2), j)) {
            m = j;
            r = k;
            continue;
        }
        facture.toucher(k);
        auto& rangee = facture.LignesFacture[k];
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
        if (p == j - 2 && m == j - 1 && devis == e && dossier == d) {
            facture.toucher(r);
            facture.LignesFacture[r][NumeroDevis] = e;
            facture.LignesFacture[r][NumeroDossier] = d;
        }
        e = devis.toString();
        d = dossier.toString();
        p = j;

        rangee[Zone141] = zone(tranche, 141, 1).toString();

        if (const auto remise = chercher(k)) {
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
        ++i;
        ++lues;
    }
    return lues;
}

} // namespace cc
