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

// Selects the first FACTCLI row of an invoice and dossier with what finds it again alone; where the
// database has no row locator, the pair itself serves (duplicates then change together).
QString sqlSelectionMaj(const Connexion& c) {
    const QString loc = c.localisateur().isEmpty() ? QStringLiteral("NULL") : c.localisateur();
    return QStringLiteral("SELECT ") + loc +
           QStringLiteral(" AS CC_LIGNE, NUM_DOSSIER FROM FACTCLI WHERE NUM_FACTURE = ? AND NUM_DOSSIER = ?");
}

QString sqlMajMontant(const Connexion& c) {
    if (c.conditionLocalisateur().isEmpty())
        return QStringLiteral("UPDATE FACTCLI SET Montant = ? WHERE NUM_FACTURE = ? AND NUM_DOSSIER = ?");
    return QStringLiteral("UPDATE FACTCLI SET Montant = ? WHERE ") + c.conditionLocalisateur();
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

// A number as SQLite's BINARY, NOCASE and RTRIM collations could all take it: two numbers that any
// of them finds equal have the same form here.
QString formeSQLite(QStringView numero) {
    qsizetype fin = numero.size();
    while (fin > 0 && numero[fin - 1] == u' ')
        --fin;
    QString forme = numero.first(fin).toString();
    for (QChar& c : forme)
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return forme;
}

} // namespace

RechercheFactCli::RechercheFactCli(Connexion& connexion, Parcours parcours)
    : unique_(connexion, QStringLiteral("SELECT NUM_DOSSIER, Montant FROM FACTCLI WHERE NUM_FACTURE = ?")),
      comparaisonConnue_(connexion.dialecte() == Dialecte::SQLite) {
    const QString liste = connexion.listeDeValeurs(TailleLot);
    parFacture_ = parcours != Parcours::Reference;
    if (parcours == Parcours::ParLots && !liste.isEmpty())
        lot_.emplace(connexion, QStringLiteral("SELECT v.n AS CC_NUMERO, NUM_DOSSIER, Montant FROM ") +
                                    liste + QStringLiteral(" JOIN FACTCLI ON NUM_FACTURE = v.n") +
                                    connexion.ordrePhysique(QStringLiteral("FACTCLI")));
}

void RechercheFactCli::ecriture(const QString& numero) {
    if (!lot_)
        return;
    if (!comparaisonConnue_) {
        perimee_ = true;
        return;
    }
    // The row written carries the number trimmed; a row rewritten was found by the number as held.
    ecrits_.insert(formeSQLite(numero));
    ecrits_.insert(formeSQLite(SupprimerBlancs(numero)));
}

void RechercheFactCli::nouvelleFacture() {
    lignesValides_ = false;
    if (ecrits_.isEmpty())
        return;
    // The numbers that a write may answer are dropped from the lot and asked again one by one.
    for (auto it = lignesLot_.begin(); it != lignesLot_.end();) {
        if (ecrits_.contains(formeSQLite(it.key())))
            it = lignesLot_.erase(it);
        else
            ++it;
    }
    ecrits_.clear();
}

void RechercheFactCli::prevoir(const std::vector<QString>& numeros) {
    lignesLot_.clear();
    ecrits_.clear();
    perimee_ = false;
    if (!lot_)
        return;
    QStringList cles;
    for (const QString& n : numeros) {
        if (lignesLot_.contains(n))
            continue;
        lignesLot_.insert(n, {});
        cles.append(n);
    }
    if (cles.isEmpty())
        return;
    lot_->executer(ValeursDuLot(cles));
    while (lot_->suivant())
        lignesLot_[lot_->valeur(0).toString()].push_back(
            {lot_->texte(QStringLiteral("NUM_DOSSIER")), lot_->valeur(QStringLiteral("Montant"))});
    lot_->terminer();
}

const std::vector<LigneFactCli>& RechercheFactCli::lignes(const QString& numero) {
    if (const auto it = lignesLot_.constFind(numero); it != lignesLot_.cend())
        return *it;
    if (parFacture_ && lignesValides_ && numeroLignes_ == numero)
        return lignes_;
    lignes_.clear();
    unique_.executer({numero});
    while (unique_.suivant())
        lignes_.push_back(
            {unique_.texte(QStringLiteral("NUM_DOSSIER")), unique_.valeur(QStringLiteral("Montant"))});
    unique_.terminer();
    lignesValides_ = true;
    numeroLignes_ = numero;
    return lignes_;
}

void GroupeEcritures::avantEcriture() {
    if (!actif_ || connexion_.enTransaction())
        return;
    connexion_.commencerTransaction();
    factures_ = 0;
    depuis_.start();
}

void GroupeEcritures::finFacture() {
    if (!connexion_.enTransaction())
        return;
    if (++factures_ >= FacturesParGroupe || depuis_.elapsed() >= DureeGroupeMs)
        connexion_.validerTransaction();
}

