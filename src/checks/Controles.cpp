#include "checks/Controles.h"

#include "report/Rapport.h"

#include <QSet>
#include <QVarLengthArray>
#include <algorithm>
#include <climits>

namespace cc {

namespace {

// Commit a group of writes after this many invoices, or this many milliseconds.
constexpr int FacturesParGroupe = 500;
constexpr qint64 DureeGroupeMs = 1000;

int entier(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

// The non-Null numbers of the next lot of entries, from entry i.
std::vector<QString> numerosDuLot(const ListeTextes& liste, std::size_t i) {
    std::vector<QString> numeros;
    for (std::size_t j = i; j < liste.taille() && numeros.size() < std::size_t(TailleLot); ++j)
        if (!liste.estNul(j))
            numeros.push_back(liste.texte(j));
    return numeros;
}

// Reads an invoice into the record; an invoice of the old DOS version is told to the user, once
// each time it is read, and recorded. True when the invoice's lines are in the record.
bool lire(LecteurFacture& lecteur, Interlocuteur& interlocuteur, GroupeEcritures& groupe,
          const QString& numero, const QString& dossier, EnregistrementFacture& facture) {
    switch (lecteur.LireFacture(numero, facture)) {
    case ResultatLecture::Lue:
        return true;
    case ResultatLecture::Ancienne:
        interlocuteur.message(MessageFactureAncienne(), TitreLectureFacture(), Icone::Critique);
        groupe.constat({.facture = numero,
                        .dossier = dossier,
                        .constat = constat::FactureAncienne(),
                        .action = action::Aucune()});
        return true;
    case ResultatLecture::Absente:
        break;
    }
    return false;
}

QDateTime dateMaj(const QString& texte) {
    return QDateTime::fromString(texte, QStringLiteral("dd/MM/yyyy hh:mm"));
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

GroupeEcritures::GroupeEcritures(Connexion& connexion, FichierConstats* constats, Compteurs& compteurs,
                                 int facturesParGroupe)
    : connexion_(connexion), constats_(constats), compteurs_(compteurs),
      facturesParGroupe_(facturesParGroupe) {}

void GroupeEcritures::avantEcriture() {
    if (connexion_.enTransaction())
        return;
    connexion_.commencerTransaction();
    factures_ = 0;
    depuis_.start();
}

void GroupeEcritures::constat(LigneConstat ligne) {
    if (enAttente_.empty()) {
        if (constats_)
            constats_->ecrire(ligne);
        return;
    }
    enAttente_.emplace_back(std::move(ligne), std::nullopt);
}

void GroupeEcritures::ecriture(LigneConstat ligne, Genre genre) {
    enAttente_.emplace_back(std::move(ligne), genre);
}

void GroupeEcritures::finFacture() {
    if (!connexion_.enTransaction())
        return;
    if (++factures_ >= facturesParGroupe_ || depuis_.elapsed() >= DureeGroupeMs)
        valider();
}

void GroupeEcritures::terminer() {
    valider();
}

void GroupeEcritures::valider() {
    try {
        connexion_.validerTransaction();
    } catch (const Erreur&) {
        connexion_.annulerTransaction();
        vider(false);
        throw;
    }
    vider(true);
}

void GroupeEcritures::abandonner() noexcept {
    try {
        valider();
    } catch (...) {
        // The group is rolled back and shown refused; the run's own error is the one to tell.
    }
}

void GroupeEcritures::vider(bool valide) {
    auto attente = std::exchange(enAttente_, {});
    for (auto& [ligne, genre] : attente) {
        if (genre && valide)
            ++(*genre == Genre::Ajout ? compteurs_.ajoutes : compteurs_.reecrits);
        else if (genre)
            ligne.action = action::EcritureRefusee();
        if (constats_)
            constats_->ecrire(ligne);
    }
}

ControleFactures::ControleFactures(const ContexteControle& contexte, const OptionsControle& options,
                                   Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      lecteur_(contexte.connexion, options.parcours), recherche_(contexte.connexion, options.parcours),
      // The reference walk commits each invoice's writes at once.
      groupe_(contexte.connexion, contexte.constats, compteurs,
              options.parcours == Parcours::Reference ? 1 : FacturesParGroupe) {
    if (options.ajouter || options.mettreAJour)
        ecriture_.emplace(contexte.connexion, contexte.horloge);
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
    if (TabFactures_.vide())
        return;
    contexte_.progression.definirMaximum(entier(TabFactures_.taille()));
    try {
        parcourir();
    } catch (...) {
        // Rows already saved stay saved, and what the group holds is committed where it still can be.
        groupe_.abandonner();
        throw;
    }
}

void ControleFactures::parcourir() {
    std::size_t finLotFactures = 0;
    std::size_t finLotFactCli = 0;
    for (std::size_t i = 0; i < TabFactures_.taille(); ++i) {
        contexte_.progression.definirValeur(entier(i + 1));
        ++compteurs_.parcourus;
        // FACTURES is never written: its lot holds. FACTCLI's is fetched again after a write.
        if (i >= finLotFactures) {
            finLotFactures = i + TailleLot;
            lecteur_.prevoir(numerosDuLot(TabFactures_, i));
        }
        recherche_.nouvelleFacture();
        if (recherche_.parLots() && (i >= finLotFactCli || recherche_.perimee())) {
            finLotFactCli = i + TailleLot;
            recherche_.prevoir(numerosDuLot(TabFactures_, i));
        }
        if (!TabFactures_.estNul(i)) {
            const QString numero = TabFactures_.texte(i);
            if (lire(lecteur_, contexte_.interlocuteur, groupe_, numero, QString(), facture_))
                ControlerFacture(numero);
        }
        groupe_.finFacture();
        contexte_.progression.traiterEvenements();
        arreterSiDemande(contexte_.progression, TabFactures_.texte(i), i, TabFactures_.taille(), groupe_);
    }
    groupe_.terminer();
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
    // A write for one dossier cannot change the lookup of another dossier of the same invoice, since
    // dossiers compare exactly: the invoice's rows, read once, serve all its dossiers.
    for (const LigneFactCli& ligne : recherche_.lignes(numero)) {
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
    // The write lock is taken before the write's own selection, so that what it finds still holds
    // when it writes.
    groupe_.avantEcriture();
    ResultatEcriture r;
    try {
        r = ecriture_->EnregistrerFactCli(facture_, dossier, devis, numero);
    } catch (const Erreur&) {
        ligne.action = action::EcritureRefusee();
        groupe_.constat(std::move(ligne));
        throw;
    }
    recherche_.ecriture(numero);
    ligne.numeroEcrit = r.valeurs.numero;
    ligne.ligne = r.localisateur.toString();
    ligne.jourEcrit = r.valeurs.jour;
    ligne.dateMajEcrite = dateMaj(r.valeurs.dateMaj);
    if (r.ancienne) {
        ligne.montantFactCli = r.ancienne->montant;
        ligne.ancienNumero = r.ancienne->numero;
        ligne.ancienDossier = r.ancienne->dossier;
        ligne.ancienJour = r.ancienne->jour;
        ligne.ancienDevis = r.ancienne->devis;
        ligne.ancienneDateMaj = r.ancienne->dateMaj;
    }
    if (!r.ecrite) {
        ligne.action = action::EcritureRefusee();
        groupe_.constat(std::move(ligne));
        return;
    }
    ligne.action = r.ancienne ? action::LigneReecrite() : action::LigneAjoutee();
    groupe_.ecriture(std::move(ligne), GroupeEcritures::Genre::Ajout);
}

void ControleFactures::MettreAJourMontant(const QString& numero, const QString& dossier) {
    const double montant = MontantDossier(facture_, dossier);
    LigneConstat constatLigne{.facture = numero,
                              .dossier = dossier,
                              .constat = constat::MontantDifferent(),
                              .montantFactCli = montantTrouve_,
                              .montantFacture = montant,
                              .action = action::Aucune()};
    groupe_.avantEcriture();
    EcritureTableFactCli& table = ecriture_->table();
    for (int essai = 0; essai < 2; ++essai) {
        // The database compares here with its own rules; only the first row returned is looked at.
        const std::optional<LigneTrouvee> ligne = table.premiereLigne(numero, dossier);
        if (!ligne) {
            // The report's lines are kept word for word as the host writes them ("Facture :" unspaced).
            contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement pour la Facture :") + numero +
                                            QStringLiteral(" et le Dossier : ") + dossier +
                                            QStringLiteral(" n'existe pas dans FACTCLI"));
            constatLigne.action = action::LigneIntrouvable();
            groupe_.constat(std::move(constatLigne));
            return;
        }
        if (ligne->dossier != dossier) {
            groupe_.constat(std::move(constatLigne));
            return;
        }
        // Named by its locator and the pair it was selected with: a row deleted and replaced since the
        // selection changes nothing, and the row is looked up again.
        EcritureTableFactCli::Changement changees;
        try {
            changees = table.reecrireMontant(*ligne, numero, dossier, montant);
        } catch (const Erreur&) {
            constatLigne.action = action::EcritureRefusee();
            groupe_.constat(std::move(constatLigne));
            throw;
        }
        if (changees.lignes > 0) {
            recherche_.ecriture(numero);
            constatLigne.montantFactCli = ligne->montant;
            constatLigne.ligne = changees.localisateur.toString();
            // The row's other values tell it from a duplicate of the pair, for the undo.
            constatLigne.ancienJour = ligne->jour;
            constatLigne.ancienDevis = ligne->devis;
            constatLigne.ancienneDateMaj = ligne->dateMaj;
            constatLigne.action = action::MontantReecrit();
            groupe_.ecriture(std::move(constatLigne), GroupeEcritures::Genre::Reecriture);
            return;
        }
    }
    constatLigne.action = action::EcritureRefusee();
    groupe_.constat(std::move(constatLigne));
    throw ErreurLigneChangee(numero, dossier);
}

ControleFactCli::ControleFactCli(const ContexteControle& contexte, const OptionsControle& options,
                                 Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      // Only the lines' dossiers are looked at here: the discount data is not read.
      lecteur_(contexte.connexion, options.parcours, options.parcours == Parcours::Reference),
      groupe_(contexte.connexion, contexte.constats, compteurs, 1) {}

void ControleFactCli::ListerFactCli() {
    TabFactCli_.vider();
    // A Null reads as the empty text, which the walk passes over.
    ListerFactCliPeriode(
        contexte_.connexion, options_.debut, options_.fin,
        [this](const QString& numero, const QString& dossier) { TabFactCli_.ajouter(numero, dossier); });
}

void ControleFactCli::ParcourirFactCli() {
    if (TabFactCli_.vide())
        return;
    contexte_.progression.definirMaximum(entier(TabFactCli_.taille()));
    std::size_t finLot = 0;
    for (std::size_t i = 0; i < TabFactCli_.taille(); ++i) {
        contexte_.progression.definirValeur(entier(i + 1));
        ++compteurs_.parcourus;
        if (i >= finLot) {
            finLot = i + TailleLot;
            lecteur_.prevoir(numerosDuLot(TabFactCli_.factures(), i));
        }
        const EntreeFactCli e = TabFactCli_.at(i);
        if (!SupprimerBlancs(e.NumDossier).isEmpty() && !SupprimerBlancs(e.NumFacture).isEmpty()) {
            // No caching across entries: an invoice with several rows is read once for each of them
            // (from the lot's rows), and its old-invoice message comes each time.
            if (lire(lecteur_, contexte_.interlocuteur, groupe_, e.NumFacture, e.NumDossier, facture_))
                ControlerLigneFactCli(e);
            else
                groupe_.constat({.facture = e.NumFacture,
                                 .dossier = e.NumDossier,
                                 .constat = constat::FactureInexistante(),
                                 .action = action::Aucune()});
        }
        contexte_.progression.traiterEvenements();
        arreterSiDemande(contexte_.progression, e.NumFacture, i, TabFactCli_.taille(), groupe_);
    }
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
                     .action = action::Aucune()});
}

void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options,
                          Compteurs& compteurs) {
    if (options.aPartirDesFactures) {
        ControleFactures controle(contexte, options, compteurs);
        controle.ListerFactures();
        controle.ParcourirFactures();
    } else {
        ControleFactCli controle(contexte, options, compteurs);
        controle.ListerFactCli();
        controle.ParcourirFactCli();
    }
}

} // namespace cc
