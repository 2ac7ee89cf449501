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

QString selection(const Connexion& connexion) {
    const QString loc = connexion.localisateur();
    return QStringLiteral("SELECT %1 FROM FACTCLI WHERE NUM_DOSSIER = ? AND NUM_FACTURE = ?")
        .arg(loc.isEmpty() ? QStringLiteral("NUM_DOSSIER") : loc);
}

QString miseAJour(const Connexion& connexion) {
    const QString condition = connexion.conditionLocalisateur();
    // Without a row locator (Jet) the row can only be found again by its keys: every duplicate of the
    // pair is then rewritten with the same values, not the first one alone.
    return QStringLiteral("UPDATE FACTCLI SET NUM_DOSSIER = ?, NUM_FACTURE = ?, JOUR = ?, NUM_DEVIS = ?, "
                          "DATE_MAJ = ?, Montant = ? WHERE %1")
        .arg(condition.isEmpty() ? QStringLiteral("NUM_DOSSIER = ? AND NUM_FACTURE = ?") : condition);
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
    : horloge_(std::move(horloge)), parLocalisateur_(!connexion.localisateur().isEmpty()),
      selection_(connexion, selection(connexion)),
      ajout_(connexion,
             QStringLiteral("INSERT INTO FACTCLI (NUM_DOSSIER, NUM_FACTURE, JOUR, NUM_DEVIS, DATE_MAJ, "
                            "Montant) VALUES (?, ?, ?, ?, ?, ?)")),
      miseAJour_(connexion, miseAJour(connexion)) {}

void EcritureFactCli::EnregistrerFactCli(const EnregistrementFacture& facture, const QString& dossier,
                                         const QString& devis, const QString& numeroFacture) {
    if (dossier.isEmpty())
        return;
    const QString numero = SupprimerBlancs(numeroFacture);

    // Only the first row returned is rewritten; its locator is read and the result freed before the
    // write (an ODBC connection holds one result set at a time).
    selection_.executer({dossier, numero});
    const bool existe = selection_.suivant();
    const QVariant localisateur = existe && parLocalisateur_ ? selection_.valeur(0) : QVariant();
    selection_.terminer();

    const QString dateMaj = horloge_().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    QVariantList valeurs{dossier, numero,  facture.JourFacture,
                         devis,   dateMaj, QVariant(MontantDossier(facture, dossier))};
    if (!existe) {
        ajout_.executer(valeurs);
        return;
    }
    if (parLocalisateur_)
        valeurs.append(localisateur);
    else
        valeurs << dossier << numero;
    miseAJour_.executer(valeurs);
}

} // namespace cc
