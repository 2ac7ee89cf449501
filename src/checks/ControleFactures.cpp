#include "checks/ControleFactures.h"

#include "checks/ParcoursParLots.h"
#include "commun/FormeLarge.h"
#include "report/Rapport.h"

#include <QVarLengthArray>
#include <algorithm>

namespace cc {

namespace {

// Commit a group of writes after this many invoices.
constexpr int FacturesParGroupe = 500;
// When writes are grouped, a group holds this many lots.
constexpr int LotsParGroupe = 16;

// Whether the database might answer a row when asked for the dossier of that FormeLarge: a dossier
// stored other than as text might compare equal to it in ways that a text does not.
bool pourraitRepondre(const LigneTrouvee& ligne, const QString& formeDossier) {
    return !ligne.dossierStocke || FormeLarge(*ligne.dossierStocke) == formeDossier;
}

} // namespace

ControleFactures::ControleFactures(const ContexteControle& contexte, const OptionsControle& options,
                                   Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      lecteur_(contexte.connexion, options.parcours),
      recherche_(contexte.connexion, options.parcours, options.ajouter || options.mettreAJour),
      // The reference walk commits each invoice's writes at once.
      groupe_(
          contexte.connexion, contexte.constats,
          [&compteurs](GroupeEcritures::Genre genre) {
              ++(genre == GroupeEcritures::Genre::Ajout ? compteurs.ajoutes : compteurs.reecrits);
          },
          options.parcours == Parcours::Reference ? 1 : FacturesParGroupe),
      differees_(groupe_, recherche_,
                 [this](const EcritureDifferee& d, LigneConstat& ligne) { return ecrire(d, ligne); }) {
    if (!options.ajouter && !options.mettreAJour)
        return;
    ecriture_.emplace(contexte.connexion, contexte.horloge);
    if (recherche_.parLots() && ecriture_->table().groupable()) {
        // Groups end between lots, so that every lot is read inside the group that writes it.
        groupe_.definirFacturesParGroupe(LotsParGroupe * TailleLot);
        differees_.activer(ecriture_->table());
    }
}

void ControleFactures::ListerFactures() {
    TabFactures_.vider();
    ListerFacturesPeriode(contexte_.connexion, options_.debut, options_.fin, [this](const QVariant& v) {
        if (v.isNull())
            TabFactures_.ajouterNul();
        else
            TabFactures_.ajouter(TexteValeur(v));
    });
}

void ControleFactures::ParcourirFactures() {
    finLotFactCli_ = 0;
    try {
        ParcourirParLots(contexte_, compteurs_, lecteur_, groupe_, TabFactures_,
                         [this](std::size_t i) { controlerRang(i); });
        groupe_.terminer();
    } catch (...) {
        // Rows already saved stay saved, and what the group holds is committed where it still can be.
        groupe_.abandonner();
        throw;
    }
}

void ControleFactures::controlerRang(std::size_t i) {
    differees_.nouvelleFacture(TabFactures_, i);
    recherche_.nouvelleFacture();
    // FACTCLI's lot is fetched again after a write.
    if (recherche_.parLots() && (i >= finLotFactCli_ || differees_.lotARelire())) {
        if (differees_.actives()) {
            if (groupe_.echu())
                groupe_.terminer();
            // The lot is read with the write lock held: what the writes decide from it still holds.
            groupe_.avantEcriture();
        }
        differees_.lotRelu();
        finLotFactCli_ = i + TailleLot;
        recherche_.prevoir(NumerosDuLot(TabFactures_, i));
    }
    if (!TabFactures_.estNul(i)) {
        const QString numero = TabFactures_.texte(i);
        if (LireFactureParcourue(lecteur_, contexte_.interlocuteur, groupe_, numero, QString(), facture_) !=
            ResultatLecture::Absente)
            ControlerFacture(numero);
    }
    if (differees_.actives())
        groupe_.compterFacture();
    else
        groupe_.finFacture();
}

void ControleFactures::ControlerFacture(const QString& numero) {
    // Each dossier is handled once, at the first row that names it; dossiers compare exactly.
    QVarLengthArray<QStringView, 16> vus;
    for (int r = 1; r < std::min(NombreRangees, facture_.rangeesTouchees); ++r) {
        const QStringView vue = VueSansBlancs(std::as_const(facture_).cellule(r, NumeroDossier));
        if (vue.isEmpty() || std::find(vus.begin(), vus.end(), vue) != vus.end())
            continue;
        vus.append(vue);
        const QString d = vue.toString();
        const QString devis = SupprimerBlancs(std::as_const(facture_).cellule(r, NumeroDevis));
        switch (ChercherFactCli(numero, d)) {
        case EtatFactCli::Absent:
            ++compteurs_.manquants;
            contexte_.rapport.EcrireRapport(QStringLiteral("Erreur sur la facture : ") + numero +
                                            QStringLiteral(" et le dossier : ") + d);
            contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement est manquant"));
            ecrireManquant(numero, d, devis);
            break;
        case EtatFactCli::MontantDifferent:
            ++compteurs_.montantsDifferents;
            if (options_.mettreAJour)
                MettreAJourMontant(numero, d);
            else
                groupe_.constat({.facture = numero,
                                 .dossier = d,
                                 .constat = constat::MontantDifferent(),
                                 .montantFactCli = montantTrouve_,
                                 .montantFacture = MontantDossier(facture_, d),
                                 .action = action::Aucune()});
            break;
        case EtatFactCli::Identique:
            break;
        }
    }
}

EtatFactCli ControleFactures::ChercherFactCli(const QString& numero, const QString& dossier) {
    // The invoice's rows, read once, serve all its dossiers until a write (which may respell a row's
    // dossier where the database takes two spellings for one).
    for (const LigneTrouvee& ligne : recherche_.lignes(numero)) {
        if (ligne.dossier != dossier)
            continue;
        // Only the first equal row is compared; a Null amount is not counted as different.
        montantTrouve_ = ligne.montant;
        if (ligne.montant.isNull())
            return EtatFactCli::Identique;
        return ligne.montant.toDouble() == MontantDossier(facture_, dossier) ? EtatFactCli::Identique
                                                                             : EtatFactCli::MontantDifferent;
    }
    return EtatFactCli::Absent;
}

void ControleFactures::ecrireManquant(const QString& numero, const QString& dossier, const QString& devis) {
    LigneConstat ligne{.facture = numero,
                       .dossier = dossier,
                       .devis = devis,
                       .constat = constat::LigneManquante(),
                       .montantFacture = MontantDossier(facture_, dossier),
                       .action = action::Aucune()};
    if (!options_.ajouter) {
        groupe_.constat(std::move(ligne));
        return;
    }
    ValeursFactCli valeurs = ecriture_->Valeurs(facture_, dossier, devis, numero);
    // Kept for later when the lot shows no row that the database could take for this pair (the row
    // written carries the number trimmed: only a number without blanks to trim is looked up as such).
    if (numero == valeurs.numero && ecriture_->table().ajoutsGroupables() && recherche_.duLot(numero) &&
        differees_.peutDifferer(numero, dossier)) {
        const QString forme = FormeLarge(dossier);
        const auto& lignes = recherche_.lignes(numero);
        if (std::none_of(lignes.begin(), lignes.end(),
                         [&](const LigneTrouvee& l) { return pourraitRepondre(l, forme); })) {
            ligne.numeroEcrit = valeurs.numero;
            ligne.jourEcrit = valeurs.jour;
            ligne.dateMajEcrite = lireDateMaj(valeurs.dateMaj);
            ligne.action = action::LigneAjoutee();
            differees_.differer({.ajout = true, .valeurs = std::move(valeurs)}, std::move(ligne));
            return;
        }
    }
    differees_.ecrireSeule({.ajout = true, .valeurs = std::move(valeurs)}, numero, std::move(ligne));
}

std::optional<GroupeEcritures::Genre> ControleFactures::ajouter(const ValeursFactCli& valeurs,
                                                                const QString& numero, LigneConstat& ligne) {
    ResultatEcriture r;
    try {
        r = ecriture_->Enregistrer(valeurs, numero);
    } catch (const Erreur&) {
        ligne.action = action::EcritureRefusee();
        throw;
    }
    recherche_.ecriture(numero);
    ligne.numeroEcrit = r.valeurs.numero;
    ligne.ligne = r.localisateur.toString();
    ligne.jourEcrit = r.valeurs.jour;
    ligne.dateMajEcrite = lireDateMaj(r.valeurs.dateMaj);
    ligne.ecrit = RangeeEcrite(r.valeurs);
    if (r.ancienne) {
        ligne.avant = RangeeLue(*r.ancienne);
        ligne.montantFactCli = r.ancienne->montant;
        ligne.ancienNumero = r.ancienne->numero;
        ligne.ancienDossier = r.ancienne->dossier;
        ligne.ancienJour = r.ancienne->jour;
        ligne.ancienDevis = r.ancienne->devis;
        ligne.ancienneDateMaj = r.ancienne->dateMaj;
    }
    if (r.apparue) {
        ligne.action = action::LigneApparue();
        return std::nullopt;
    }
    if (!r.ecrite) {
        ligne.action = action::EcritureRefusee();
        return std::nullopt;
    }
    ligne.action = r.ancienne ? action::LigneReecrite() : action::LigneAjoutee();
    return GroupeEcritures::Genre::Ajout;
}

void ControleFactures::MettreAJourMontant(const QString& numero, const QString& dossier) {
    const double montant = MontantDossier(facture_, dossier);
    LigneConstat ligne{.facture = numero,
                       .dossier = dossier,
                       .constat = constat::MontantDifferent(),
                       .montantFactCli = montantTrouve_,
                       .montantFacture = montant,
                       .action = action::Aucune()};
    // Kept for later when the first row of the lot that the database could take for this pair is the
    // very row compared: that is the row its own selection would return first.
    if (recherche_.duLot(numero) && differees_.peutDifferer(numero, dossier)) {
        const QString forme = FormeLarge(dossier);
        const auto& lignes = recherche_.lignes(numero);
        const auto premiere = std::find_if(lignes.begin(), lignes.end(),
                                           [&](const LigneTrouvee& l) { return pourraitRepondre(l, forme); });
        if (premiere != lignes.end() && premiere->dossierStocke == dossier &&
            !premiere->localisateur.isNull()) {
            ligne.action = action::MontantReecrit();
            differees_.differer({.ajout = false,
                                 .valeurs = {.montant = montant},
                                 .ligne = *premiere,
                                 .numero = numero,
                                 .dossier = dossier},
                                std::move(ligne));
            return;
        }
    }
    differees_.ecrireSeule(
        {.ajout = false, .valeurs = {.montant = montant}, .numero = numero, .dossier = dossier}, numero,
        std::move(ligne));
}

std::optional<GroupeEcritures::Genre> ControleFactures::reecrireMontant(const QString& numero,
                                                                        const QString& dossier,
                                                                        double montant, LigneConstat& ligne) {
    EcritureTableFactCli& table = ecriture_->table();
    for (int essai = 0; essai < 2; ++essai) {
        // The database compares here with its own rules; only the first row returned is looked at.
        const std::optional<LigneTrouvee> trouvee = table.premiereLigne(numero, dossier);
        if (!trouvee) {
            // The report's lines are kept word for word as the host writes them ("Facture :" unspaced).
            contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement pour la Facture :") + numero +
                                            QStringLiteral(" et le Dossier : ") + dossier +
                                            QStringLiteral(" n'existe pas dans FACTCLI"));
            ligne.action = action::LigneIntrouvable();
            return std::nullopt;
        }
        if (trouvee->dossier != dossier) {
            ligne.action = action::Aucune();
            return std::nullopt;
        }
        // Named by its locator and the pair it was selected with: a row deleted and replaced since the
        // selection changes nothing, and the row is looked up again.
        EcritureTableFactCli::Changement changees;
        try {
            changees = table.reecrireMontant(*trouvee, numero, dossier, montant);
        } catch (const Erreur&) {
            ligne.action = action::EcritureRefusee();
            throw;
        }
        if (changees.lignes > 0) {
            recherche_.ecriture(numero);
            ligne.montantFactCli = trouvee->montant;
            ligne.ligne = changees.localisateur.toString();
            // The row's other values tell it from a duplicate of the pair, for the undo.
            ligne.ancienJour = trouvee->jour;
            ligne.ancienDevis = trouvee->devis;
            ligne.ancienneDateMaj = trouvee->dateMaj;
            ligne.avant = RangeeLue(*trouvee);
            ligne.ecrit = AvecMontant(*ligne.avant, montant);
            ligne.action = action::MontantReecrit();
            return GroupeEcritures::Genre::Reecriture;
        }
    }
    ligne.action = action::EcritureRefusee();
    throw ErreurLigneChangee(numero, dossier);
}

std::optional<GroupeEcritures::Genre> ControleFactures::ecrire(const EcritureDifferee& d,
                                                               LigneConstat& ligne) {
    return d.ecriture.ajout
               ? ajouter(d.ecriture.valeurs, d.numero, ligne)
               : reecrireMontant(d.numero, d.ecriture.dossier, d.ecriture.valeurs.montant.toDouble(), ligne);
}

QDateTime ControleFactures::lireDateMaj(const QString& texte) {
    // Every write of a minute carries the same stamp: it is read once.
    if (dateMaj_.first != texte)
        dateMaj_ = {texte, QDateTime::fromString(texte, FormatDateMaj)};
    return dateMaj_.second;
}

} // namespace cc
