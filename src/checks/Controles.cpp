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
// When writes are grouped, a group holds this many lots.
constexpr int LotsParGroupe = 16;

// Whether the database might answer a row when asked for the dossier of that FormeLarge: a dossier
// stored other than as text might compare equal to it in ways that a text does not.
bool pourraitRepondre(const LigneTrouvee& ligne, const QString& formeDossier) {
    return !ligne.dossierStocke || FormeLarge(*ligne.dossierStocke) == formeDossier;
}

// Two pairs that FormeLarge cannot tell apart.
QString clePaire(const QString& numero, const QString& dossier) {
    return FormeLarge(numero) + u'\x1f' + FormeLarge(dossier);
}

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
// each time it is read, and recorded. The invoice's lines are in the record unless it is Absente.
ResultatLecture lire(LecteurFacture& lecteur, Interlocuteur& interlocuteur, GroupeEcritures& groupe,
                     const QString& numero, const QString& dossier, EnregistrementFacture& facture) {
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
    ++numero_;
    factures_ = 0;
    depuis_.start();
}

void GroupeEcritures::constat(LigneConstat ligne) {
    if (enAttente_.empty()) {
        if (constats_)
            constats_->ecrire(ligne);
        return;
    }
    enAttente_.push_back({std::move(ligne), std::nullopt});
}

void GroupeEcritures::ecriture(LigneConstat ligne, Genre genre) {
    enAttente_.push_back({std::move(ligne), genre});
}

std::size_t GroupeEcritures::reserver(LigneConstat ligne) {
    enAttente_.push_back({std::move(ligne), std::nullopt, true});
    return enAttente_.size() - 1;
}

void GroupeEcritures::resoudre(std::size_t place, LigneConstat ligne, std::optional<Genre> genre) {
    enAttente_[place] = {std::move(ligne), genre};
}

void GroupeEcritures::compterFacture() {
    if (connexion_.enTransaction())
        ++factures_;
}

bool GroupeEcritures::echu() const {
    return connexion_.enTransaction() &&
           (factures_ >= facturesParGroupe_ || depuis_.elapsed() >= DureeGroupeMs);
}

void GroupeEcritures::finFacture() {
    compterFacture();
    if (echu())
        valider();
}

void GroupeEcritures::terminer() {
    valider();
}

