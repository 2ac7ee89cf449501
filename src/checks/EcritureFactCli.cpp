#include "checks/EcritureFactCli.h"

#include "commun/TexteChamp.h"
#include "invoice/Nombres.h"

#include <algorithm>
#include <cmath>

namespace cc {

namespace {

constexpr int PremiereRangee = 1;
constexpr int DerniereRangee = NombreRangees - 1;

double montantRangee(const EnregistrementFacture& facture, int r) {
    const double ligne = LireNombre(facture.cellule(r, MontantLigne));
    // A credit note counts its lines negative and ignores their discounts.
    if (facture.TypePiece == u"A")
        return -ligne;
    return ligne - LireNombre(facture.cellule(r, MontantRemise));
}

void ajouter(double& total, const EnregistrementFacture& facture, int r) {
    const double montant = montantRangee(facture, r);
    if (std::fabs(montant) > 0.001)
        total += montant;
}

} // namespace

double MontantDossier(const EnregistrementFacture& facture, const QString& dossier) {
    // Rows past the last one written are empty and add nothing.
    const int derniere = std::min(DerniereRangee, facture.rangeesTouchees - 1);
    double total = 0;
    if (!facture.DossierFacture.isEmpty()) {
        for (int r = PremiereRangee; r <= derniere; ++r)
            ajouter(total, facture, r);
        return total;
    }
    int r = PremiereRangee;
    while (r <= derniere) {
        if (VueSansBlancs(facture.cellule(r, NumeroDossier)) != dossier) {
            ++r;
            continue;
        }
        ajouter(total, facture, r);
        // The run goes on over empty cells (missing lines) and stops at any other dossier, or at a
        // cell of blanks alone.
        for (++r; r <= derniere; ++r) {
            const QString& cellule = facture.cellule(r, NumeroDossier);
            if (!cellule.isEmpty() && VueSansBlancs(cellule) != dossier)
                break;
            ajouter(total, facture, r);
        }
        // The row that ended the run names another dossier: the scan goes on after it.
        ++r;
    }
    return total;
}

EcritureFactCli::EcritureFactCli(Connexion& connexion, Horloge horloge)
    : horloge_(std::move(horloge)), table_(connexion) {}

void EcritureFactCli::EnregistrerFactCli(const EnregistrementFacture& facture, const QString& dossier,
                                         const QString& devis, const QString& numeroFacture) {
    if (dossier.isEmpty())
        return;
    const QString numero = SupprimerBlancs(numeroFacture);
    // Only the first row returned is rewritten.
    const std::optional<LigneTrouvee> ligne = table_.premiereLigne(numero, dossier);
    const ValeursFactCli valeurs{dossier,
                                 numero,
                                 facture.JourFacture,
                                 devis,
                                 horloge_().toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                                 MontantDossier(facture, dossier)};
    if (ligne)
        table_.reecrire(*ligne, valeurs);
    else
        table_.ajouter(valeurs);
}

} // namespace cc