void GroupeEcritures::terminer() {
    connexion_.validerTransaction();
}

ControleFactures::ControleFactures(const ContexteControle& contexte, const OptionsControle& options,
                                   Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      lecteur_(contexte.connexion, contexte.interlocuteur, options.parcours),
      ecriture_(contexte.connexion, contexte.horloge), recherche_(contexte.connexion, options.parcours),
      groupe_(contexte.connexion, options.parcours != Parcours::Reference),
      lister_(contexte.connexion,
              QStringLiteral("SELECT NUMERO_DE_FACTURE FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?")),
      selectionMaj_(contexte.connexion, sqlSelectionMaj(contexte.connexion)),
      majMontant_(contexte.connexion, sqlMajMontant(contexte.connexion)) {}

void ControleFactures::ListerFactures() {
    TabFactures_.vider();
    lister_.executer(contexte_.connexion.bornesJour(options_.debut, options_.fin));
    while (lister_.suivant()) {
        const QVariant v = lister_.valeur(0);
        if (v.isNull())
            TabFactures_.ajouterNul();
        else
            TabFactures_.ajouter(TexteValeur(v));
    }
    lister_.terminer();
}

void ControleFactures::ParcourirFactures() {
    if (TabFactures_.vide())
        return;
    contexte_.progression.definirMaximum(entier(TabFactures_.taille()));
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
            if (lecteur_.LireFacture(numero, facture_) > 0)
                ControlerFacture(numero);
        }
        groupe_.finFacture();
        contexte_.progression.traiterEvenements();
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
            if (options_.ajouter) {
                groupe_.avantEcriture();
                ecriture_.EnregistrerFactCli(facture_, d, devis, numero);
                recherche_.ecriture(numero);
                ++compteurs_.ajoutes;
            }
            break;
        case EtatFactCli::MontantDifferent:
            ++compteurs_.montantsDifferents;
            if (options_.mettreAJour)
                MettreAJourMontant(numero, d);
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
        if (ligne.montant.isNull())
            return EtatFactCli::Identique;
        return ligne.montant.toDouble() == MontantDossier(facture_, dossier) ? EtatFactCli::Identique
                                                                             : EtatFactCli::MontantDifferent;
    }
    return EtatFactCli::Absent;
}

void ControleFactures::MettreAJourMontant(const QString& numero, const QString& dossier) {
    // The database compares here with its own rules; only the first row returned is looked at.
    selectionMaj_.executer({numero, dossier});
    if (!selectionMaj_.suivant()) {
        selectionMaj_.terminer();
        contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement pour la Facture :") + numero +
                                        QStringLiteral(" et le Dossier : ") + dossier +
                                        QStringLiteral(" n'existe pas dans FACTCLI"));
        return;
    }
    const QVariant ligne = selectionMaj_.valeur(0);
    const bool memeDossier = selectionMaj_.texte(QStringLiteral("NUM_DOSSIER")) == dossier;
    selectionMaj_.terminer();
    if (!memeDossier)
        return;
    const double montant = MontantDossier(facture_, dossier);
    groupe_.avantEcriture();
    if (contexte_.connexion.conditionLocalisateur().isEmpty())
        majMontant_.executer({montant, numero, dossier});
    else
        majMontant_.executer({montant, ligne});
    recherche_.ecriture(numero);
    ++compteurs_.reecrits;
}

ControleFactCli::ControleFactCli(const ContexteControle& contexte, const OptionsControle& options,
                                 Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      // Only the lines' dossiers are looked at here: the discount data is not read.
      lecteur_(contexte.connexion, contexte.interlocuteur, options.parcours,
               options.parcours == Parcours::Reference),
      lister_(contexte.connexion,
              QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER FROM FACTCLI WHERE JOUR >= ? AND JOUR <= ?")) {}

void ControleFactCli::ListerFactCli() {
    TabFactCli_.vider();
    lister_.executer(contexte_.connexion.bornesJour(options_.debut, options_.fin));
    while (lister_.suivant()) {
        // A Null reads as the empty text, which the walk passes over.
        TabFactCli_.ajouter(TexteValeur(lister_.valeur(0)), TexteValeur(lister_.valeur(1)));
    }
    lister_.terminer();
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
            std::vector<QString> numeros;
            for (std::size_t j = i; j < TabFactCli_.taille() && j < finLot; ++j)
                numeros.push_back(TabFactCli_.at(j).NumFacture);
            lecteur_.prevoir(numeros);
        }
        const EntreeFactCli e = TabFactCli_.at(i);
        if (!SupprimerBlancs(e.NumDossier).isEmpty() && !SupprimerBlancs(e.NumFacture).isEmpty()) {
            // No caching across entries: an invoice with several rows is read once for each of them
            // (from the lot's rows), and its old-invoice message comes each time.
            if (lecteur_.LireFacture(e.NumFacture, facture_) > 0)
                ControlerLigneFactCli(e);
        }
        contexte_.progression.traiterEvenements();
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