void GroupeEcritures::valider() {
    // The writes kept for later are carried out first; when one fails, those before it are committed
    // all the same, as they would have been one by one, and its failure is the run's.
    std::exception_ptr echec;
    if (avantValidation_) {
        try {
            avantValidation_();
        } catch (...) {
            echec = std::current_exception();
        }
    }
    if (echec && !connexion_.enTransaction()) {
        // The failure rolled the whole group back.
        vider(false);
        std::rethrow_exception(echec);
    }
    try {
        connexion_.validerTransaction();
    } catch (const Erreur&) {
        connexion_.annulerTransaction();
        vider(false);
        throw;
    }
    vider(true);
    if (echec)
        std::rethrow_exception(echec);
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
    for (auto& [ligne, genre, enSuspens] : attente) {
        if (enSuspens)
            ligne.action = action::EcritureRefusee();
        else if (genre && valide)
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
      lecteur_(contexte.connexion, options.parcours),
      recherche_(contexte.connexion, options.parcours, options.ajouter || options.mettreAJour),
      // The reference walk commits each invoice's writes at once.
      groupe_(contexte.connexion, contexte.constats, compteurs,
              options.parcours == Parcours::Reference ? 1 : FacturesParGroupe) {
    if (!options.ajouter && !options.mettreAJour)
        return;
    ecriture_.emplace(contexte.connexion, contexte.horloge);
    differe_ = recherche_.parLots() && ecriture_->table().groupable();
    if (differe_) {
        // Groups end between lots, so that every lot is read inside the group that writes it.
        groupe_.definirFacturesParGroupe(LotsParGroupe * TailleLot);
        groupe_.definirAvantValidation([this] { viderEcritures(); });
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
        // Writes kept for later that this invoice may find are carried out before it looks.
        if (!differees_.empty() && !TabFactures_.estNul(i) &&
            numerosDifferes_.contains(FormeLarge(TabFactures_.texte(i))))
            viderEcritures();
        uneParUne_ = false;
        recherche_.nouvelleFacture();
        if (recherche_.parLots() && (i >= finLotFactCli || relireLot_)) {
            if (differe_) {
                if (groupe_.echu())
                    groupe_.terminer();
                // The lot is read with the write lock held: what the writes decide from it still holds.
                groupe_.avantEcriture();
            }
            relireLot_ = false;
            finLotFactCli = i + TailleLot;
            recherche_.prevoir(numerosDuLot(TabFactures_, i));
        }
        if (!TabFactures_.estNul(i)) {
            const QString numero = TabFactures_.texte(i);
            if (lire(lecteur_, contexte_.interlocuteur, groupe_, numero, QString(), facture_) !=
                ResultatLecture::Absente)
                ControlerFacture(numero);
        }
        if (differe_)
            groupe_.compterFacture();
        else
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
    if (numero == valeurs.numero && peutDifferer(numero, dossier)) {
        const QString forme = FormeLarge(dossier);
        const auto& lignes = recherche_.lignes(numero);
        if (std::none_of(lignes.begin(), lignes.end(),
                         [&](const LigneTrouvee& l) { return pourraitRepondre(l, forme); })) {
            ligne.numeroEcrit = valeurs.numero;
            ligne.jourEcrit = valeurs.jour;
            ligne.dateMajEcrite = lireDateMaj(valeurs.dateMaj);
            ligne.action = action::LigneAjoutee();
            differer({.ajout = true, .valeurs = std::move(valeurs)}, std::move(ligne));
            return;
        }
    }
    ecrireSeule({.ajout = true, .valeurs = std::move(valeurs)}, numero, std::move(ligne));
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
    if (peutDifferer(numero, dossier)) {
        const QString forme = FormeLarge(dossier);
        const auto& lignes = recherche_.lignes(numero);
        const auto premiere = std::find_if(lignes.begin(), lignes.end(),
                                           [&](const LigneTrouvee& l) { return pourraitRepondre(l, forme); });
        if (premiere != lignes.end() && premiere->dossierStocke == dossier &&
            !premiere->localisateur.isNull()) {
            ligne.action = action::MontantReecrit();
            differer({.ajout = false,
                      .valeurs = {.montant = montant},
                      .ligne = *premiere,
                      .numero = numero,
                      .dossier = dossier},
                     std::move(ligne));
            return;
        }
    }
    ecrireSeule({.ajout = false, .valeurs = {.montant = montant}, .numero = numero, .dossier = dossier},
                numero, std::move(ligne));
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
            ligne.action = action::MontantReecrit();
            return GroupeEcritures::Genre::Reecriture;
        }
    }
    ligne.action = action::EcritureRefusee();
    throw ErreurLigneChangee(numero, dossier);
}

bool ControleFactures::peutDifferer(const QString& numero, const QString& dossier) const {
    return differe_ && !uneParUne_ && !pairesDifferees_.contains(clePaire(numero, dossier));
}

// The write with its finding as it stood before the write, which the write alone fills again.
ControleFactures::Differee ControleFactures::avantEcriture(Differee d) {
    d.ligne.action = action::Aucune();
    d.ligne.ancienJour.clear();
    d.ligne.ancienDevis.clear();
    d.ligne.ancienneDateMaj.clear();
    return d;
}

QDateTime ControleFactures::lireDateMaj(const QString& texte) {
    // Every write of a minute carries the same stamp: it is read once.
    if (dateMaj_.first != texte)
        dateMaj_ = {texte, QDateTime::fromString(texte, QStringLiteral("dd/MM/yyyy hh:mm"))};
    return dateMaj_.second;
}

std::vector<ControleFactures::Differee>& ControleFactures::journal() {
    if (groupeJournal_ != groupe_.numero()) {
        journal_.clear();
        groupeJournal_ = groupe_.numero();
    }
    return journal_;
}

void ControleFactures::differer(EcritureGroupee ecriture, LigneConstat ligne) {
    const QString numero = ligne.facture;
    numerosDifferes_.insert(FormeLarge(numero));
    pairesDifferees_.insert(clePaire(numero, ligne.dossier));
    const std::size_t place = groupe_.reserver(ligne);
    differees_.push_back({std::move(ecriture), numero, place, std::move(ligne)});
}

void ControleFactures::ecrireSeule(EcritureGroupee ecriture, const QString& numero, LigneConstat ligne) {
    // What is kept for later is carried out first, in order; the rows of the lot then no longer tell
    // what this invoice's other writes would find.
    viderEcritures();
    uneParUne_ = differe_;
    // The write lock is taken before the write's own selection, so that what it finds still holds
    // when it writes.
    groupe_.avantEcriture();
    Differee d{std::move(ecriture), numero, std::nullopt, std::move(ligne)};
    if (differe_)
        d.place = groupe_.reserver(d.ligne);
    if (faire(d) && differe_)
        journal().push_back(std::move(d));
}

std::optional<GroupeEcritures::Genre> ControleFactures::faire(const Differee& d) {
    LigneConstat ligne = d.ligne;
    std::optional<GroupeEcritures::Genre> genre;
    try {
        genre = d.ecriture.ajout ? ajouter(d.ecriture.valeurs, d.numero, ligne)
                                 : reecrireMontant(d.numero, d.ecriture.dossier,
                                                   d.ecriture.valeurs.montant.toDouble(), ligne);
    } catch (const Erreur&) {
        placer(d.place, std::move(ligne), std::nullopt);
        throw;
    }
    placer(d.place, std::move(ligne), genre);
    return genre;
}

void ControleFactures::placer(std::optional<std::size_t> place, LigneConstat ligne,
                              std::optional<GroupeEcritures::Genre> genre) {
    if (place)
        groupe_.resoudre(*place, std::move(ligne), genre);
    else if (genre)
        groupe_.ecriture(std::move(ligne), *genre);
    else
        groupe_.constat(std::move(ligne));
}

void ControleFactures::viderEcritures() {
    if (differees_.empty())
        return;
    std::vector<Differee> attente = std::exchange(differees_, {});
    numerosDifferes_.clear();
    pairesDifferees_.clear();
    std::vector<EcritureGroupee> ecritures;
    ecritures.reserve(attente.size());
    for (const Differee& d : attente)
        ecritures.push_back(d.ecriture);
    std::vector<Differee>& fait = journal();
    const auto changements = ecriture_->table().ecrireGroupe(ecritures);
    if (changements) {
        for (std::size_t i = 0; i < attente.size(); ++i) {
            Differee& d = attente[i];
            recherche_.ecriture(d.numero);
            const EcritureTableFactCli::Changement& c = (*changements)[i];
            LigneConstat ligne = d.ligne;
            ligne.ligne = c.localisateur.toString();
            if (c.avant) {
                // The row's other values tell it from a duplicate of the pair, for the undo.
                ligne.montantFactCli = c.avant->montant;
                ligne.ancienJour = c.avant->jour;
                ligne.ancienDevis = c.avant->devis;
                ligne.ancienneDateMaj = c.avant->dateMaj;
            }
            const auto genre =
                d.ecriture.ajout ? GroupeEcritures::Genre::Ajout : GroupeEcritures::Genre::Reecriture;
            groupe_.resoudre(*d.place, std::move(ligne), genre);
            fait.push_back(avantEcriture(std::move(d)));
        }
        return;
    }
    // The group was not carried out as asked and the transaction was rolled back: every write of the
    // group is made again, alone, in order, as it would have been without grouping.
    std::vector<Differee> refaire = std::exchange(fait, {});
    for (Differee& d : attente)
        refaire.push_back(avantEcriture(std::move(d)));
    relireLot_ = true;
    for (Differee& d : refaire)
        if (faire(d))
            journal().push_back(std::move(d));
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
            // An invoice with several rows is read for each of them, and an old one's message comes
            // each time; but a plain invoice read for the entry just before is the same record
            // (nothing is written here), except on the reference walk, which reads each time.
            ResultatLecture r = ResultatLecture::Lue;
            if (e.NumFacture != numeroLu_) {
                r = lire(lecteur_, contexte_.interlocuteur, groupe_, e.NumFacture, e.NumDossier, facture_);
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
