#pragma once

#include "checks/EcritureFactCli.h"
#include "checks/Progression.h"
#include "data/AccesBase.h"
#include "data/Horloge.h"
#include "data/Interlocuteur.h"
#include "invoice/EnregistrementFacture.h"
#include "invoice/LecteurFacture.h"

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace cc {

class Rapport;

// The options of one run, as the window's controls or the batch arguments give them.
struct OptionsControle {
    QDate debut;                     // dte_Date
    QDate fin;                       // dte_Date_Fin
    bool aPartirDesFactures = true;  // chk_Facture_FactCli
    bool ajouter = false;            // chk_AjoutEnregistrement
    bool mettreAJour = false;        // chk_MiseAJour
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

// Walks the invoices of the period and checks that FACTCLI holds each of their dossiers.
class ControleFactures {
public:
    ControleFactures(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactures();
    void ParcourirFactures();
    void ControlerFacture(const QString& numero);
    EtatFactCli ChercherFactCli(const QString& numero, const QString& dossier);
    void MettreAJourMontant(const QString& numero, const QString& dossier);

    // One entry per selected row; a Null number stays as an empty optional and is passed over.
    const std::vector<std::optional<QString>>& TabFactures() const { return TabFactures_; }
    const EnregistrementFacture& facture() const { return facture_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    EcritureFactCli ecriture_;
    Requete lister_;
    Requete chercher_;
    Requete selectionMaj_;
    Requete majMontant_;
    std::vector<std::optional<QString>> TabFactures_;
};

// One selected FACTCLI row.
struct EntreeFactCli {
    QString NumFacture;
    QString NumDossier;
};

// Walks the FACTCLI rows of the period and checks that each row's invoice names its dossier.
// Only reports: nothing is ever written to the database.
class ControleFactCli {
public:
    ControleFactCli(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

    void ListerFactCli();
    void ParcourirFactCli();
    void ControlerLigneFactCli(const EntreeFactCli& entree);

    const std::vector<EntreeFactCli>& TabFactCli() const { return TabFactCli_; }

private:
    ContexteControle contexte_;
    OptionsControle options_;
    Compteurs& compteurs_;
    EnregistrementFacture facture_;
    LecteurFacture lecteur_;
    Requete lister_;
    std::vector<EntreeFactCli> TabFactCli_;
};

// Runs the direction that the options pick, from the selection to the last record.
void ExecuterVerification(const ContexteControle& contexte, const OptionsControle& options, Compteurs& compteurs);

} // namespace cc
