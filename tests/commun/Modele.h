#pragma once

#include "BaseTest.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

// A small model of the two checks, written from the rules alone, to compute what a run must give on a
// company: the report's lines and FACTCLI afterwards. It shares no code with the program.
namespace cc::test::modele {

struct Facture {
    QVariant numero;
    QVariant jour;
    QVariant dossier;
    QVariant corps;
    QVariant typePiece;
    QVariant flagDivers;
};

struct Remise {
    QVariant numero;
    int numeroDeLigne = 0;
    QVariant taux;
    QVariant montant;
    QVariant code;
};

struct LigneFactCli {
    QVariant facture;
    QVariant dossier;
    QVariant jour;
    QVariant devis;
    QVariant dateMaj;
    QVariant montant;       // a double, or Null
    bool horodatee = false; // written by the run: DATE_MAJ comes from the clock
};

// A company's three tables, rows in insertion (rowid) order.
struct Societe {
    std::vector<Facture> factures;
    std::vector<Remise> remises;
    std::vector<LigneFactCli> factCli;
    void remplir(BaseTest& base) const;
};

struct Options {
    QDate du;
    QDate au;
    bool aPartirDesFactures = true;
    bool ajouter = false;
    bool mettreAJour = false;
};

// The columns of a findings file, in order.
enum Colonne {
    Execution,
    Sens,
    NumeroFacture,
    Dossier,
    Devis,
    Constat,
    MontantFactCli,
    MontantFacture,
    Action,
    NumeroEcrit,
    JourEcrit,
    DateEcrite,
    AncienNumero,
    AncienDossier,
    AncienJour,
    AncienDevis,
    AncienneDate,
    NombreColonnes
};

// Stand-ins in an expected findings row for what the run takes from the clock: its stamp in Execution,
// the DATE_MAJ it wrote in DateEcrite.
inline const QString ExecutionDuLot = u"<exécution>"_s;
inline const QString DateDuLot = u"<horloge>"_s;

struct Attendu {
    QStringList rapport;
    std::vector<LigneFactCli> factCli;
    std::vector<QStringList> constats; // the findings file's rows, header left out
    int messagesAnciennes = 0;         // old-version invoice messages shown
    int ajoutes = 0;
    int reecrits = 0;
};

// What a run with these options must leave.
Attendu simuler(const Societe& societe, const Options& options);

// A random company for a seed: invoices between the two days (and a few just outside), with gaps,
// repeated and case-variant dossiers, credit notes, blank estimates, missing discount rows, numbers
// that differ from another invoice's by a trailing blank, and FACTCLI rows that are right, wrong,
// missing, Null, duplicated or about other dossiers and invoices.
Societe generer(quint32 graine, int nombreFactures, const QDate& debut, const QDate& fin);

// The number reading of the rules: the longest leading decimal number, blanks ignored, 0 when none.
double lireNombre(const QString& texte);

} // namespace cc::test::modele
