#pragma once

#include "BaseTest.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace cc::test {

// One FACTCLI row with its values as the database holds them.
struct RangeeFactCli {
    QVariant facture;
    QVariant dossier;
    QVariant jour;
    QVariant devis;
    QVariant dateMaj;
    QVariant montant;
};

// What one batch run left behind.
struct ResultatLot {
    int code = -1;
    QString sortie;                     // standard output, UTF-8
    QString erreurs;                    // standard error, UTF-8
    QString cheminRapport;              // the one report found in the program's directory, empty when none
    QByteArray rapport;                 // its bytes
    QByteArray constats;                // the findings file beside it (".csv" for ".txt"), its bytes
    QStringList factCli;                // BaseTest::contenuFactCli() afterwards
    std::vector<RangeeFactCli> rangees; // FACTCLI afterwards, typed, in rowid order
    QDateTime avant;                    // just before the program started
    QDateTime apres;                    // just after it ended

    // The report as text lines (Windows-1252 decoded, CR LF split); fails on a lone LF.
    QStringList lignesRapport() const;
    // Occurrences of a text in standard error.
    int compterErreurs(const QString& texte) const { return int(erreurs.count(texte)); }
};

// A company of its own for each test: a temporary directory holding a copy of the program, the host
// settings that name the company, and a real SQLite company database at the place they give.
class Lot {
public:
    explicit Lot(const QString& societe = u"SOC1"_s);
    Lot(const Lot&) = delete;
    Lot& operator=(const Lot&) = delete;

    BaseTest& base() { return *base_; }
    // Replaces the company database with a new one holding the three empty tables.
    BaseTest& nouvelleBase();
    // Closes the test's connection and removes the company database (Windows removes no open file).
    bool supprimerBase();
    const QString& societe() const { return societe_; }
    QString repertoireProgramme() const;
    QString cheminBase() const;
    QString repertoireConfiguration() const;

    // Runs the program's copy with the arguments; every earlier report is removed first so that the
    // run's own report is the one found afterwards.
    // An environment variable for the runs to come (CC_PARCOURS=reference picks the reference walk).
    void definirVariable(const QString& nom, const QString& valeur) { variables_.insert(nom, valeur); }
    ResultatLot lancer(const QStringList& arguments, int delaiMs = 120000);
    // Runs the undo of a findings file (its bytes, kept out of the program's directory).
    ResultatLot annuler(const QByteArray& constats);
    // Reads FACTCLI through the test's own connection.
    std::vector<RangeeFactCli> rangeesFactCli() const;

private:
    QTemporaryDir dir_;
    QHash<QString, QString> variables_;
    QString societe_;
    std::unique_ptr<BaseTest> base_;
};

// The arguments of a run.
QStringList argumentsLot(const QString& du, const QString& au, bool aPartirDesFactures, bool ajouter,
                         bool mettreAJour);

// The Windows-1252 bytes of lines, each followed by CR LF.
QByteArray octetsRapport(const QStringList& lignes);

// Marker for a DATE_MAJ that the program stamps from the clock.
inline const QString Horodatage = u"<horloge>"_s;

// Compares FACTCLI rows shown as contenuFactCli() does: every field exactly, except an expected
// DATE_MAJ of Horodatage, which must read "dd/MM/yyyy hh:mm" and lie within the run's minutes.
// Returns an empty text when equal, otherwise what differs.
QString comparerFactCli(const QStringList& attendu, const QStringList& obtenu, const QDateTime& avant,
                        const QDateTime& apres);
// True when a DATE_MAJ text was stamped during the run.
bool horodatageValide(const QString& texte, const QDateTime& avant, const QDateTime& apres);

// The first line where two lists of lines part, for a failure message; empty when they are equal.
QString premiereDifference(const QStringList& attendu, const QStringList& obtenu);

} // namespace cc::test
