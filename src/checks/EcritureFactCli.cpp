#include "checks/EcritureFactCli.h"

#include "commun/TexteChamp.h"
#include "data/ColonnesFactCli.h"
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

QString EcritureFactCli::horodatage() const {
    // The clock is read once a minute at most: the stamp keeps the minutes alone, and the local time
    // costs a look at the time zone's files each time it is read.
    if (!depuisHorodatage_.isValid() || depuisHorodatage_.elapsed() >= validiteMs_) {
        const QDateTime maintenant = horloge_();
        horodatage_ = maintenant.toString(FormatDateMaj);
        validiteMs_ = 60'000 - (maintenant.time().second() * 1000 + maintenant.time().msec());
        depuisHorodatage_.start();
    }
    return horodatage_;
}

ValeursFactCli EcritureFactCli::Valeurs(const EnregistrementFacture& facture, const QString& dossier,
                                        const QString& devis, const QString& numeroFacture) const {
    return {dossier,      SupprimerBlancs(numeroFacture),  facture.JourFacture, devis,
            horodatage(), MontantDossier(facture, dossier)};
}

ResultatEcriture EcritureFactCli::EnregistrerFactCli(const EnregistrementFacture& facture,
                                                     const QString& dossier, const QString& devis,
                                                     const QString& numeroFacture) {
    if (dossier.isEmpty())
        return {};
    return Enregistrer(Valeurs(facture, dossier, devis, numeroFacture), numeroFacture);
}

ResultatEcriture EcritureFactCli::Enregistrer(const ValeursFactCli& valeurs, const QString& numeroFacture) {
    ResultatEcriture resultat;
    resultat.valeurs = valeurs;
    const QString& numero = valeurs.numero;
    const QString& dossier = valeurs.dossier;
    for (int essai = 0; essai < 2; ++essai) {
        // Only the first row returned is rewritten.
        resultat.ancienne = table_.premiereLigne(numero, dossier);
        if (!resultat.ancienne) {
            const EcritureTableFactCli::Changement c = table_.ajouter(resultat.valeurs);
            resultat.ecrite = c.lignes > 0;
            // Not added where the statement found the pair (another writer added it since the
            // selection): that row is left as its writer made it. A trigger may refuse the row too.
            resultat.apparue =
                !resultat.ecrite && table_.ajoutSiAbsent() && table_.premiereLigne(numero, dossier);
            resultat.localisateur = c.localisateur;
            return resultat;
        }
        if (const auto c = table_.reecrire(*resultat.ancienne, numero, dossier, resultat.valeurs);
            c.lignes > 0) {
            resultat.ecrite = true;
            resultat.localisateur = c.localisateur;
            return resultat;
        }
    }
    throw ErreurLigneChangee(numeroFacture, dossier);
}

namespace {

RangeeExacte rangeeNommee(const QVariantList& valeurs) {
    RangeeExacte rangee;
    if (valeurs.size() != NombreColonnesEcrites)
        return rangee;
    for (int c = 0; c < NombreColonnesEcrites; ++c)
        rangee.push_back({NomColonne(ColonneFactCli(c)), valeurs[c]});
    return rangee;
}

} // namespace

RangeeExacte RangeeEcrite(const ValeursFactCli& valeurs) {
    QVariantList liees;
    AjouterValeursEcrites(liees, valeurs);
    return rangeeNommee(liees);
}

RangeeExacte RangeeLue(const LigneTrouvee& ligne) {
    return rangeeNommee(ligne.brutes);
}

RangeeExacte AvecMontant(RangeeExacte rangee, const QVariant& montant) {
    for (ValeurExacte& v : rangee)
        if (v.colonne == NomColonne(ColonneFactCli::Montant))
            v.valeur = montant;
    return rangee;
}

Erreur ErreurLigneChangee(const QString& numero, const QString& dossier) {
    return Erreur(Erreur::EcritureConcurrente,
                  QStringLiteral("La ligne de FACTCLI de la facture %1 et du dossier %2 a changé pendant "
                                 "l'écriture : elle n'a pas été réécrite.")
                      .arg(numero, dossier));
}

} // namespace cc
