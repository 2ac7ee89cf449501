#include "checks/Controles.h"

#include "report/Rapport.h"

#include <algorithm>
#include <climits>

namespace cc {

namespace {

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

} // namespace

ControleFactures::ControleFactures(const ContexteControle& contexte, const OptionsControle& options,
                                   Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      lecteur_(contexte.connexion, contexte.interlocuteur), ecriture_(contexte.connexion, contexte.horloge),
      lister_(contexte.connexion,
              QStringLiteral("SELECT NUMERO_DE_FACTURE FROM FACTURES WHERE JOUR >= ? AND JOUR <= ?")),
      chercher_(contexte.connexion, QStringLiteral("SELECT NUM_DOSSIER, Montant FROM FACTCLI WHERE NUM_FACTURE = ?")),
      selectionMaj_(contexte.connexion, sqlSelectionMaj(contexte.connexion)),
      majMontant_(contexte.connexion, sqlMajMontant(contexte.connexion)) {}

void ControleFactures::ListerFactures() {
    TabFactures_.clear();
    lister_.executer(contexte_.connexion.bornesJour(options_.debut, options_.fin));
    while (lister_.suivant()) {
        const QVariant v = lister_.valeur(0);
        if (v.isNull())
            TabFactures_.emplace_back(std::nullopt);
        else
            TabFactures_.emplace_back(TexteValeur(v));
    }
    lister_.terminer();
}

void ControleFactures::ParcourirFactures() {
    if (TabFactures_.empty())
        return;
    const int n = static_cast<int>(std::min<size_t>(TabFactures_.size(), size_t(INT_MAX)));
    contexte_.progression.definirMaximum(n);
    for (size_t i = 0; i < TabFactures_.size(); ++i) {
        contexte_.progression.definirValeur(static_cast<int>(std::min<size_t>(i + 1, size_t(INT_MAX))));
        ++compteurs_.parcourus;
        const auto& numero = TabFactures_[i];
        if (numero && lecteur_.LireFacture(*numero, facture_) > 0)
            ControlerFacture(*numero);
        contexte_.progression.traiterEvenements();
    }
}

void ControleFactures::ControlerFacture(const QString& numero) {
    // Each dossier is handled once, at the first row that names it; dossiers compare exactly.
    QStringList vus;
    for (int r = 1; r < NombreRangees; ++r) {
        const QString d = SupprimerBlancs(facture_.cellule(r, NumeroDossier));
        if (d.isEmpty() || vus.contains(d))
            continue;
        vus.append(d);
        const QString devis = SupprimerBlancs(facture_.cellule(r, NumeroDevis));
        switch (ChercherFactCli(numero, d)) {
        case EtatFactCli::Absent:
            ++compteurs_.manquants;
            contexte_.rapport.EcrireRapport(QStringLiteral("Erreur sur la facture : ") + numero +
                                            QStringLiteral(" et le dossier : ") + d);
            contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement est manquant"));
            if (options_.ajouter) {
                ecriture_.EnregistrerFactCli(facture_, d, devis, numero);
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
    chercher_.executer({numero});
    std::optional<QVariant> montant;
    while (chercher_.suivant()) {
        if (chercher_.texte(QStringLiteral("NUM_DOSSIER")) == dossier) {
            montant = chercher_.valeur(QStringLiteral("Montant"));
            break;
        }
    }
    chercher_.terminer();
    if (!montant)
        return EtatFactCli::Absent;
    // A Null amount is not counted as different.
    if (montant->isNull())
        return EtatFactCli::Identique;
    return montant->toDouble() == MontantDossier(facture_, dossier) ? EtatFactCli::Identique
                                                                     : EtatFactCli::MontantDifferent;
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
    if (contexte_.connexion.conditionLocalisateur().isEmpty())
        majMontant_.executer({montant, numero, dossier});
    else
        majMontant_.executer({montant, ligne});
    ++compteurs_.reecrits;
}

ControleFactCli::ControleFactCli(const ContexteControle& contexte, const OptionsControle& options,
                                 Compteurs& compteurs)
    : contexte_(contexte), options_(options), compteurs_(compteurs),
      lecteur_(contexte.connexion, contexte.interlocuteur),
      lister_(contexte.connexion,
              QStringLiteral("SELECT NUM_FACTURE, NUM_DOSSIER FROM FACTCLI WHERE JOUR >= ? AND JOUR <= ?")) {}

void ControleFactCli::ListerFactCli() {
    TabFactCli_.clear();
    lister_.executer(contexte_.connexion.bornesJour(options_.debut, options_.fin));
    while (lister_.suivant()) {
        // A Null reads as the empty text, which the walk passes over.
        TabFactCli_.push_back({TexteValeur(lister_.valeur(0)), TexteValeur(lister_.valeur(1))});
    }
    lister_.terminer();
}

void ControleFactCli::ParcourirFactCli() {
    if (TabFactCli_.empty())
        return;
    contexte_.progression.definirMaximum(static_cast<int>(std::min<size_t>(TabFactCli_.size(), size_t(INT_MAX))));
    for (size_t i = 0; i < TabFactCli_.size(); ++i) {
        contexte_.progression.definirValeur(static_cast<int>(std::min<size_t>(i + 1, size_t(INT_MAX))));
        ++compteurs_.parcourus;
        const EntreeFactCli& e = TabFactCli_[i];
        if (!SupprimerBlancs(e.NumDossier).isEmpty() && !SupprimerBlancs(e.NumFacture).isEmpty()) {
            // No caching: an invoice with several rows is read once for each of them.
            if (lecteur_.LireFacture(e.NumFacture, facture_) > 0)
                ControlerLigneFactCli(e);
        }
        contexte_.progression.traiterEvenements();
    }
}

void ControleFactCli::ControlerLigneFactCli(const EntreeFactCli& entree) {
    // The row's dossier is not trimmed: a leading or trailing blank matches no line.
    const QString cherche = entree.NumDossier.toUpper();
    for (int r = 1; r < NombreRangees; ++r) {
        const QString d = SupprimerBlancs(facture_.cellule(r, NumeroDossier));
        if (!d.isEmpty() && d.toUpper() == cherche)
            return;
    }
    ++compteurs_.manquants;
    contexte_.rapport.EcrireRapport(QStringLiteral("Erreur sur la facture : ") + entree.NumFacture +
                                    QStringLiteral(" et le dossier : ") + entree.NumDossier);
    contexte_.rapport.EcrireRapport(QStringLiteral("L'enregistrement est manquant dans la facture"));
}

void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs) {
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
