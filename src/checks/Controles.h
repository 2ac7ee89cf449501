#pragma once

#include "checks/EcritureFactCli.h"
#include "commun/Horloge.h"
#include "commun/Interlocuteur.h"
#include "commun/ListeTextes.h"
#include "commun/Progression.h"
#include "data/AccesBase.h"
#include "data/TablesFacturation.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"

#include <QDate>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

namespace cc {

class Rapport;

// The options of one run, as the window's controls or the batch arguments give them.
struct OptionsControle {
    QDate debut;                    // dte_Date
    QDate fin;                      // dte_Date_Fin
    bool aPartirDesFactures = true; // chk_Facture_FactCli
    bool ajouter = false;           // chk_AjoutEnregistrement
    bool mettreAJour = false;       // chk_MiseAJour
    Parcours parcours = Parcours::ParLots;
};

// What a run did, for the batch summary.
struct Compteurs {
    qint64 parcourus = 0;          // records walked
    qint64 manquants = 0;          // FACTCLI rows found missing
    qint64 montantsDifferents = 0; // amounts found different, repaired or not
    qint64 ajoutes = 0;            // rows added
    qint64 reecrits = 0;           // amounts rewritten
};

// What every check works with during one run.
struct ContexteControle {
    Connexion& connexion;
    Rapport& rapport;
    Interlocuteur& interlocuteur;
    Progression& progression;
    Horloge horloge;
};

enum class EtatFactCli { Absent = 0, MontantDifferent = 1, Identique = 2 };

// Writes are grouped in transactions, never splitting one invoice's writes, and committed every
// few hundred invoices or every second: a run that is killed loses at most its last group, which
// the next run does again.
class GroupeEcritures {
public:
    // A failure leaves the open group to the run sequence, which commits what was saved before it.
    GroupeEcritures(Connexion& connexion, bool actif) : connexion_(connexion), actif_(actif) {}
    GroupeEcritures(const GroupeEcritures&) = delete;
    GroupeEcritures& operator=(const GroupeEcritures&) = delete;
    void avantEcriture();
    void finFacture();
    void terminer();

private:
    Connexion& connexion_;
    bool actif_;
    int factures_ = 0;
    QElapsedTimer depuis_;
};

// Walks the invoices of the period and checks that FACTCLI holds each of their dossiers.
class ControleFactures {
public:
    ControleFactures(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactures();
    void ParcourirFactures();
    void ControlerFacture(const QString& numero);
    EtatFactCli ChercherFactCli(const QString& numero, const QString& dossier);
    void MettreAJourMontant(const QString& numero, const QString& dossier);

    // One entry per selected row; a Null number is passed over.
    const ListeTextes& TabFactures() const { return TabFactures_; }
    const EnregistrementFacture& facture() const { return facture_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    EcritureFactCli ecriture_;
    LectureFactCli recherche_;
    GroupeEcritures groupe_;
    ListeTextes TabFactures_;
};

// One selected FACTCLI row.
struct EntreeFactCli {
    QString NumFacture;
    QString NumDossier;
};

// The selected FACTCLI rows, their two texts kept in two compact lists.
class ListeFactCli {
public:
    void vider() {
        factures_.vider();
        dossiers_.vider();
    }
    void ajouter(QStringView facture, QStringView dossier) {
        factures_.ajouter(facture);
        dossiers_.ajouter(dossier);
    }
    std::size_t taille() const { return factures_.taille(); }
    bool vide() const { return factures_.vide(); }
    EntreeFactCli at(std::size_t i) const { return {factures_.texte(i), dossiers_.texte(i)}; }
    const ListeTextes& factures() const { return factures_; }

private:
    ListeTextes factures_;
    ListeTextes dossiers_;
};

// Walks the FACTCLI rows of the period and checks that each row's invoice names its dossier.
// Only reports: nothing is ever written to the database.
class ControleFactCli {
public:
    ControleFactCli(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactCli();
    void ParcourirFactCli();
    void ControlerLigneFactCli(const EntreeFactCli& entree);

    const ListeFactCli& TabFactCli() const { return TabFactCli_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    ListeFactCli TabFactCli_;
};

// Runs the direction that the options pick, from the selection to the last record.
void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options,
                          Compteurs& compteurs);

} // namespace cc
