#include "checks/ControleFactCli.h"

#include "checks/ParcoursParLots.h"
#include "commun/TexteChamp.h"
#include "data/LectureFactCli.h"
#include "report/Rapport.h"

#include <algorithm>

namespace cc {

ControleFactCli::ControleFactCli(const ContexteControle& contexte, const OptionsControle& options,
                                 Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      // Only the lines' dossiers are looked at here: the discount data is not read.
      lecteur_(contexte.connexion, options.parcours, options.parcours == Parcours::Reference),
      // Findings only: no write is ever made, so none is ever counted.
      groupe_(
          contexte.connexion, contexte.constats, [](GroupeEcritures::Genre) {}, 1) {}

void ControleFactCli::ListerFactCli() {
    TabFactCli_.vider();
    // A Null reads as the empty text, which the walk passes over.
    ListerFactCliPeriode(contexte_.connexion, options_.debut, options_.fin,
                         [this](const QString& numero, const QString& dossier, const QVariant& montant) {
                             TabFactCli_.ajouter(numero, dossier, montant);
                         });
}

void ControleFactCli::ParcourirFactCli() {
    ParcourirParLots(contexte_, compteurs_, lecteur_, groupe_, TabFactCli_.factures(),
                     [this](std::size_t i) { controlerRang(i); });
}

void ControleFactCli::controlerRang(std::size_t i) {
    const EntreeFactCli e = TabFactCli_.at(i);
    if (SupprimerBlancs(e.NumDossier).isEmpty() || SupprimerBlancs(e.NumFacture).isEmpty())
        return;
    // An invoice with several rows is read for each of them, and an old one's message comes
    // each time; but a plain invoice read for the entry just before is the same record
    // (nothing is written here), except on the reference walk, which reads each time.
    ResultatLecture r = ResultatLecture::Lue;
    if (e.NumFacture != numeroLu_) {
        r = LireFactureParcourue(lecteur_, contexte_.interlocuteur, groupe_, e.NumFacture, e.NumDossier,
                                 facture_);
        numeroLu_ = r == ResultatLecture::Lue && options_.parcours != Parcours::Reference
                        ? std::optional(e.NumFacture)
                        : std::nullopt;
    }
    if (r != ResultatLecture::Absente)
        ControlerLigneFactCli(e);
    else
        groupe_.constat({.facture = e.NumFacture,
                         .dossier = e.NumDossier,
                         .constat = constat::FactureInexistante(),
                         .montantFactCli = e.Montant,
                         .action = action::Aucune()});
}

void ControleFactCli::ControlerLigneFactCli(const EntreeFactCli& entree) {
    // The row's dossier is not trimmed: a leading or trailing blank matches no line.
    const QString cherche = entree.NumDossier.toUpper();
    for (int r = 1; r < std::min(NombreRangees, facture_.rangeesTouchees); ++r) {
        const QStringView d = VueSansBlancs(std::as_const(facture_).cellule(r, NumeroDossier));
        if (!d.isEmpty() && d.toString().toUpper() == cherche)
            return;
    }
    ++compteurs_.manquants;
    contexte_.rapport.EcrireRapport(QStringLiteral("Erreur sur la facture : ") + entree.NumFacture +
                                    QStringLiteral(" et le dossier : ") + entree.NumDossier);
    contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement est manquant dans la facture"));
    groupe_.constat({.facture = entree.NumFacture,
                     .dossier = entree.NumDossier,
                     .constat = constat::DossierAbsent(),
                     .montantFactCli = entree.Montant,
                     .action = action::Aucune()});
}
} // namespace cc
