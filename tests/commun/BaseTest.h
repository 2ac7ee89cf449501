#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace cc {
class Connexion;
}

using namespace Qt::StringLiterals;

namespace cc::test {

// A company database for the tests: a real SQLite file with the three host tables, filled through
// its own connection (never the one under test).
class BaseTest {
public:
    // Creates the file (replacing it) with the three tables.
    explicit BaseTest(const QString& chemin);
    ~BaseTest();
    BaseTest(const BaseTest&) = delete;
    BaseTest& operator=(const BaseTest&) = delete;

    const QString& chemin() const { return chemin_; }
    QSqlDatabase base() const;

    void facture(const QVariant& numero, const QVariant& jour, const QVariant& dossier, const QVariant& corps,
                 const QVariant& typePiece = u"F"_s, const QVariant& flagDivers = u"0"_s);
    void ligne(const QVariant& numero, int numeroDeLigne, const QVariant& taux, const QVariant& montant,
               const QVariant& code, const QVariant& designation = {}, const QVariant& reference = {});
    void factCli(const QVariant& facture, const QVariant& dossier, const QVariant& jour,
                 const QVariant& devis, const QVariant& dateMaj, const QVariant& montant);
    // Runs one statement with bound values; fails the test program on error.
    void executer(const QString& sql, const QVariantList& valeurs = {});
    // FACTCLI in rowid order, one text a row: the six columns joined by "|", Null shown as "<null>",
    // amounts as SQLite's own text.
    QStringList contenuFactCli() const;

private:
    QString chemin_;
    QString nom_;
};

// One 150-character slice of Corps, built field by field at the positions of the layout.
struct Tranche {
    QString numero;        // 1-2
    QString zone03;        // 3-7
    QString zone08;        // 8-11
    QString reference;     // 12-30
    QString designation;   // 31-70
    QString zone71;        // 71-78
    QString zone79;        // 79-88
    QString montant;       // 89-99
    QString zone100;       // 100-102
    QString zone103;       // 103
    QString zone104;       // 104-111
    QString zone112;       // 112-114
    QString devis;         // 115-122
    QString dossier;       // 123-130
    QString zone141;       // 141
    QString texte() const; // exactly 150 characters, each field cut or padded with blanks
};

// The usual slice: a line number, an amount, an estimate and a dossier.
QString tranche(int numero, const QString& montant, const QString& devis, const QString& dossier);

// Builds every statement of the program on the connection, each prepared there, into preparees: the
// database's refusal or the first line where they part from the list made with no database; empty
// when they agree.
QString EcartInstructions(cc::Connexion& connexion, QStringList& preparees);

} // namespace cc::test
