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
// each time it is read. True when the invoice's lines are in the record.
bool lire(LecteurFacture& lecteur, Interlocuteur& interlocuteur, const QString& numero,
          EnregistrementFacture& facture) {
    switch (lecteur.LireFacture(numero, facture)) {
    case ResultatLecture::Lue:
        return true;
    case ResultatLecture::Ancienne:
        interlocuteur.message(MessageFactureAncienne(), TitreLectureFacture(), Icone::Critique);
        return true;
    case ResultatLecture::Absente:
        break;
    }
    return false;
}

// Ends the walk after record i when the user has asked for it; what was saved stays saved.
void arreterSiDemande(const Progression& progression, const QString& facture, std::size_t i, std::size_t n,
                      GroupeEcritures* groupe) {
    if (!progression.arretDemande())
        return;
    if (groupe)
        groupe->terminer();
    throw ArretControle{facture, qint64(i + 1), qint64(n)};
}

} // namespace

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
      lecteur_(contexte.connexion, options.parcours), ecriture_(contexte.connexion, contexte.horloge),
      recherche_(contexte.connexion, options.parcours),
      groupe_(contexte.connexion, options.parcours != Parcours::Reference) {}

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
            if (lire(lecteur_, contexte_.interlocuteur, numero, facture_))
                ControlerFacture(numero);
        }
        groupe_.finFacture();
        contexte_.progression.traiterEvenements();
        arreterSiDemande(contexte_.progression, TabFactures_.texte(i), i, TabFactures_.taille(), &groupe_);
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
    const std::optional<LigneTrouvee> ligne = ecriture_.table().premiereLigne(numero, dossier);
    if (!ligne) {
        // The report's lines are kept word for word as the host writes them ("Facture :" unspaced).
        contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement pour la Facture :") + numero +
                                        QStringLiteral(" et le Dossier : ") + dossier +
                                        QStringLiteral(" n'existe pas dans FACTCLI"));
        return;
    }
    if (ligne->dossier != dossier)
        return;
    groupe_.avantEcriture();
    ecriture_.table().reecrireMontant(*ligne, numero, dossier, MontantDossier(facture_, dossier));
    recherche_.ecriture(numero);
    ++compteurs_.reecrits;
}

ControleFactCli::ControleFactCli(const ContexteControle& contexte, const OptionsControle& options,
                                 Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      // Only the lines' dossiers are looked at here: the discount data is not read.
      lecteur_(contexte.connexion, options.parcours, options.parcours == Parcours::Reference) {}

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
            if (lire(lecteur_, contexte_.interlocuteur, e.NumFacture, facture_))
                ControlerLigneFactCli(e);
        }
        contexte_.progression.traiterEvenements();
        arreterSiDemande(contexte_.progression, e.NumFacture, i, TabFactCli_.taille(), nullptr);
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
